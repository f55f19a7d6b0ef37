#include "platform/StartProgram.h"

#include "platform/Files.h"
#include "platform/PosixError.h"

#include <QFile>
#include <QProcess>
#include <QStandardPaths>
#include <cerrno>
#include <csignal>
#include <sys/stat.h>

namespace ostrak {

namespace {

constexpr const char* Source = "Program.Start";

StartResult Fail(ErrorRecord* failure, const std::string& path, int code) {
    ReportFailure(failure, Source, path, code);
    return StartResult::Failed;
}

// Starts program on its own; false with the system's reason in *failure
// (about path) when it cannot be started.
bool StartDetached(const std::string& program, const QStringList& arguments,
                   const std::string& path, ErrorRecord* failure) {
    QProcess process;
    process.setProgram(QFile::decodeName(QByteArray::fromStdString(program)));
    process.setArguments(arguments);
    // The game opens its data files by relative name: it runs in its own
    // folder, as its launcher's Path says.
    const size_t slash = path.rfind('/');
    if (slash != std::string::npos)
        process.setWorkingDirectory(
            QFile::decodeName(QByteArray::fromStdString(slash == 0 ? "/" : path.substr(0, slash))));
    // An ignored signal stays ignored through exec, and Qt's detached start
    // runs no code in the child, so SIGXFSZ (which the programs ignore, so
    // that a write past the file-size limit fails instead of ending them) is
    // back to its default while the child is made: the started program gets
    // it as usual.
    struct sigaction usual {
    }, ours{};
    usual.sa_handler = SIG_DFL;
    ::sigaction(SIGXFSZ, &usual, &ours);
    const bool started = process.startDetached();
    ::sigaction(SIGXFSZ, &ours, nullptr);
    if (started)
        return true;
    // Qt gives the reason as text only ("execv: No such file or directory").
    if (failure != nullptr)
        *failure = ErrorRecord{ENOEXEC, path + ": " + process.errorString().toStdString(), Source};
    return false;
}

} // namespace

bool IsWindowsExecutable(const std::string& path) {
    Files::InputFile in;
    char head[2] = {};
    return in.Open(path) && in.Read(head, 2) == 2 && head[0] == 'M' && head[1] == 'Z';
}

StartResult StartProgram(const std::string& path, ErrorRecord* failure) {
    struct stat st {};
    if (::stat(path.c_str(), &st) != 0)
        return Fail(failure, path, errno);
    if (S_ISDIR(st.st_mode))
        return Fail(failure, path, EISDIR);
    if (!S_ISREG(st.st_mode)) {
        ReportFailureText(failure, Source, path, "not a regular file");
        return StartResult::Failed;
    }

    if (!IsWindowsExecutable(path))
        return StartResult::NotWindowsProgram;
    const QString wine = QStandardPaths::findExecutable(QStringLiteral("wine"));
    if (wine.isEmpty())
        return StartResult::NeedsWine;
    if (!StartDetached(QFile::encodeName(wine).toStdString(),
                       {QFile::decodeName(QByteArray::fromStdString(path))}, path, failure))
        return StartResult::Failed;
    return StartResult::Started;
}

} // namespace ostrak
