#include "platform/Environment.h"

#include <cstdlib>
#include <windows.h>

namespace ostrak {

std::optional<std::string> EnvironmentValue(const std::string& name) {
    const char* value = std::getenv(name.c_str());
    if (value == nullptr)
        return std::nullopt;
    return std::string(value);
}

void SetEnvironmentValue(const std::string& name, const std::optional<std::string>& value) {
    // The C runtime's copy, which getenv reads, and the process's own; an
    // empty value removes the variable.
    ::_putenv_s(name.c_str(), value ? value->c_str() : "");
}

std::string HomeFolder() {
    std::string home;
    if (const char* profile = std::getenv("USERPROFILE"); profile != nullptr && *profile != '\0')
        home = profile;
    else if (const char* drive = std::getenv("HOMEDRIVE"), *path = std::getenv("HOMEPATH");
             drive != nullptr && path != nullptr)
        home = std::string(drive) + path;
    while (home.size() > 3 && (home.back() == '\\' || home.back() == '/'))
        home.pop_back();
    return home.empty() ? "\\" : home;
}

std::string RuntimeFolder() {
    // The user's own temporary folder; nothing of the XDG rules applies here.
    char folder[MAX_PATH + 1];
    const DWORD n = ::GetTempPathA(sizeof folder, folder);
    std::string path(folder, n < sizeof folder ? n : 0);
    while (path.size() > 3 && (path.back() == '\\' || path.back() == '/'))
        path.pop_back();
    return path.empty() ? HomeFolder() : path;
}

void ProvideRuntimeFolder() {
    // Nothing here asks for XDG_RUNTIME_DIR.
}

} // namespace ostrak
