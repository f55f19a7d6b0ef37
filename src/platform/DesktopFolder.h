#pragma once
// The user's desktop folder.
#include <string>

namespace ostrak {

// The desktop of the XDG user folders ($XDG_CONFIG_HOME/user-dirs.dirs, else
// ~/Desktop) with a trailing separator, or "" when that folder does not
// exist. Read afresh on every call.
std::string DesktopFolder();

} // namespace ostrak
