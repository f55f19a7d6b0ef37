// frmSplash: the designed texts, start-up, busy state, display surfaces,
// closing and the exit path.
#include "installer/frmSplash.h"

#include "http/FrmConnect.h"
#include "installer/DefaultFolders.h"
#include "installer/ModSkins.h"
#include "installer/ServerConfig.h"
#include "platform/Dialogs.h"
#include "platform/EventLoop.h"
#include "platform/Settings.h"
#include "platform/SingleInstance.h"
#include "runtime/Program.h"
#include "signature/BodyDigest.h"

#include <algorithm>

namespace ostrak {

namespace {

// The stage line's first text. The run of 83 spaces pushes the last sentence
// onto a line of its own in the word-wrapped label.
std::string DesignedWelcomeText() {
    return "Hello, and welcome to Ostrak. If you want to Install, Update or Fix Ostrak, please "
           "click the top button. If you want to remove Ostrak from your computer, click the "
           "middle button. To cancel, click the bottom button." +
           std::string(83, ' ') +
           "Before beginning the installation, please make sure any firewall software is set "
           "up to allow this program access to the internet!";
}

} // namespace

frmSplash::frmSplash() : View_(InstalledSplashView()) {
    View_.SetOwner(this);
    View_.lblProductName().SetText("Ostrak");
    View_.lblCompanyProduct().SetText("The Amber Reach");
    View_.lblCopyright().SetText("Copyright \xC2\xA9 Ostrak");
    View_.lblPlatform().SetText("Installer");
    View_.lblWarning().SetText(DesignedWelcomeText());
    View_.Label2().SetText("Waiting to start...");
}

frmSplash::~frmSplash() {
    if (View_.Owner() == this)
        View_.SetOwner(nullptr);
}

void frmSplash::Form_Load() {
    const ServerAddress server = ConfiguredServer();
    ServerHost = server.Host;
    ServerPort = server.Port;
    ReleaseKey = ConfiguredReleaseKey();
    PathPrefix = "";
    if (PrevInstance()) {
        MsgBox("Installer already running", vbCritical + vbOKOnly, "Installer already open!");
        EndProgram();
        return;
    }
    WelcomeText = StageText();
    InstallFolder = GetSetting(SettingsApplication, SettingsSection, SettingInstallFolder, "");
    if (InstallFolder.empty()) {
        InstallFolder = DefaultInstallFolder();
        NoStoredFolder = true;
    }
    SetBusy(VbFalse);
}

void frmSplash::SetBusy(VbBool busy) {
    const bool isBusy = IsTrue(busy);
    View_.Command1().SetEnabled(!isBusy);
    View_.Command2().SetEnabled(NoStoredFolder ? false : !isBusy);
    View_.Command3().SetEnabled(!isBusy);
    Busy = busy;
    if (!isBusy)
        SetStageText(WelcomeText);
}

void frmSplash::SetStageText(const std::string& text) {
    View_.lblWarning().SetText(text);
}

std::string frmSplash::StageText() const {
    return View_.lblWarning().Text();
}

void frmSplash::SetFileText(const std::string& text) {
    SetFileText(text, "", "");
}

void frmSplash::SetFileText(const std::string& before, const std::string& name,
                            const std::string& after) {
    const std::string text = before + name + after;
    View_.Label2().SetText(text, TextSpan{before.size(), name.size()});
    if (FileTextShown)
        FileTextShown(text);
}

std::string frmSplash::FileText() const {
    return View_.Label2().Text();
}

void frmSplash::SetBarFraction(double fraction) {
    if (!(fraction > 0)) // also NaN
        fraction = 0;
    View_.Bar().SetFraction(std::min(fraction, 1.0));
}

void frmSplash::ButtonClicked(const ViewButton& button) {
    if (&button == &View_.Command1())
        Command1_Click();
    else if (&button == &View_.Command2())
        Command2_Click();
    else if (&button == &View_.Command3())
        Command3_Click();
}

bool frmSplash::CloseRequested() {
    return !IsTrue(Busy);
}

void frmSplash::LoadConnectForm() {
    if (ConnectForm)
        return;
    ConnectForm = std::make_unique<FrmConnect>();
    ConnectForm->Port = ServerPort;
    // The client waits between version-text attempts with the window's Pause.
    ConnectForm->SetPauseHook(ModSkins::Pause);
}

void frmSplash::Command3_Click() {
    ConnectForm.reset();
    View_.Close();
    DoEvents();
    EndProgram();
}

} // namespace ostrak
