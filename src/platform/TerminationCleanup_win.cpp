#include "platform/TerminationCleanup.h"

#include <atomic>
#include <cstring>
#include <windows.h>

namespace ostrak {

namespace Files {

namespace {

// A slot passes Free -> Filling -> Live -> Free on the registering side; the
// console handler takes a Live slot (Live -> Taken) before reading it.
enum SlotState : int { Free, Filling, Live, Taken };

constexpr int SlotCount = 32;
constexpr size_t MaxPathBytes = MAX_PATH * 4;

struct Slot {
    std::atomic<int> State{Free};
    bool IsFolder = false;
    char Path[MaxPathBytes] = {};
};

Slot g_slots[SlotCount];
// Threads inside a TerminationDeferred; the handler waits for them.
std::atomic<int> g_deferred{0};

void EmptyFolder(const char* path) {
    char pattern[MaxPathBytes + 2];
    const size_t length = std::strlen(path);
    if (length + 3 > sizeof pattern)
        return;
    std::memcpy(pattern, path, length);
    std::memcpy(pattern + length, "\\*", 3);
    WIN32_FIND_DATAA found;
    HANDLE find = ::FindFirstFileA(pattern, &found);
    if (find == INVALID_HANDLE_VALUE)
        return;
    do {
        char entry[MaxPathBytes + MAX_PATH + 2];
        const size_t name = std::strlen(found.cFileName);
        if (std::strcmp(found.cFileName, ".") == 0 || std::strcmp(found.cFileName, "..") == 0 ||
            length + name + 2 > sizeof entry)
            continue;
        std::memcpy(entry, path, length);
        entry[length] = '\\';
        std::memcpy(entry + length + 1, found.cFileName, name + 1);
        if (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)
            ::RemoveDirectoryA(entry);
        else
            ::DeleteFileA(entry);
    } while (::FindNextFileA(find, &found));
    ::FindClose(find);
}

// Runs on a thread of its own when the console is interrupted or closed;
// the program ends when it returns.
BOOL WINAPI RemoveTemporaries(DWORD event) {
    if (event != CTRL_C_EVENT && event != CTRL_BREAK_EVENT && event != CTRL_CLOSE_EVENT &&
        event != CTRL_LOGOFF_EVENT && event != CTRL_SHUTDOWN_EVENT)
        return FALSE;
    while (g_deferred.load() > 0)
        ::Sleep(1);
    for (Slot& slot : g_slots) {
        int expected = Live;
        if (!slot.State.compare_exchange_strong(expected, Taken, std::memory_order_acquire))
            continue;
        if (slot.IsFolder) {
            EmptyFolder(slot.Path);
            ::RemoveDirectoryA(slot.Path);
        } else {
            ::DeleteFileA(slot.Path);
        }
    }
    return FALSE; // the default handler ends the program
}

} // namespace

void RemoveTemporariesOnTermination() {
    ::SetConsoleCtrlHandler(RemoveTemporaries, TRUE);
}

int RegisterTemporaryPath(const std::string& relativeOrAbsolute, bool isFolder) {
    // Kept absolute: the handler must find it whatever the current folder is then.
    char full[MaxPathBytes];
    const DWORD n = ::GetFullPathNameA(relativeOrAbsolute.c_str(), sizeof full, full, nullptr);
    if (relativeOrAbsolute.empty() || n == 0 || n >= sizeof full)
        return -1;
    for (int i = 0; i < SlotCount; ++i) {
        Slot& slot = g_slots[i];
        int expected = Free;
        if (!slot.State.compare_exchange_strong(expected, Filling, std::memory_order_acquire))
            continue;
        std::memcpy(slot.Path, full, n + 1);
        slot.IsFolder = isFolder;
        slot.State.store(Live, std::memory_order_release);
        return i;
    }
    return -1;
}

void ReleaseTemporaryPath(int handle) {
    if (handle < 0 || handle >= SlotCount)
        return;
    int expected = Live;
    g_slots[handle].State.compare_exchange_strong(expected, Free, std::memory_order_release);
}

TerminationDeferred::TerminationDeferred() : Previous_{} {
    g_deferred.fetch_add(1);
}

TerminationDeferred::~TerminationDeferred() {
    g_deferred.fetch_sub(1);
}

} // namespace Files

} // namespace ostrak
