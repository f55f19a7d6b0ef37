#include "XvfbDisplay.h"

#include <QFileInfo>
#include <QProcessEnvironment>
#include <QStandardPaths>
#include <QThread>
#include <cmath>
#include <cstdlib>

namespace ostrak {

namespace {

constexpr int ToolMs = 10000;
constexpr int PollMs = 100;

// ImageMagick's own import; another "import" on the PATH may be a stand-in.
const char* const ImportBinary = "/usr/bin/import";

// title as an extended regular expression that matches exactly it.
QString ExactTitle(const std::string& title) {
    QString pattern = QStringLiteral("^");
    for (const QChar c : QString::fromStdString(title)) {
        if (QStringLiteral(".^$*+?()[]{}|\\").contains(c))
            pattern += QLatin1Char('\\');
        pattern += c;
    }
    return pattern + QLatin1Char('$');
}

// The value of NAME=value in xdotool's --shell output, or -1.
int ShellField(const std::string& shell, const std::string& name) {
    const auto at = shell.find(name + "=");
    return at == std::string::npos ? -1 : std::atoi(shell.c_str() + at + name.size() + 1);
}

// Runs program with args with DISPLAY set to display; its standard output,
// or nothing when it did not end with status 0 within ToolMs.
std::optional<std::string> RunOn(const std::string& display, const QString& program,
                                 const QStringList& args) {
    if (display.empty())
        return std::nullopt;
    QProcess p;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("DISPLAY"), QString::fromStdString(display));
    p.setProcessEnvironment(env);
    p.start(program, args);
    if (!p.waitForFinished(ToolMs) || p.exitStatus() != QProcess::NormalExit || p.exitCode() != 0) {
        p.kill();
        p.waitForFinished(ToolMs);
        return std::nullopt;
    }
    return p.readAllStandardOutput().trimmed().toStdString();
}

} // namespace

XvfbDisplay::XvfbDisplay() {
    // -displayfd picks a free display and writes its number to stdout.
    // -noreset: by default the server resets when its last client leaves,
    // and a program started during the reset cannot connect.
    Server_.start(QStringLiteral("Xvfb"),
                  {QStringLiteral("-displayfd"), QStringLiteral("1"), QStringLiteral("-noreset"),
                   QStringLiteral("-nolisten"), QStringLiteral("tcp"), QStringLiteral("-screen"),
                   QStringLiteral("0"), QStringLiteral("800x600x24")});
    if (!Server_.waitForStarted(StartMs))
        return;
    QByteArray out;
    while (!out.contains('\n') && Server_.waitForReadyRead(StartMs))
        out += Server_.readAllStandardOutput();
    if (out.contains('\n'))
        Name_ = ":" + out.trimmed().toStdString();
}

XvfbDisplay::~XvfbDisplay() {
    Server_.kill();
    Server_.waitForFinished(ToolMs);
}

bool XvfbDisplay::ToolsInstalled() {
    return !QStandardPaths::findExecutable(QStringLiteral("Xvfb")).isEmpty() &&
           !QStandardPaths::findExecutable(QStringLiteral("xdotool")).isEmpty();
}

std::optional<std::string> XvfbDisplay::Xdotool(const QStringList& args) const {
    return RunOn(Name_, QStringLiteral("xdotool"), args);
}

std::string XvfbDisplay::WaitForWindow(const std::string& title, int timeoutMs,
                                       const std::function<bool()>& giveUp) const {
    for (int waited = 0; waited <= timeoutMs; waited += PollMs) {
        // search ends with status 1 while no window matches.
        const std::optional<std::string> ids =
            Xdotool({QStringLiteral("search"), QStringLiteral("--onlyvisible"),
                     QStringLiteral("--name"), ExactTitle(title)});
        if (ids && !ids->empty())
            return ids->substr(0, ids->find('\n'));
        if (giveUp && giveUp())
            return "";
        QThread::msleep(PollMs);
    }
    return "";
}

bool XvfbDisplay::PressKeys(const std::string& window, const QStringList& keys) const {
    QStringList args{QStringLiteral("windowfocus"), QStringLiteral("--sync"),
                     QString::fromStdString(window), QStringLiteral("key")};
    args += keys;
    return !window.empty() && Xdotool(args).has_value();
}

bool XvfbDisplay::TypeText(const std::string& window, const std::string& text) const {
    return !window.empty() &&
           Xdotool({QStringLiteral("windowfocus"), QStringLiteral("--sync"),
                    QString::fromStdString(window), QStringLiteral("type"),
                    QStringLiteral("--delay"), QStringLiteral("20"), QString::fromStdString(text)})
               .has_value();
}

bool XvfbDisplay::ClickAt(const std::string& window, double fx, double fy) const {
    const std::optional<std::string> shell =
        Xdotool({QStringLiteral("getwindowgeometry"), QStringLiteral("--shell"),
                 QString::fromStdString(window)});
    const int width = shell ? ShellField(*shell, "WIDTH") : -1;
    const int height = shell ? ShellField(*shell, "HEIGHT") : -1;
    if (width <= 0 || height <= 0)
        return false;
    return Xdotool({QStringLiteral("mousemove"), QStringLiteral("--window"),
                    QString::fromStdString(window), QString::number(std::lround(fx * width)),
                    QString::number(std::lround(fy * height)), QStringLiteral("click"),
                    QStringLiteral("1")})
        .has_value();
}

bool XvfbDisplay::Screenshot(const std::string& path) const {
    if (!QFileInfo(QString::fromLatin1(ImportBinary)).isExecutable())
        return false;
    return RunOn(Name_, QString::fromLatin1(ImportBinary),
                 {QStringLiteral("-window"), QStringLiteral("root"), QString::fromStdString(path)})
        .has_value();
}

} // namespace ostrak
