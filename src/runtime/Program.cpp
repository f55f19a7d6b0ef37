#include "runtime/Program.h"

#include <QCoreApplication>
#include <utility>

namespace ostrak {

namespace {
EndProgramHook g_hook;
bool g_ended = false;
} // namespace

void EndProgram(int exitCode) {
    g_ended = true;
    if (g_hook)
        g_hook(exitCode);
    else
        QCoreApplication::exit(exitCode);
}

bool ProgramEnded() {
    return g_ended;
}

EndProgramHook SetEndProgramHook(EndProgramHook hook) {
    g_ended = false;
    return std::exchange(g_hook, std::move(hook));
}

} // namespace ostrak
