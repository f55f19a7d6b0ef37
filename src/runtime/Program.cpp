#include "runtime/Program.h"

#include <cstdio>
#include <unistd.h>
#include <utility>
#include <vector>

#if defined(__has_feature)
#if __has_feature(address_sanitizer)
#include <sanitizer/lsan_interface.h>
#define OSTRAK_LEAK_CHECK_AT_END 1
#endif
#endif

namespace ostrak {

namespace {
EndProgramHook g_hook;
bool g_ended = false;
std::vector<std::function<void()>> g_atEnd;

[[noreturn]] void TerminateProcess(int exitCode) {
    for (auto it = g_atEnd.rbegin(); it != g_atEnd.rend(); ++it)
        (*it)();
    std::fflush(nullptr);
#ifdef OSTRAK_LEAK_CHECK_AT_END
    // _exit skips the leak check that a sanitizer build runs at exit; what
    // the frames still on the stack hold counts as reachable.
    __lsan_do_leak_check();
#endif
    ::_exit(exitCode);
}
} // namespace

void EndProgram(int exitCode) {
    g_ended = true;
    if (!g_hook)
        TerminateProcess(exitCode);
    // A copy: the hook may replace itself.
    EndProgramHook hook = g_hook;
    hook(exitCode);
}

bool ProgramEnded() {
    return g_ended;
}

EndProgramHook SetEndProgramHook(EndProgramHook hook) {
    g_ended = false;
    return std::exchange(g_hook, std::move(hook));
}

void AtProgramEnd(std::function<void()> release) {
    g_atEnd.push_back(std::move(release));
}

} // namespace ostrak
