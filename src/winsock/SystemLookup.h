#pragma once
// Internal to the socket layer: the system's own host lookups, which
// HostLookup.h keeps answers of and runs on worker threads. Thread-safe.
#include <cstdint>
#include <string>

#include "winsock/HostLookup.h"

namespace ostrak {

// The system's forward lookup of name: IPv4, with the official name.
HostAnswer SystemForwardLookup(const std::string& name);
// The system's reverse lookup of address (network order).
bool SystemReverseLookup(uint32_t address, std::string& officialName);

} // namespace ostrak
