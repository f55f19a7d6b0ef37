#pragma once
// The file system, as the subsystems use it. Paths are byte strings, passed
// to the OS unchanged. Nothing here raises: every call reports by result.
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

// Length in bytes; -1 when the path does not exist or cannot be queried.
int64_t FileLength(const std::string& path);
bool IsDirectory(const std::string& path);
bool Exists(const std::string& path);
bool RemoveFile(const std::string& path);
bool MakeDirectory(const std::string& path);
bool RemoveFolder(const std::string& path);

struct DirEntry {
    std::string Name;
    bool IsDirectory = false;
    bool IsRegular = false;
    bool IsSymlink = false; // never followed
};
// The entries of a folder (without "." and ".."), in no particular order.
// False when the folder cannot be read.
bool ListDirectory(const std::string& path, std::vector<DirEntry>& out);

// Swaps two existing paths in one step (both keep existing throughout).
// False when the system cannot; nothing has changed then.
bool ExchangePaths(const std::string& a, const std::string& b);
// Flushes a folder's entries (names created, renamed or removed in it) to the device.
bool SyncDirectory(const std::string& path);

// The directory lookup of path: the entry's own name when path names
// something other than a folder (a link is looked up through), else "". The
// name is spelt as the file system holds it.
std::string Dir(const std::string& path);
// Creates the folder path and any missing parents (mode 0777 less the
// umask); true when it exists as a folder afterwards.
bool MakeFolders(const std::string& path);
// Gives the owner write permission on path (a file or a folder; a link is
// followed), so that it, or what is in it, can be changed or removed.
bool MakeWritable(const std::string& path);
// Adds execute permission wherever path has read permission (0644 becomes
// 0755), so that a stored program can be started.
bool MakeExecutable(const std::string& path);

// Reads a whole (small) file; false when it cannot.
bool ReadWholeFile(const std::string& path, std::string& out);

// A regular file opened for reading in chunks; closed by the destructor on
// every path. Opening anything else (a folder, a pipe, a device) fails at
// once, without waiting for a writer.
class InputFile {
public:
    InputFile() = default;
    ~InputFile();
    InputFile(const InputFile&) = delete;
    InputFile& operator=(const InputFile&) = delete;

    bool Open(const std::string& path);
    // Reads up to n bytes; returns the count, 0 at the end, -1 on failure.
    int64_t Read(void* buffer, size_t n);
    void Close();

private:
    int Fd_ = -1;
};

// Writes a file whole or not at all: the bytes go to a temporary file in the
// target's folder, and Commit() renames it over the target. Until Commit the
// target is untouched; a failed write, Abort() or the destructor remove the
// temporary file.
class AtomicFileWriter {
public:
    AtomicFileWriter() = default;
    ~AtomicFileWriter();
    AtomicFileWriter(const AtomicFileWriter&) = delete;
    AtomicFileWriter& operator=(const AtomicFileWriter&) = delete;

    // Creates the temporary file for target; false when it cannot.
    bool Begin(const std::string& target);
    // Appends bytes; false (and the writer is failed) when they cannot be written.
    bool Write(const void* data, size_t n);
    // Flushes the data to the device before Commit (optional; costs time).
    bool Sync();
    // Renames the temporary file over the target; false when it fails, and
    // the temporary file is then removed.
    bool Commit();
    void Abort();
    bool IsOpen() const { return Fd_ >= 0; }
    const std::string& TemporaryPath() const { return TempPath_; }

private:
    int Fd_ = -1;
    std::string Target_;
    std::string TempPath_;
};

// Writes a whole file atomically as above.
bool WriteWholeFile(const std::string& path, const std::string& bytes);

} // namespace Files

} // namespace ostrak
