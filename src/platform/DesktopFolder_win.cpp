#include "platform/DesktopFolder.h"

#include "platform/Files.h"

#include <shlobj.h>
#include <windows.h>

namespace ostrak {

std::string DesktopFolder() {
    LPITEMIDLIST list = nullptr;
    // 16: the user's desktop (CSIDL_DESKTOPDIRECTORY), a folder of the file system.
    if (FAILED(::SHGetSpecialFolderLocation(nullptr, CSIDL_DESKTOPDIRECTORY, &list)) || !list)
        return "";
    char buffer[MAX_PATH];
    const bool found = ::SHGetPathFromIDListA(list, buffer) != 0;
    ::CoTaskMemFree(list);
    std::string path = found ? buffer : "";
    if (path.empty() || !Files::IsDirectory(path))
        return "";
    if (path.back() != Files::Separator())
        path += Files::Separator();
    return path;
}

} // namespace ostrak
