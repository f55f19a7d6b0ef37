// Start-up, busy state, closing and the exit path of the installer window.
#include "InstallerSandbox.h"

#include "http/FrmConnect.h"
#include "installer/ModSkins.h"
#include "installer/ServerConfig.h"
#include "installer/frmSplash.h"
#include "platform/Dialogs.h"
#include "platform/EventLoop.h"
#include "platform/Files.h"
#include "platform/Settings.h"
#include "platform/SingleInstance.h"
#include "platform/TickCount.h"
#include "platform/widgets/Shape.h"
#include "runtime/Program.h"
#include "support/ScriptedHttpPeer.h"

#include <QCloseEvent>
#include <QCoreApplication>
#include <QKeyEvent>
#include <QLabel>
#include <QLockFile>
#include <QPushButton>
#include <QTimer>
#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

using namespace ostrak;

namespace {

const char* const App = frmSplash::SettingsApplication;
const char* const Section = frmSplash::SettingsSection;

struct Buttons {
    bool Install, Uninstall, Cancel;
    bool operator==(const Buttons&) const = default;
};

Buttons EnabledButtons(const frmSplash& w) {
    return {w.Command1->isEnabled(), w.Command2->isEnabled(), w.Command3->isEnabled()};
}

void PrintTo(const Buttons& b, std::ostream* os) {
    *os << "{Install " << b.Install << ", Uninstall " << b.Uninstall << ", Cancel " << b.Cancel
        << "}";
}

// Sends a close request the way the system does (not through close()).
bool SystemCloseAccepted(QWidget& w) {
    QCloseEvent event;
    QCoreApplication::sendEvent(&w, &event);
    return event.isAccepted();
}

using SplashStartup = InstallerSandbox;
using SplashBusy = InstallerSandbox;
using SplashExit = InstallerSandbox;
using SplashKeys = InstallerSandbox;

} // namespace

TEST_F(SplashStartup, FirstRunUsesDefaultFolderAndKeepsUninstallDisabled) {
    unsetenv("OSTRAK_SERVER");
    frmSplash w;
    w.Form_Load();

    EXPECT_FALSE(ProgramEnded());
    EXPECT_EQ(w.ServerHost, BuiltInServerHost());
    EXPECT_EQ(w.PathPrefix, "");
    EXPECT_EQ(w.InstallFolder, std::string(std::getenv("HOME")) + "/Games/Ostrak");
    EXPECT_TRUE(w.NoStoredFolder);
    EXPECT_EQ(w.Busy, VbFalse);
    EXPECT_EQ(EnabledButtons(w), (Buttons{true, false, true}));

    // The uninstall button stays disabled through every busy cycle.
    w.SetBusy(VbTrue);
    EXPECT_EQ(EnabledButtons(w), (Buttons{false, false, false}));
    w.SetBusy(VbFalse);
    EXPECT_EQ(EnabledButtons(w), (Buttons{true, false, true}));

    // Start-up reads the settings but writes nothing.
    EXPECT_FALSE(Files::Exists(SettingsFile()));
    EXPECT_EQ(Dialogs.ShownCount(), 0);
}

TEST_F(SplashStartup, StoredFolderEnablesAllButtons) {
    ASSERT_TRUE(SaveSetting(App, Section, "LOC", "/srv/games/My Ostrak, v2"));
    frmSplash w;
    w.Form_Load();

    EXPECT_EQ(w.InstallFolder, "/srv/games/My Ostrak, v2");
    EXPECT_FALSE(w.NoStoredFolder);
    EXPECT_EQ(EnabledButtons(w), (Buttons{true, true, true}));
    w.SetBusy(VbTrue);
    EXPECT_EQ(EnabledButtons(w), (Buttons{false, false, false}));
    w.SetBusy(VbFalse);
    EXPECT_EQ(EnabledButtons(w), (Buttons{true, true, true}));
}

TEST_F(SplashStartup, ServerHostAndPortFollowTheOverrideIntoTheHttpClient) {
    setenv("OSTRAK_SERVER", "127.0.0.1:8123", 1);
    frmSplash w;
    w.Form_Load();
    unsetenv("OSTRAK_SERVER");
    EXPECT_EQ(w.ServerHost, "127.0.0.1");
    w.LoadConnectForm();
    ASSERT_TRUE(w.ConnectForm);
    EXPECT_EQ(w.ConnectForm->Port, 8123);

    frmSplash builtIn;
    builtIn.Form_Load();
    builtIn.LoadConnectForm();
    EXPECT_EQ(builtIn.ServerHost, BuiltInServerHost());
    EXPECT_EQ(builtIn.ConnectForm->Port, 80);
}

TEST_F(SplashStartup, SecondInstanceIsRefusedAndTheProgramEnds) {
    ASSERT_TRUE(SaveSetting(App, Section, "LOC", "/srv/games/ostrak"));
    QLockFile running(QString::fromStdString(InstanceLockPath()));
    ASSERT_TRUE(running.tryLock(0));

    frmSplash w;
    bool endedBeforeAnswer = true;
    Dialogs.ExpectMsgBox("Installer already running", vbCritical + vbOKOnly,
                         "Installer already open!", vbOK,
                         [&] { endedBeforeAnswer = ProgramEnded(); });
    w.Form_Load();

    Dialogs.ExpectAllShown();
    EXPECT_FALSE(endedBeforeAnswer);
    EXPECT_TRUE(ProgramEnded());
    EXPECT_EQ(EndCount, 1);
    EXPECT_EQ(EndCode, 0);
    // Nothing after the refusal ran: no settings read, no state set.
    EXPECT_EQ(w.InstallFolder, "");
    EXPECT_EQ(w.WelcomeText, "");
    EXPECT_FALSE(w.NoStoredFolder);
}

TEST_F(SplashStartup, FirstInstanceHoldsTheLockAgainstTheNext) {
    frmSplash first;
    first.Form_Load();
    ASSERT_FALSE(ProgramEnded());
    QLockFile next(QString::fromStdString(InstanceLockPath()));
    EXPECT_FALSE(next.tryLock(0));
}

TEST_F(SplashBusy, LeavingBusyRestoresWelcomeButKeepsFileLineAndBar) {
    frmSplash w;
    w.Form_Load();
    const std::string welcome = w.StageText();
    ASSERT_EQ(w.WelcomeText, welcome);

    w.SetBusy(VbTrue);
    w.SetStageText("Installing: Downloading latest game files...");
    w.SetFileText("Failed to download ostrak.exe");
    w.SetBarFraction(0.5);
    const int fill = w.Shape2->width();
    // Entering busy again leaves the stage line alone.
    w.SetBusy(VbTrue);
    EXPECT_EQ(w.StageText(), "Installing: Downloading latest game files...");

    w.SetBusy(VbFalse);
    EXPECT_EQ(w.StageText(), welcome);
    EXPECT_EQ(w.FileText(), "Failed to download ostrak.exe");
    EXPECT_EQ(w.Shape2->width(), fill);
    EXPECT_GT(fill, 0);
}

TEST_F(SplashBusy, CloseRequestsAreRefusedSilentlyWhileBusy) {
    frmSplash w;
    w.Form_Load();
    w.show();
    w.SetBusy(VbTrue);

    EXPECT_FALSE(w.close());
    EXPECT_TRUE(w.isVisible());
    EXPECT_FALSE(SystemCloseAccepted(w));
    EXPECT_TRUE(w.isVisible());
    EXPECT_EQ(Dialogs.ShownCount(), 0);
    EXPECT_EQ(EndCount, 0);

    w.SetBusy(VbFalse);
    EXPECT_TRUE(SystemCloseAccepted(w));
    EXPECT_TRUE(w.close());
    EXPECT_FALSE(w.isVisible());
}

TEST_F(SplashExit, CancelUnloadsClientAndWindowLetsEventsRunThenEnds) {
    frmSplash w;
    w.Form_Load();
    w.show();
    w.ConnectForm = std::make_unique<FrmConnect>();

    std::vector<std::string> order;
    QTimer::singleShot(0, [&] { order.push_back("pending event ran"); });
    SetEndProgramHook([&](int code) {
        order.push_back(std::string(w.ConnectForm ? "client loaded, " : "client unloaded, ") +
                        (w.isVisible() ? "window shown" : "window unloaded") + ", ended");
        EndCode = code;
    });

    w.Command3->click();

    EXPECT_EQ(order, (std::vector<std::string>{"pending event ran",
                                               "client unloaded, window unloaded, ended"}));
    EXPECT_TRUE(ProgramEnded());
    EXPECT_EQ(EndCode, 0);
}

TEST_F(SplashExit, CancelWithoutClientStillEnds) {
    frmSplash w;
    w.Form_Load();
    w.show();
    w.Command3_Click();
    EXPECT_EQ(EndCount, 1);
    EXPECT_FALSE(w.isVisible());
}

TEST_F(SplashExit, ExitPathInsideNestedWaitsEndsTheActionThere) {
    // A server that never answers: RetrieveHTML would wait 15 s per attempt.
    ScriptedHttpPeer peer({{ScriptedHttpPeer::Read(), ScriptedHttpPeer::WaitForClientClose()}});
    frmSplash w;
    w.Form_Load();
    w.show();
    // The install button runs the action below instead of the real one.
    QObject::disconnect(w.Command1, &QPushButton::clicked, &w, nullptr);
    w.ServerPort = peer.Port();
    w.LoadConnectForm();

    // The action fetches the version text; inside that wait a routine runs
    // that pauses, and inside its pause the exit path is pressed (which
    // unloads the HTTP client under the fetch). Each routine returns at once
    // once the program has ended, as every routine of an action does.
    std::vector<std::string> trace;
    QTimer inner;
    inner.setSingleShot(true);
    QTimer exitPath;
    exitPath.setSingleShot(true);
    QObject::connect(&exitPath, &QTimer::timeout, [&] {
        trace.push_back("exit path");
        w.Command3->click();
    });
    QObject::connect(&inner, &QTimer::timeout, [&] {
        trace.push_back("inner routine starts");
        exitPath.start(10);
        ModSkins::Pause(3000);
        if (ProgramEnded())
            return;
        trace.push_back("inner routine goes on");
    });
    QObject::connect(w.Command1, &QPushButton::clicked, [&] {
        trace.push_back("action starts");
        inner.start(30);
        (void)w.ConnectForm->RetrieveHTML("127.0.0.1", "/crc/index.php?h=3");
        if (ProgramEnded())
            return;
        trace.push_back("action goes on");
    });
    // An event that would run if anything waited on after the end.
    bool late = false;
    QTimer lateEvent;
    lateEvent.setSingleShot(true);
    QObject::connect(&lateEvent, &QTimer::timeout, [&] { late = true; });
    lateEvent.start(1500);

    const uint32_t start = TickCount();
    w.Command1->click();
    const uint32_t took = ElapsedTicks(start, TickCount());

    EXPECT_EQ(trace,
              (std::vector<std::string>{"action starts", "inner routine starts", "exit path"}));
    EXPECT_LT(took, 1500u); // the pause alone is 3 s, the fetch 15 s
    EXPECT_EQ(EndCount, 1);
    EXPECT_FALSE(w.ConnectForm);
    EXPECT_FALSE(w.isVisible());
    EXPECT_EQ(peer.Connections(), 1);
    // Later waits of the ended program run nothing either.
    ModSkins::Pause(400);
    DoEvents();
    EXPECT_FALSE(late);
}

TEST_F(SplashKeys, EnterAndSpaceBothPressTheFocusedButton) {
    ASSERT_TRUE(SaveSetting(App, Section, "LOC", "/srv/games/ostrak")); // Uninstall enabled
    frmSplash w;
    w.Form_Load();
    struct Key {
        const char* Name;
        int Code;
        Qt::KeyboardModifiers Modifiers;
    };
    const Key keys[] = {{"Return", Qt::Key_Return, Qt::NoModifier},
                        {"keypad Enter", Qt::Key_Enter, Qt::KeypadModifier},
                        {"Space", Qt::Key_Space, Qt::NoModifier}};
    for (QPushButton* button : {w.Command1, w.Command2, w.Command3}) {
        for (const Key& key : keys) {
            // Cancel ends the (hooked) program and hides the window: start afresh.
            SetEndProgramHook([this](int) { ++EndCount; });
            w.show();
            w.SetBusy(VbFalse); // an action ended by the program's end leaves it busy
            int clicks = 0;
            const QMetaObject::Connection counter =
                QObject::connect(button, &QPushButton::clicked, [&] { ++clicks; });
            button->setFocus();
            ASSERT_EQ(w.focusWidget(), button);
            if (button == w.Command1) // the install action asks first; the end stops it there
                Dialogs.ExpectMsgBox("Ostrak can play large background music files (approx. 8 "
                                     "MB). Do you want to download these?\r\nYou will be able "
                                     "to change this option in the next update.",
                                     vbYesNo, "Download music?", vbNo, [] { EndProgram(); });
            if (button == w.Command2) // the uninstall action asks first; No leaves all as it was
                Dialogs.ExpectMsgBox("Are you sure you wish to eredicate any trace of Ostrak on "
                                     "your computer?\r\nThis cannot be undone!",
                                     vbYesNo + vbQuestion, "Are you sure?", vbNo);

            QKeyEvent press(QEvent::KeyPress, key.Code, key.Modifiers);
            QKeyEvent release(QEvent::KeyRelease, key.Code, key.Modifiers);
            // Both go to the button focused at the press: an action that runs on
            // the press may move the focus (a busy window disables its buttons).
            QCoreApplication::sendEvent(button, &press);
            QCoreApplication::sendEvent(button, &release);

            EXPECT_EQ(clicks, 1) << button->objectName().toStdString() << ", " << key.Name;
            QObject::disconnect(counter);
        }
    }
    EXPECT_EQ(EndCount, 6); // Install stopped by the end, and Cancel, once per key
}
