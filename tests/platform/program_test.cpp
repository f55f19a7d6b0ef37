// EndProgram: marks the program ended; by default the event loop returns.
#include "runtime/Program.h"

#include <QCoreApplication>
#include <QTimer>
#include <gtest/gtest.h>

using namespace ostrak;

TEST(EndProgram, DefaultMakesTheRunningLoopReturnTheExitCode) {
    SetEndProgramHook(nullptr);
    bool after = false;
    QTimer::singleShot(0, [] { EndProgram(3); });
    QTimer::singleShot(200, [&] { after = true; }); // would run if the loop went on
    const int code = QCoreApplication::exec();
    EXPECT_EQ(code, 3);
    EXPECT_TRUE(ProgramEnded());
    EXPECT_FALSE(after);
    SetEndProgramHook(nullptr);
    EXPECT_FALSE(ProgramEnded());
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
