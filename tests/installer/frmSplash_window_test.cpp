// Start-up, busy state and the exit path of the installer window.
#include "InstallerSandbox.h"

#include "http/FrmConnect.h"
#include "installer/ModSkins.h"
#include "installer/ServerConfig.h"
#include "installer/frmSplash.h"
#include "platform/Dialogs.h"
#include "platform/EventLoop.h"
#include "platform/Files.h"
#include "platform/ProgramsFolder.h"
#include "platform/Settings.h"
#include "platform/SingleInstance.h"
#include "platform/TickCount.h"
#include "runtime/Program.h"
#include "support/OneShot.h"
#include "support/OtherInstance.h"
#include "support/ScopedEnv.h"
#include "support/ScriptedHttpPeer.h"

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
    auto& v = dynamic_cast<ScriptedSplashView&>(w.View());
    return {v.Command1().Enabled, v.Command2().Enabled, v.Command3().Enabled};
}

void PrintTo(const Buttons& b, std::ostream* os) {
    *os << "{Install " << b.Install << ", Uninstall " << b.Uninstall << ", Cancel " << b.Cancel
        << "}";
}

using SplashStartup = InstallerSandbox;
using SplashBusy = InstallerSandbox;
using SplashExit = InstallerSandbox;

} // namespace

TEST_F(SplashStartup, FirstRunUsesDefaultFolderAndKeepsUninstallDisabled) {
    ScopedEnv env;
    env.Set("OSTRAK_SERVER", std::nullopt);
    frmSplash w;
    w.Form_Load();

    EXPECT_FALSE(ProgramEnded());
    EXPECT_EQ(w.ServerHost, BuiltInServerHost());
    EXPECT_EQ(w.PathPrefix, "");
    EXPECT_EQ(w.InstallFolder, Files::JoinPath(ProgramsFolder(), "Ostrak"));
    EXPECT_TRUE(w.NoStoredFolder);
    EXPECT_EQ(w.Busy, VbFalse);
    EXPECT_EQ(EnabledButtons(w), (Buttons{true, false, true}));

    // The uninstall button stays disabled through every busy cycle.
    w.SetBusy(VbTrue);
    EXPECT_EQ(EnabledButtons(w), (Buttons{false, false, false}));
    w.SetBusy(VbFalse);
    EXPECT_EQ(EnabledButtons(w), (Buttons{true, false, true}));

    // Start-up reads the settings but writes nothing.
    EXPECT_FALSE(SettingsStored());
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
    ScopedEnv env;
    env.Set("OSTRAK_SERVER", "127.0.0.1:8123");
    frmSplash w;
    w.Form_Load();
    env.Set("OSTRAK_SERVER", std::nullopt);
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
    OtherInstance running;
    ASSERT_TRUE(running.Holds());

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
    OtherInstance next;
    EXPECT_FALSE(next.Holds());
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
    const double fill = View.Bar().Fraction;
    // Entering busy again leaves the stage line alone.
    w.SetBusy(VbTrue);
    EXPECT_EQ(w.StageText(), "Installing: Downloading latest game files...");

    w.SetBusy(VbFalse);
    EXPECT_EQ(w.StageText(), welcome);
    EXPECT_EQ(w.FileText(), "Failed to download ostrak.exe");
    EXPECT_EQ(View.Bar().Fraction, fill);
    EXPECT_GT(fill, 0);
}

TEST_F(SplashExit, CancelUnloadsClientAndWindowLetsEventsRunThenEnds) {
    frmSplash w;
    w.Form_Load();
    w.View().Show();
    w.ConnectForm = std::make_unique<FrmConnect>();

    std::vector<std::string> order;
    OneShot pending([&] { order.push_back("pending event ran"); });
    pending.Start(0);
    SetEndProgramHook([&](int code) {
        order.push_back(std::string(w.ConnectForm ? "client loaded, " : "client unloaded, ") +
                        (View.Shown ? "window shown" : "window unloaded") + ", ended");
        EndCode = code;
    });

    View.Click(View.Command3());

    EXPECT_EQ(order, (std::vector<std::string>{"pending event ran",
                                               "client unloaded, window unloaded, ended"}));
    EXPECT_TRUE(ProgramEnded());
    EXPECT_EQ(EndCode, 0);
}

TEST_F(SplashExit, CancelWithoutClientStillEnds) {
    frmSplash w;
    w.Form_Load();
    w.View().Show();
    w.Command3_Click();
    EXPECT_EQ(EndCount, 1);
    EXPECT_FALSE(View.Shown);
}

TEST_F(SplashExit, ExitPathInsideNestedWaitsEndsTheActionThere) {
    // A server that never answers: RetrieveHTML would wait 15 s per attempt.
    ScriptedHttpPeer peer({{ScriptedHttpPeer::Read(), ScriptedHttpPeer::WaitForClientClose()}});
    frmSplash w;
    w.Form_Load();
    w.View().Show();
    w.ServerPort = peer.Port();
    w.LoadConnectForm();

    // The action fetches the version text; inside that wait a routine runs
    // that pauses, and inside its pause the exit path is pressed (which
    // unloads the HTTP client under the fetch). Each routine returns at once
    // once the program has ended, as every routine of an action does.
    std::vector<std::string> trace;
    OneShot exitPath([&] {
        trace.push_back("exit path");
        View.Click(View.Command3());
    });
    OneShot inner([&] {
        trace.push_back("inner routine starts");
        exitPath.Start(10);
        ModSkins::Pause(3000);
        if (ProgramEnded())
            return;
        trace.push_back("inner routine goes on");
    });
    // Runs instead of the real install action.
    const auto action = [&] {
        trace.push_back("action starts");
        inner.Start(30);
        (void)w.ConnectForm->RetrieveHTML("127.0.0.1", "/crc/index.php?h=3");
        if (ProgramEnded())
            return;
        trace.push_back("action goes on");
    };
    // An event that would run if anything waited on after the end.
    bool late = false;
    OneShot lateEvent([&] { late = true; });
    lateEvent.Start(1500);

    const uint32_t start = TickCount();
    action();
    const uint32_t took = ElapsedTicks(start, TickCount());

    EXPECT_EQ(trace,
              (std::vector<std::string>{"action starts", "inner routine starts", "exit path"}));
    EXPECT_LT(took, 1500u); // the pause alone is 3 s, the fetch 15 s
    EXPECT_EQ(EndCount, 1);
    EXPECT_FALSE(w.ConnectForm);
    EXPECT_FALSE(View.Shown);
    EXPECT_EQ(peer.Connections(), 1);
    // Later waits of the ended program run nothing either.
    ModSkins::Pause(400);
    DoEvents();
    EXPECT_FALSE(late);
}
