#include "installer/ParentFolders.h"

#include "platform/Files.h"

namespace ostrak {

namespace ParentFolders {

std::string OutermostMissing(const std::string& folder) {
    std::string missing;
    for (std::string parent = Files::ParentFolder(folder);
         parent.size() > 1 && parent != "." && !Files::Exists(parent);
         parent = Files::ParentFolder(parent))
        missing = parent;
    return missing;
}

void RemoveEmpty(const std::string& folder, const std::string& top) {
    const std::string prefix = Files::JoinPath(top, "");
    if (top.size() < 2 || folder.compare(0, prefix.size(), prefix) != 0)
        return;
    // Removing a folder that is not empty fails: what the player keeps there stays.
    for (std::string parent = Files::ParentFolder(folder); parent.size() >= top.size();
         parent = Files::ParentFolder(parent))
        if (!Files::RemoveFolder(parent))
            return;
}

} // namespace ParentFolders

} // namespace ostrak
