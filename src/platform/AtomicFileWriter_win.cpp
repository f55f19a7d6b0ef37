#include "platform/Files.h"

#include "platform/TemporaryFiles.h"
#include "platform/TerminationCleanup.h"
#include "platform/WinError.h"

#include <algorithm>
#include <cerrno>
#include <fcntl.h>
#include <io.h>
#include <sys/stat.h>
#include <windows.h>

namespace ostrak {

namespace Files {

bool AtomicFileWriter::Begin(const std::string& target, ErrorRecord* failure) {
    return Begin(target, NewFileMode::Plain, failure);
}

bool AtomicFileWriter::Begin(const std::string& target, NewFileMode mode, ErrorRecord* failure) {
    Abort();
    // A program is told by its name here: both modes make the same file.
    (void)mode;
    int fd = -1;
    const NewTemporary made =
        CreateTemporary(ParentFolder(target), false, [&](const std::string& path) {
            fd = ::_open(path.c_str(), _O_WRONLY | _O_CREAT | _O_EXCL | _O_BINARY | _O_NOINHERIT,
                         _S_IREAD | _S_IWRITE);
            return fd >= 0;
        });
    if (made.Code != 0)
        return ReportFailure(failure, "AtomicFileWriter.Begin", target, made.Code);
    Fd_ = fd;
    Target_ = target;
    TempPath_ = made.Path;
    Registration_ = made.Registration;
    return true;
}

bool AtomicFileWriter::Write(const void* data, size_t n, ErrorRecord* failure) {
    if (Fd_ < 0)
        return ReportFailure(failure, "AtomicFileWriter.Write", Target_, EBADF);
    const char* p = static_cast<const char*>(data);
    while (n > 0) {
        const unsigned int chunk = static_cast<unsigned int>(std::min<size_t>(n, 1u << 30));
        const int put = ::_write(Fd_, p, chunk);
        if (put <= 0)
            return Fail("AtomicFileWriter.Write", put < 0 ? errno : EIO, failure);
        p += put;
        n -= static_cast<size_t>(put);
    }
    return true;
}

bool AtomicFileWriter::Sync(ErrorRecord* failure) {
    if (Fd_ < 0)
        return ReportFailure(failure, "AtomicFileWriter.Sync", Target_, EBADF);
    if (!::FlushFileBuffers(reinterpret_cast<HANDLE>(::_get_osfhandle(Fd_))))
        return Fail("AtomicFileWriter.Sync", ErrnoOf(::GetLastError()), failure);
    return true;
}

bool AtomicFileWriter::Commit(ErrorRecord* failure) {
    if (Fd_ < 0)
        return ReportFailure(failure, "AtomicFileWriter.Commit", Target_, EBADF);
    const int fd = Fd_;
    Fd_ = -1; // closed below whatever _close() answers
    if (::_close(fd) != 0)
        return Fail("AtomicFileWriter.Commit", errno, failure);
    // Written through: the new name is on the device when the call returns.
    const auto replace = [this] {
        return ::MoveFileExA(TempPath_.c_str(), Target_.c_str(),
                             MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH) != 0;
    };
    bool replaced = replace();
    DWORD error = replaced ? 0 : ::GetLastError();
    // Windows replaces no read-only file: the target loses the attribute for
    // the new file to take its place, and gets it back when that fails too.
    if (!replaced && error == ERROR_ACCESS_DENIED) {
        const DWORD target = ::GetFileAttributesA(Target_.c_str());
        if (target != INVALID_FILE_ATTRIBUTES &&
            (target & (FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_DIRECTORY)) ==
                FILE_ATTRIBUTE_READONLY &&
            ::SetFileAttributesA(Target_.c_str(), target & ~FILE_ATTRIBUTE_READONLY)) {
            replaced = replace();
            if (!replaced) {
                error = ::GetLastError();
                ::SetFileAttributesA(Target_.c_str(), target);
            }
        }
    }
    if (!replaced) {
        // A folder in the target's place is refused as "access denied".
        const DWORD target = ::GetFileAttributesA(Target_.c_str());
        const bool folder =
            target != INVALID_FILE_ATTRIBUTES && (target & FILE_ATTRIBUTE_DIRECTORY) != 0;
        return Fail("AtomicFileWriter.Commit", folder ? EISDIR : ErrnoOf(error), failure);
    }
    ReleaseTemporaryPath(Registration_);
    Registration_ = -1;
    TempPath_.clear();
    return true;
}

void AtomicFileWriter::Abort() {
    if (Fd_ >= 0) {
        ::_close(Fd_);
        Fd_ = -1;
    }
    if (!TempPath_.empty()) {
        ::DeleteFileA(TempPath_.c_str());
        TempPath_.clear();
    }
    ReleaseTemporaryPath(Registration_);
    Registration_ = -1;
}

} // namespace Files

} // namespace ostrak
