// A program ended by SIGINT, SIGTERM or SIGHUP takes its temporary files and
// folders with it, and still ends by that signal. Runs a real helper
// program and sends it real signals.
#include "platform/Files.h"
#include "support/TempDir.h"

#include <QProcess>
#include <csignal>
#include <gtest/gtest.h>
#include <sys/types.h>

using namespace ostrak;

namespace {

class Holder {
public:
    explicit Holder(const std::string& folder, bool deferred = false) {
        QStringList args{QString::fromStdString(folder)};
        if (deferred)
            args << QStringLiteral("deferred");
        Process.start(QStringLiteral(TEMP_CLEANUP_HOLDER), args);
        const QList<QByteArray> words = ReadLine().split(' ');
        if (words.size() == 3 && words[0] == "ready") {
            File = words[1].toStdString();
            Folder = words[2].toStdString();
        }
    }
    ~Holder() {
        Process.kill();
        Process.waitForFinished(5000);
    }
    QByteArray ReadLine() {
        while (!Process.canReadLine() && Process.waitForReadyRead(10000)) {
        }
        return Process.readLine().trimmed();
    }
    void Signal(int signal) { ::kill(static_cast<pid_t>(Process.processId()), signal); }
    // The signal that ended the program, 0 when it ended otherwise.
    int EndingSignal() {
        if (Process.state() != QProcess::NotRunning)
            Process.waitForFinished(10000);
        if (Process.state() != QProcess::NotRunning || Process.exitStatus() != QProcess::CrashExit)
            return 0;
        return Process.exitCode(); // the signal number after a crash exit
    }

    QProcess Process;
    std::string File;
    std::string Folder;
};

size_t EntriesIn(const std::string& folder) {
    std::vector<Files::DirEntry> entries;
    EXPECT_TRUE(Files::ListDirectory(folder, entries));
    return entries.size();
}

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
        EXPECT_EQ(EntriesIn(dir.Path()), 0u);
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
    EXPECT_EQ(EntriesIn(dir.Path()), 0u);
}

// While held back, a signal waits: the program reads on and answers, and
// ends by the signal once it lets signals through.
TEST(TerminationCleanup, DeferredSignalTakesEffectAfterwards) {
    TempDir dir;
    Holder holder(dir.Path(), true);
    ASSERT_FALSE(holder.File.empty()) << "the helper did not start";
    holder.Signal(SIGTERM);
    holder.Process.write("go\n");
    EXPECT_EQ(holder.ReadLine(), "released");
    EXPECT_EQ(holder.EndingSignal(), SIGTERM);
    EXPECT_EQ(EntriesIn(dir.Path()), 0u);
}
