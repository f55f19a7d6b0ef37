// The real ostrak_install on a virtual X display: its window appears with the
// title "Ostrak Installer"; a second copy is refused with its message box;
// Cancel pressed from the keyboard ends the first.
#include "support/TempDir.h"

#include <QFile>
#include <QProcess>
#include <QProcessEnvironment>
#include <QThread>
#include <gtest/gtest.h>
#include <string>

using namespace ostrak;

namespace {

// An Xvfb server on a free display number, stopped with the object.
class VirtualDisplay {
public:
    VirtualDisplay() {
        // -displayfd picks a free display and writes its number to stdout.
        Server_.start(QStringLiteral("Xvfb"), {QStringLiteral("-displayfd"), QStringLiteral("1"),
                                               QStringLiteral("-nolisten"), QStringLiteral("tcp"),
                                               QStringLiteral("-screen"), QStringLiteral("0"),
                                               QStringLiteral("800x600x24")});
        if (!Server_.waitForStarted(5000))
            return;
        QByteArray out;
        while (!out.contains('\n') && Server_.waitForReadyRead(10000))
            out += Server_.readAllStandardOutput();
        if (out.contains('\n'))
            Name_ = ":" + out.trimmed().toStdString();
    }
    ~VirtualDisplay() {
        Server_.kill();
        Server_.waitForFinished(5000);
    }
    // ":N", or "" when the server did not start.
    const std::string& Name() const { return Name_; }

private:
    QProcess Server_;
    std::string Name_;
};

QProcessEnvironment OnDisplay(const std::string& display) {
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("DISPLAY"), QString::fromStdString(display));
    return env;
}

// Runs xdotool on the display; its standard output, or "" when it failed.
std::string Xdotool(const std::string& display, const QStringList& args) {
    QProcess p;
    p.setProcessEnvironment(OnDisplay(display));
    p.start(QStringLiteral("xdotool"), args);
    if (!p.waitForFinished(10000) || p.exitCode() != 0)
        return "";
    return p.readAllStandardOutput().trimmed().toStdString();
}

// Waits up to timeoutMs for a window with exactly this title; its id or "".
std::string WaitForWindow(const std::string& display, const std::string& title, int timeoutMs) {
    for (int waited = 0; waited < timeoutMs; waited += 100) {
        std::string id = Xdotool(display, {QStringLiteral("search"), QStringLiteral("--name"),
                                           QString::fromStdString("^" + title + "$")});
        if (!id.empty())
            return id.substr(0, id.find('\n'));
        QThread::msleep(100);
    }
    return "";
}

void StartInstaller(QProcess& p, const std::string& display, const TempDir& home) {
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("DISPLAY"), QString::fromStdString(display));
    env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("xcb"));
    env.insert(QStringLiteral("HOME"), QString::fromStdString(home.Path()));
    env.insert(QStringLiteral("XDG_CONFIG_HOME"), QString::fromStdString(home.File("config")));
    env.insert(QStringLiteral("XDG_RUNTIME_DIR"), QString::fromStdString(home.Path()));
    p.setProcessEnvironment(env);
    p.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    p.start(QStringLiteral(OSTRAK_INSTALL_EXE), QStringList());
}

} // namespace

TEST(OstrakInstallOnX, WindowAppearsAndASecondCopyIsRefused) {
    VirtualDisplay display;
    ASSERT_FALSE(display.Name().empty()) << "Xvfb did not start (scripts/install-deps installs it)";
    TempDir home;

    QProcess first;
    StartInstaller(first, display.Name(), home);
    ASSERT_TRUE(first.waitForStarted(5000));
    EXPECT_NE(WaitForWindow(display.Name(), "Ostrak Installer", 15000), "");

    // A second copy shows its refusal and, once it is answered, ends at once.
    QProcess second;
    StartInstaller(second, display.Name(), home);
    ASSERT_TRUE(second.waitForStarted(5000));
    const std::string refusal = WaitForWindow(display.Name(), "Installer already open!", 15000);
    EXPECT_NE(refusal, "");
    if (!refusal.empty())
        Xdotool(display.Name(),
                {QStringLiteral("windowfocus"), QStringLiteral("--sync"),
                 QString::fromStdString(refusal), QStringLiteral("key"), QStringLiteral("Return")});
    EXPECT_TRUE(second.waitForFinished(10000));
    EXPECT_EQ(second.exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(second.exitCode(), 0);
    second.kill();
    second.waitForFinished(5000);

    // The first copy is not disturbed.
    EXPECT_EQ(first.state(), QProcess::Running);

    // Cancel from the keyboard (back from the first button to the last, the
    // disabled Uninstall skipped, then Enter) ends it: exit status 0, and
    // its instance lock is gone.
    const std::string window = WaitForWindow(display.Name(), "Ostrak Installer", 5000);
    EXPECT_NE(window, "");
    if (!window.empty())
        Xdotool(display.Name(), {QStringLiteral("windowfocus"), QStringLiteral("--sync"),
                                 QString::fromStdString(window), QStringLiteral("key"),
                                 QStringLiteral("shift+Tab"), QStringLiteral("Return")});
    EXPECT_TRUE(first.waitForFinished(10000));
    EXPECT_EQ(first.exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(first.exitCode(), 0);
    EXPECT_FALSE(QFile::exists(QString::fromStdString(home.File("ostrak_install.lock"))));
    first.kill();
    first.waitForFinished(5000);
}
