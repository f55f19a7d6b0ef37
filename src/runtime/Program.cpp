#include "runtime/Program.h"

#include <cstdio>
#include <unistd.h>
#include <utility>
#include <vector>

namespace ostrak {

namespace {
EndProgramHook g_hook;
bool g_ended = false;
std::vector<std::function<void()>> g_atEnd;

[[noreturn]] void TerminateProcess(int exitCode) {
    for (auto it = g_atEnd.rbegin(); it != g_atEnd.rend(); ++it)
        (*it)();
    std::fflush(nullptr);
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
