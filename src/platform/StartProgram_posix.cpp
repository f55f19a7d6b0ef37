#include "platform/StartProgram.h"

#include "platform/Files.h"
#include "runtime/ErrorRecord.h"

#include <QFile>
#include <QProcess>
#include <QStandardPaths>
#include <sys/stat.h>
#include <unistd.h>

namespace ostrak {

namespace {

constexpr const char* Source = "Program.Start";
constexpr int32_t ErrFileNotFound = 53;
constexpr int32_t ErrPermissionDenied = 70;
constexpr int32_t ErrPathFileAccess = 75;

StartResult Fail(int32_t number, const std::string& description) {
    Err() = ErrorRecord{number, description, Source};
    return StartResult::Failed;
}

// Adds execute permission wherever read permission is; true when the file
// can be executed by us afterwards.
bool MakeExecutable(const std::string& path, mode_t mode) {
    const mode_t wanted = mode | ((mode & 0444) >> 2);
    if (wanted != mode)
        ::chmod(path.c_str(), wanted & 07777);
    return ::access(path.c_str(), X_OK) == 0;
}

bool StartDetached(const std::string& program, const QStringList& arguments) {
    // An empty working folder: the child inherits ours.
    return QProcess::startDetached(QFile::decodeName(QByteArray::fromStdString(program)), arguments,
                                   QString());
}

} // namespace

bool IsWindowsExecutable(const std::string& path) {
    Files::InputFile in;
    char head[2] = {};
    return in.Open(path) && in.Read(head, 2) == 2 && head[0] == 'M' && head[1] == 'Z';
}

StartResult StartProgram(const std::string& path) {
    struct stat st {};
    if (::stat(path.c_str(), &st) != 0 || !S_ISREG(st.st_mode))
        return Fail(ErrFileNotFound, "File not found: " + path);

    if (IsWindowsExecutable(path)) {
        const QString wine = QStandardPaths::findExecutable(QStringLiteral("wine"));
        if (wine.isEmpty())
            return StartResult::NeedsWine;
        if (!StartDetached(QFile::encodeName(wine).toStdString(),
                           {QFile::decodeName(QByteArray::fromStdString(path))}))
            return Fail(ErrPathFileAccess, "Cannot start wine for " + path);
        return StartResult::Started;
    }

    if (!MakeExecutable(path, st.st_mode))
        return Fail(ErrPermissionDenied, "Permission denied: " + path);
    // A name without a folder would be looked up on the PATH.
    const std::string program = path.find('/') == std::string::npos ? "./" + path : path;
    if (!StartDetached(program, {}))
        return Fail(ErrPathFileAccess, "Cannot start " + path);
    return StartResult::Started;
}

} // namespace ostrak
