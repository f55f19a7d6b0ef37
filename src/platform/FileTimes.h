#pragma once
// Internal to the platform layer: when a file last changed, for the sweep of
// temporary files that ended runs left behind.
#include <cstdint>
#include <string>

namespace ostrak {

namespace Files {

// Seconds since 1970 of the last change of path's contents (a link itself,
// not its target); false when it cannot be queried.
bool ModifiedSeconds(const std::string& path, int64_t& seconds);

} // namespace Files

} // namespace ostrak
