// headless_install: the install action without a person or a display, to be
// timed from outside (bench/install/run).
//
//   headless_install install FOLDER   installs into FOLDER through the window
//   headless_install idle             shows the window, lets it idle briefly
//                                     and leaves through Cancel
//
// The window is the system's own (HeadlessWindow: Qt's offscreen platform on
// Linux, the Win32 view on Windows) and talks to the server that
// OSTRAK_SERVER names. Dialogs are answered by BenchDialogs; the program's
// end is recorded instead of ending the process, so that the outcome can be
// checked and printed. Exit status 0 when the install reached "Installation
// complete!" and ended through the exit path (idle: when the exit path ran),
// 1 otherwise, 2 on bad arguments.
#include "BenchDialogs.h"
#include "HeadlessWindow.h"
#include "installer/frmSplash.h"
#include "platform/EventLoop.h"
#include "platform/TerminationCleanup.h"
#include "platform/TickCount.h"
#include "runtime/Program.h"

#include <cstdio>
#include <string>

using namespace ostrak;

namespace {

// How long the idle window is left to itself before Cancel.
constexpr uint32_t IdleMs = 500;

bool StartsWith(const std::string& text, const std::string& head) {
    return text.compare(0, head.size(), head) == 0;
}

bool EndsWith(const std::string& text, const std::string& tail) {
    return text.size() >= tail.size() &&
           text.compare(text.size() - tail.size(), tail.size(), tail) == 0;
}

int Usage() {
    std::fprintf(stderr, "usage: headless_install install FOLDER | headless_install idle\n");
    return 2;
}

} // namespace

int main(int argc, char** argv) {
    const std::string mode = argc > 1 ? argv[1] : "";
    if (!((mode == "install" && argc == 3) || (mode == "idle" && argc == 2)))
        return Usage();
    const std::string folder = mode == "install" ? argv[2] : "";

    Files::RemoveTemporariesOnTermination();
    HeadlessWindow system(argv[0]);

    int ends = 0;
    int endCode = -1;
    SetEndProgramHook([&](int code) {
        ++ends;
        endCode = code;
    });
    BenchDialogs dialogs(folder);
    SetDialogBackend(&dialogs);

    int fetched = 0;
    int failedAttempts = 0;
    frmSplash window;
    window.FileTextShown = [&](const std::string& text) {
        if (StartsWith(text, "Download of ") && EndsWith(text, " done!"))
            ++fetched;
        else if (StartsWith(text, "Failure ("))
            ++failedAttempts;
    };
    window.Form_Load();
    if (ProgramEnded()) {
        std::fprintf(stderr, "headless_install: the window refused to start\n");
        return 1;
    }
    window.View().Show();
    DoEvents();

    const uint32_t start = TickCount();
    if (mode == "idle") {
        WaitTicks(IdleMs);
        window.Command3_Click();
        SetDialogBackend(nullptr);
        return ends == 1 ? 0 : 1;
    }
    window.Command1_Click();
    const uint32_t elapsed = ElapsedTicks(start, TickCount());
    SetDialogBackend(nullptr);

    const bool ok = dialogs.Completed() && !dialogs.Unexpected() && ends == 1 && endCode == 0;
    std::printf("%s: %d files fetched, %d failed attempts, %u ms; file line \"%s\"\n",
                ok ? "installed" : "NOT installed", fetched, failedAttempts, elapsed,
                window.FileText().c_str());
    return ok ? 0 : 1;
}
