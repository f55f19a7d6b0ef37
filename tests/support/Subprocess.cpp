#include "support/Subprocess.h"

#include "support/TempDir.h"

#include <cerrno>
#include <csignal>
#include <fcntl.h>
#include <poll.h>
#include <spawn.h>
#include <stdexcept>
#include <sys/ioctl.h>
#include <sys/wait.h>
#include <unistd.h>

extern char** environ;

namespace ostrak {

namespace {

std::vector<char*> ArgvOf(const std::vector<std::string>& argv) {
    std::vector<char*> out;
    for (const std::string& a : argv)
        out.push_back(const_cast<char*>(a.c_str()));
    out.push_back(nullptr);
    return out;
}

int WaitFor(int pid) {
    int status = 0;
    while (::waitpid(pid, &status, 0) < 0)
        if (errno != EINTR)
            return -1;
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

} // namespace

ProcessResult RunProcess(const std::vector<std::string>& argv) {
    TempDir capture;
    const std::string out = capture.File("out"), err = capture.File("err");
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
    posix_spawn_file_actions_addopen(&actions, 1, out.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    posix_spawn_file_actions_addopen(&actions, 2, err.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    pid_t pid = 0;
    auto args = ArgvOf(argv);
    const int rc = posix_spawn(&pid, args[0], &actions, nullptr, args.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    if (rc != 0)
        throw std::runtime_error("cannot start " + argv[0]);
    ProcessResult result;
    result.ExitCode = WaitFor(pid);
    result.Out = TempDir::Read(out);
    result.Err = TempDir::Read(err);
    return result;
}

ChildProcess::ChildProcess(const std::vector<std::string>& argv, int pipeBytes) {
    int fds[2];
    if (::pipe2(fds, O_CLOEXEC) != 0)
        throw std::runtime_error("pipe");
    if (pipeBytes > 0)
        ::fcntl(fds[0], F_SETPIPE_SZ, pipeBytes);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
    posix_spawn_file_actions_adddup2(&actions, fds[1], 1);
    posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
    pid_t pid = 0;
    auto args = ArgvOf(argv);
    const int rc = posix_spawnp(&pid, args[0], &actions, nullptr, args.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    ::close(fds[1]);
    if (rc != 0) {
        ::close(fds[0]);
        throw std::runtime_error("cannot start " + argv[0]);
    }
    Pid_ = pid;
    OutFd_ = fds[0];
}

ChildProcess::~ChildProcess() {
    if (Pid_ > 0) {
        ::kill(Pid_, SIGTERM);
        WaitFor(Pid_);
    }
    if (OutFd_ >= 0)
        ::close(OutFd_);
}

int ChildProcess::PendingOutput() const {
    int n = 0;
    return ::ioctl(OutFd_, FIONREAD, &n) == 0 ? n : -1;
}

int ChildProcess::PipeCapacity() const {
    return ::fcntl(OutFd_, F_GETPIPE_SZ);
}

void ChildProcess::Signal(int signal) const {
    if (Pid_ > 0)
        ::kill(Pid_, signal);
}

int ChildProcess::WaitForEndingSignal() {
    int status = 0;
    while (Pid_ > 0 && ::waitpid(Pid_, &status, 0) < 0)
        if (errno != EINTR)
            return -1;
    Pid_ = -1;
    return WIFSIGNALED(status) ? WTERMSIG(status) : 0;
}

bool ChildProcess::ReadLine(std::string& line, int timeoutMs) {
    for (;;) {
        const auto nl = Pending_.find('\n');
        if (nl != std::string::npos) {
            line = Pending_.substr(0, nl);
            Pending_.erase(0, nl + 1);
            return true;
        }
        pollfd p{OutFd_, POLLIN, 0};
        if (::poll(&p, 1, timeoutMs) <= 0)
            return false;
        char buf[4096];
        const ssize_t got = ::read(OutFd_, buf, sizeof buf);
        if (got <= 0)
            return false;
        Pending_.append(buf, static_cast<size_t>(got));
    }
}

} // namespace ostrak
