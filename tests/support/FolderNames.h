#pragma once
// Listing a folder from tests, the one way tests look at what a folder holds.
#include <string>
#include <vector>

namespace ostrak {

enum class Depth {
    Top,  // the entries of the folder itself
    Tree, // everything below it, as paths relative to it ("a", "a/b")
};

// Names in a folder, sorted, hidden ones included; a link is listed as
// itself, never followed. A folder that is missing or cannot be read has no
// names.
std::vector<std::string> FolderNames(const std::string& folder, Depth depth = Depth::Top);

} // namespace ostrak
