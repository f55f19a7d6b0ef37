#pragma once
// Folders the program proposes before the user has chosen one.
#include <string>

// Where the game is installed unless the user says otherwise:
// $HOME/Games/Ostrak here ("C:\Program Files\Ostrak" on Windows).
std::string DefaultInstallFolder();

// The user's home folder: $HOME, else the password database's entry, else "/".
std::string HomeFolder();
