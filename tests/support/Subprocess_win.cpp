// The children of the Windows tests are the Linux programs the suite needs
// beside Wine (python3, the publisher's tool of the Linux build). Wine starts
// a Linux program as asked but hands back no process to wait for, nor its
// exit code, so each runs under /bin/sh, which writes the program's process
// id and, at its end, its status into files that the test reads. Arguments
// that are Windows paths ("C:\...") reach the program as its own paths.
#include "support/Subprocess.h"

#include <cctype>
#include <chrono>
#include <fstream>
#include <iterator>
#include <stdexcept>
#include <thread>
#include <windows.h>

namespace ostrak {

namespace {

// Wine's own conversions between its drive paths and the Linux ones.
using ToUnix = char*(CDECL*)(LPCWSTR);
using ToDos = WCHAR*(CDECL*)(LPCSTR);

template <typename Function> Function WineFunction(const char* name) {
    return reinterpret_cast<Function>(
        reinterpret_cast<void*>(::GetProcAddress(::GetModuleHandleA("kernel32.dll"), name)));
}

std::string UnixPath(const std::string& path) {
    const auto convert = WineFunction<ToUnix>("wine_get_unix_file_name");
    if (convert == nullptr)
        throw std::runtime_error("not under Wine: cannot run Linux programs");
    std::wstring wide(path.begin(), path.end());
    char* unix = convert(wide.c_str());
    if (unix == nullptr)
        throw std::runtime_error("no Linux path for " + path);
    std::string out = unix;
    ::HeapFree(::GetProcessHeap(), 0, unix);
    return out;
}

bool IsDrivePath(const std::string& s) {
    return s.size() >= 3 && std::isalpha(static_cast<unsigned char>(s[0])) && s[1] == ':' &&
           (s[2] == '\\' || s[2] == '/');
}

std::string ForLinux(const std::string& arg) {
    return IsDrivePath(arg) ? UnixPath(arg) : arg;
}

// One argument of a command line, quoted so that it is split back whole.
std::string Quoted(const std::string& arg) {
    std::string out = "\"";
    size_t backslashes = 0;
    for (char c : arg) {
        if (c == '\\') {
            ++backslashes;
            continue;
        }
        out.append(c == '"' ? 2 * backslashes + 1 : backslashes, '\\');
        backslashes = 0;
        out += c;
    }
    out.append(2 * backslashes, '\\');
    return out + "\"";
}

// Starts a Linux program and forgets it (Wine gives nothing to wait for).
void StartLinux(const std::vector<std::string>& argv) {
    std::string line;
    for (const std::string& arg : argv)
        line += (line.empty() ? "" : " ") + Quoted(arg);
    STARTUPINFOA startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION info{};
    if (!::CreateProcessA(nullptr, line.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                          &startup, &info))
        throw std::runtime_error("cannot start " + argv.at(0));
    ::CloseHandle(info.hThread);
    ::CloseHandle(info.hProcess);
}

std::string ReadIfAny(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

// The shell's part: the program in its folder with its output in files, its
// process id and then its status written whole (through a rename).
const char* const Runner = "d=$1 o=$2 e=$3 p=$4 s=$5; shift 5; cd \"$d\" || exit 1; "
                           "\"$@\" </dev/null >\"$o\" 2>\"$e\" & c=$!; "
                           "echo $c >\"$p.t\"; mv \"$p.t\" \"$p\"; "
                           "wait $c; echo $? >\"$s.t\"; mv \"$s.t\" \"$s\"";

} // namespace

bool IsProgram(const std::string& path) {
    if (!path.empty() && path[0] != '/')
        return (::GetFileAttributesA(path.c_str()) & FILE_ATTRIBUTE_DIRECTORY) == 0;
    const auto convert = WineFunction<ToDos>("wine_get_dos_file_name");
    WCHAR* dos = convert != nullptr ? convert(path.c_str()) : nullptr;
    if (dos == nullptr)
        return false;
    const DWORD attributes = ::GetFileAttributesW(dos);
    ::HeapFree(::GetProcessHeap(), 0, dos);
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) == 0;
}

ChildProcess::ChildProcess(const std::vector<std::string>& argv, int pipeBytes)
    : ChildProcess(argv, ProcessOptions().WithLineOutput(pipeBytes)) {}

ChildProcess::ChildProcess(const std::vector<std::string>& argv, const ProcessOptions& options) {
    if (options.Input || options.LineOutput || options.ForwardErr)
        throw std::logic_error("a child's stdin and stdout are files here: " + argv.at(0));
    if (argv.empty() || argv[0].empty() || argv[0][0] != '/')
        throw std::logic_error("only Linux programs run as children here: " + argv.at(0));
    char cwd[MAX_PATH];
    const DWORD n = ::GetCurrentDirectoryA(sizeof cwd, cwd);
    const std::string folder = options.Folder.empty() ? std::string(cwd, n) : options.Folder;
    std::vector<std::string> line = {"/bin/sh",
                                     "-c",
                                     Runner,
                                     "sh",
                                     ForLinux(folder),
                                     UnixPath(Capture_.File("out")),
                                     UnixPath(Capture_.File("err")),
                                     UnixPath(Capture_.File("pid")),
                                     UnixPath(Capture_.File("status")),
                                     "/usr/bin/env"};
    for (const auto& [name, value] : options.Env)
        if (!value)
            line.insert(line.end(), {"-u", name});
    for (const auto& [name, value] : options.Env)
        if (value)
            line.push_back(name + "=" + ForLinux(*value));
    for (const std::string& arg : argv)
        line.push_back(ForLinux(arg));
    StartLinux(line);
    // The shell writes the id at once; a child that cannot start ends with 127.
    for (int waited = 0; Pid_ <= 0 && waited < 10000; waited += 5) {
        const std::string pid = ReadIfAny(Capture_.File("pid"));
        if (!pid.empty())
            Pid_ = std::stoi(pid);
        else
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    if (Pid_ <= 0)
        throw std::runtime_error("the shell did not start " + argv[0]);
}

ChildProcess::~ChildProcess() {
    if (!Ended_)
        Stop();
}

bool ChildProcess::ReadLine(std::string&, int) {
    throw std::logic_error("ReadLine: a child's stdout is a file here");
}

int ChildProcess::PendingOutput() const {
    return 0;
}

int ChildProcess::PipeCapacity() const {
    return 0;
}

std::string ChildProcess::Out() const {
    return ReadIfAny(Capture_.File("out"));
}

std::string ChildProcess::Err() const {
    return ReadIfAny(Capture_.File("err"));
}

bool ChildProcess::Write(const std::string&) {
    return false;
}

void ChildProcess::CloseInput() {}

void ChildProcess::Signal(int signal) const {
    if (Pid_ > 0 && !Ended_)
        StartLinux({"/bin/kill", "-" + std::to_string(signal), std::to_string(Pid_)});
}

bool ChildProcess::Wait(int timeoutMs) {
    if (Ended_ || Pid_ <= 0)
        return true;
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    for (;;) {
        const std::string status = ReadIfAny(Capture_.File("status"));
        if (!status.empty()) {
            // The shell's status: 128 + the signal for a child a signal ended.
            const int code = std::stoi(status);
            Ended_ = true;
            ExitCode_ = code > 128 ? -1 : code;
            Signal_ = code > 128 ? code - 128 : 0;
            return true;
        }
        if (timeoutMs >= 0 && std::chrono::steady_clock::now() >= deadline)
            return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
}

} // namespace ostrak
