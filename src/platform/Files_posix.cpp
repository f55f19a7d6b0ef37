#include "platform/Files.h"

#include "platform/FileTimes.h"
#include "platform/PosixError.h"

#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <dirent.h>
#include <fcntl.h>
#include <stdio.h> // renameat2
#include <strings.h>
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <unistd.h>

namespace ostrak {

namespace Files {

char Separator() {
    return '/';
}

std::string JoinPath(const std::string& folder, const std::string& name) {
    if (!folder.empty() && folder.back() == Separator())
        return folder + name;
    return folder + Separator() + name;
}

namespace {

// path without trailing separators (the root stays "/").
std::string Trimmed(const std::string& path) {
    std::string out = path;
    while (out.size() > 1 && out.back() == '/')
        out.pop_back();
    return out;
}

} // namespace

std::string ParentFolder(const std::string& path) {
    const std::string trimmed = Trimmed(path);
    const auto slash = trimmed.rfind('/');
    if (slash == std::string::npos)
        return ".";
    if (slash == 0)
        return "/";
    return Trimmed(trimmed.substr(0, slash));
}

std::string BaseName(const std::string& path) {
    const std::string trimmed = Trimmed(path);
    const auto slash = trimmed.rfind('/');
    if (slash == std::string::npos || trimmed == "/")
        return trimmed;
    return trimmed.substr(slash + 1);
}

bool IsAbsolutePath(const std::string& path) {
    return !path.empty() && path[0] == '/';
}

bool IsRootPath(const std::string& path) {
    return path == "/";
}

int64_t FileLength(const std::string& path, ErrorRecord* failure) {
    struct stat st {};
    if (::stat(path.c_str(), &st) != 0)
        return ReportFailure(failure, "Files.FileLength", path, errno), -1;
    return static_cast<int64_t>(st.st_size);
}

bool IsDirectory(const std::string& path, ErrorRecord* failure) {
    struct stat st {};
    if (::stat(path.c_str(), &st) != 0)
        return ReportFailure(failure, "Files.IsDirectory", path, errno);
    if (!S_ISDIR(st.st_mode))
        return ReportFailure(failure, "Files.IsDirectory", path, ENOTDIR);
    return true;
}

bool Exists(const std::string& path, ErrorRecord* failure) {
    struct stat st {};
    return ::lstat(path.c_str(), &st) == 0 || ReportFailure(failure, "Files.Exists", path, errno);
}

bool RemoveFile(const std::string& path, ErrorRecord* failure) {
    return ::unlink(path.c_str()) == 0 || ReportFailure(failure, "Files.RemoveFile", path, errno);
}

bool MakeDirectory(const std::string& path, ErrorRecord* failure) {
    return ::mkdir(path.c_str(), 0777) == 0 ||
           ReportFailure(failure, "Files.MakeDirectory", path, errno);
}

bool RemoveFolder(const std::string& path, ErrorRecord* failure) {
    return ::rmdir(path.c_str()) == 0 || ReportFailure(failure, "Files.RemoveFolder", path, errno);
}

bool RemoveTree(const std::string& path, ErrorRecord* failure) {
    struct stat st {};
    if (::lstat(path.c_str(), &st) != 0)
        return errno == ENOENT || ReportFailure(failure, "Files.RemoveTree", path, errno);
    if (!S_ISDIR(st.st_mode))
        return ::unlink(path.c_str()) == 0 || errno == ENOENT ||
               ReportFailure(failure, "Files.RemoveTree", path, errno);
    std::vector<DirEntry> entries;
    if (!ListDirectory(path, entries, failure))
        return PassOnFailureAs(failure, "Files.RemoveTree");
    bool ok = true;
    for (const DirEntry& e : entries)
        ok = RemoveTree(JoinPath(path, e.Name), ok ? failure : nullptr) && ok;
    if (!RemoveFolder(path, ok ? failure : nullptr))
        return ok && PassOnFailureAs(failure, "Files.RemoveTree");
    return ok;
}

bool RenamePath(const std::string& from, const std::string& to, ErrorRecord* failure) {
    return ::rename(from.c_str(), to.c_str()) == 0 ||
           ReportFailure(failure, "Files.RenamePath", to, errno);
}

bool SameFileSystem(const std::string& a, const std::string& b, ErrorRecord* failure) {
    struct stat sa {};
    struct stat sb {};
    if (::stat(a.c_str(), &sa) != 0)
        return ReportFailure(failure, "Files.SameFileSystem", a, errno);
    if (::stat(b.c_str(), &sb) != 0)
        return ReportFailure(failure, "Files.SameFileSystem", b, errno);
    return sa.st_dev == sb.st_dev;
}

bool RealPath(const std::string& path, std::string& out, ErrorRecord* failure) {
    char* resolved = ::realpath(path.c_str(), nullptr);
    if (resolved == nullptr)
        return ReportFailure(failure, "Files.RealPath", path, errno);
    out = resolved;
    std::free(resolved);
    return true;
}

bool ListDirectory(const std::string& path, std::vector<DirEntry>& out, ErrorRecord* failure) {
    out.clear();
    DIR* dir = ::opendir(path.c_str());
    if (dir == nullptr)
        return ReportFailure(failure, "Files.ListDirectory", path, errno);
    errno = 0;
    while (dirent* e = ::readdir(dir)) {
        std::string name = e->d_name;
        if (name == "." || name == "..")
            continue;
        DirEntry entry;
        entry.Name = name;
        struct stat st {};
        if (::lstat(JoinPath(path, name).c_str(), &st) == 0) {
            entry.IsSymlink = S_ISLNK(st.st_mode);
            entry.IsDirectory = S_ISDIR(st.st_mode);
            entry.IsRegular = S_ISREG(st.st_mode);
        }
        out.push_back(std::move(entry));
        errno = 0;
    }
    const int code = errno;
    ::closedir(dir);
    return code == 0 || ReportFailure(failure, "Files.ListDirectory", path, code);
}

bool ExchangePaths(const std::string& a, const std::string& b, ErrorRecord* failure) {
#ifdef RENAME_EXCHANGE
    return ::renameat2(AT_FDCWD, a.c_str(), AT_FDCWD, b.c_str(), RENAME_EXCHANGE) == 0 ||
           ReportFailure(failure, "Files.ExchangePaths", b, errno);
#else
    (void)a;
    return ReportFailure(failure, "Files.ExchangePaths", b, ENOSYS);
#endif
}

bool FreeSpace(const std::string& path, int64_t& available, int64_t& size, ErrorRecord* failure) {
    struct statvfs st {};
    if (::statvfs(path.c_str(), &st) != 0)
        return ReportFailure(failure, "Files.FreeSpace", path, errno);
    const auto bytes = [&](fsblkcnt_t blocks) {
        const unsigned __int128 n = static_cast<unsigned __int128>(blocks) * st.f_frsize;
        return n > INT64_MAX ? INT64_MAX : static_cast<int64_t>(n);
    };
    available = bytes(st.f_bavail);
    size = bytes(st.f_blocks);
    return true;
}

bool IsNoSpace(const ErrorRecord& failure) {
    return failure.Number == ENOSPC || failure.Number == EDQUOT || failure.Number == EFBIG;
}

bool SyncDirectory(const std::string& path, ErrorRecord* failure) {
    const int fd = ::open(path.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0)
        return ReportFailure(failure, "Files.SyncDirectory", path, errno);
    const bool ok = ::fsync(fd) == 0 || ReportFailure(failure, "Files.SyncDirectory", path, errno);
    ::close(fd);
    return ok;
}

std::string Dir(const std::string& path) {
    struct stat st {
    }, own{};
    if (path.empty() || path.back() == '/' || ::stat(path.c_str(), &st) != 0 ||
        S_ISDIR(st.st_mode) || ::lstat(path.c_str(), &own) != 0)
        return "";
    const auto slash = path.rfind('/');
    const std::string asked = slash == std::string::npos ? path : path.substr(slash + 1);
    // A folder that ignores letter case finds "unzip32.dll" for "Unzip32.dll":
    // the name as the folder holds it is the entry with the asked name, else
    // the entry of that same item whose name differs only in case.
    DIR* dir = ::opendir(ParentFolder(path).c_str());
    if (dir == nullptr)
        return asked;
    std::string spelt;
    while (const dirent* e = ::readdir(dir)) {
        if (asked == e->d_name) {
            spelt = asked;
            break;
        }
        if (spelt.empty() && e->d_ino == own.st_ino && ::strcasecmp(e->d_name, asked.c_str()) == 0)
            spelt = e->d_name;
    }
    ::closedir(dir);
    return spelt;
}

bool MakeWritable(const std::string& path, ErrorRecord* failure) {
    struct stat st {};
    if (::lstat(path.c_str(), &st) != 0)
        return ReportFailure(failure, "Files.MakeWritable", path, errno);
    const mode_t needs = S_ISDIR(st.st_mode)   ? S_IRUSR | S_IWUSR | S_IXUSR
                         : S_ISREG(st.st_mode) ? S_IWUSR
                                               : 0;
    const mode_t mode = st.st_mode & 07777;
    if ((mode & needs) == needs)
        return true;
    // AT_SYMLINK_NOFOLLOW: should path have become a link meanwhile, the call
    // fails instead of changing the link's target.
    return ::fchmodat(AT_FDCWD, path.c_str(), mode | needs, AT_SYMLINK_NOFOLLOW) == 0 ||
           ReportFailure(failure, "Files.MakeWritable", path, errno);
}

bool MakeFolders(const std::string& path, ErrorRecord* failure) {
    for (size_t at = path.find('/', 1);; at = path.find('/', at + 1)) {
        const std::string part = path.substr(0, at);
        if (!part.empty() && ::mkdir(part.c_str(), 0777) != 0 && errno != EEXIST)
            return ReportFailure(failure, "Files.MakeFolders", part, errno);
        if (at == std::string::npos)
            break;
    }
    return IsDirectory(path, failure) || PassOnFailureAs(failure, "Files.MakeFolders");
}

bool MakeExecutable(const std::string& path, ErrorRecord* failure) {
    struct stat st {};
    if (::stat(path.c_str(), &st) != 0)
        return ReportFailure(failure, "Files.MakeExecutable", path, errno);
    const mode_t mode = st.st_mode & 07777;
    return ::chmod(path.c_str(), mode | ((mode & 0444) >> 2)) == 0 ||
           ReportFailure(failure, "Files.MakeExecutable", path, errno);
}

bool CreatePrivateFile(const std::string& path, const std::string& bytes, ErrorRecord* failure) {
    const char* source = "Files.CreatePrivateFile";
    const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600);
    if (fd < 0)
        return ReportFailure(failure, source, path, errno);
    size_t done = 0;
    int code = 0;
    while (done < bytes.size() && code == 0) {
        const ssize_t n = ::write(fd, bytes.data() + done, bytes.size() - done);
        if (n < 0 && errno != EINTR)
            code = errno;
        else if (n > 0)
            done += static_cast<size_t>(n);
    }
    if (code == 0 && ::fsync(fd) != 0)
        code = errno;
    if (::close(fd) != 0 && code == 0)
        code = errno;
    if (code == 0)
        return true;
    ::unlink(path.c_str());
    return ReportFailure(failure, source, path, code);
}

bool ModifiedSeconds(const std::string& path, int64_t& seconds) {
    struct stat st {};
    if (::lstat(path.c_str(), &st) != 0)
        return false;
    seconds = static_cast<int64_t>(st.st_mtim.tv_sec);
    return true;
}

bool InputFile::Open(const std::string& path, ErrorRecord* failure) {
    Close();
    // Non-blocking, so that opening a pipe does not wait for a writer.
    Fd_ = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    if (Fd_ < 0)
        return ReportFailure(failure, "InputFile.Open", path, errno);
    struct stat st {};
    if (::fstat(Fd_, &st) != 0) {
        const int code = errno;
        Close();
        return ReportFailure(failure, "InputFile.Open", path, code);
    }
    if (!S_ISREG(st.st_mode)) {
        Close();
        if (S_ISDIR(st.st_mode))
            return ReportFailure(failure, "InputFile.Open", path, EISDIR);
        return ReportFailureText(failure, "InputFile.Open", path, "not a regular file");
    }
    const int flags = ::fcntl(Fd_, F_GETFL);
    if (flags < 0 || ::fcntl(Fd_, F_SETFL, flags & ~O_NONBLOCK) != 0) {
        const int code = errno;
        Close();
        return ReportFailure(failure, "InputFile.Open", path, code);
    }
    Path_ = path;
    return true;
}

int64_t InputFile::Read(void* buffer, size_t n, ErrorRecord* failure) {
    if (Fd_ < 0)
        return ReportFailure(failure, "InputFile.Read", Path_, EBADF), -1;
    for (;;) {
        ssize_t got = ::read(Fd_, buffer, n);
        if (got < 0 && errno == EINTR)
            continue;
        if (got < 0)
            ReportFailure(failure, "InputFile.Read", Path_, errno);
        return static_cast<int64_t>(got);
    }
}

bool InputFile::Stamp(FileStamp& out, ErrorRecord* failure) const {
    struct stat st {};
    if (Fd_ < 0 || ::fstat(Fd_, &st) != 0)
        return ReportFailure(failure, "InputFile.Stamp", Path_, Fd_ < 0 ? EBADF : errno);
    out.Size = static_cast<int64_t>(st.st_size);
    out.ChangeSeconds = static_cast<int64_t>(st.st_ctim.tv_sec);
    out.ChangeNanoseconds = static_cast<int64_t>(st.st_ctim.tv_nsec);
    return true;
}

void InputFile::Close() {
    if (Fd_ >= 0)
        ::close(Fd_);
    Fd_ = -1;
}

} // namespace Files

} // namespace ostrak
