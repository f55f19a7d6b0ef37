#include "filelist/FileName.h"

namespace ostrak {

bool IsSafeFileName(const std::string& name) {
    if (name.empty() || name == "." || name == "..")
        return false;
    for (char c : name) {
        auto b = static_cast<unsigned char>(c);
        if (b < 32 || b == 127 || c == '/' || c == '\\')
            return false;
    }
    return true;
}

} // namespace ostrak
