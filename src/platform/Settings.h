#pragma once
// The per-user settings store: text values addressed by application, section
// and key. Each application has one INI file in the user's config folder
// ($XDG_CONFIG_HOME/<application>.ini, else ~/.config/<application>.ini).
// Every call reads or writes the file itself, so values are shared at once
// with other instances and other processes. UI thread only.
#include <string>

namespace ostrak {

// The stored value, or defaultValue when the key (or its file) is absent.
std::string GetSetting(const std::string& application, const std::string& section,
                       const std::string& key, const std::string& defaultValue = "");
// Stores value; false when the store could not be written.
bool SaveSetting(const std::string& application, const std::string& section, const std::string& key,
                 const std::string& value);
// Removes a whole section with every key in it; false when the store could
// not be written. Removing what is absent succeeds.
bool DeleteSetting(const std::string& application, const std::string& section);
// Removes one key of a section, as above.
bool DeleteSetting(const std::string& application, const std::string& section,
                   const std::string& key);

// Removes the INI file of application when it holds no key and nothing but
// blank lines (a comment someone wrote keeps it); true when it was removed.
bool RemoveEmptySettings(const std::string& application);

// Where the INI file of application lives.
std::string SettingsFilePath(const std::string& application);

// Keeps every store under folder from now on instead of the user's config
// folder ("" goes back to it). For tests that run side by side.
void SetSettingsFolder(const std::string& folder);

} // namespace ostrak
