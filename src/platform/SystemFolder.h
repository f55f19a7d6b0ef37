#pragma once
// The system folder: where the Windows support libraries of the game belong.
#include <string>

namespace ostrak {

// Here: the drive_c/windows/system32 folder of the user's Wine prefix
// ($WINEPREFIX when set, else ~/.wine) when that folder exists; otherwise
// ~/.local/lib, created (with its parents) when missing. On Windows: where a
// 32-bit program loads its libraries (SysWOW64 on a 64-bit system). Without
// a trailing separator and of any length. The path is returned even when it
// could not be created; a file written there then fails as any unwritable
// target does.
std::string SystemFolder();

// Answers folder from now on instead ("" goes back to the system's). For
// tests that run side by side.
void SetSystemFolder(const std::string& folder);

} // namespace ostrak
