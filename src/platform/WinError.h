#pragma once
// Internal to the platform layer's Windows code: the system's error codes
// (GetLastError) as the errno numbers the platform contracts report, so that
// callers compare one set of numbers on every system.
#include "platform/PosixError.h"

#include <cerrno>
#include <string>
#include <windows.h>

namespace ostrak {

inline int ErrnoOf(DWORD code) {
    switch (code) {
    case ERROR_SUCCESS:
        return 0;
    case ERROR_FILE_NOT_FOUND:
    case ERROR_PATH_NOT_FOUND:
    case ERROR_INVALID_DRIVE:
    case ERROR_BAD_NETPATH:
    case ERROR_BAD_PATHNAME:
        return ENOENT;
    case ERROR_ACCESS_DENIED:
    case ERROR_SHARING_VIOLATION:
    case ERROR_LOCK_VIOLATION:
    case ERROR_WRITE_PROTECT:
        return EACCES;
    case ERROR_FILE_EXISTS:
    case ERROR_ALREADY_EXISTS:
        return EEXIST;
    case ERROR_DIR_NOT_EMPTY:
        return ENOTEMPTY;
    case ERROR_DISK_FULL:
    case ERROR_HANDLE_DISK_FULL:
        return ENOSPC;
    case ERROR_DIRECTORY:
        return ENOTDIR;
    case ERROR_NOT_SAME_DEVICE:
        return EXDEV;
    case ERROR_FILENAME_EXCED_RANGE:
        return ENAMETOOLONG;
    case ERROR_TOO_MANY_OPEN_FILES:
        return EMFILE;
    case ERROR_NOT_ENOUGH_MEMORY:
    case ERROR_OUTOFMEMORY:
        return ENOMEM;
    case ERROR_INVALID_HANDLE:
        return EBADF;
    case ERROR_CANT_RESOLVE_FILENAME:
        return ELOOP;
    case ERROR_BAD_EXE_FORMAT:
        return ENOEXEC;
    case ERROR_NOT_SUPPORTED:
    case ERROR_CALL_NOT_IMPLEMENTED:
        return ENOSYS;
    default:
        return EINVAL;
    }
}

// ReportFailure with the calling thread's last system error.
inline bool ReportLastError(ErrorRecord* failure, const char* source, const std::string& path) {
    return ReportFailure(failure, source, path, ErrnoOf(::GetLastError()));
}

} // namespace ostrak
