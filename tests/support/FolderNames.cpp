#include "support/FolderNames.h"

#include <algorithm>
#include <filesystem>

namespace ostrak {

std::vector<std::string> FolderNames(const std::string& folder, Depth depth) {
    namespace fs = std::filesystem;
    std::vector<std::string> names;
    std::error_code ec;
    if (depth == Depth::Top) {
        for (fs::directory_iterator it(folder, ec), end; !ec && it != end; it.increment(ec))
            names.push_back(it->path().filename().string());
    } else {
        for (fs::recursive_directory_iterator it(folder, ec), end; !ec && it != end;
             it.increment(ec))
            names.push_back(it->path().lexically_relative(folder).string());
    }
    std::sort(names.begin(), names.end());
    return names;
}

} // namespace ostrak
