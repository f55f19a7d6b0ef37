// Single-instance detection through the lock file in the runtime folder.
#include "platform/Process.h"
#include "platform/SingleInstance.h"
#include "support/ScopedEnv.h"
#include "support/Subprocess.h"
#include "support/TempDir.h"

#include <QFile>
#include <QLockFile>
#include <csignal>
#include <cstdlib>
#include <gtest/gtest.h>
#include <optional>
#include <sys/stat.h>
#include <utime.h>

using namespace ostrak;

namespace {

// Each test gets its own runtime folder (tests of this binary run side by side).
class InstanceLock : public testing::Test {
protected:
    void SetUp() override {
        if (const char* old = std::getenv("XDG_RUNTIME_DIR"))
            Saved = old;
        setenv("XDG_RUNTIME_DIR", Runtime.Path().c_str(), 1);
    }
    void TearDown() override {
        ReleaseInstanceLock();
        if (Saved)
            setenv("XDG_RUNTIME_DIR", Saved->c_str(), 1);
        else
            unsetenv("XDG_RUNTIME_DIR");
    }
    TempDir Runtime;
    std::optional<std::string> Saved;
};

// Another process holding the lock at path.
class LockHolder {
public:
    explicit LockHolder(const std::string& path)
        : Process({INSTANCE_LOCK_HOLDER, path}, ProcessOptions().WithInput().WithLineOutput()) {
        std::string line;
        Locked = Process.ReadLine(line, 10000) && line == "locked";
    }
    ~LockHolder() { Kill(); }
    void Kill() {
        Process.Signal(SIGKILL);
        Process.Wait(5000);
    }
    ChildProcess Process;
    bool Locked = false;
};

} // namespace

TEST_F(InstanceLock, LockIsNamedAfterTheExecutableInTheRuntimeFolder) {
    EXPECT_EQ(InstanceLockPath(), Runtime.Path() + "/" + ExecutableBaseName() + ".lock");
    EXPECT_EQ(ExecutableBaseName(), "platform_test");
}

TEST_F(InstanceLock, FirstInstanceTakesTheLockAndKeepsIt) {
    EXPECT_FALSE(PrevInstance());
    EXPECT_FALSE(PrevInstance()); // asking again while holding it
    QLockFile other(QString::fromStdString(InstanceLockPath()));
    EXPECT_FALSE(other.tryLock(0));

    ReleaseInstanceLock();
    EXPECT_TRUE(other.tryLock(0));
    EXPECT_TRUE(PrevInstance());
}

TEST_F(InstanceLock, LiveHolderBlocksHoweverOldItsLockAndDeadHolderDoesNot) {
    LockHolder holder(InstanceLockPath());
    ASSERT_TRUE(holder.Locked);
    EXPECT_TRUE(PrevInstance());

    // A lock an hour old still belongs to its live process.
    struct utimbuf old {};
    old.actime = old.modtime = time(nullptr) - 3600;
    ASSERT_EQ(::utime(InstanceLockPath().c_str(), &old), 0);
    EXPECT_TRUE(PrevInstance());

    // Killed without cleaning up: its lock is stale and taken over at once.
    holder.Kill();
    ASSERT_TRUE(QFile::exists(QString::fromStdString(InstanceLockPath())));
    EXPECT_FALSE(PrevInstance());
    LockHolder next(InstanceLockPath());
    EXPECT_FALSE(next.Locked);
}

TEST_F(InstanceLock, WorksWithoutXdgRuntimeDir) {
    unsetenv("XDG_RUNTIME_DIR");
    ScopedEnv env;
    env.Set("TMPDIR", Runtime.Path());
    const std::string path = InstanceLockPath();
    const std::string own = Runtime.File("ostrak-runtime-" + std::to_string(::geteuid()));
    EXPECT_EQ(path, own + "/platform_test.lock");
    struct stat st {};
    EXPECT_TRUE(::stat(own.c_str(), &st) == 0 && (st.st_mode & 07777) == 0700);
    EXPECT_FALSE(PrevInstance());
    QLockFile other(QString::fromStdString(path));
    EXPECT_FALSE(other.tryLock(0));
}
