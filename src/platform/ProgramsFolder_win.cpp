#include "platform/ProgramsFolder.h"

#include <shlobj.h>
#include <windows.h>

namespace ostrak {

std::string ProgramsFolder() {
    char folder[MAX_PATH] = {};
    if (FAILED(
            ::SHGetFolderPathA(nullptr, CSIDL_PROGRAM_FILES, nullptr, SHGFP_TYPE_CURRENT, folder)))
        return "C:\\Program Files";
    std::string path = folder;
    while (path.size() > 3 && (path.back() == '\\' || path.back() == '/'))
        path.pop_back();
    return path;
}

} // namespace ostrak
