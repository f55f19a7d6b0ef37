#pragma once
// Printing a release file list for the publisher.
#include <iosfwd>
#include <string>

namespace ostrak {

// Prints "seed: N", "count: N" and one line per entry: the checksum text, a
// space and the name, its bytes that are not printable ASCII shown as \xNN
// (an unsafe name is marked as well). Throws ToolError when the list cannot
// be read whole.
void DumpList(const std::string& path, std::ostream& out);

} // namespace ostrak
