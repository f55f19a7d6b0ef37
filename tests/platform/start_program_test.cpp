// StartProgram: detached, no arguments, in the program's folder; a Windows
// executable through wine from the PATH, or nothing at all.
#include "platform/StartProgram.h"
#include "runtime/ErrorRecord.h"
#include "support/ScopedEnv.h"
#include "support/TempDir.h"

#include <QThread>
#include <cerrno>
#include <csignal>
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

// The first line a started script wrote, and whether it ran with SIGXFSZ
// ignored (from its SigIgn line).
std::pair<std::string, bool> RunLine(const std::string& written) {
    const size_t end = written.find('\n');
    const size_t mask = written.find("SigIgn:");
    if (end == std::string::npos || mask == std::string::npos)
        return {written, true};
    const unsigned long long ignored = std::stoull(written.substr(mask + 7), nullptr, 16);
    return {written.substr(0, end + 1), ((ignored >> (SIGXFSZ - 1)) & 1) != 0};
}

// Ignores SIGXFSZ for the test's life, as the programs do.
class IgnoredFileSizeSignal {
public:
    IgnoredFileSizeSignal() { Old_ = ::signal(SIGXFSZ, SIG_IGN); }
    ~IgnoredFileSizeSignal() { ::signal(SIGXFSZ, Old_); }

private:
    void (*Old_)(int);
};

int ModeOf(const std::string& path) {
    struct stat st {};
    return ::stat(path.c_str(), &st) == 0 ? static_cast<int>(st.st_mode & 07777) : -1;
}

// A folder with spaces in its name, and one for a private PATH.
class StartProgramTest : public testing::Test {
protected:
    void SetUp() override {
        std::filesystem::create_directories(Dir.File("the game"));
        std::filesystem::create_directories(Dir.File("bin"));
    }
    // A shell script at name (mode 0644) that writes "$#|$@|$(pwd)" to marker,
    // then its line of ignored signals.
    std::string Script(const std::string& name, const std::string& marker) {
        // Shell builtins only: the wine stand-in runs with a PATH of its own.
        const std::string path = Dir.Write(
            name, "#!/bin/sh\n"
                  "while read -r key value; do\n"
                  "  [ \"$key\" = SigIgn: ] && ignored=$value\n"
                  "done < /proc/$$/status\n"
                  "printf '%s|%s|%s\\nSigIgn: %s\\n' \"$#\" \"$*\" \"$(pwd)\" \"$ignored\" > '" +
                      marker + "'\n");
        ::chmod(path.c_str(), 0644);
        return path;
    }
    TempDir Dir;
    ScopedEnv Env;
};

} // namespace

TEST_F(StartProgramTest, AFileThatIsNoWindowsExecutableIsNeitherStartedNorChanged) {
    const std::string target = Script("the game/start game", Dir.File("ran"));
    EXPECT_EQ(StartProgram(target), StartResult::NotWindowsProgram);
    EXPECT_EQ(ModeOf(target), 0644);
}

TEST_F(StartProgramTest, AWindowsExecutableRunsThroughWineFromThePath) {
    const std::string marker = Dir.File("wine ran");
    Script("bin/wine", marker);
    ::chmod(Dir.File("bin/wine").c_str(), 0755);
    const std::string exe = Dir.Write("the game/ostrak.exe", "MZ\x90 not really a program");
    Env.Set("PATH", Dir.File("bin"));

    const IgnoredFileSizeSignal ignored;
    ASSERT_EQ(StartProgram(exe), StartResult::Started);
    EXPECT_EQ(RunLine(WaitForFile(marker)),
              std::make_pair("1|" + exe + "|" + Dir.File("the game") + "\n", false));
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
