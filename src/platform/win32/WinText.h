#pragma once
// Internal to the Win32 window and dialogs: the program's UTF-8 texts in the
// ANSI code page the A-functions take, "\r\n" kept as the line break.
#include <string>
#include <windows.h>

namespace ostrak {

inline std::string AnsiOf(const std::string& utf8) {
    const int wide =
        ::MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()), nullptr, 0);
    if (wide <= 0)
        return utf8;
    std::wstring w(static_cast<size_t>(wide), L'\0');
    ::MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()), w.data(), wide);
    const int n = ::WideCharToMultiByte(CP_ACP, 0, w.data(), wide, nullptr, 0, nullptr, nullptr);
    std::string ansi(static_cast<size_t>(n > 0 ? n : 0), '\0');
    ::WideCharToMultiByte(CP_ACP, 0, w.data(), wide, ansi.data(), n, nullptr, nullptr);
    return ansi;
}

inline std::string Utf8OfAnsi(const std::string& ansi) {
    const int wide =
        ::MultiByteToWideChar(CP_ACP, 0, ansi.data(), static_cast<int>(ansi.size()), nullptr, 0);
    if (wide <= 0)
        return ansi;
    std::wstring w(static_cast<size_t>(wide), L'\0');
    ::MultiByteToWideChar(CP_ACP, 0, ansi.data(), static_cast<int>(ansi.size()), w.data(), wide);
    const int n = ::WideCharToMultiByte(CP_UTF8, 0, w.data(), wide, nullptr, 0, nullptr, nullptr);
    std::string utf8(static_cast<size_t>(n > 0 ? n : 0), '\0');
    ::WideCharToMultiByte(CP_UTF8, 0, w.data(), wide, utf8.data(), n, nullptr, nullptr);
    return utf8;
}

} // namespace ostrak
