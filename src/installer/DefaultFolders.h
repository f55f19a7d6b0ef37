#pragma once
// Folders the program proposes before the user has chosen one.
#include <string>

namespace ostrak {

// Where the game is installed unless the user says otherwise:
// ProgramsFolder() + "Ostrak": $HOME/Games/Ostrak here, the system's Program
// Files folder + "\Ostrak" on Windows.
std::string DefaultInstallFolder();

} // namespace ostrak
