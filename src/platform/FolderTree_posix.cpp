#include "platform/FolderTree.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace ostrak {

namespace FolderTree {

namespace {

// The permissions removing needs from the owner.
constexpr uint32_t FileNeeds = S_IWUSR;
constexpr uint32_t FolderNeeds = S_IRUSR | S_IWUSR | S_IXUSR;

// Fills failure from errno (saved before anything else can change it).
bool Fail(ErrorRecord* failure, const char* call, const std::string& path) {
    const int number = errno != 0 ? errno : EIO;
    if (failure != nullptr)
        *failure = ErrorRecord{number, path + ": " + std::strerror(number),
                               std::string("FolderTree.") + call};
    return false;
}

} // namespace

bool Inspect(const std::string& path, ItemInfo& out, ErrorRecord* failure) {
    struct stat st {};
    if (::lstat(path.c_str(), &st) != 0)
        return Fail(failure, "Inspect", path);
    out.Mode = st.st_mode & 07777;
    if (S_ISLNK(st.st_mode))
        out.Kind = ItemKind::Link;
    else if (S_ISDIR(st.st_mode))
        out.Kind = ItemKind::Folder;
    else if (S_ISREG(st.st_mode))
        out.Kind = ItemKind::RegularFile;
    else
        out.Kind = ItemKind::Other;
    return true;
}

bool ListNames(const std::string& folder, std::vector<std::string>& out, ErrorRecord* failure) {
    out.clear();
    const int fd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
    if (fd < 0)
        return Fail(failure, "ListNames", folder);
    DIR* dir = ::fdopendir(fd);
    if (dir == nullptr) {
        const int saved = errno;
        ::close(fd);
        errno = saved;
        return Fail(failure, "ListNames", folder);
    }
    for (;;) {
        errno = 0;
        const dirent* e = ::readdir(dir);
        if (e == nullptr)
            break;
        if (std::strcmp(e->d_name, ".") != 0 && std::strcmp(e->d_name, "..") != 0)
            out.emplace_back(e->d_name);
    }
    const int readError = errno;
    ::closedir(dir);
    if (readError != 0) {
        errno = readError;
        return Fail(failure, "ListNames", folder);
    }
    return true;
}

bool OwnerMayRemoveFrom(const ItemInfo& info) {
    switch (info.Kind) {
    case ItemKind::Folder:
        return (info.Mode & FolderNeeds) == FolderNeeds;
    case ItemKind::RegularFile:
        return (info.Mode & FileNeeds) == FileNeeds;
    default:
        return true;
    }
}

bool MakeOwnerWritable(const std::string& path, const ItemInfo& info, ErrorRecord* failure) {
    if (OwnerMayRemoveFrom(info))
        return true;
    const uint32_t needs = info.Kind == ItemKind::Folder ? FolderNeeds : FileNeeds;
    // AT_SYMLINK_NOFOLLOW: should path have become a link meanwhile, the call
    // fails instead of changing the link's target.
    if (::fchmodat(AT_FDCWD, path.c_str(), static_cast<mode_t>(info.Mode | needs),
                   AT_SYMLINK_NOFOLLOW) != 0)
        return Fail(failure, "MakeOwnerWritable", path);
    return true;
}

bool RemoveItem(const std::string& path, ErrorRecord* failure) {
    if (::unlink(path.c_str()) != 0)
        return Fail(failure, "RemoveItem", path);
    return true;
}

bool RemoveEmptyFolder(const std::string& path, ErrorRecord* failure) {
    if (::rmdir(path.c_str()) != 0)
        return Fail(failure, "RemoveEmptyFolder", path);
    return true;
}

bool ResolvePath(const std::string& path, std::string& out, ErrorRecord* failure) {
    char* resolved = ::realpath(path.c_str(), nullptr);
    if (resolved == nullptr)
        return Fail(failure, "ResolvePath", path);
    out = resolved;
    std::free(resolved);
    return true;
}

} // namespace FolderTree

} // namespace ostrak
