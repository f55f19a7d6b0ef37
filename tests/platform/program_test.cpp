// EndProgram: the real end terminates the process on the spot; with a hook
// the program counts as ended and no wait waits any more.
#include "platform/EventLoop.h"
#include "platform/TickCount.h"
#include "runtime/Program.h"
#include "support/Subprocess.h"
#include "support/TempDir.h"

#include <QCoreApplication>
#include <QFile>
#include <QTimer>
#include <gtest/gtest.h>

#if defined(__has_feature)
#if __has_feature(address_sanitizer)
#define OSTRAK_UNDER_ASAN 1
#endif
#endif

using namespace ostrak;

TEST(EndProgram, RealEndTerminatesInsideNestedWaitsWithoutUnwinding) {
    TempDir runtime;
    // Both waits are 60 s long: only a real end finishes in time.
    const ProcessResult child = RunProcess(
        {PROGRAM_END_CHILD}, ProcessOptions().SetEnv("XDG_RUNTIME_DIR", runtime.Path()), 10000);
    ASSERT_TRUE(child.Ended) << "the waits went on after the end";

    EXPECT_EQ(child.Signal, 0);
    EXPECT_EQ(child.ExitCode, 7);
    // Nothing after the exit path ran, no destructor ran, and what was
    // printed reached its output.
    EXPECT_EQ(child.Out, "action starts\ninner routine starts\nexit path\nreleased at end\n");
    // The instance lock went with the program.
    EXPECT_FALSE(QFile::exists(QString::fromStdString(runtime.File("program_end_child.lock"))));
}

// The real end skips the exit handlers, where a sanitizer build looks for
// leaks; it looks before ending instead. What the frames still on the stack
// hold is no leak: the plain run above ends with its own code.
TEST(EndProgram, RealEndReportsLostMemoryUnderTheSanitizer) {
    TempDir runtime;
    const ProcessResult child =
        RunProcess({PROGRAM_END_CHILD, "leak"},
                   ProcessOptions().SetEnv("XDG_RUNTIME_DIR", runtime.Path()), 10000);
    ASSERT_TRUE(child.Ended);
    EXPECT_EQ(child.Out, "action starts\ninner routine starts\nexit path\nreleased at end\n");
#ifdef OSTRAK_UNDER_ASAN
    EXPECT_NE(child.ExitCode, 7);
    EXPECT_NE(child.Err.find("LeakSanitizer: detected memory leaks"), std::string::npos)
        << child.Err;
#else
    EXPECT_EQ(child.ExitCode, 7) << "without the sanitizer the lost block goes unseen";
#endif
}

TEST(EndProgram, HookSeesTheEndInsteadOfTheLoop) {
    int seen = -1;
    SetEndProgramHook([&](int code) { seen = code; });
    EXPECT_FALSE(ProgramEnded());
    EndProgram();
    EXPECT_EQ(seen, 0);
    EXPECT_TRUE(ProgramEnded());
    EndProgramHook previous = SetEndProgramHook(nullptr);
    EXPECT_TRUE(static_cast<bool>(previous));
    EXPECT_FALSE(ProgramEnded());
}

TEST(EndProgram, AfterAHookedEndNoWaitWaitsAndNoEventRuns) {
    int seen = -1;
    SetEndProgramHook([&](int code) { seen = code; });
    bool late = false;
    QTimer::singleShot(0, [] { EndProgram(4); });
    QTimer::singleShot(100, [&] { late = true; });

    const uint32_t start = TickCount();
    WaitTicks(3000); // ends inside, at its first event
    WaitTicks(3000);
    WaitForEvents(3000);
    DoEvents();
    EXPECT_LT(ElapsedTicks(start, TickCount()), 90u);
    EXPECT_EQ(seen, 4);
    EXPECT_FALSE(late);

    // A new hook starts a new program: events run again.
    SetEndProgramHook(nullptr);
    WaitTicks(150);
    EXPECT_TRUE(late);
}
