#include "platform/SystemFolder.h"

#include <windows.h>

namespace ostrak {

namespace {
std::string g_folder;
} // namespace

void SetSystemFolder(const std::string& folder) {
    g_folder = folder;
}

std::string SystemFolder() {
    if (!g_folder.empty())
        return g_folder;
    // The game is a 32-bit program: its libraries go where a 32-bit program
    // loads them, SysWOW64 on a 64-bit system.
    char folder[MAX_PATH * 4];
    UINT n = ::GetSystemWow64DirectoryA(folder, sizeof folder);
    if (n == 0 || n >= sizeof folder)
        n = ::GetSystemDirectoryA(folder, sizeof folder);
    std::string path(folder, n < sizeof folder ? n : 0);
    while (path.size() > 3 && (path.back() == '\\' || path.back() == '/'))
        path.pop_back();
    return path;
}

} // namespace ostrak
