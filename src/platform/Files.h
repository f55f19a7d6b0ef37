#pragma once
// The file system, as the subsystems use it. Paths are byte strings, passed
// to the OS unchanged. Nothing here raises: every call reports by result,
// and a call that fails fills *failure when failure is given: Number = the
// system's error number (errno), Description = "<path>: <the system's
// reason>" ("/games/a.dat: Permission denied"), Source = "Files.<call>" (or
// "<class>.<member>" for the classes below). A call that succeeds leaves
// *failure alone. Any thread; the objects below belong to one thread at a
// time.
#include "runtime/ErrorRecord.h"

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace ostrak {

namespace Files {

// The platform's path separator ("/" here).
char Separator();
// folder + separator + name (no separator doubled when folder ends in one).
std::string JoinPath(const std::string& folder, const std::string& name);
// The folder part of path: "." for a bare name, "/" for a name right under
// the root.
std::string ParentFolder(const std::string& path);
// The last part of path, trailing separators ignored ("b" for "/a/b/").
std::string BaseName(const std::string& path);
// Whether path is absolute: it starts with "/" here; on Windows with a drive
// and a separator ("C:\") or with two separators (a network share).
bool IsAbsolutePath(const std::string& path);
// Whether path is the root of its file system: "/" here, "C:\" on Windows.
bool IsRootPath(const std::string& path);

// Length in bytes; -1 when the path does not exist or cannot be queried.
int64_t FileLength(const std::string& path, ErrorRecord* failure = nullptr);
// True for a folder (or a link to one); false for anything else and when
// the path cannot be queried (the reason in *failure then).
bool IsDirectory(const std::string& path, ErrorRecord* failure = nullptr);
// True when the path names anything, a dangling link included.
bool Exists(const std::string& path, ErrorRecord* failure = nullptr);
bool RemoveFile(const std::string& path, ErrorRecord* failure = nullptr);
// Creates one folder (mode 0777 less the umask).
bool MakeDirectory(const std::string& path, ErrorRecord* failure = nullptr);
bool RemoveFolder(const std::string& path, ErrorRecord* failure = nullptr);
// Removes path and, for a folder, everything in it; links are removed, never
// followed. A path that does not exist counts as removed.
bool RemoveTree(const std::string& path, ErrorRecord* failure = nullptr);
// Renames from to to (replacing a file, or an empty folder, at to).
bool RenamePath(const std::string& from, const std::string& to, ErrorRecord* failure = nullptr);
// Whether two existing paths lie on one file system (so that one can be
// renamed onto the other); false also when either cannot be queried.
bool SameFileSystem(const std::string& a, const std::string& b, ErrorRecord* failure = nullptr);
// The absolute path without links, "." or ".." of an existing path.
bool RealPath(const std::string& path, std::string& out, ErrorRecord* failure = nullptr);

struct DirEntry {
    std::string Name;
    bool IsDirectory = false;
    bool IsRegular = false;
    bool IsSymlink = false; // never followed
};
// The entries of a folder (without "." and ".."), in no particular order.
// False when the folder cannot be read.
bool ListDirectory(const std::string& path, std::vector<DirEntry>& out,
                   ErrorRecord* failure = nullptr);

// Swaps two existing paths in one step (both keep existing throughout).
// False when the system cannot; nothing has changed then.
bool ExchangePaths(const std::string& a, const std::string& b, ErrorRecord* failure = nullptr);
// Flushes a folder's entries (names created, renamed or removed in it) to the device.
bool SyncDirectory(const std::string& path, ErrorRecord* failure = nullptr);
// The bytes this user may still write on the file system that holds path,
// and the file system's size; false when the system cannot tell.
bool FreeSpace(const std::string& path, int64_t& available, int64_t& size,
               ErrorRecord* failure = nullptr);
// Whether a failure is the file system (or the user's share of it, or the
// largest file allowed) being full: no retry can help then.
bool IsNoSpace(const ErrorRecord& failure);

// The directory lookup of path: the entry's own name when path names
// something other than a folder (a link is looked up through), else "". The
// name is spelt as the file system holds it.
std::string Dir(const std::string& path);
// Creates the folder path and any missing parents (mode 0777 less the
// umask); true when it exists as a folder afterwards.
bool MakeFolders(const std::string& path, ErrorRecord* failure = nullptr);
// Gives the owner what changing or removing needs and does not have yet:
// write permission on a file; read, write and enter on a folder. A link is
// never followed: a link (or anything else) needs nothing, and should path
// become a link meanwhile, the call fails rather than change the link's
// target. Pass a resolved path (RealPath) to reach what a link points to.
bool MakeWritable(const std::string& path, ErrorRecord* failure = nullptr);
// Adds execute permission wherever path has read permission (0644 becomes
// 0755), so that a stored program can be started.
bool MakeExecutable(const std::string& path, ErrorRecord* failure = nullptr);

// Reads a whole (small) file; false when it cannot.
bool ReadWholeFile(const std::string& path, std::string& out, ErrorRecord* failure = nullptr);

// A file's size and the time of its last change (of its contents or its
// attributes): two equal stamps of one open file mean it was left alone in
// between, as far as the file system can tell.
struct FileStamp {
    int64_t Size = -1;
    int64_t ChangeSeconds = 0;
    int64_t ChangeNanoseconds = 0;
    bool operator==(const FileStamp&) const = default;
};

// A regular file opened for reading in chunks; closed by the destructor on
// every path. Opening anything else (a folder, a pipe, a device) fails at
// once, without waiting for a writer.
class InputFile {
public:
    InputFile() = default;
    ~InputFile();
    InputFile(const InputFile&) = delete;
    InputFile& operator=(const InputFile&) = delete;

    // Fails for anything but a regular file; for one that is neither a folder
    // nor a regular file, Number is EINVAL and the reason "not a regular file".
    bool Open(const std::string& path, ErrorRecord* failure = nullptr);
    // Reads up to n bytes; returns the count, 0 at the end, -1 on failure.
    int64_t Read(void* buffer, size_t n, ErrorRecord* failure = nullptr);
    // The open file's stamp now.
    bool Stamp(FileStamp& out, ErrorRecord* failure = nullptr) const;
    void Close();

private:
    int Fd_ = -1;
    std::string Path_;
    // The bytes still to come as the file's length at opening tells, -1 when
    // not known; kept by the systems whose reads want it.
    int64_t Left_ = -1;
};

// Permissions of a file a writer creates, before the umask takes its share.
enum class NewFileMode {
    Plain,      // 0666
    Executable, // 0777
};

// Writes a file whole or not at all: the bytes go to a temporary file in the
// target's folder, and Commit() renames it over the target. The temporary
// file's name does not grow with the target's (see TemporaryFiles.h), and it
// is removed if the program is ended by a signal. Until Commit the target is
// untouched; a failed write, a failed Commit, Abort() or the destructor remove
// the temporary file. Errors name the target.
class AtomicFileWriter {
public:
    AtomicFileWriter() = default;
    ~AtomicFileWriter();
    AtomicFileWriter(const AtomicFileWriter&) = delete;
    AtomicFileWriter& operator=(const AtomicFileWriter&) = delete;

    // Creates the temporary file for target; false when it cannot.
    bool Begin(const std::string& target, ErrorRecord* failure = nullptr);
    bool Begin(const std::string& target, NewFileMode mode, ErrorRecord* failure = nullptr);
    // Appends bytes; false (and the writer is failed) when they cannot be written.
    bool Write(const void* data, size_t n, ErrorRecord* failure = nullptr);
    // Flushes the data to the device before Commit (optional; costs time).
    bool Sync(ErrorRecord* failure = nullptr);
    // Closes the temporary file and renames it over the target, then flushes
    // the folder's entries to the device; false when the close or the rename
    // fails, and the temporary file is then removed.
    bool Commit(ErrorRecord* failure = nullptr);
    void Abort();
    bool IsOpen() const { return Fd_ >= 0; }
    const std::string& TemporaryPath() const { return TempPath_; }

private:
    bool Fail(const char* source, int code, ErrorRecord* failure);

    int Fd_ = -1;
    int Registration_ = -1;
    std::string Target_;
    std::string TempPath_;
};

// Creates a new file at path that only its owner may read or write (0600)
// and writes bytes to the device; refuses (EEXIST) when path exists, even
// as a link. A failed write removes the new file.
bool CreatePrivateFile(const std::string& path, const std::string& bytes,
                       ErrorRecord* failure = nullptr);

// Writes a whole file atomically as above.
bool WriteWholeFile(const std::string& path, const std::string& bytes,
                    ErrorRecord* failure = nullptr);

} // namespace Files

} // namespace ostrak
