// StartProgram: detached, no arguments, the current folder inherited; a
// Windows executable through wine from the PATH, or not at all.
#include "platform/StartProgram.h"
#include "runtime/ErrorRecord.h"
#include "support/ScopedEnv.h"
#include "support/TempDir.h"

#include <QThread>
#include <cerrno>
#include <filesystem>
#include <gtest/gtest.h>
#include <string>
#include <sys/stat.h>
#include <unistd.h>

using namespace ostrak;

namespace {

// Waits up to 10 s for a file that a started program writes; its content.
std::string WaitForFile(const std::string& path) {
    for (int waited = 0; waited < 10000; waited += 20) {
        std::error_code ec;
        if (std::filesystem::exists(path, ec)) {
            QThread::msleep(50); // let the writer finish its line
            return TempDir::Read(path);
        }
        QThread::msleep(20);
    }
    return "(not written)";
}

int ModeOf(const std::string& path) {
    struct stat st {};
    return ::stat(path.c_str(), &st) == 0 ? static_cast<int>(st.st_mode & 07777) : -1;
}

std::string CurrentFolder() {
    char buf[4096];
    return ::getcwd(buf, sizeof buf) ? buf : "";
}

// A folder with spaces in its name, and one for a private PATH.
class StartProgramTest : public testing::Test {
protected:
    void SetUp() override {
        std::filesystem::create_directories(Dir.File("the game"));
        std::filesystem::create_directories(Dir.File("bin"));
    }
    // A shell script at name (mode 0644) that writes "$#|$@|$(pwd)" to marker.
    std::string Script(const std::string& name, const std::string& marker) {
        const std::string path = Dir.Write(
            name, "#!/bin/sh\nprintf '%s|%s|%s\\n' \"$#\" \"$*\" \"$(pwd)\" > '" + marker + "'\n");
        ::chmod(path.c_str(), 0644);
        return path;
    }
    TempDir Dir;
    ScopedEnv Env;
};

} // namespace

TEST_F(StartProgramTest, AnOrdinaryFileIsMadeExecutableAndRunsWithoutArguments) {
    const std::string marker = Dir.File("ran");
    const std::string target = Script("the game/start game", marker);
    ASSERT_EQ(StartProgram(target), StartResult::Started);
    EXPECT_EQ(WaitForFile(marker), "0||" + CurrentFolder() + "\n");
    EXPECT_EQ(ModeOf(target), 0755);
}

TEST_F(StartProgramTest, AWindowsExecutableRunsThroughWineFromThePath) {
    const std::string marker = Dir.File("wine ran");
    Script("bin/wine", marker);
    ::chmod(Dir.File("bin/wine").c_str(), 0755);
    const std::string exe = Dir.Write("the game/ostrak.exe", "MZ\x90 not really a program");
    Env.Set("PATH", Dir.File("bin"));

    ASSERT_EQ(StartProgram(exe), StartResult::Started);
    EXPECT_EQ(WaitForFile(marker), "1|" + exe + "|" + CurrentFolder() + "\n");
}

TEST_F(StartProgramTest, WithoutWineNothingStartsAndMissingFilesFail) {
    const std::string exe = Dir.Write("the game/ostrak.exe", "MZ");
    Env.Set("PATH", Dir.File("bin")); // no wine there
    EXPECT_EQ(StartProgram(exe), StartResult::NeedsWine);
    EXPECT_EQ(ModeOf(exe) & 0111, 0); // left as it was

    Err().Clear();
    ErrorRecord failure;
    EXPECT_EQ(StartProgram(Dir.File("the game/missing"), &failure), StartResult::Failed);
    EXPECT_EQ(failure,
              (ErrorRecord{ENOENT, Dir.File("the game/missing") + ": No such file or directory",
                           "Program.Start"}));
    EXPECT_EQ(StartProgram(Dir.File("the game"), &failure), StartResult::Failed); // a folder
    EXPECT_EQ(failure.Number, EISDIR);
    EXPECT_EQ(Err(), ErrorRecord{}); // the current record is left alone
}
