#pragma once
// File names that a Windows player's folder cannot hold. The same server
// feeds Windows players, so the publisher's tool refuses such names.
#include <string>

namespace ostrak {

// Why Windows cannot hold name as a file name ("" when it can): a reserved
// device name (CON, PRN, AUX, NUL, COM1 to COM9, LPT1 to LPT9, in any case,
// with or without an extension), a name ending in a dot or a space, or one
// of the characters : * " < > | (the others Windows refuses are refused
// before this check).
std::string WindowsNameProblem(const std::string& name);

// name with its letters in one case, as Windows compares file names: ASCII
// letters and the letters of Windows-1252 (the code page the installer shows
// names in) are folded; other bytes stay.
std::string FoldedCase(const std::string& name);

} // namespace ostrak
