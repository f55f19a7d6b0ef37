#include "platform/SystemFolder.h"

#include "platform/Environment.h"
#include "platform/Files.h"

#include <optional>

namespace ostrak {

namespace {

std::string WithoutTrailingSeparators(std::string path) {
    while (path.size() > 1 && path.back() == '/')
        path.pop_back();
    return path;
}

} // namespace

namespace {
std::string g_folder;
} // namespace

void SetSystemFolder(const std::string& folder) {
    g_folder = folder;
}

std::string SystemFolder() {
    if (!g_folder.empty())
        return g_folder;
    const std::optional<std::string> prefix = EnvironmentValue("WINEPREFIX");
    const std::string wine = prefix && !prefix->empty() ? WithoutTrailingSeparators(*prefix)
                                                        : Files::JoinPath(HomeFolder(), ".wine");
    const std::string system32 = wine + "/drive_c/windows/system32";
    if (Files::IsDirectory(system32))
        return system32;

    const std::string lib = Files::JoinPath(HomeFolder(), ".local/lib");
    if (!Files::IsDirectory(lib))
        Files::MakeFolders(lib);
    return lib;
}

} // namespace ostrak
