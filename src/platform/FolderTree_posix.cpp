#include "platform/FolderTree.h"

#include "platform/PosixError.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace ostrak {

namespace FolderTree {

namespace {

constexpr int FolderFlags = O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC;

bool Fail(ErrorRecord* failure, const char* source, const std::string& path, int code) {
    return ReportFailure(failure, source, path, code != 0 ? code : EIO);
}

std::string Join(const std::string& folder, const std::string& name) {
    return folder == "/" ? "/" + name : folder + "/" + name;
}

// Closes a descriptor when it goes.
struct Descriptor {
    int Fd = -1;
    explicit Descriptor(int fd) : Fd(fd) {}
    ~Descriptor() {
        if (Fd >= 0)
            ::close(Fd);
    }
    Descriptor(const Descriptor&) = delete;
    Descriptor& operator=(const Descriptor&) = delete;
};

bool SameItem(const struct stat& a, const struct stat& b) {
    return a.st_dev == b.st_dev && a.st_ino == b.st_ino;
}

// The id of the mount an open item lies on; 0 when the system tells none
// (then only the device number tells mounts apart).
uint64_t MountOf(int fd) {
    struct statx stx {};
    if (::statx(fd, "", AT_EMPTY_PATH, STATX_MNT_ID, &stx) == 0 && (stx.stx_mask & STATX_MNT_ID))
        return stx.stx_mnt_id;
    char name[64];
    std::snprintf(name, sizeof name, "/proc/self/fdinfo/%d", fd);
    FILE* info = std::fopen(name, "re");
    if (info == nullptr)
        return 0;
    unsigned long long id = 0;
    char line[128];
    while (std::fgets(line, sizeof line, info) != nullptr)
        if (std::sscanf(line, "mnt_id: %llu", &id) == 1)
            break;
    std::fclose(info);
    return id;
}

// Gives a folder of this user what removing its entries needs (read, write,
// enter), through its descriptor.
void MakeFolderUsable(int fd) {
    struct stat st {};
    if (::fstat(fd, &st) == 0 && st.st_uid == ::geteuid() && (st.st_mode & 0700) != 0700)
        ::fchmod(fd, (st.st_mode & 07777) | 0700);
}

// Opens the subfolder name of dirfd for listing, when it is still the folder
// listed (listed). One of this user that cannot be read is made readable
// first when fixModes, through a handle that refers to it alone. -1 with
// errno set otherwise (ESTALE: another folder stands there now).
int OpenListedFolder(int dirfd, const std::string& name, const struct stat& listed, bool fixModes) {
    int fd = ::openat(dirfd, name.c_str(), FolderFlags);
    if (fd < 0 && errno == EACCES && fixModes) {
        Descriptor handle(
            ::openat(dirfd, name.c_str(), O_PATH | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC));
        struct stat st {};
        if (handle.Fd < 0 || ::fstat(handle.Fd, &st) != 0)
            return -1;
        if (!SameItem(st, listed) || st.st_uid != ::geteuid()) {
            errno = EACCES;
            return -1;
        }
        // A handle opened with O_PATH cannot change modes itself; its entry
        // in /proc names exactly the folder it refers to.
        char self[64];
        std::snprintf(self, sizeof self, "/proc/self/fd/%d", handle.Fd);
        if (::chmod(self, (st.st_mode & 07777) | 0700) != 0)
            return -1;
        fd = ::openat(dirfd, name.c_str(), FolderFlags);
    }
    if (fd < 0)
        return -1;
    struct stat st {};
    if (::fstat(fd, &st) != 0 || !SameItem(st, listed)) {
        ::close(fd);
        errno = ESTALE;
        return -1;
    }
    return fd;
}

bool ListAt(int fd, std::vector<std::string>& out, const std::string& path, ErrorRecord* failure) {
    out.clear();
    // A description of its own, so that listings never share an offset.
    const int own = ::openat(fd, ".", O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (own < 0)
        return Fail(failure, "FolderTree.ListNames", path, errno);
    DIR* dir = ::fdopendir(own);
    if (dir == nullptr) {
        const int saved = errno;
        ::close(own);
        return Fail(failure, "FolderTree.ListNames", path, saved);
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
    return readError == 0 || Fail(failure, "FolderTree.ListNames", path, readError);
}

// The removal below one open folder of the tree.
struct Walk {
    uint64_t Device, Mount;
    bool FixModes;
    const std::vector<std::string>* KeepNames;
    std::vector<std::string>* Kept;
    ErrorRecord* Failure;

    bool Remove(int fd, const std::string& path, bool top) {
        if (FixModes)
            MakeFolderUsable(fd);
        std::vector<std::string> names;
        if (!ListAt(fd, names, path, Failure))
            return false;
        std::vector<std::pair<std::string, struct stat>> subfolders;
        for (const std::string& name : names) {
            if (top && std::find(KeepNames->begin(), KeepNames->end(), name) != KeepNames->end())
                continue;
            struct stat st {};
            if (::fstatat(fd, name.c_str(), &st, AT_SYMLINK_NOFOLLOW) != 0) {
                if (errno == ENOENT)
                    continue;
                return Fail(Failure, "FolderTree.RemoveContents", Join(path, name), errno);
            }
            if (S_ISDIR(st.st_mode)) {
                subfolders.emplace_back(name, st);
                continue;
            }
            if (::unlinkat(fd, name.c_str(), 0) == 0 || errno == ENOENT)
                continue;
            if (errno == EISDIR || errno == EBUSY) { // swapped for a folder, or a mount point
                Kept->push_back(Join(path, name));
                continue;
            }
            return Fail(Failure, "FolderTree.RemoveContents", Join(path, name), errno);
        }
        for (const auto& [name, listed] : subfolders) {
            const std::string item = Join(path, name);
            if (listed.st_dev != Device) { // another file system mounted here
                Kept->push_back(item);
                continue;
            }
            Descriptor child(OpenListedFolder(fd, name, listed, FixModes));
            if (child.Fd < 0) {
                if (errno == ENOENT)
                    continue;
                if (errno == ELOOP || errno == ENOTDIR || errno == ESTALE) {
                    Kept->push_back(item); // not the folder listed any more
                    continue;
                }
                return Fail(Failure, "FolderTree.RemoveContents", item, errno);
            }
            if (MountOf(child.Fd) != Mount) { // a bind mount: the same device, another mount
                Kept->push_back(item);
                continue;
            }
            const size_t keptBefore = Kept->size();
            if (!Remove(child.Fd, item, false))
                return false;
            if (::unlinkat(fd, name.c_str(), AT_REMOVEDIR) == 0 || errno == ENOENT)
                continue;
            if (errno == ENOTEMPTY || errno == EEXIST || errno == ENOTDIR || errno == EBUSY) {
                if (Kept->size() == keptBefore) // something else stands there now
                    Kept->push_back(item);
                continue;
            }
            return Fail(Failure, "FolderTree.RemoveContents", item, errno);
        }
        return true;
    }
};

} // namespace

OpenFolder::~OpenFolder() {
    Close();
}

void OpenFolder::Close() {
    for (int* fd : {&Fd_, &ParentFd_}) {
        if (*fd >= 0)
            ::close(*fd);
        *fd = -1;
    }
}

bool OpenFolder::Open(const std::string& path, ErrorRecord* failure) {
    Close();
    Path_ = path;
    if (path.empty() || path.front() != '/')
        return Fail(failure, "FolderTree.Open", path, EINVAL);
    int parent = -1;
    int fd = ::open("/", O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    for (size_t at = 1; fd >= 0 && at < path.size();) {
        const size_t end = std::min(path.find('/', at), path.size());
        const std::string part = path.substr(at, end - at);
        at = end + 1;
        if (part.empty())
            continue;
        // The folders on the way need only be entered; the last is listed.
        const bool last = at >= path.size();
        const int next = ::openat(
            fd, part.c_str(), last ? FolderFlags : O_PATH | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
        const int saved = errno;
        if (parent >= 0)
            ::close(parent);
        parent = fd;
        fd = next;
        errno = saved;
    }
    if (fd < 0) {
        const int saved = errno;
        if (parent >= 0)
            ::close(parent);
        return Fail(failure, "FolderTree.Open", path, saved);
    }
    struct stat st {};
    if (::fstat(fd, &st) != 0) {
        const int saved = errno;
        ::close(fd);
        if (parent >= 0)
            ::close(parent);
        return Fail(failure, "FolderTree.Open", path, saved);
    }
    Fd_ = fd;
    ParentFd_ = parent;
    Device_ = st.st_dev;
    Inode_ = st.st_ino;
    Mount_ = MountOf(fd);
    return true;
}

bool OpenFolder::ListNames(std::vector<std::string>& out, ErrorRecord* failure) const {
    return ListAt(Fd_, out, Path_, failure);
}

bool OpenFolder::ReadFile(const std::string& name, size_t limit, std::string& out,
                          ErrorRecord* failure) const {
    const std::string path = Join(Path_, name);
    Descriptor file(::openat(Fd_, name.c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC));
    struct stat st {};
    if (file.Fd < 0 || ::fstat(file.Fd, &st) != 0)
        return Fail(failure, "FolderTree.ReadFile", path, errno);
    if (!S_ISREG(st.st_mode))
        return ReportFailureText(failure, "FolderTree.ReadFile", path, "not a regular file");
    out.assign(limit, '\0');
    size_t have = 0;
    while (have < out.size()) {
        const ssize_t n = ::read(file.Fd, out.data() + have, out.size() - have);
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0)
            return Fail(failure, "FolderTree.ReadFile", path, errno);
        if (n == 0)
            break;
        have += static_cast<size_t>(n);
    }
    out.resize(have);
    return true;
}

OpenFolder::Outcome OpenFolder::RemoveEntry(const std::string& name, ErrorRecord* failure) const {
    struct stat st {};
    if (::fstatat(Fd_, name.c_str(), &st, AT_SYMLINK_NOFOLLOW) != 0) {
        if (errno == ENOENT)
            return Outcome::Absent;
        Fail(failure, "FolderTree.RemoveEntry", Join(Path_, name), errno);
        return Outcome::Failed;
    }
    if (S_ISDIR(st.st_mode))
        return Outcome::Kept;
    if (::unlinkat(Fd_, name.c_str(), 0) == 0)
        return Outcome::Removed;
    if (errno == ENOENT)
        return Outcome::Absent;
    if (errno == EISDIR || errno == EBUSY)
        return Outcome::Kept;
    Fail(failure, "FolderTree.RemoveEntry", Join(Path_, name), errno);
    return Outcome::Failed;
}

bool OpenFolder::RemoveContents(const std::vector<std::string>& keepNames,
                                std::vector<std::string>& kept, ErrorRecord* failure) const {
    Walk walk{Device_, Mount_, OwnsModes, &keepNames, &kept, failure};
    return walk.Remove(Fd_, Path_, true);
}

bool OpenFolder::RemoveSelf(ErrorRecord* failure) const {
    const std::string name = Path_.substr(Path_.rfind('/') + 1);
    struct stat st {};
    if (ParentFd_ < 0 || name.empty())
        return Fail(failure, "FolderTree.RemoveSelf", Path_, EBUSY);
    if (::fstatat(ParentFd_, name.c_str(), &st, AT_SYMLINK_NOFOLLOW) != 0)
        return Fail(failure, "FolderTree.RemoveSelf", Path_, errno);
    if (st.st_dev != Device_ || st.st_ino != Inode_)
        return ReportFailureText(failure, "FolderTree.RemoveSelf", Path_,
                                 "another item stands there now");
    return ::unlinkat(ParentFd_, name.c_str(), AT_REMOVEDIR) == 0 ||
           Fail(failure, "FolderTree.RemoveSelf", Path_, errno);
}

} // namespace FolderTree

} // namespace ostrak
