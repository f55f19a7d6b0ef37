#include "XvfbDisplay.h"

#include "support/Subprocess.h"

#include <QFileInfo>
#include <QStandardPaths>
#include <QThread>
#include <cmath>
#include <csignal>
#include <cstdlib>
#include <stdexcept>
#include <vector>

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

// text without the white space at its start and end.
std::string Trimmed(const std::string& text) {
    const char* const space = " \t\n\v\f\r";
    const auto first = text.find_first_not_of(space);
    return first == std::string::npos
               ? ""
               : text.substr(first, text.find_last_not_of(space) - first + 1);
}

// Runs program with args with DISPLAY set to display; its standard output,
// or nothing when it did not end with status 0 within ToolMs (then it is
// killed) or could not start.
std::optional<std::string> RunOn(const std::string& display, const std::string& program,
                                 const QStringList& args) {
    if (display.empty())
        return std::nullopt;
    std::vector<std::string> argv{program};
    for (const QString& arg : args)
        argv.push_back(arg.toStdString());
    try {
        const ProcessResult r =
            RunProcess(argv, ProcessOptions().SetEnv("DISPLAY", display), ToolMs);
        if (!r.Ended || r.ExitCode != 0)
            return std::nullopt;
        return Trimmed(r.Out);
    } catch (const std::runtime_error&) {
        return std::nullopt;
    }
}

} // namespace

XvfbDisplay::XvfbDisplay() {
    // -displayfd picks a free display and writes its number to stdout.
    // -noreset: by default the server resets when its last client leaves,
    // and a program started during the reset cannot connect.
    try {
        Server_ = std::make_unique<ChildProcess>(
            std::vector<std::string>{"Xvfb", "-displayfd", "1", "-noreset", "-nolisten", "tcp",
                                     "-screen", "0", "800x600x24"},
            ProcessOptions().WithLineOutput());
    } catch (const std::runtime_error&) {
        return;
    }
    std::string number;
    if (Server_->ReadLine(number, StartMs) && !Trimmed(number).empty())
        Name_ = ":" + Trimmed(number);
}

XvfbDisplay::~XvfbDisplay() {
    if (Server_) {
        Server_->Signal(SIGKILL);
        Server_->Wait(ToolMs);
    }
}

bool XvfbDisplay::ToolsInstalled() {
    return !QStandardPaths::findExecutable(QStringLiteral("Xvfb")).isEmpty() &&
           !QStandardPaths::findExecutable(QStringLiteral("xdotool")).isEmpty();
}

std::optional<std::string> XvfbDisplay::Xdotool(const QStringList& args) const {
    return RunOn(Name_, "xdotool", args);
}

std::optional<std::string> XvfbDisplay::Xprop(const std::string& window,
                                              const QStringList& args) const {
    return RunOn(Name_, "xprop",
                 QStringList{QStringLiteral("-id"), QString::fromStdString(window)} + args);
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
    return RunOn(Name_, ImportBinary,
                 {QStringLiteral("-window"), QStringLiteral("root"), QString::fromStdString(path)})
        .has_value();
}

} // namespace ostrak
