#include "platform/Environment.h"

#include <cstdlib>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

namespace ostrak {

namespace {

std::string AbsoluteVariable(const char* name) {
    const char* value = std::getenv(name);
    return value != nullptr && *value == '/' ? std::string(value) : std::string();
}

// The stand-in for a missing runtime folder, or "" when it cannot be trusted.
std::string PrivateRuntimeFolder() {
    std::string tmp = AbsoluteVariable("TMPDIR");
    while (tmp.size() > 1 && tmp.back() == '/')
        tmp.pop_back();
    const std::string path = (tmp.empty() ? std::string("/tmp") : tmp) + "/ostrak-runtime-" +
                             std::to_string(::geteuid());
    ::mkdir(path.c_str(), 0700);
    struct stat st {};
    if (::lstat(path.c_str(), &st) != 0 || !S_ISDIR(st.st_mode) || st.st_uid != ::geteuid())
        return "";
    if ((st.st_mode & 07777) != 0700 && ::chmod(path.c_str(), 0700) != 0)
        return "";
    return path;
}

} // namespace

std::string RuntimeFolder() {
    std::string folder = AbsoluteVariable("XDG_RUNTIME_DIR");
    if (folder.empty())
        folder = PrivateRuntimeFolder();
    return folder.empty() ? HomeFolder() : folder;
}

void ProvideRuntimeFolder() {
    if (!AbsoluteVariable("XDG_RUNTIME_DIR").empty())
        return;
    const std::string folder = PrivateRuntimeFolder();
    if (!folder.empty())
        ::setenv("XDG_RUNTIME_DIR", folder.c_str(), 1);
}

std::optional<std::string> EnvironmentValue(const std::string& name) {
    const char* value = std::getenv(name.c_str());
    if (value == nullptr)
        return std::nullopt;
    return std::string(value);
}

void SetEnvironmentValue(const std::string& name, const std::optional<std::string>& value) {
    if (value)
        ::setenv(name.c_str(), value->c_str(), 1);
    else
        ::unsetenv(name.c_str());
}

std::string HomeFolder() {
    std::string home;
    if (const char* env = std::getenv("HOME"); env != nullptr && *env != '\0')
        home = env;
    else if (const passwd* pw = ::getpwuid(::getuid()); pw != nullptr && pw->pw_dir != nullptr)
        home = pw->pw_dir;
    while (home.size() > 1 && home.back() == '/')
        home.pop_back();
    return home.empty() ? "/" : home;
}

} // namespace ostrak
