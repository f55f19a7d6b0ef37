#pragma once
// Folders the program proposes before the user has chosen one.
#include <string>

namespace ostrak {

// Where the game is installed unless the user says otherwise:
// $HOME/Games/Ostrak here ("C:\Program Files\Ostrak" on Windows).
std::string DefaultInstallFolder();

} // namespace ostrak
