#pragma once
// The system folder: where the Windows support libraries of the game belong.
#include <string>

namespace ostrak {

// The drive_c/windows/system32 folder of the user's Wine prefix ($WINEPREFIX
// when set, else ~/.wine) when that folder exists; otherwise ~/.local/lib,
// created (with its parents) when missing. Without a trailing separator and
// of any length. The path is returned even when it could not be created; a
// file written there then fails as any unwritable target does.
std::string SystemFolder();

} // namespace ostrak
