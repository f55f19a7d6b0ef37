#include "platform/FileTimes.h"
#include "platform/Files.h"
#include "platform/WinError.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <io.h>
#include <sys/stat.h>
#include <windows.h>

namespace ostrak {

namespace Files {

char Separator() {
    return '\\';
}

std::string JoinPath(const std::string& folder, const std::string& name) {
    if (!folder.empty() && (folder.back() == '\\' || folder.back() == '/'))
        return folder + name;
    return folder + Separator() + name;
}

namespace {

bool IsSeparator(char c) {
    return c == '\\' || c == '/';
}

// How many leading bytes of path are its root: "C:\" 3, "C:" 2, "\" 1, else 0.
size_t RootLength(const std::string& path) {
    if (path.size() >= 2 && path[1] == ':')
        return path.size() >= 3 && IsSeparator(path[2]) ? 3 : 2;
    return !path.empty() && IsSeparator(path[0]) ? 1 : 0;
}

// path without trailing separators (a root stays as it is).
std::string Trimmed(const std::string& path) {
    std::string out = path;
    while (out.size() > RootLength(out) && IsSeparator(out.back()))
        out.pop_back();
    return out;
}

size_t LastSeparator(const std::string& path) {
    return path.find_last_of("\\/");
}

// The attributes of path itself (a link is not followed); false when it
// cannot be queried.
bool AttributesOf(const std::string& path, WIN32_FILE_ATTRIBUTE_DATA& data) {
    return ::GetFileAttributesExA(path.c_str(), GetFileExInfoStandard, &data) != 0;
}

bool IsLink(DWORD attributes) {
    return (attributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0;
}

// Opens path for its attributes only: a folder too, and a link itself
// (not what it points to) when ownself is set.
HANDLE OpenForQuery(const std::string& path, bool ownself) {
    return ::CreateFileA(
        path.c_str(), FILE_READ_ATTRIBUTES, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
        nullptr, OPEN_EXISTING,
        FILE_FLAG_BACKUP_SEMANTICS | (ownself ? FILE_FLAG_OPEN_REPARSE_POINT : 0), nullptr);
}

int64_t SecondsOf(LARGE_INTEGER windowsTime) {
    // 100-ns intervals since 1601 to seconds since 1970.
    return windowsTime.QuadPart / 10000000 - 11644473600LL;
}

} // namespace

std::string ParentFolder(const std::string& path) {
    const std::string trimmed = Trimmed(path);
    const size_t root = RootLength(trimmed);
    const auto slash = LastSeparator(trimmed);
    if (slash == std::string::npos || slash + 1 < root)
        return root > 0 ? trimmed.substr(0, root) : ".";
    if (slash + 1 <= root)
        return trimmed.substr(0, root);
    return Trimmed(trimmed.substr(0, slash));
}

std::string BaseName(const std::string& path) {
    const std::string trimmed = Trimmed(path);
    const auto slash = LastSeparator(trimmed);
    if (slash == std::string::npos || trimmed.size() == RootLength(trimmed))
        return trimmed;
    return trimmed.substr(slash + 1);
}

bool IsAbsolutePath(const std::string& path) {
    return (path.size() >= 3 && path[1] == ':' && IsSeparator(path[2])) ||
           (path.size() >= 2 && IsSeparator(path[0]) && IsSeparator(path[1]));
}

bool IsRootPath(const std::string& path) {
    return path.size() == 3 && path[1] == ':' && IsSeparator(path[2]);
}

int64_t FileLength(const std::string& path, ErrorRecord* failure) {
    WIN32_FILE_ATTRIBUTE_DATA data{};
    if (!AttributesOf(path, data))
        return ReportLastError(failure, "Files.FileLength", path), -1;
    return (static_cast<int64_t>(data.nFileSizeHigh) << 32) | data.nFileSizeLow;
}

bool IsDirectory(const std::string& path, ErrorRecord* failure) {
    const DWORD attributes = ::GetFileAttributesA(path.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES)
        return ReportLastError(failure, "Files.IsDirectory", path);
    if ((attributes & FILE_ATTRIBUTE_DIRECTORY) == 0)
        return ReportFailure(failure, "Files.IsDirectory", path, ENOTDIR);
    return true;
}

bool Exists(const std::string& path, ErrorRecord* failure) {
    return ::GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES ||
           ReportLastError(failure, "Files.Exists", path);
}

bool RemoveFile(const std::string& path, ErrorRecord* failure) {
    if (::DeleteFileA(path.c_str()))
        return true;
    // A read-only file goes as on other systems, where only its folder's
    // permissions count.
    const DWORD attributes = ::GetFileAttributesA(path.c_str());
    if (::GetLastError() == ERROR_ACCESS_DENIED && attributes != INVALID_FILE_ATTRIBUTES &&
        (attributes & FILE_ATTRIBUTE_READONLY) != 0 &&
        (attributes & FILE_ATTRIBUTE_DIRECTORY) == 0 &&
        ::SetFileAttributesA(path.c_str(), attributes & ~FILE_ATTRIBUTE_READONLY)) {
        if (::DeleteFileA(path.c_str()))
            return true;
        const DWORD code = ::GetLastError();
        ::SetFileAttributesA(path.c_str(), attributes);
        ::SetLastError(code);
    }
    return ReportLastError(failure, "Files.RemoveFile", path);
}

bool MakeDirectory(const std::string& path, ErrorRecord* failure) {
    return ::CreateDirectoryA(path.c_str(), nullptr) ||
           ReportLastError(failure, "Files.MakeDirectory", path);
}

bool RemoveFolder(const std::string& path, ErrorRecord* failure) {
    return ::RemoveDirectoryA(path.c_str()) || ReportLastError(failure, "Files.RemoveFolder", path);
}

bool RemoveTree(const std::string& path, ErrorRecord* failure) {
    const DWORD attributes = ::GetFileAttributesA(path.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES) {
        const DWORD code = ::GetLastError();
        return code == ERROR_FILE_NOT_FOUND || code == ERROR_PATH_NOT_FOUND ||
               ReportFailure(failure, "Files.RemoveTree", path, ErrnoOf(code));
    }
    // A link to a folder (a junction or a symbolic link) is a folder entry
    // of its own: removed as one, never entered.
    if ((attributes & FILE_ATTRIBUTE_DIRECTORY) != 0 && IsLink(attributes))
        return RemoveFolder(path, failure) || PassOnFailureAs(failure, "Files.RemoveTree");
    if ((attributes & FILE_ATTRIBUTE_DIRECTORY) == 0)
        return RemoveFile(path, failure) || PassOnFailureAs(failure, "Files.RemoveTree");
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
    // A folder cannot replace anything in one call: an empty folder at to
    // goes first, as a rename over it does elsewhere.
    const DWORD fromAttributes = ::GetFileAttributesA(from.c_str());
    const DWORD toAttributes = ::GetFileAttributesA(to.c_str());
    if (fromAttributes != INVALID_FILE_ATTRIBUTES && toAttributes != INVALID_FILE_ATTRIBUTES &&
        (fromAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0 &&
        (toAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0 && !IsLink(toAttributes) &&
        !::RemoveDirectoryA(to.c_str()))
        return ReportLastError(failure, "Files.RenamePath", to);
    return ::MoveFileExA(from.c_str(), to.c_str(),
                         MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH) ||
           ReportLastError(failure, "Files.RenamePath", to);
}

bool SameFileSystem(const std::string& a, const std::string& b, ErrorRecord* failure) {
    DWORD serial[2] = {};
    const std::string* paths[2] = {&a, &b};
    for (int i = 0; i < 2; ++i) {
        HANDLE h = OpenForQuery(*paths[i], false);
        BY_HANDLE_FILE_INFORMATION info{};
        const bool known = h != INVALID_HANDLE_VALUE && ::GetFileInformationByHandle(h, &info);
        const DWORD code = ::GetLastError();
        if (h != INVALID_HANDLE_VALUE)
            ::CloseHandle(h);
        if (!known)
            return ReportFailure(failure, "Files.SameFileSystem", *paths[i], ErrnoOf(code));
        serial[i] = info.dwVolumeSerialNumber;
    }
    return serial[0] == serial[1];
}

bool RealPath(const std::string& path, std::string& out, ErrorRecord* failure) {
    HANDLE h = OpenForQuery(path, false);
    if (h == INVALID_HANDLE_VALUE)
        return ReportLastError(failure, "Files.RealPath", path);
    char buffer[MAX_PATH * 4];
    const DWORD n = ::GetFinalPathNameByHandleA(h, buffer, sizeof buffer, FILE_NAME_NORMALIZED);
    const DWORD code = ::GetLastError();
    ::CloseHandle(h);
    if (n == 0 || n >= sizeof buffer)
        return ReportFailure(failure, "Files.RealPath", path,
                             n == 0 ? ErrnoOf(code) : ENAMETOOLONG);
    std::string resolved(buffer, n);
    if (resolved.rfind("\\\\?\\UNC\\", 0) == 0)
        resolved.erase(1, 6); // "\\?\UNC\server\..." -> "\\server\..."
    else if (resolved.rfind("\\\\?\\", 0) == 0)
        resolved.erase(0, 4);
    out = resolved;
    return true;
}

bool ListDirectory(const std::string& path, std::vector<DirEntry>& out, ErrorRecord* failure) {
    out.clear();
    WIN32_FIND_DATAA found{};
    HANDLE find = ::FindFirstFileA(JoinPath(path, "*").c_str(), &found);
    if (find == INVALID_HANDLE_VALUE) {
        const DWORD code = ::GetLastError();
        if (code == ERROR_FILE_NOT_FOUND && IsDirectory(path))
            return true;
        // A file where a folder was asked for (the system answers that in
        // more than one way).
        const DWORD attributes = ::GetFileAttributesA(path.c_str());
        if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) == 0)
            return ReportFailure(failure, "Files.ListDirectory", path, ENOTDIR);
        return ReportFailure(failure, "Files.ListDirectory", path, ErrnoOf(code));
    }
    do {
        const std::string name = found.cFileName;
        if (name == "." || name == "..")
            continue;
        DirEntry entry;
        entry.Name = name;
        entry.IsSymlink = IsLink(found.dwFileAttributes);
        entry.IsDirectory = !entry.IsSymlink && (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY);
        entry.IsRegular = !entry.IsSymlink && !entry.IsDirectory &&
                          (found.dwFileAttributes & FILE_ATTRIBUTE_DEVICE) == 0;
        out.push_back(std::move(entry));
    } while (::FindNextFileA(find, &found));
    const DWORD code = ::GetLastError();
    ::FindClose(find);
    return code == ERROR_NO_MORE_FILES ||
           ReportFailure(failure, "Files.ListDirectory", path, ErrnoOf(code));
}

bool ExchangePaths(const std::string& a, const std::string& b, ErrorRecord* failure) {
    // Windows has no exchange of two names in one step.
    (void)a;
    return ReportFailure(failure, "Files.ExchangePaths", b, ENOSYS);
}

bool FreeSpace(const std::string& path, int64_t& available, int64_t& size, ErrorRecord* failure) {
    ULARGE_INTEGER free{}, total{};
    if (!::GetDiskFreeSpaceExA(path.c_str(), &free, &total, nullptr))
        return ReportLastError(failure, "Files.FreeSpace", path);
    const auto clamp = [](ULONGLONG n) {
        return n > static_cast<ULONGLONG>(INT64_MAX) ? INT64_MAX : static_cast<int64_t>(n);
    };
    available = clamp(free.QuadPart);
    size = clamp(total.QuadPart);
    return true;
}

bool IsNoSpace(const ErrorRecord& failure) {
    return failure.Number == ENOSPC || failure.Number == EFBIG;
}

bool SyncDirectory(const std::string& path, ErrorRecord* failure) {
    // A folder's entries cannot be flushed through a handle here; the renames
    // that need it are written through (MOVEFILE_WRITE_THROUGH) instead.
    return IsDirectory(path, failure) || PassOnFailureAs(failure, "Files.SyncDirectory");
}

bool ModifiedSeconds(const std::string& path, int64_t& seconds) {
    WIN32_FILE_ATTRIBUTE_DATA data{};
    if (!AttributesOf(path, data))
        return false;
    LARGE_INTEGER t;
    t.LowPart = data.ftLastWriteTime.dwLowDateTime;
    t.HighPart = static_cast<LONG>(data.ftLastWriteTime.dwHighDateTime);
    seconds = SecondsOf(t);
    return true;
}

std::string Dir(const std::string& path) {
    if (path.empty() || IsSeparator(path.back()) || path.find_first_of("*?") != std::string::npos)
        return "";
    // Looked up through a link, as the directory lookup does.
    const DWORD attributes = ::GetFileAttributesA(path.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES || (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0)
        return "";
    HANDLE target = OpenForQuery(path, false);
    if (target == INVALID_HANDLE_VALUE)
        return "";
    ::CloseHandle(target);
    WIN32_FIND_DATAA found{};
    HANDLE find = ::FindFirstFileA(path.c_str(), &found);
    if (find == INVALID_HANDLE_VALUE)
        return "";
    ::FindClose(find);
    return found.cFileName;
}

bool MakeFolders(const std::string& path, ErrorRecord* failure) {
    const size_t root = RootLength(path);
    for (size_t at = path.find_first_of("\\/", root);; at = path.find_first_of("\\/", at + 1)) {
        const std::string part = path.substr(0, at);
        if (part.size() > root && !::CreateDirectoryA(part.c_str(), nullptr) &&
            ::GetLastError() != ERROR_ALREADY_EXISTS) {
            const DWORD code = ::GetLastError();
            // A file on the way: no folder can be made below it.
            const DWORD parent = ::GetFileAttributesA(ParentFolder(part).c_str());
            if (code == ERROR_PATH_NOT_FOUND && parent != INVALID_FILE_ATTRIBUTES &&
                (parent & FILE_ATTRIBUTE_DIRECTORY) == 0)
                return ReportFailure(failure, "Files.MakeFolders", part, ENOTDIR);
            return ReportFailure(failure, "Files.MakeFolders", part, ErrnoOf(code));
        }
        if (at == std::string::npos)
            break;
    }
    return IsDirectory(path, failure) || PassOnFailureAs(failure, "Files.MakeFolders");
}

bool MakeWritable(const std::string& path, ErrorRecord* failure) {
    const DWORD attributes = ::GetFileAttributesA(path.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES)
        return ReportLastError(failure, "Files.MakeWritable", path);
    // Only a plain file's read-only attribute stands in the way; a folder's
    // means nothing to removals, and a link is left alone.
    if (IsLink(attributes) || (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0 ||
        (attributes & FILE_ATTRIBUTE_READONLY) == 0)
        return true;
    return ::SetFileAttributesA(path.c_str(), attributes & ~FILE_ATTRIBUTE_READONLY) ||
           ReportLastError(failure, "Files.MakeWritable", path);
}

bool MakeExecutable(const std::string& path, ErrorRecord* failure) {
    // A program is started by its name here, not by a permission.
    return Exists(path, failure) || PassOnFailureAs(failure, "Files.MakeExecutable");
}

bool CreatePrivateFile(const std::string& path, const std::string& bytes, ErrorRecord* failure) {
    const char* source = "Files.CreatePrivateFile";
    // CREATE_NEW refuses any existing name, a link included; the folder's
    // inherited access (the user's own profile) decides who may read it.
    HANDLE h = ::CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                             FILE_ATTRIBUTE_NORMAL | FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
    if (h == INVALID_HANDLE_VALUE)
        return ReportLastError(failure, source, path);
    size_t done = 0;
    DWORD code = 0;
    while (done < bytes.size() && code == 0) {
        DWORD put = 0;
        const DWORD chunk = static_cast<DWORD>(std::min<size_t>(bytes.size() - done, 1u << 20));
        if (!::WriteFile(h, bytes.data() + done, chunk, &put, nullptr))
            code = ::GetLastError();
        done += put;
    }
    if (code == 0 && !::FlushFileBuffers(h))
        code = ::GetLastError();
    ::CloseHandle(h);
    if (code == 0)
        return true;
    ::DeleteFileA(path.c_str());
    return ReportFailure(failure, source, path, ErrnoOf(code));
}

bool InputFile::Open(const std::string& path, ErrorRecord* failure) {
    Close();
    const DWORD attributes = ::GetFileAttributesA(path.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES)
        return ReportLastError(failure, "InputFile.Open", path);
    if ((attributes & FILE_ATTRIBUTE_DIRECTORY) != 0)
        return ReportFailure(failure, "InputFile.Open", path, EISDIR);
    Fd_ = ::_open(path.c_str(), _O_RDONLY | _O_BINARY | _O_NOINHERIT);
    if (Fd_ < 0)
        return ReportFailure(failure, "InputFile.Open", path, errno);
    if (::GetFileType(reinterpret_cast<HANDLE>(::_get_osfhandle(Fd_))) != FILE_TYPE_DISK) {
        Close();
        return ReportFailureText(failure, "InputFile.Open", path, "not a regular file");
    }
    LARGE_INTEGER size{};
    Left_ = ::GetFileSizeEx(reinterpret_cast<HANDLE>(::_get_osfhandle(Fd_)), &size) ? size.QuadPart
                                                                                    : -1;
    Path_ = path;
    return true;
}

int64_t InputFile::Read(void* buffer, size_t n, ErrorRecord* failure) {
    if (Fd_ < 0)
        return ReportFailure(failure, "InputFile.Read", Path_, EBADF), -1;
    // Asks for no more than the bytes left in the file, rounded up to whole
    // pages: Wine makes every page of the buffer a read is given resident
    // first, which for a fresh 1 MiB buffer costs about 8 ms, however short
    // the file. Once the file is read to its length at opening, a file that
    // has grown is read on in whole chunks.
    size_t want = std::min<size_t>(n, 1u << 30);
    constexpr uint64_t Page = 4096;
    if (Left_ >= 0)
        want = static_cast<size_t>(
            std::min<uint64_t>(want, (static_cast<uint64_t>(Left_) / Page + 1) * Page));
    const unsigned int chunk = static_cast<unsigned int>(want);
    const int got = ::_read(Fd_, buffer, chunk);
    if (got < 0)
        ReportFailure(failure, "InputFile.Read", Path_, errno);
    else if (Left_ >= 0)
        Left_ = got > Left_ ? -1 : Left_ - got;
    return got;
}

bool InputFile::Stamp(FileStamp& out, ErrorRecord* failure) const {
    FILE_BASIC_INFO basic{};
    LARGE_INTEGER size{};
    HANDLE h = Fd_ < 0 ? INVALID_HANDLE_VALUE : reinterpret_cast<HANDLE>(::_get_osfhandle(Fd_));
    if (h == INVALID_HANDLE_VALUE)
        return ReportFailure(failure, "InputFile.Stamp", Path_, EBADF);
    if (!::GetFileInformationByHandleEx(h, FileBasicInfo, &basic, sizeof basic) ||
        !::GetFileSizeEx(h, &size))
        return ReportLastError(failure, "InputFile.Stamp", Path_);
    // The change time covers the contents and the attributes alike.
    const LARGE_INTEGER changed =
        basic.ChangeTime.QuadPart != 0 ? basic.ChangeTime : basic.LastWriteTime;
    out.Size = size.QuadPart;
    out.ChangeSeconds = SecondsOf(changed);
    out.ChangeNanoseconds = (changed.QuadPart % 10000000) * 100;
    return true;
}

void InputFile::Close() {
    if (Fd_ >= 0)
        ::_close(Fd_);
    Fd_ = -1;
    Left_ = -1;
}

} // namespace Files

} // namespace ostrak
