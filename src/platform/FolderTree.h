#pragma once
// The file-system calls that removing a folder tree needs beyond Files.h,
// none of which ever follows a symbolic link: what a path is, the names in a
// folder, and removing one item. (Making an item removable is
// Files::MakeWritable, resolving a path Files::RealPath.)
//
// Paths are byte strings, passed to the OS unchanged. Nothing here raises:
// each call returns false on failure and, when failure is given, fills it
// as Files.h does, with Source = "FolderTree.<call>".
#include "runtime/ErrorRecord.h"

#include <cstdint>
#include <string>
#include <vector>

namespace ostrak {

namespace FolderTree {

enum class ItemKind { Folder, RegularFile, Link, Other };

struct ItemInfo {
    ItemKind Kind = ItemKind::Other;
    uint32_t Mode = 0; // permission bits (07777)
};

// What path itself is (a link is reported as a link, never followed).
bool Inspect(const std::string& path, ItemInfo& out, ErrorRecord* failure = nullptr);

// The names in a folder without "." and "..", in the order the system lists
// them (hidden names included). The folder itself must not be a link.
bool ListNames(const std::string& folder, std::vector<std::string>& out,
               ErrorRecord* failure = nullptr);

// Removes one item that is not a folder (a link itself, not its target).
bool RemoveItem(const std::string& path, ErrorRecord* failure = nullptr);
// Removes an empty folder.
bool RemoveEmptyFolder(const std::string& path, ErrorRecord* failure = nullptr);

} // namespace FolderTree

} // namespace ostrak
