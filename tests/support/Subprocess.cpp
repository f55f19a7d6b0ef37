#include "support/Subprocess.h"

#include <cerrno>
#include <csignal>
#include <fcntl.h>
#include <fstream>
#include <iterator>
#include <poll.h>
#include <spawn.h>
#include <stdexcept>
#include <sys/ioctl.h>
#include <sys/socket.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>

extern char** environ;

namespace ostrak {

namespace {

std::vector<char*> PointersTo(const std::vector<std::string>& strings) {
    std::vector<char*> out;
    for (const std::string& s : strings)
        out.push_back(const_cast<char*>(s.c_str()));
    out.push_back(nullptr);
    return out;
}

// The test's environment with the changes applied.
std::vector<std::string> EnvironmentWith(const ProcessOptions& options) {
    std::vector<std::string> env;
    for (char** e = environ; *e != nullptr; ++e) {
        const std::string entry = *e;
        const std::string name = entry.substr(0, entry.find('='));
        bool changed = false;
        for (const auto& change : options.Env)
            changed = changed || change.first == name;
        if (!changed)
            env.push_back(entry);
    }
    for (const auto& [name, value] : options.Env)
        if (value)
            env.push_back(name + "=" + *value);
    return env;
}

// A whole file, "" when there is none.
std::string ReadIfAny(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

void CloseFd(int& fd) {
    if (fd >= 0)
        ::close(fd);
    fd = -1;
}

} // namespace

bool IsProgram(const std::string& path) {
    return ::access(path.c_str(), X_OK) == 0;
}

ChildProcess::ChildProcess(const std::vector<std::string>& argv, int pipeBytes)
    : ChildProcess(argv, ProcessOptions().WithLineOutput(pipeBytes)) {}

ChildProcess::ChildProcess(const std::vector<std::string>& argv, const ProcessOptions& options) {
    int in[2] = {-1, -1}, out[2] = {-1, -1};
    // stdin is a socket so that writing to a child that has ended fails
    // instead of raising SIGPIPE in the test.
    if ((options.Input && ::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, in) != 0) ||
        (options.LineOutput && ::pipe2(out, O_CLOEXEC) != 0))
        throw std::runtime_error("cannot make the pipes of " + argv.at(0));
    if (options.PipeBytes > 0 && out[0] >= 0)
        ::fcntl(out[0], F_SETPIPE_SZ, options.PipeBytes);
    const std::string outFile = Capture_.File("out"), errFile = Capture_.File("err");
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    if (options.Input)
        posix_spawn_file_actions_adddup2(&actions, in[0], 0);
    else
        posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
    if (options.LineOutput)
        posix_spawn_file_actions_adddup2(&actions, out[1], 1);
    else
        posix_spawn_file_actions_addopen(&actions, 1, outFile.c_str(), O_WRONLY | O_CREAT, 0600);
    if (!options.ForwardErr)
        posix_spawn_file_actions_addopen(&actions, 2, errFile.c_str(), O_WRONLY | O_CREAT, 0600);
    if (!options.Folder.empty())
        posix_spawn_file_actions_addchdir_np(&actions, options.Folder.c_str());
    const std::vector<std::string> env = EnvironmentWith(options);
    pid_t pid = 0;
    const int rc = posix_spawnp(&pid, argv.at(0).c_str(), &actions, nullptr,
                                PointersTo(argv).data(), PointersTo(env).data());
    posix_spawn_file_actions_destroy(&actions);
    CloseFd(in[0]);
    CloseFd(out[1]);
    InFd_ = in[1];
    OutFd_ = out[0];
    if (rc != 0) {
        CloseFd(InFd_);
        CloseFd(OutFd_);
        throw std::runtime_error("cannot start " + argv[0]);
    }
    Pid_ = pid;
    PidFd_ = static_cast<int>(::syscall(SYS_pidfd_open, pid, 0));
    if (PidFd_ < 0) {
        ::kill(pid, SIGKILL);
        ::waitpid(pid, nullptr, 0);
        CloseFd(InFd_);
        CloseFd(OutFd_);
        throw std::runtime_error("cannot watch " + argv[0]);
    }
}

ChildProcess::~ChildProcess() {
    Stop();
    CloseFd(PidFd_);
    CloseFd(InFd_);
    CloseFd(OutFd_);
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

int ChildProcess::PendingOutput() const {
    int n = 0;
    return ::ioctl(OutFd_, FIONREAD, &n) == 0 ? n : -1;
}

int ChildProcess::PipeCapacity() const {
    return ::fcntl(OutFd_, F_GETPIPE_SZ);
}

std::string ChildProcess::Out() const {
    return ReadIfAny(Capture_.File("out"));
}

std::string ChildProcess::Err() const {
    return ReadIfAny(Capture_.File("err"));
}

bool ChildProcess::Write(const std::string& bytes) {
    size_t done = 0;
    while (InFd_ >= 0 && done < bytes.size()) {
        const ssize_t n = ::send(InFd_, bytes.data() + done, bytes.size() - done, MSG_NOSIGNAL);
        if (n < 0 && errno != EINTR)
            return false;
        done += n > 0 ? static_cast<size_t>(n) : 0;
    }
    return InFd_ >= 0;
}

void ChildProcess::CloseInput() {
    CloseFd(InFd_);
}

void ChildProcess::Signal(int signal) const {
    if (Pid_ > 0 && !Ended_)
        ::kill(Pid_, signal);
}

bool ChildProcess::Wait(int timeoutMs) {
    if (Ended_ || Pid_ <= 0)
        return true;
    pollfd p{PidFd_, POLLIN, 0};
    int ready = 0;
    while ((ready = ::poll(&p, 1, timeoutMs)) < 0 && errno == EINTR) {
    }
    if (ready <= 0)
        return false;
    int status = 0;
    while (::waitpid(Pid_, &status, 0) < 0 && errno == EINTR) {
    }
    Ended_ = true;
    ExitCode_ = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    Signal_ = WIFSIGNALED(status) ? WTERMSIG(status) : 0;
    return true;
}

} // namespace ostrak
