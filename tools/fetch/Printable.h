#pragma once
// Text from outside (the server's status line, failure texts that quote it)
// made safe for a terminal: every byte that is not printable ASCII becomes
// \xHH, and a backslash becomes \\, so escape sequences cannot reach the
// terminal and the escaping cannot be forged.
#include <string>
#include <string_view>

namespace ostrak {

std::string Printable(std::string_view text);

} // namespace ostrak
