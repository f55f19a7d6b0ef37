#include "platform/Files.h"

#include "platform/PosixError.h"
#include "platform/TemporaryFiles.h"
#include "platform/TerminationCleanup.h"

#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace ostrak {

namespace Files {

bool AtomicFileWriter::Begin(const std::string& target, ErrorRecord* failure) {
    return Begin(target, NewFileMode::Plain, failure);
}

bool AtomicFileWriter::Begin(const std::string& target, NewFileMode mode, ErrorRecord* failure) {
    Abort();
    const std::string folder = ParentFolder(target);
    // Created by open() with the mode asked for, so the umask (and a
    // folder's default ACL) apply as for any new file.
    const mode_t permissions = mode == NewFileMode::Executable ? 0777 : 0666;
    int fd = -1;
    const NewTemporary made = CreateTemporary(folder, false, [&](const std::string& path) {
        fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, permissions);
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
        ssize_t put = ::write(Fd_, p, n);
        if (put < 0 && errno == EINTR)
            continue;
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
    if (::fsync(Fd_) != 0)
        return Fail("AtomicFileWriter.Sync", errno, failure);
    return true;
}

bool AtomicFileWriter::Commit(ErrorRecord* failure) {
    if (Fd_ < 0)
        return ReportFailure(failure, "AtomicFileWriter.Commit", Target_, EBADF);
    const int fd = Fd_;
    Fd_ = -1; // closed below whatever close() answers
    if (::close(fd) != 0)
        return Fail("AtomicFileWriter.Commit", errno, failure);
    if (::rename(TempPath_.c_str(), Target_.c_str()) != 0)
        return Fail("AtomicFileWriter.Commit", errno, failure);
    ReleaseTemporaryPath(Registration_);
    Registration_ = -1;
    TempPath_.clear();
    // The new name reaches the device too. The file is in place whatever
    // this answers: a failure here cannot be undone, so it is not one.
    SyncDirectory(ParentFolder(Target_));
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
    ReleaseTemporaryPath(Registration_);
    Registration_ = -1;
}

} // namespace Files

} // namespace ostrak
