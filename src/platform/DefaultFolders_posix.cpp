#include "platform/DefaultFolders.h"

#include <cstdlib>
#include <pwd.h>
#include <unistd.h>

std::string HomeFolder() {
    const char* home = std::getenv("HOME");
    if (home != nullptr && *home != '\0')
        return home;
    if (const passwd* pw = ::getpwuid(::getuid()); pw != nullptr && pw->pw_dir != nullptr)
        return pw->pw_dir;
    return "/";
}

std::string DefaultInstallFolder() {
    std::string home = HomeFolder();
    if (home.size() > 1 && home.back() == '/')
        home.pop_back();
    return (home == "/" ? std::string() : home) + "/Games/Ostrak";
}
