// The real ostrak_install on a virtual X display: its window appears with the
// title "Ostrak Installer"; a second copy is refused with its message box;
// Cancel pressed from the keyboard ends the first.
#include "XvfbDisplay.h"
#include "support/Subprocess.h"
#include "support/TempDir.h"

#include <QFile>
#include <csignal>
#include <gtest/gtest.h>
#include <string>

using namespace ostrak;

namespace {

// How the installer starts: on display, with home as its home, settings
// and runtime folder, its stderr in the test's output.
ProcessOptions InstallerOptions(const std::string& display, const TempDir& home) {
    return ProcessOptions()
        .SetEnv("DISPLAY", display)
        .SetEnv("QT_QPA_PLATFORM", "xcb")
        .SetEnv("HOME", home.Path())
        .SetEnv("XDG_CONFIG_HOME", home.File("config"))
        .SetEnv("XDG_RUNTIME_DIR", home.Path())
        .WithForwardedErr();
}

} // namespace

TEST(OstrakInstallOnX, WindowAppearsAndASecondCopyIsRefused) {
    XvfbDisplay display;
    ASSERT_FALSE(display.Name().empty()) << "Xvfb did not start (scripts/install-deps installs it)";
    TempDir home;

    ChildProcess first({OSTRAK_INSTALL_EXE}, InstallerOptions(display.Name(), home));
    const std::string shown = display.WaitForWindow("Ostrak Installer", 15000);
    EXPECT_NE(shown, "");
    // The window carries the built-in icon, for docks and task bars.
    EXPECT_NE(display.Xprop(shown, {QStringLiteral("_NET_WM_ICON")}).value_or("").find("Icon"),
              std::string::npos);

    // A second copy shows its refusal and, once it is answered, ends at once.
    ChildProcess second({OSTRAK_INSTALL_EXE}, InstallerOptions(display.Name(), home));
    const std::string refusal = display.WaitForWindow("Installer already open!", 15000);
    EXPECT_NE(refusal, "");
    if (!refusal.empty())
        display.PressKeys(refusal, {QStringLiteral("Return")});
    EXPECT_TRUE(second.Wait(10000));
    EXPECT_EQ(second.EndingSignal(), 0);
    EXPECT_EQ(second.ExitCode(), 0);
    second.Signal(SIGKILL);
    second.Wait(5000);

    // The first copy is not disturbed.
    EXPECT_TRUE(first.Running());

    // Cancel from the keyboard (back from the first button to the last, the
    // disabled Uninstall skipped, then Enter) ends it: exit status 0, and
    // its instance lock is gone.
    const std::string window = display.WaitForWindow("Ostrak Installer", 5000);
    EXPECT_NE(window, "");
    if (!window.empty())
        display.PressKeys(window, {QStringLiteral("shift+Tab"), QStringLiteral("Return")});
    EXPECT_TRUE(first.Wait(10000));
    EXPECT_EQ(first.EndingSignal(), 0);
    EXPECT_EQ(first.ExitCode(), 0);
    EXPECT_FALSE(QFile::exists(QString::fromStdString(home.File("ostrak_install.lock"))));
    first.Signal(SIGKILL);
    first.Wait(5000);
}
