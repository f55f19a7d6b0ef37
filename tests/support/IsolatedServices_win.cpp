#include "support/IsolatedServices.h"

#include "platform/Environment.h"
#include "platform/Settings.h"

#include <windows.h>

namespace ostrak {

namespace {

// The last part of a path: unique among the live temporary folders.
std::string LastPart(const std::string& path) {
    return path.substr(path.find_last_of("\\/") + 1);
}

} // namespace

// The settings go under a registry key of the test's (below the binary's
// own), the instance mutex gets a name of its own; the key goes at the end.
IsolatedServices::IsolatedServices() {
    const std::string tag = LastPart(Folder_.Path());
    Root_ = EnvironmentValue("OSTRAK_SETTINGS_KEY").value_or("Software\\Ostrak tests") + "\\" + tag;
    SetSettingsFolder(Root_);
    Env_.Set("OSTRAK_MUTEX_PREFIX",
             EnvironmentValue("OSTRAK_MUTEX_PREFIX").value_or("") + tag + ".");
}

IsolatedServices::~IsolatedServices() {
    SetSettingsFolder("");
    ::RegDeleteTreeA(HKEY_CURRENT_USER, Root_.c_str());
    ::RegDeleteKeyA(HKEY_CURRENT_USER, Root_.c_str());
}

bool IsolatedServices::SettingsStored(const std::string& application) const {
    HKEY key = nullptr;
    if (::RegOpenKeyExA(HKEY_CURRENT_USER, (Root_ + "\\" + application).c_str(), 0, KEY_READ,
                        &key) != ERROR_SUCCESS)
        return false;
    ::RegCloseKey(key);
    return true;
}

} // namespace ostrak
