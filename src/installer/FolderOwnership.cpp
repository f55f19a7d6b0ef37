#include "installer/FolderOwnership.h"

#include "platform/Files.h"

#include <cstdio>
#include <random>
#include <vector>

namespace ostrak {

namespace FolderOwnership {

namespace {

constexpr size_t IdBytes = 16;

std::string NewId() {
    std::random_device source;
    std::string id;
    for (size_t i = 0; i < IdBytes; i += 4) {
        char hex[9];
        std::snprintf(hex, sizeof hex, "%08x", static_cast<unsigned>(source()));
        id += hex;
    }
    return id;
}

} // namespace

bool MayClaim(const std::string& folder) {
    if (!Files::Exists(folder))
        return true;
    std::vector<Files::DirEntry> entries;
    return Files::IsDirectory(folder) && Files::ListDirectory(folder, entries) && entries.empty();
}

std::string Claim(const std::string& folder) {
    const std::string id = NewId();
    return Files::CreatePrivateFile(Files::JoinPath(folder, MarkerName), id + "\n") ? id : "";
}

bool Proves(const std::string& marker, const std::string& storedId) {
    return storedId.size() == 2 * IdBytes && marker == storedId + "\n";
}

} // namespace FolderOwnership

} // namespace ostrak
