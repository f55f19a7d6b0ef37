#pragma once
// Where programs are installed unless the user says otherwise.
#include <string>

namespace ostrak {

// $HOME/Games here (Games under the root when there is no home); the system's
// Program Files folder on Windows. Without a trailing separator; the folder
// need not exist.
std::string ProgramsFolder();

} // namespace ostrak
