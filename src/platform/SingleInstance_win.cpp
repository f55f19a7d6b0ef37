#include "platform/SingleInstance.h"

#include "platform/Environment.h"
#include "platform/Process.h"
#include "runtime/Program.h"

#include <cstdio>
#include <windows.h>

namespace ostrak {

namespace {
HANDLE g_mutex = nullptr;
std::string g_name;
} // namespace

std::string InstanceLockPath() {
    // A mutex of the user's session; in builds with the test suite, tests
    // that share one set a prefix of their own in OSTRAK_MUTEX_PREFIX.
#if OSTRAK_TEST_SEAMS
    const std::string prefix = EnvironmentValue("OSTRAK_MUTEX_PREFIX").value_or("");
#else
    const std::string prefix;
#endif
    return "Local\\" + prefix + ExecutableBaseName() + ".instance";
}

bool PrevInstance() {
    const std::string name = InstanceLockPath();
    if (g_mutex != nullptr && g_name == name)
        return false;
    HANDLE mutex = ::CreateMutexA(nullptr, FALSE, name.c_str());
    if (mutex == nullptr) {
        std::fprintf(stderr, "warning: cannot create the instance mutex %s\n", name.c_str());
        return false;
    }
    // The mutex lives as long as a process holds a handle to it: the first
    // live process to create it owns the name, and a dead one leaves nothing.
    if (::GetLastError() == ERROR_ALREADY_EXISTS) {
        ::CloseHandle(mutex);
        return true;
    }
    ReleaseInstanceLock();
    g_mutex = mutex;
    g_name = name;
    static const bool releasedAtEnd = (AtProgramEnd(ReleaseInstanceLock), true);
    (void)releasedAtEnd;
    return false;
}

void ReleaseInstanceLock() {
    if (g_mutex != nullptr)
        ::CloseHandle(g_mutex);
    g_mutex = nullptr;
    g_name.clear();
}

} // namespace ostrak
