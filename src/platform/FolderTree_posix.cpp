#include "platform/FolderTree.h"

#include "platform/PosixError.h"

#include <cerrno>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace ostrak {

namespace FolderTree {

namespace {

// Fills failure from errno (saved before anything else can change it).
bool Fail(ErrorRecord* failure, const char* source, const std::string& path) {
    return ReportFailure(failure, source, path, errno != 0 ? errno : EIO);
}

} // namespace

bool Inspect(const std::string& path, ItemInfo& out, ErrorRecord* failure) {
    struct stat st {};
    if (::lstat(path.c_str(), &st) != 0)
        return Fail(failure, "FolderTree.Inspect", path);
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
        return Fail(failure, "FolderTree.ListNames", folder);
    DIR* dir = ::fdopendir(fd);
    if (dir == nullptr) {
        const int saved = errno;
        ::close(fd);
        errno = saved;
        return Fail(failure, "FolderTree.ListNames", folder);
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
        return Fail(failure, "FolderTree.ListNames", folder);
    }
    return true;
}

bool RemoveItem(const std::string& path, ErrorRecord* failure) {
    if (::unlink(path.c_str()) != 0)
        return Fail(failure, "FolderTree.RemoveItem", path);
    return true;
}

bool RemoveEmptyFolder(const std::string& path, ErrorRecord* failure) {
    if (::rmdir(path.c_str()) != 0)
        return Fail(failure, "FolderTree.RemoveEmptyFolder", path);
    return true;
}

} // namespace FolderTree

} // namespace ostrak
