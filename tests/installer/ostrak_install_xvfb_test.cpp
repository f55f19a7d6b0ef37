// The real ostrak_install on a virtual X display: its window appears with the
// title "Ostrak Installer"; a second copy is refused with its message box;
// Cancel pressed from the keyboard ends the first.
#include "XvfbDisplay.h"
#include "support/TempDir.h"

#include <QFile>
#include <QProcess>
#include <QProcessEnvironment>
#include <gtest/gtest.h>
#include <string>

using namespace ostrak;

namespace {

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
    XvfbDisplay display;
    ASSERT_FALSE(display.Name().empty()) << "Xvfb did not start (scripts/install-deps installs it)";
    TempDir home;

    QProcess first;
    StartInstaller(first, display.Name(), home);
    ASSERT_TRUE(first.waitForStarted(5000));
    EXPECT_NE(display.WaitForWindow("Ostrak Installer", 15000), "");

    // A second copy shows its refusal and, once it is answered, ends at once.
    QProcess second;
    StartInstaller(second, display.Name(), home);
    ASSERT_TRUE(second.waitForStarted(5000));
    const std::string refusal = display.WaitForWindow("Installer already open!", 15000);
    EXPECT_NE(refusal, "");
    if (!refusal.empty())
        display.PressKeys(refusal, {QStringLiteral("Return")});
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
    const std::string window = display.WaitForWindow("Ostrak Installer", 5000);
    EXPECT_NE(window, "");
    if (!window.empty())
        display.PressKeys(window, {QStringLiteral("shift+Tab"), QStringLiteral("Return")});
    EXPECT_TRUE(first.waitForFinished(10000));
    EXPECT_EQ(first.exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(first.exitCode(), 0);
    EXPECT_FALSE(QFile::exists(QString::fromStdString(home.File("ostrak_install.lock"))));
    first.kill();
    first.waitForFinished(5000);
}
