#pragma once
// Removing things from a folder tree so that no link, rename or mount placed
// inside it, before or while it is removed, can lead the removal anywhere
// else.
//
// An OpenFolder holds the folder open; every call works relative to that
// handle, never by path, so the folder's own path may change meanwhile
// without effect. A link is removed, never followed, at every depth. A
// folder is entered only when it is the very folder that was listed (same
// device and inode) and lies on the same mount as the top, so a bind mount
// or a folder swapped in from elsewhere is left alone. No file's mode is
// ever changed; a folder is made writable (through its handle) only when the
// removal may (OwnsModes) and the folder belongs to this user. On Windows a
// reparse point (a symbolic link, a junction, a mount) is a link, and a
// folder's identity is its volume and file index; a folder removed goes when
// the last handle to it closes. There a read-only file, which the system
// will not remove, loses the attribute only to go and gets it back when it
// stays (the removal fails, or a hard link still leads to it), and a folder
// loses it where a folder would be made writable.
//
// Paths and names are byte strings, passed to the OS unchanged. Nothing here
// raises: each call returns false on failure and, when failure is given,
// fills it as Files.h does, with Source = "FolderTree.<call>".
#include "runtime/ErrorRecord.h"

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace ostrak {

namespace FolderTree {

class OpenFolder {
public:
    OpenFolder() = default;
    ~OpenFolder();
    OpenFolder(const OpenFolder&) = delete;
    OpenFolder& operator=(const OpenFolder&) = delete;

    // Opens the folder at path, an absolute path without links, "." or ".."
    // (Files::RealPath). It is walked one folder at a time from the root
    // without following a link, so a link put anywhere along it since it was
    // resolved and checked makes Open fail (ELOOP or ENOTDIR) instead of
    // opening some other folder.
    bool Open(const std::string& path, ErrorRecord* failure = nullptr);
    const std::string& Path() const { return Path_; }

    // Whether the removals below may make a folder of this user writable
    // (off: a folder that refuses a removal makes it fail).
    bool OwnsModes = false;

    // The names in the folder without "." and "..", in the order the system
    // lists them (hidden names included).
    bool ListNames(std::vector<std::string>& out, ErrorRecord* failure = nullptr) const;
    // Reads the regular file name (not a link): its first limit bytes.
    bool ReadFile(const std::string& name, size_t limit, std::string& out,
                  ErrorRecord* failure = nullptr) const;

    // What happened to one name handed to Remove.
    enum class Outcome { Removed, Absent, Kept, Failed };
    // Removes the entry name when it is not a folder (a link itself, never
    // its target). A folder, or a mount point, is Kept.
    Outcome RemoveEntry(const std::string& name, ErrorRecord* failure = nullptr) const;
    // Removes everything in the folder but the names in keepNames (at the top
    // only): files and links while the folder is listed, subfolders after
    // it, depth first, each folder last. A folder that is another mount, or
    // that is not the one listed, is not entered and is Kept (its path added
    // to kept). The first item that cannot be removed stops the removal:
    // false, with that item in failure.
    bool RemoveContents(const std::vector<std::string>& keepNames, std::vector<std::string>& kept,
                        ErrorRecord* failure = nullptr) const;
    // Removes the folder itself, when it is empty and its path still names it.
    bool RemoveSelf(ErrorRecord* failure = nullptr) const;

    void Close();

private:
    int Fd_ = -1;
    int ParentFd_ = -1;
    uint64_t Device_ = 0, Inode_ = 0, Mount_ = 0;
    std::string Path_;
};

} // namespace FolderTree

} // namespace ostrak
