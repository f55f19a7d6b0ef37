#include "platform/FolderTree.h"

#include "platform/Files.h"
#include "platform/WinError.h"

#include <algorithm>
#include <windows.h>

namespace ostrak {

namespace FolderTree {

namespace {

// A folder held open for the walk, a link itself rather than what it leads
// to. Listing by path must stay possible, so the handle asks for no delete
// access; what is removed is checked against it by identity (volume and
// file index) first.
HANDLE OpenHeldFolder(const std::string& path) {
    return ::CreateFileA(path.c_str(), FILE_LIST_DIRECTORY | FILE_READ_ATTRIBUTES | SYNCHRONIZE,
                         FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                         OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS | FILE_FLAG_OPEN_REPARSE_POINT,
                         nullptr);
}

HANDLE HandleOf(int fd) {
    return fd < 0 ? INVALID_HANDLE_VALUE : LongToHandle(fd);
}

// Handles are 32-bit values on 64-bit Windows too, so one fits the int the
// class keeps.
int FdOf(HANDLE h) {
    return h == INVALID_HANDLE_VALUE ? -1 : HandleToLong(h);
}

struct Held {
    HANDLE H;
    explicit Held(HANDLE h) : H(h) {}
    ~Held() {
        if (H != INVALID_HANDLE_VALUE)
            ::CloseHandle(H);
    }
    Held(const Held&) = delete;
    Held& operator=(const Held&) = delete;
};

bool Fail(ErrorRecord* failure, const char* source, const std::string& path, DWORD code) {
    return ReportFailure(failure, source, path, code != 0 ? ErrnoOf(code) : EIO);
}

bool IsLink(DWORD attributes) {
    return (attributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0;
}

bool VolumeOf(HANDLE h, uint64_t& volume, uint64_t& index) {
    BY_HANDLE_FILE_INFORMATION info{};
    if (!::GetFileInformationByHandle(h, &info))
        return false;
    volume = info.dwVolumeSerialNumber;
    index = (static_cast<uint64_t>(info.nFileIndexHigh) << 32) | info.nFileIndexLow;
    return (info.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) == 0;
}

// A handle to the entry at path itself (a link, not what it leads to) with
// access (its removal, its attributes) and the reading of its attributes.
HANDLE OpenEntry(const std::string& path, DWORD access) {
    return ::CreateFileA(path.c_str(), access | FILE_READ_ATTRIBUTES,
                         FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                         OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS | FILE_FLAG_OPEN_REPARSE_POINT,
                         nullptr);
}

// The entry opened at path with access when it is the held folder (not a
// link, not another folder put there), else an invalid handle.
HANDLE OpenSameFolder(HANDLE held, const std::string& path, DWORD access) {
    uint64_t volume = 0, index = 0, heldVolume = 0, heldIndex = 0;
    if (!VolumeOf(held, heldVolume, heldIndex))
        return INVALID_HANDLE_VALUE;
    HANDLE h = OpenEntry(path, access);
    if (h != INVALID_HANDLE_VALUE &&
        (!VolumeOf(h, volume, index) || volume != heldVolume || index != heldIndex)) {
        ::CloseHandle(h);
        ::SetLastError(ERROR_FILE_NOT_FOUND);
        return INVALID_HANDLE_VALUE;
    }
    return h;
}

bool SetAttributes(HANDLE h, DWORD attributes) {
    FILE_BASIC_INFO basic{}; // times of 0 stay as they are
    basic.FileAttributes = attributes != 0 ? attributes : FILE_ATTRIBUTE_NORMAL;
    return ::SetFileInformationByHandle(h, FileBasicInfo, &basic, sizeof basic);
}

bool SetToGo(HANDLE h) {
    FILE_DISPOSITION_INFO disposition{};
    disposition.DeleteFile = TRUE;
    return ::SetFileInformationByHandle(h, FileDispositionInfo, &disposition, sizeof disposition);
}

// Marks the folder at path for removal when it is the held one; it goes once
// the last handle to it closes. Fails while it is not empty.
bool MarkForRemoval(HANDLE held, const std::string& path) {
    Held remover(OpenSameFolder(held, path, DELETE));
    return remover.H != INVALID_HANDLE_VALUE && SetToGo(remover.H);
}

// Takes the read-only attribute off the held folder at path, so that what is
// in it and then the folder itself can go (the system refuses both while it
// is set).
bool MakeWritable(HANDLE held, const std::string& path, DWORD attributes) {
    if ((attributes & FILE_ATTRIBUTE_READONLY) == 0)
        return true;
    Held folder(OpenSameFolder(held, path, FILE_WRITE_ATTRIBUTES));
    return folder.H != INVALID_HANDLE_VALUE &&
           SetAttributes(folder.H, attributes & ~FILE_ATTRIBUTE_READONLY);
}

struct Entry {
    std::string Name;
    DWORD Attributes;
};

bool ListAt(const std::string& path, std::vector<Entry>& out, ErrorRecord* failure) {
    out.clear();
    WIN32_FIND_DATAA found{};
    HANDLE find = ::FindFirstFileA(Files::JoinPath(path, "*").c_str(), &found);
    if (find == INVALID_HANDLE_VALUE)
        return ::GetLastError() == ERROR_FILE_NOT_FOUND ||
               Fail(failure, "FolderTree.ListNames", path, ::GetLastError());
    do {
        const std::string name = found.cFileName;
        if (name != "." && name != "..")
            out.push_back({name, found.dwFileAttributes});
    } while (::FindNextFileA(find, &found));
    const DWORD code = ::GetLastError();
    ::FindClose(find);
    return code == ERROR_NO_MORE_FILES || Fail(failure, "FolderTree.ListNames", path, code);
}

// Removes one entry that is not a folder, or a link of any kind (a link to a
// folder is a folder entry of its own, removed as one, never entered). A
// read-only entry, which the system will not remove, loses the attribute to
// go and gets it back when it stays: when the removal fails, or when another
// name (a hard link) still leads to the file.
bool RemoveItem(const std::string& path, DWORD attributes) {
    if ((attributes & FILE_ATTRIBUTE_READONLY) == 0) {
        if ((attributes & FILE_ATTRIBUTE_DIRECTORY) != 0)
            return ::RemoveDirectoryA(path.c_str()) != 0;
        return ::DeleteFileA(path.c_str()) != 0;
    }
    Held item(OpenEntry(path, DELETE | FILE_WRITE_ATTRIBUTES));
    BY_HANDLE_FILE_INFORMATION info{};
    if (item.H == INVALID_HANDLE_VALUE || !::GetFileInformationByHandle(item.H, &info) ||
        !SetAttributes(item.H, info.dwFileAttributes & ~FILE_ATTRIBUTE_READONLY))
        return false;
    const bool marked = SetToGo(item.H);
    const DWORD code = ::GetLastError();
    if (!marked || info.nNumberOfLinks > 1)
        SetAttributes(item.H, info.dwFileAttributes);
    ::SetLastError(code);
    return marked;
}

bool Gone() {
    const DWORD code = ::GetLastError();
    return code == ERROR_FILE_NOT_FOUND || code == ERROR_PATH_NOT_FOUND;
}

// The removal below one held folder of the tree.
struct Walk {
    uint64_t Volume;
    bool OwnsModes;
    const std::vector<std::string>* KeepNames;
    std::vector<std::string>* Kept;
    ErrorRecord* Failure;

    bool Remove(const std::string& path, bool top) {
        std::vector<Entry> entries;
        if (!ListAt(path, entries, Failure))
            return false;
        for (const Entry& e : entries) {
            if (top && std::find(KeepNames->begin(), KeepNames->end(), e.Name) != KeepNames->end())
                continue;
            const std::string item = Files::JoinPath(path, e.Name);
            if (IsLink(e.Attributes) || (e.Attributes & FILE_ATTRIBUTE_DIRECTORY) == 0) {
                if (!RemoveItem(item, e.Attributes) && !Gone())
                    return Fail(Failure, "FolderTree.RemoveContents", item, ::GetLastError());
                continue;
            }
            Held child(OpenHeldFolder(item));
            uint64_t volume = 0, index = 0;
            if (child.H == INVALID_HANDLE_VALUE) {
                if (Gone())
                    continue;
                return Fail(Failure, "FolderTree.RemoveContents", item, ::GetLastError());
            }
            if (!VolumeOf(child.H, volume, index) || volume != Volume) {
                Kept->push_back(item); // a link by now, or another volume
                continue;
            }
            if (OwnsModes && !MakeWritable(child.H, item, e.Attributes))
                return Fail(Failure, "FolderTree.RemoveContents", item, ::GetLastError());
            const size_t keptBefore = Kept->size();
            if (!Remove(item, false))
                return false;
            if (Kept->size() == keptBefore && !MarkForRemoval(child.H, item)) {
                if (::GetLastError() == ERROR_DIR_NOT_EMPTY) {
                    Kept->push_back(item); // something was put there meanwhile
                    continue;
                }
                return Fail(Failure, "FolderTree.RemoveContents", item, ::GetLastError());
            }
        }
        return true;
    }
};

} // namespace

OpenFolder::~OpenFolder() {
    Close();
}

void OpenFolder::Close() {
    if (Fd_ >= 0)
        ::CloseHandle(HandleOf(Fd_));
    Fd_ = -1;
    ParentFd_ = -1;
}

bool OpenFolder::Open(const std::string& path, ErrorRecord* failure) {
    Close();
    Path_ = path;
    if (path.size() < 3 || path[1] != ':' || (path[2] != '\\' && path[2] != '/'))
        return ReportFailure(failure, "FolderTree.Open", path, EINVAL);
    // Every folder on the way must be a folder, not a link to one.
    for (size_t at = path.find_first_of("\\/", 3);; at = path.find_first_of("\\/", at + 1)) {
        const std::string part = path.substr(0, at);
        const DWORD attributes = ::GetFileAttributesA(part.c_str());
        if (attributes == INVALID_FILE_ATTRIBUTES)
            return Fail(failure, "FolderTree.Open", path, ::GetLastError());
        if (IsLink(attributes))
            return ReportFailure(failure, "FolderTree.Open", path, ELOOP);
        if ((attributes & FILE_ATTRIBUTE_DIRECTORY) == 0)
            return ReportFailure(failure, "FolderTree.Open", path, ENOTDIR);
        if (at == std::string::npos)
            break;
    }
    HANDLE h = OpenHeldFolder(path);
    if (h == INVALID_HANDLE_VALUE)
        return Fail(failure, "FolderTree.Open", path, ::GetLastError());
    uint64_t volume = 0, index = 0;
    if (!VolumeOf(h, volume, index)) {
        ::CloseHandle(h);
        return ReportFailure(failure, "FolderTree.Open", path, ELOOP);
    }
    Fd_ = FdOf(h);
    Device_ = volume;
    Inode_ = index;
    Mount_ = volume;
    return true;
}

bool OpenFolder::ListNames(std::vector<std::string>& out, ErrorRecord* failure) const {
    std::vector<Entry> entries;
    out.clear();
    if (!ListAt(Path_, entries, failure))
        return false;
    for (const Entry& e : entries)
        out.push_back(e.Name);
    return true;
}

bool OpenFolder::ReadFile(const std::string& name, size_t limit, std::string& out,
                          ErrorRecord* failure) const {
    const std::string path = Files::JoinPath(Path_, name);
    Held file(::CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                            OPEN_EXISTING, FILE_FLAG_OPEN_REPARSE_POINT, nullptr));
    BY_HANDLE_FILE_INFORMATION info{};
    if (file.H == INVALID_HANDLE_VALUE || !::GetFileInformationByHandle(file.H, &info))
        return Fail(failure, "FolderTree.ReadFile", path, ::GetLastError());
    if ((info.dwFileAttributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_REPARSE_POINT)) != 0 ||
        ::GetFileType(file.H) != FILE_TYPE_DISK)
        return ReportFailureText(failure, "FolderTree.ReadFile", path, "not a regular file");
    out.assign(limit, '\0');
    size_t have = 0;
    while (have < out.size()) {
        DWORD got = 0;
        const DWORD chunk = static_cast<DWORD>(std::min<size_t>(out.size() - have, 1u << 20));
        if (!::ReadFile(file.H, out.data() + have, chunk, &got, nullptr))
            return Fail(failure, "FolderTree.ReadFile", path, ::GetLastError());
        if (got == 0)
            break;
        have += got;
    }
    out.resize(have);
    return true;
}

OpenFolder::Outcome OpenFolder::RemoveEntry(const std::string& name, ErrorRecord* failure) const {
    const std::string path = Files::JoinPath(Path_, name);
    const DWORD attributes = ::GetFileAttributesA(path.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES) {
        if (Gone())
            return Outcome::Absent;
        Fail(failure, "FolderTree.RemoveEntry", path, ::GetLastError());
        return Outcome::Failed;
    }
    if ((attributes & FILE_ATTRIBUTE_DIRECTORY) != 0 && !IsLink(attributes))
        return Outcome::Kept;
    if (RemoveItem(path, attributes))
        return Outcome::Removed;
    if (Gone())
        return Outcome::Absent;
    Fail(failure, "FolderTree.RemoveEntry", path, ::GetLastError());
    return Outcome::Failed;
}

bool OpenFolder::RemoveContents(const std::vector<std::string>& keepNames,
                                std::vector<std::string>& kept, ErrorRecord* failure) const {
    const DWORD attributes = ::GetFileAttributesA(Path_.c_str());
    if (OwnsModes && attributes != INVALID_FILE_ATTRIBUTES &&
        !MakeWritable(HandleOf(Fd_), Path_, attributes))
        return Fail(failure, "FolderTree.RemoveContents", Path_, ::GetLastError());
    Walk walk{Device_, OwnsModes, &keepNames, &kept, failure};
    return walk.Remove(Path_, true);
}

bool OpenFolder::RemoveSelf(ErrorRecord* failure) const {
    // Only the very folder that was opened, once it is let go (Close).
    return MarkForRemoval(HandleOf(Fd_), Path_) ||
           Fail(failure, "FolderTree.RemoveSelf", Path_, ::GetLastError());
}

} // namespace FolderTree

} // namespace ostrak
