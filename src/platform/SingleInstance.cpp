#include "platform/SingleInstance.h"

#include "platform/Process.h"

#include <QDir>
#include <QLockFile>
#include <QStandardPaths>
#include <cstdio>
#include <cstdlib>
#include <memory>

namespace {
std::unique_ptr<QLockFile> g_lock;

QString RuntimeFolder() {
    const char* xdg = std::getenv("XDG_RUNTIME_DIR");
    if (xdg != nullptr && *xdg != '\0')
        return QString::fromLocal8Bit(xdg);
    QString folder = QStandardPaths::writableLocation(QStandardPaths::RuntimeLocation);
    return folder.isEmpty() ? QDir::tempPath() : folder;
}
} // namespace

std::string InstanceLockPath() {
    return (RuntimeFolder() + QLatin1Char('/') + QString::fromStdString(ExecutableBaseName()) +
            QLatin1String(".lock"))
        .toStdString();
}

bool PrevInstance() {
    const QString path = QString::fromStdString(InstanceLockPath());
    if (g_lock && g_lock->fileName() == path && g_lock->isLocked())
        return false;
    auto lock = std::make_unique<QLockFile>(path);
    // The default would call a lock older than 30 s stale and take it over
    // while its owner still runs; only a dead owner makes a lock stale here.
    lock->setStaleLockTime(0);
    if (!lock->tryLock(0)) {
        if (lock->error() == QLockFile::LockFailedError)
            return true;
        std::fprintf(stderr, "warning: cannot create the instance lock %s\n",
                     path.toLocal8Bit().constData());
        return false;
    }
    g_lock = std::move(lock);
    return false;
}

void ReleaseInstanceLock() {
    g_lock.reset();
}
