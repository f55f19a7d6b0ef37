#include "platform/Files.h"

#include <cerrno>
#include <cstdio>
#include <dirent.h>
#include <fcntl.h>
#include <stdio.h> // renameat2
#include <sys/stat.h>
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

int64_t FileLength(const std::string& path) {
    struct stat st {};
    if (::stat(path.c_str(), &st) != 0)
        return -1;
    return static_cast<int64_t>(st.st_size);
}

bool IsDirectory(const std::string& path) {
    struct stat st {};
    return ::stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

bool Exists(const std::string& path) {
    struct stat st {};
    return ::lstat(path.c_str(), &st) == 0;
}

bool RemoveFile(const std::string& path) {
    return ::unlink(path.c_str()) == 0;
}
bool MakeDirectory(const std::string& path) {
    return ::mkdir(path.c_str(), 0777) == 0;
}
bool RemoveFolder(const std::string& path) {
    return ::rmdir(path.c_str()) == 0;
}

bool ListDirectory(const std::string& path, std::vector<DirEntry>& out) {
    out.clear();
    DIR* dir = ::opendir(path.c_str());
    if (dir == nullptr)
        return false;
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
    }
    ::closedir(dir);
    return true;
}

bool ExchangePaths(const std::string& a, const std::string& b) {
#ifdef RENAME_EXCHANGE
    return ::renameat2(AT_FDCWD, a.c_str(), AT_FDCWD, b.c_str(), RENAME_EXCHANGE) == 0;
#else
    (void)a, (void)b;
    return false;
#endif
}

bool SyncDirectory(const std::string& path) {
    const int fd = ::open(path.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0)
        return false;
    const bool ok = ::fsync(fd) == 0;
    ::close(fd);
    return ok;
}

std::string Dir(const std::string& path) {
    struct stat st {};
    if (path.empty() || path.back() == '/' || ::stat(path.c_str(), &st) != 0 || S_ISDIR(st.st_mode))
        return "";
    const auto slash = path.rfind('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

bool MakeWritable(const std::string& path) {
    struct stat st {};
    return ::stat(path.c_str(), &st) == 0 &&
           ::chmod(path.c_str(), (st.st_mode & 07777) | S_IWUSR) == 0;
}

bool MakeFolders(const std::string& path) {
    for (size_t at = path.find('/', 1);; at = path.find('/', at + 1)) {
        const std::string part = path.substr(0, at);
        if (!part.empty() && ::mkdir(part.c_str(), 0777) != 0 && errno != EEXIST)
            return false;
        if (at == std::string::npos)
            break;
    }
    return IsDirectory(path);
}

bool MakeExecutable(const std::string& path) {
    struct stat st {};
    if (::stat(path.c_str(), &st) != 0)
        return false;
    const mode_t mode = st.st_mode & 07777;
    return ::chmod(path.c_str(), mode | ((mode & 0444) >> 2)) == 0;
}

bool ReadWholeFile(const std::string& path, std::string& out) {
    InputFile in;
    if (!in.Open(path))
        return false;
    out.clear();
    char buf[65536];
    for (;;) {
        int64_t n = in.Read(buf, sizeof buf);
        if (n < 0)
            return false;
        if (n == 0)
            return true;
        out.append(buf, static_cast<size_t>(n));
    }
}

InputFile::~InputFile() {
    Close();
}

bool InputFile::Open(const std::string& path) {
    Close();
    // Non-blocking, so that opening a pipe does not wait for a writer.
    Fd_ = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    if (Fd_ < 0)
        return false;
    struct stat st {};
    if (::fstat(Fd_, &st) != 0 || !S_ISREG(st.st_mode)) {
        Close();
        return false;
    }
    const int flags = ::fcntl(Fd_, F_GETFL);
    if (flags < 0 || ::fcntl(Fd_, F_SETFL, flags & ~O_NONBLOCK) != 0) {
        Close();
        return false;
    }
    return true;
}

int64_t InputFile::Read(void* buffer, size_t n) {
    if (Fd_ < 0)
        return -1;
    for (;;) {
        ssize_t got = ::read(Fd_, buffer, n);
        if (got < 0 && errno == EINTR)
            continue;
        return static_cast<int64_t>(got);
    }
}

void InputFile::Close() {
    if (Fd_ >= 0)
        ::close(Fd_);
    Fd_ = -1;
}

AtomicFileWriter::~AtomicFileWriter() {
    Abort();
}

bool AtomicFileWriter::Begin(const std::string& target) {
    Abort();
    std::string folder = ".";
    std::string name = target;
    auto slash = target.rfind('/');
    if (slash != std::string::npos) {
        folder = target.substr(0, slash == 0 ? 1 : slash);
        name = target.substr(slash + 1);
    }
    std::string pattern = JoinPath(folder, "." + name + ".part-XXXXXX");
    std::vector<char> buf(pattern.begin(), pattern.end());
    buf.push_back('\0');
    int fd = ::mkostemp(buf.data(), O_CLOEXEC);
    if (fd < 0)
        return false;
    ::fchmod(fd, 0644);
    Fd_ = fd;
    Target_ = target;
    TempPath_ = buf.data();
    return true;
}

bool AtomicFileWriter::Write(const void* data, size_t n) {
    if (Fd_ < 0)
        return false;
    const char* p = static_cast<const char*>(data);
    while (n > 0) {
        ssize_t put = ::write(Fd_, p, n);
        if (put < 0 && errno == EINTR)
            continue;
        if (put <= 0) {
            Abort();
            return false;
        }
        p += put;
        n -= static_cast<size_t>(put);
    }
    return true;
}

bool AtomicFileWriter::Sync() {
    if (Fd_ < 0)
        return false;
    if (::fsync(Fd_) != 0) {
        Abort();
        return false;
    }
    return true;
}

bool AtomicFileWriter::Commit() {
    if (Fd_ < 0)
        return false;
    int fd = Fd_;
    Fd_ = -1;
    if (::close(fd) != 0 || ::rename(TempPath_.c_str(), Target_.c_str()) != 0) {
        ::unlink(TempPath_.c_str());
        TempPath_.clear();
        return false;
    }
    TempPath_.clear();
    return true;
}

void AtomicFileWriter::Abort() {
    if (Fd_ >= 0) {
        ::close(Fd_);
        Fd_ = -1;
    }
    if (!TempPath_.empty()) {
        ::unlink(TempPath_.c_str());
        TempPath_.clear();
    }
}

bool WriteWholeFile(const std::string& path, const std::string& bytes) {
    AtomicFileWriter w;
    return w.Begin(path) && w.Write(bytes.data(), bytes.size()) && w.Commit();
}

} // namespace Files

} // namespace ostrak
