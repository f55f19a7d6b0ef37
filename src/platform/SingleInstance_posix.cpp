#include "platform/SingleInstance.h"

#include "platform/Environment.h"
#include "platform/Process.h"
#include "runtime/Program.h"

#include <QLockFile>
#include <cstdio>
#include <cstdlib>
#include <memory>

namespace ostrak {

namespace {
std::unique_ptr<QLockFile> g_lock;

} // namespace

std::string InstanceLockPath() {
    return (QString::fromStdString(RuntimeFolder()) + QLatin1Char('/') +
            QString::fromStdString(ExecutableBaseName()) + QLatin1String(".lock"))
        .toStdString();
}

bool PrevInstance() {
    const QString path = QString::fromStdString(InstanceLockPath());
    if (g_lock && g_lock->fileName() == path && g_lock->isLocked())
        return false;
    auto lock = std::make_unique<QLockFile>(path);
    // Only a dead owner makes the lock stale, never its age (by default Qt
    // takes over a lock older than 30 s whose owner it cannot check).
    lock->setStaleLockTime(0);
    if (!lock->tryLock(0)) {
        if (lock->error() == QLockFile::LockFailedError)
            return true;
        std::fprintf(stderr, "warning: cannot create the instance lock %s\n",
                     path.toLocal8Bit().constData());
        return false;
    }
    g_lock = std::move(lock);
    // The end of the program destroys nothing (Program.h): the lock file
    // goes with it explicitly.
    static const bool releasedAtEnd = (AtProgramEnd(ReleaseInstanceLock), true);
    (void)releasedAtEnd;
    return false;
}

void ReleaseInstanceLock() {
    g_lock.reset();
}

} // namespace ostrak
