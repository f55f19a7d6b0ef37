#pragma once
// Whether a name from the release file list may be used as a plain file name
// inside the installation folder.
#include <string>

namespace ostrak {

// False for the empty name, "." and "..", and for a name holding "/" or "\",
// NUL or any other control character (bytes 1 to 31 and 127). Bytes from 128
// up are allowed: they are the code page's letters.
bool IsSafeFileName(const std::string& name);

} // namespace ostrak
