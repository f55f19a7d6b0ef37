#pragma once
// Where an HTTP server is: a host name (or dotted address) and a TCP port.
#include <cstdint>
#include <string>

namespace ostrak {

struct ServerAddress {
    std::string Host;
    int32_t Port = 80;
};

// Parses "host[:port]"; false when the text is empty or the port is not a
// number from 1 to 65535 (out is then unchanged).
bool ParseServerAddress(const std::string& text, ServerAddress& out);

} // namespace ostrak
