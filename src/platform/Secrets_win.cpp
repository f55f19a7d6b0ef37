#include "platform/Secrets.h"

#include "platform/WinError.h"

#include <sys/stat.h>
#include <windows.h>

namespace ostrak {

bool FileModeBits(const std::string& path, uint32_t& mode, ErrorRecord* failure) {
    // The C runtime's view: read and write for everyone, or read only; who
    // else may read is the file's access list, which this does not see.
    struct _stat64 st {};
    if (::_stat64(path.c_str(), &st) != 0)
        return ReportFailure(failure, "Secrets.FileModeBits", path, errno);
    mode = static_cast<uint32_t>(st.st_mode & 07777);
    return true;
}

bool ReadHiddenLine(const std::string& prompt, std::string& line, ErrorRecord* failure) {
    const char* source = "Secrets.ReadHiddenLine";
    HANDLE in = ::CreateFileA("CONIN$", GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ, nullptr,
                              OPEN_EXISTING, 0, nullptr);
    if (in == INVALID_HANDLE_VALUE)
        return ReportLastError(failure, source, "CONIN$");
    HANDLE out = ::CreateFileA("CONOUT$", GENERIC_READ | GENERIC_WRITE, FILE_SHARE_WRITE, nullptr,
                               OPEN_EXISTING, 0, nullptr);
    DWORD saved = 0;
    const bool isConsole = ::GetConsoleMode(in, &saved) != 0;
    if (isConsole)
        ::SetConsoleMode(in, (saved | ENABLE_LINE_INPUT) & ~ENABLE_ECHO_INPUT);
    DWORD written = 0;
    if (out != INVALID_HANDLE_VALUE)
        ::WriteFile(out, prompt.data(), static_cast<DWORD>(prompt.size()), &written, nullptr);
    std::string read;
    char c = 0;
    DWORD got = 0;
    bool ended = false;
    while (::ReadFile(in, &c, 1, &got, nullptr) && got == 1) {
        if (c == '\n') {
            ended = true;
            break;
        }
        if (c != '\r')
            read.push_back(c);
    }
    const DWORD code = ended ? 0 : ::GetLastError();
    if (isConsole)
        ::SetConsoleMode(in, saved);
    if (out != INVALID_HANDLE_VALUE) {
        ::WriteFile(out, "\r\n", 2, &written, nullptr);
        ::CloseHandle(out);
    }
    ::CloseHandle(in);
    if (!ended)
        return code != 0 && code != ERROR_HANDLE_EOF
                   ? ReportFailure(failure, source, "CONIN$", ErrnoOf(code))
                   : ReportFailureText(failure, source, "CONIN$", "the input ended");
    line = std::move(read);
    return true;
}

} // namespace ostrak
