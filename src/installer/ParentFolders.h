#pragma once
// The folders above an installation folder that the installer made for it
// (~/Games above the default ~/Games/Ostrak, say). The install records the
// outermost of them in the settings (SettingKey) when it makes them; the
// uninstall takes them away again, innermost first, once they are empty.
// A folder that was there before the install is never recorded.
#include <string>

namespace ostrak {

namespace ParentFolders {

// The key in the installer's settings section: the outermost folder made,
// or "" (none).
inline constexpr const char* SettingKey = "ParentsMade";

// The outermost folder above folder (an absolute path) that does not exist
// yet; "" when folder's parent exists.
std::string OutermostMissing(const std::string& folder);

// Removes, innermost first, each folder from folder's parent up to top,
// while it is empty; stops at the first one that is not empty or cannot be
// removed. Does nothing unless top lies above folder.
void RemoveEmpty(const std::string& folder, const std::string& top);

} // namespace ParentFolders

} // namespace ostrak
