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

// FoldedCase (filelist/FileName.h) compares names as Windows does.

} // namespace ostrak
