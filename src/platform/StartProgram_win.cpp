#include "platform/StartProgram.h"

#include "platform/Files.h"
#include "platform/WinError.h"

#include <windows.h>

namespace ostrak {

namespace {
constexpr const char* Source = "Program.Start";
} // namespace

bool IsWindowsExecutable(const std::string& path) {
    Files::InputFile in;
    char head[2] = {};
    return in.Open(path) && in.Read(head, 2) == 2 && head[0] == 'M' && head[1] == 'Z';
}

StartResult StartProgram(const std::string& path, ErrorRecord* failure) {
    const DWORD attributes = ::GetFileAttributesA(path.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES) {
        ReportLastError(failure, Source, path);
        return StartResult::Failed;
    }
    if ((attributes & FILE_ATTRIBUTE_DIRECTORY) != 0) {
        ReportFailure(failure, Source, path, EISDIR);
        return StartResult::Failed;
    }
    if (!IsWindowsExecutable(path))
        return StartResult::NotWindowsProgram;
    char full[MAX_PATH * 4];
    const DWORD n = ::GetFullPathNameA(path.c_str(), sizeof full, full, nullptr);
    if (n == 0 || n >= sizeof full) {
        ReportFailure(failure, Source, path, n == 0 ? ErrnoOf(::GetLastError()) : ENAMETOOLONG);
        return StartResult::Failed;
    }
    // The quoted name is the whole command line: no arguments. The program
    // starts in its own folder, where it finds its files.
    std::string commandLine(1, '"');
    commandLine.append(full, n).push_back('"');
    const std::string folder = Files::ParentFolder(std::string(full, n));
    STARTUPINFOA startup{};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESHOWWINDOW;
    startup.wShowWindow = SW_SHOWNORMAL;
    PROCESS_INFORMATION process{};
    if (!::CreateProcessA(full, commandLine.data(), nullptr, nullptr, FALSE,
                          DETACHED_PROCESS | CREATE_NEW_PROCESS_GROUP, nullptr, folder.c_str(),
                          &startup, &process)) {
        const DWORD code = ::GetLastError();
        if (failure != nullptr)
            *failure = ErrorRecord{
                ENOEXEC, path + ": " + std::system_category().message(static_cast<int>(code)),
                Source};
        return StartResult::Failed;
    }
    ::CloseHandle(process.hThread);
    ::CloseHandle(process.hProcess);
    return StartResult::Started;
}

} // namespace ostrak
