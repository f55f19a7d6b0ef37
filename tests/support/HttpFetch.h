#pragma once
// A plain HTTP/1.0 GET over a loopback socket, for checking what a server
// serves.
#include <cstdint>
#include <string>

namespace ostrak {

struct HttpReply {
    bool Ok = false;    // a status line and a header block arrived
    std::string Status; // the status line
    std::string Body;   // everything after the blank line
};

HttpReply HttpGet(uint16_t port, const std::string& path);

} // namespace ostrak
