#include "platform/TerminationCleanup.h"

#include <atomic>
#include <cerrno>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <unistd.h>

namespace ostrak {

namespace Files {

namespace {

// A slot passes Free -> Filling -> Live -> Free on the registering side; the
// handler takes a Live slot (Live -> Taken) before reading it, so a slot is
// never rewritten while the handler reads it.
enum SlotState : int { Free, Filling, Live, Taken };

constexpr int SlotCount = 32;
constexpr size_t MaxPathBytes = 4096;
constexpr int HandledSignals[] = {SIGINT, SIGTERM, SIGHUP};

struct Slot {
    std::atomic<int> State{Free};
    bool IsFolder = false;
    char Path[MaxPathBytes] = {};
};

Slot g_slots[SlotCount];

static_assert(std::atomic<int>::is_always_lock_free);

// Removes what a folder holds directly, with system calls only (no memory
// is allocated). Removing entries while reading the folder may hide others
// from the same pass, so it reads again until a pass removes nothing.
void EmptyFolder(const char* path) {
    const int fd = ::open(path, O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
    if (fd < 0)
        return;
    alignas(dirent64) char buffer[4096];
    for (int pass = 0; pass < 16; ++pass) {
        bool removedAny = false;
        ::lseek(fd, 0, SEEK_SET);
        for (;;) {
            const ssize_t got = ::getdents64(fd, buffer, sizeof buffer);
            if (got <= 0)
                break;
            for (ssize_t at = 0; at < got;) {
                const auto* entry = reinterpret_cast<const dirent64*>(buffer + at);
                at += entry->d_reclen;
                const char* name = entry->d_name;
                if (std::strcmp(name, ".") == 0 || std::strcmp(name, "..") == 0)
                    continue;
                removedAny = ::unlinkat(fd, name, 0) == 0 || removedAny;
            }
        }
        if (!removedAny)
            break;
    }
    ::close(fd);
}

extern "C" void RemoveTemporariesAndEnd(int signal) {
    const int savedErrno = errno;
    for (Slot& slot : g_slots) {
        int expected = Live;
        if (!slot.State.compare_exchange_strong(expected, Taken, std::memory_order_acquire))
            continue;
        if (slot.IsFolder) {
            EmptyFolder(slot.Path);
            ::rmdir(slot.Path);
        } else {
            ::unlink(slot.Path);
        }
    }
    // The signal is blocked while its handler runs: raised again with the
    // default action, it ends the program as soon as the handler returns.
    struct sigaction defaults {};
    defaults.sa_handler = SIG_DFL;
    ::sigemptyset(&defaults.sa_mask);
    ::sigaction(signal, &defaults, nullptr);
    ::raise(signal);
    errno = savedErrno;
}

} // namespace

void RemoveTemporariesOnTermination() {
    // A write past the file-size limit (RLIMIT_FSIZE) then fails with EFBIG
    // like a full disk, and the writer removes its temporary file, instead
    // of SIGXFSZ ending the program and leaving it behind.
    ::signal(SIGXFSZ, SIG_IGN);
    struct sigaction action {};
    action.sa_handler = RemoveTemporariesAndEnd;
    ::sigemptyset(&action.sa_mask);
    for (int signal : HandledSignals)
        ::sigaddset(&action.sa_mask, signal);
    for (int signal : HandledSignals) {
        struct sigaction current {};
        if (::sigaction(signal, nullptr, &current) != 0 || current.sa_handler == SIG_IGN)
            continue;
        ::sigaction(signal, &action, nullptr);
    }
}

int RegisterTemporaryPath(const std::string& relativeOrAbsolute, bool isFolder) {
    // Kept absolute: the handler must find it whatever the current folder is then.
    std::string path = relativeOrAbsolute;
    if (!path.empty() && path[0] != '/') {
        char* cwd = ::getcwd(nullptr, 0);
        if (cwd == nullptr)
            return -1;
        path = std::string(cwd) + "/" + path;
        std::free(cwd);
    }
    if (path.empty() || path.size() >= MaxPathBytes)
        return -1;
    for (int i = 0; i < SlotCount; ++i) {
        Slot& slot = g_slots[i];
        int expected = Free;
        if (!slot.State.compare_exchange_strong(expected, Filling, std::memory_order_acquire))
            continue;
        std::memcpy(slot.Path, path.c_str(), path.size() + 1);
        slot.IsFolder = isFolder;
        slot.State.store(Live, std::memory_order_release);
        return i;
    }
    return -1;
}

void ReleaseTemporaryPath(int handle) {
    if (handle < 0 || handle >= SlotCount)
        return;
    // A slot the handler has taken stays taken: the program is ending.
    int expected = Live;
    g_slots[handle].State.compare_exchange_strong(expected, Free, std::memory_order_release);
}

TerminationDeferred::TerminationDeferred() {
    static_assert(sizeof(sigset_t) <= PreviousSize);
    sigset_t held;
    ::sigemptyset(&held);
    for (int signal : HandledSignals)
        ::sigaddset(&held, signal);
    sigset_t previous;
    ::pthread_sigmask(SIG_BLOCK, &held, &previous);
    std::memcpy(Previous_, &previous, sizeof previous);
}

TerminationDeferred::~TerminationDeferred() {
    sigset_t previous;
    std::memcpy(&previous, Previous_, sizeof previous);
    ::pthread_sigmask(SIG_SETMASK, &previous, nullptr);
}

} // namespace Files

} // namespace ostrak
