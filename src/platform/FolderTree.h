#pragma once
// The file-system calls that removing a folder tree needs, none of which ever
// follows a symbolic link: what a path is, the names in a folder, making an
// item usable by its owner, removing one item, and resolving a path.
//
// Paths are byte strings, passed to the OS unchanged. Nothing here raises:
// each call returns false on failure and, when failure is given, fills it
// with Number = the system's error number (errno), Description =
// "<path>: <the system's reason>" and Source = "FolderTree.<call>".
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

// True when the owner may already do what removing needs: write a file;
// read, write and enter a folder. Links and other items need nothing.
bool OwnerMayRemoveFrom(const ItemInfo& info);
// Adds those permissions to a file or folder that lacks them (info is what
// Inspect said about path). Never changes a link or what it points to.
bool MakeOwnerWritable(const std::string& path, const ItemInfo& info,
                       ErrorRecord* failure = nullptr);

// Removes one item that is not a folder (a link itself, not its target).
bool RemoveItem(const std::string& path, ErrorRecord* failure = nullptr);
// Removes an empty folder.
bool RemoveEmptyFolder(const std::string& path, ErrorRecord* failure = nullptr);

// The absolute path with every link, "." and ".." resolved; the path must exist.
bool ResolvePath(const std::string& path, std::string& out, ErrorRecord* failure = nullptr);

} // namespace FolderTree

} // namespace ostrak
