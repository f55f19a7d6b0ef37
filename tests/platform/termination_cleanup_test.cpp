// A program ended by SIGINT, SIGTERM or SIGHUP takes its temporary files and
// folders with it, and still ends by that signal. Runs a real helper
// program and sends it real signals.
#include "platform/Files.h"
#include "support/FolderNames.h"
#include "support/Subprocess.h"
#include "support/TempDir.h"

#include <csignal>
#include <gtest/gtest.h>
#include <sstream>

using namespace ostrak;

namespace {

class Holder {
public:
    explicit Holder(const std::string& folder, bool deferred = false)
        : Process(deferred ? std::vector<std::string>{TEMP_CLEANUP_HOLDER, folder, "deferred"}
                           : std::vector<std::string>{TEMP_CLEANUP_HOLDER, folder},
                  ProcessOptions().WithInput().WithLineOutput()) {
        std::istringstream words(ReadLine());
        std::string ready, rest;
        if (words >> ready >> File >> Folder && ready == "ready" && !(words >> rest))
            return;
        File.clear();
        Folder.clear();
    }
    ~Holder() {
        Process.Signal(SIGKILL);
        Process.Wait(5000);
    }
    std::string ReadLine() {
        std::string line;
        Process.ReadLine(line, 10000);
        return line;
    }
    void Signal(int signal) { Process.Signal(signal); }
    // The signal that ended the program, 0 when it ended otherwise.
    int EndingSignal() {
        Process.Wait(10000);
        return Process.EndingSignal();
    }

    ChildProcess Process;
    std::string File;
    std::string Folder;
};

} // namespace

TEST(TerminationCleanup, EachSignalRemovesTemporariesAndEndsTheProgram) {
    for (int signal : {SIGINT, SIGTERM, SIGHUP}) {
        SCOPED_TRACE(signal);
        TempDir dir;
        Holder holder(dir.Path());
        ASSERT_FALSE(holder.File.empty()) << "the helper did not start";
        EXPECT_TRUE(Files::Exists(holder.File));
        EXPECT_TRUE(Files::Exists(Files::JoinPath(holder.Folder, "inner.dat")));
        holder.Signal(signal);
        EXPECT_EQ(holder.EndingSignal(), signal);
        EXPECT_EQ(FolderNames(dir.Path()), std::vector<std::string>{});
    }
}

// Started with SIGHUP ignored (nohup), the program keeps ignoring it: the
// SIGTERM sent after it is what ends it.
TEST(TerminationCleanup, AnIgnoredSignalStaysIgnored) {
    TempDir dir;
    const auto previous = std::signal(SIGHUP, SIG_IGN);
    Holder holder(dir.Path());
    std::signal(SIGHUP, previous);
    ASSERT_FALSE(holder.File.empty()) << "the helper did not start";
    holder.Signal(SIGHUP);
    holder.Signal(SIGTERM);
    EXPECT_EQ(holder.EndingSignal(), SIGTERM);
    EXPECT_EQ(FolderNames(dir.Path()), std::vector<std::string>{});
}

// While held back, a signal waits: the program reads on and answers, and
// ends by the signal once it lets signals through.
TEST(TerminationCleanup, DeferredSignalTakesEffectAfterwards) {
    TempDir dir;
    Holder holder(dir.Path(), true);
    ASSERT_FALSE(holder.File.empty()) << "the helper did not start";
    holder.Signal(SIGTERM);
    holder.Process.Write("go\n");
    EXPECT_EQ(holder.ReadLine(), "released");
    EXPECT_EQ(holder.EndingSignal(), SIGTERM);
    EXPECT_EQ(FolderNames(dir.Path()), std::vector<std::string>{});
}
