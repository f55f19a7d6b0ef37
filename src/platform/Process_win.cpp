#include "platform/Process.h"

#include <windows.h>

namespace ostrak {

std::string ExecutableBaseName() {
    char path[MAX_PATH * 4];
    const DWORD n = ::GetModuleFileNameA(nullptr, path, sizeof path);
    std::string name(path, n < sizeof path ? n : 0);
    const auto slash = name.find_last_of("\\/");
    if (slash != std::string::npos)
        name.erase(0, slash + 1);
    const auto dot = name.rfind('.');
    if (dot != std::string::npos && dot > 0)
        name.erase(dot);
    return name;
}

} // namespace ostrak
