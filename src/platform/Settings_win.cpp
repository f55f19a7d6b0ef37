#include "platform/Settings.h"

#include "platform/Environment.h"

#include <windows.h>

namespace ostrak {

namespace {

constexpr char DefaultRoot[] = "Software\\VB and VBA Program Settings";
std::string g_root;

// The key under HKEY_CURRENT_USER that holds application's sections: the
// one SetSettingsFolder named, else (in builds with the test suite)
// OSTRAK_SETTINGS_KEY, so that tests that share a registry each have their
// own, else where the runtime kept them.
std::string ApplicationKey(const std::string& application) {
    std::string root = g_root;
#if OSTRAK_TEST_SEAMS
    if (root.empty())
        root = EnvironmentValue("OSTRAK_SETTINGS_KEY").value_or("");
#endif
    if (root.empty())
        root = DefaultRoot;
    return root + "\\" + application;
}

std::string SectionKey(const std::string& application, const std::string& section) {
    return ApplicationKey(application) + "\\" + section;
}

} // namespace

std::string SettingsFilePath(const std::string& application) {
    return "HKEY_CURRENT_USER\\" + ApplicationKey(application);
}

void SetSettingsFolder(const std::string& folder) {
    g_root = folder;
}

std::string GetSetting(const std::string& application, const std::string& section,
                       const std::string& key, const std::string& defaultValue) {
    HKEY h = nullptr;
    if (::RegOpenKeyExA(HKEY_CURRENT_USER, SectionKey(application, section).c_str(), 0,
                        KEY_QUERY_VALUE, &h) != ERROR_SUCCESS)
        return defaultValue;
    DWORD type = 0;
    DWORD size = 0;
    std::string value;
    LONG status = ::RegQueryValueExA(h, key.c_str(), nullptr, &type, nullptr, &size);
    if (status == ERROR_SUCCESS && (type == REG_SZ || type == REG_EXPAND_SZ)) {
        value.resize(size);
        status = ::RegQueryValueExA(h, key.c_str(), nullptr, &type,
                                    reinterpret_cast<BYTE*>(value.data()), &size);
        value.resize(status == ERROR_SUCCESS ? size : 0);
        // The stored terminator (or terminators) are not part of the value.
        while (!value.empty() && value.back() == '\0')
            value.pop_back();
    }
    ::RegCloseKey(h);
    return status == ERROR_SUCCESS && (type == REG_SZ || type == REG_EXPAND_SZ) ? value
                                                                                : defaultValue;
}

bool SaveSetting(const std::string& application, const std::string& section, const std::string& key,
                 const std::string& value) {
    HKEY h = nullptr;
    if (::RegCreateKeyExA(HKEY_CURRENT_USER, SectionKey(application, section).c_str(), 0, nullptr,
                          REG_OPTION_NON_VOLATILE, KEY_SET_VALUE, nullptr, &h,
                          nullptr) != ERROR_SUCCESS)
        return false;
    const LONG status =
        ::RegSetValueExA(h, key.c_str(), 0, REG_SZ, reinterpret_cast<const BYTE*>(value.c_str()),
                         static_cast<DWORD>(value.size() + 1));
    ::RegCloseKey(h);
    return status == ERROR_SUCCESS;
}

bool DeleteSetting(const std::string& application, const std::string& section) {
    HKEY h = nullptr;
    LONG status = ::RegOpenKeyExA(HKEY_CURRENT_USER, ApplicationKey(application).c_str(), 0,
                                  KEY_ALL_ACCESS, &h);
    if (status == ERROR_FILE_NOT_FOUND)
        return true;
    if (status != ERROR_SUCCESS)
        return false;
    status = ::RegDeleteTreeA(h, section.c_str());
    ::RegCloseKey(h);
    return status == ERROR_SUCCESS || status == ERROR_FILE_NOT_FOUND;
}

bool RemoveEmptySettings(const std::string& application) {
    // The application's key, once no section and no value is left in it.
    const std::string key = ApplicationKey(application);
    const auto slash = key.rfind('\\');
    HKEY parent = nullptr;
    if (::RegOpenKeyExA(HKEY_CURRENT_USER, key.substr(0, slash).c_str(), 0, KEY_ALL_ACCESS,
                        &parent) != ERROR_SUCCESS)
        return false;
    HKEY own = nullptr;
    DWORD subkeys = 1, values = 1;
    const bool empty =
        ::RegOpenKeyExA(parent, application.c_str(), 0, KEY_QUERY_VALUE, &own) == ERROR_SUCCESS &&
        ::RegQueryInfoKeyA(own, nullptr, nullptr, nullptr, &subkeys, nullptr, nullptr, &values,
                           nullptr, nullptr, nullptr, nullptr) == ERROR_SUCCESS &&
        subkeys == 0 && values == 0;
    if (own != nullptr)
        ::RegCloseKey(own);
    const bool removed = empty && ::RegDeleteKeyA(parent, application.c_str()) == ERROR_SUCCESS;
    ::RegCloseKey(parent);
    return removed;
}

bool DeleteSetting(const std::string& application, const std::string& section,
                   const std::string& key) {
    HKEY h = nullptr;
    LONG status = ::RegOpenKeyExA(HKEY_CURRENT_USER, SectionKey(application, section).c_str(), 0,
                                  KEY_SET_VALUE, &h);
    if (status == ERROR_FILE_NOT_FOUND)
        return true;
    if (status != ERROR_SUCCESS)
        return false;
    status = ::RegDeleteValueA(h, key.c_str());
    ::RegCloseKey(h);
    return status == ERROR_SUCCESS || status == ERROR_FILE_NOT_FOUND;
}

} // namespace ostrak
