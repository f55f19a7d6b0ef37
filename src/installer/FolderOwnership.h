#pragma once
// Whether the installation folder is the installer's own, so that uninstall
// may take it whole, or a folder the player had before (a games folder, the
// desktop), from which uninstall takes only what the installs placed.
//
// The proof has two halves: a marker file in the folder holding a random id,
// written when the installer made the folder or found it empty, and the same
// id in the player's settings. A folder is owned only when both agree: the
// marker alone could have been copied along with a folder, and the setting
// alone could outlive the folder it was written for.
#include <string>

namespace ostrak {

namespace FolderOwnership {

// The marker's name at the top of the folder.
inline constexpr char MarkerName[] = ".ostrak-folder-id";

// Whether folder may be claimed: it does not exist yet, or is an empty folder.
bool MayClaim(const std::string& folder);
// Writes a new marker with a fresh id into folder (which must not hold one);
// the id, or "" when the marker could not be written.
std::string Claim(const std::string& folder);
// Whether marker (the bytes read from the marker file) proves the id stored
// in the settings.
bool Proves(const std::string& marker, const std::string& storedId);

} // namespace FolderOwnership

} // namespace ostrak
