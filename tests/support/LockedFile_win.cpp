#include "support/LockedFile.h"

#include <windows.h>

namespace ostrak {

LockedFile::LockedFile(std::string path) : Path_(std::move(path)) {
    HANDLE h = ::CreateFileA(Path_.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                             FILE_ATTRIBUTE_NORMAL, nullptr);
    Locked_ = h != INVALID_HANDLE_VALUE;
    Handle_ = Locked_ ? h : nullptr;
}

void LockedFile::Release() {
    if (Handle_ != nullptr)
        ::CloseHandle(static_cast<HANDLE>(Handle_));
    Handle_ = nullptr;
    Locked_ = false;
}

} // namespace ostrak
