#pragma once
// A file that may be read but neither removed, renamed over nor changed,
// not even by an administrator, for the life of the object (or until
// Release): the immutable attribute on Linux, an open handle that shares
// nothing but reading on Windows.
#include <string>
#include <utility>

namespace ostrak {

class LockedFile {
public:
    explicit LockedFile(std::string path);
    ~LockedFile() { Release(); }
    LockedFile(const LockedFile&) = delete;
    LockedFile& operator=(const LockedFile&) = delete;

    // Whether the lock could be set (the file system may not allow it).
    bool Locked() const { return Locked_; }
    void Release();

private:
    std::string Path_;
    bool Locked_ = false;
    void* Handle_ = nullptr;
};

} // namespace ostrak
