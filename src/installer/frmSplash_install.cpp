// frmSplash: the install action behind Command1. One action installs,
// updates and repairs: it fetches the version text and the release list, then
// every listed file that is missing or wrong, places the support libraries
// and the desktop launcher, and offers to start the game.
#include "installer/frmSplash.h"

#include "checksum/clsCRC.h"
#include "filelist/FileListReader.h"
#include "http/FrmConnect.h"
#include "installer/FolderOwnership.h"
#include "installer/ModSkins.h"
#include "installer/ParentFolders.h"
#include "platform/AnsiText.h"
#include "platform/Dialogs.h"
#include "platform/Environment.h"
#include "platform/EventLoop.h"
#include "platform/Files.h"
#include "platform/Settings.h"
#include "platform/StartProgram.h"
#include "runtime/ErrorRecord.h"
#include "runtime/Program.h"

#include <charconv>

namespace ostrak {

namespace {

const char* const ListName = "dta.lst";
const char* const GameExe = "ostrak.exe";
const char* const VersionPath = "/crc/index.php?h=3";
// The support libraries, in the order placed; the second goes to the system
// folder.
const char* const ZipLibrary = "CGZipLibrary.dll";
const char* const GdiPlusLibrary = "gdiplus.dll";
const char* const UnzipLibrary = "Unzip32.dll";
// Steps of the bar while the list is not read yet.
constexpr int16_t StepsBeforeList = 50;
// Steps of the bar beyond the list's entries: the list, the executable and
// the three libraries.
constexpr int16_t FixedSteps = 5;
constexpr int32_t PauseAfterFileMs = 10;
constexpr int16_t MusicNotAsked = 0, MusicNo = 1, MusicYes = 2;

// The stored music choice; anything that is not a whole number in the 16-bit
// range counts as not asked.
int16_t MusicChoiceOf(const std::string& text) {
    int16_t value = 0;
    const char* begin = text.data();
    const char* end = begin + text.size();
    if (begin != end && *begin == '+')
        ++begin;
    const auto [stop, ec] = std::from_chars(begin, end, value);
    return ec == std::errc() && stop == end && begin != end ? value : MusicNotAsked;
}

// The folder answer made absolute: "~" and "~/..." are the home folder, and a
// relative answer is taken in the home folder.
std::string AbsoluteFolder(const std::string& answer) {
    const std::string home = HomeFolder();
    const char sep = Files::Separator();
    if (answer == "~")
        return home;
    if (answer.size() >= 2 && answer[0] == '~' && answer[1] == sep)
        return Files::JoinPath(home, answer.substr(2));
    if (Files::IsAbsolutePath(answer))
        return answer;
    return Files::JoinPath(home, answer);
}

} // namespace

bool frmSplash::AskInstallFolder() {
    for (;;) {
        InstallFolder =
            InputBox("Where would you like to install Ostrak?", "Install where?", InstallFolder);
        if (ProgramEnded())
            return false;
        // The other platform's separator becomes ours.
        const char other = Files::Separator() == '/' ? '\\' : '/';
        for (char& c : InstallFolder)
            if (c == other)
                c = Files::Separator();
        if (!InstallFolder.empty() && InstallFolder.back() == Files::Separator()) {
            MsgBox("Please type a path not ending with a slash.", vbCritical + vbOKOnly,
                   "Invalid path!");
        } else if (InstallFolder.size() < 4) {
            MsgBox("Please type a path longer then 3 characters.", vbCritical + vbOKOnly,
                   "Invalid path!");
        } else {
            InstallFolder = AbsoluteFolder(InstallFolder);
            return true;
        }
        if (ProgramEnded())
            return false;
    }
}

void frmSplash::ClaimInstallFolder() {
    // Ownership is decided before the folder is made: only a folder that did
    // not exist, or was empty, becomes the installer's own. A folder claimed
    // earlier stays owned while its marker and the stored id agree.
    const bool claim = FolderOwnership::MayClaim(InstallFolder);
    const bool sameFolder =
        GetSetting(SettingsApplication, SettingsSection, SettingInstallFolder) == InstallFolder;
    // The folders made above it are recorded; an earlier install's record of
    // the same folder stays when nothing is made now.
    const std::string parentsMade = ParentFolders::OutermostMissing(InstallFolder);
    std::string id = GetSetting(SettingsApplication, SettingsSection, SettingFolderId);
    if (!claim) {
        std::string marker;
        Files::ReadWholeFile(Files::JoinPath(InstallFolder, FolderOwnership::MarkerName), marker);
        if (!sameFolder || !FolderOwnership::Proves(marker, id))
            id.clear();
    }
    Files::MakeFolders(InstallFolder);
    if (claim)
        id = FolderOwnership::Claim(InstallFolder);
    SaveSetting(SettingsApplication, SettingsSection, SettingInstallFolder, InstallFolder);
    SaveSetting(SettingsApplication, SettingsSection, SettingFolderId, id);
    if (!parentsMade.empty() || !sameFolder)
        SaveSetting(SettingsApplication, SettingsSection, ParentFolders::SettingKey, parentsMade);
}

bool frmSplash::InstallFailed() {
    // The request given up on last may still be queued or transferring: left
    // loaded, the client would go on fetching it (an endless body into its
    // temporary file, or a late answer stored under the real name) while the
    // window idles. Unloading it ends that; the next click loads it again.
    ConnectForm.reset();
    if (DiskFull_) {
        DiskFull_ = false;
        MsgBox("Error: The disk is full!\r\nPlease make room on the disk that holds " +
                   AnsiToDisplay(InstallFolder) + ", then try again.",
               vbCritical + vbOKOnly, "Disk full!");
        if (!ProgramEnded())
            SetBusy(VbFalse);
        return false;
    }
    MsgBox("Error: Couldn't fetch installation files from the internet!\r\nPlease check your "
           "connection, and make sure no firewalls are blocking the installer, then try again.",
           vbCritical + vbOKOnly, "Connection error!");
    if (!ProgramEnded())
        SetBusy(VbFalse);
    return false;
}

bool frmSplash::Fetched(const std::string& name, int16_t step, const std::string& folder,
                        const FileCheck& check) {
    if (!IsTrue(DownloadFile(name, step, folder, check)))
        return false;
    ModSkins::Pause(PauseAfterFileMs);
    return !ProgramEnded();
}

void frmSplash::Command1_Click() {
    SetBusy(VbTrue);
    if (RunInstall())
        Command3_Click();
}

bool frmSplash::RunInstall() {
    int16_t music =
        MusicChoiceOf(GetSetting(SettingsApplication, SettingsSection, SettingMusic, "0"));
    if (music == MusicNotAsked) {
        const int32_t answer =
            MsgBox("Ostrak can play large background music files (approx. 8 MB). Do you want to "
                   "download these?\r\nYou will be able to change this option in the next update.",
                   vbYesNo, "Download music?");
        if (ProgramEnded())
            return false;
        music = answer == vbNo ? MusicNo : MusicYes;
        SaveSetting(SettingsApplication, SettingsSection, SettingMusic, std::to_string(music));
    }
    if (!AskInstallFolder())
        return false;

    ClaimInstallFolder();
    DiskFull_ = false;

    SetStageText("Installing: Creating a connection...");
    LoadConnectForm();
    DoEvents();
    TotalSteps = StepsBeforeList;

    SetStageText("Installing: Getting latest version info...");
    std::optional<std::string> version;
    IgnoreErrors(
        [&] { version = ConnectForm->RetrieveHTML(ServerHost, PathPrefix + VersionPath); });
    if (ProgramEnded())
        return false;
    if (!version) {
        SetFileText("Failure (index.php)!");
        return InstallFailed();
    }

    Manifest_.reset();
    TrustFailure.clear();
    if (!ReleaseKey.empty() && !FetchTrustedManifest(*version))
        return false;

    const std::string listPath = Files::JoinPath(InstallFolder, ListName);
    VerifyLocalFile(listPath, *version);
    // A list is used only when it reads whole; reading it fills the table.
    const FileCheck readList = [this](const std::string& path, const std::string&) {
        return ReadFileList(path, FileList);
    };
    if (!Files::Dir(listPath).empty() && !readList(listPath, ""))
        Files::RemoveFile(listPath);
    if (!Fetched(ListName, 0, InstallFolder, readList))
        return ProgramEnded() ? false : InstallFailed();
    TotalSteps = static_cast<int16_t>(FileList.EntryCount + FixedSteps);
    // Nothing of a list that names a path instead of a plain file is used.
    for (int i = 0; i < FileList.EntryCount; ++i) {
        if (!IsTrue(FileList.EntryNameSafe[i])) {
            SetFileText("Failure (", AnsiToDisplay(FileList.EntryNames[i]), ")!");
            return InstallFailed();
        }
    }
    if (Manifest_ && !ListIsSigned())
        return false;

    SetStageText("Installing: Downloading latest game files...");
    if (!IsTrue(VerifyLocalFile(Files::JoinPath(InstallFolder, GameExe), *version)) &&
        !Fetched(GameExe, 1, InstallFolder))
        return ProgramEnded() ? false : InstallFailed();

    for (int i = 1; i <= FileList.EntryCount; ++i) {
        const std::string& name = FileList.EntryNames[i - 1];
        if (name.find("music") != std::string::npos && music != MusicYes)
            continue;
        const std::string expected = ChecksumText(FileList.EntryChecksums[i - 1]);
        if (IsTrue(VerifyLocalFile(Files::JoinPath(InstallFolder, name), expected)))
            continue;
        if (!Fetched(name, static_cast<int16_t>(i + 1), InstallFolder, HasChecksum(expected)))
            return ProgramEnded() ? false : InstallFailed();
    }

    const int16_t count = FileList.EntryCount;
    if (!Fetched(ZipLibrary, static_cast<int16_t>(count + 2), InstallFolder) ||
        !Fetched(GdiPlusLibrary, static_cast<int16_t>(count + 3), GetSystemFolder()) ||
        !Fetched(UnzipLibrary, static_cast<int16_t>(count + 4), InstallFolder))
        return ProgramEnded() ? false : InstallFailed();

    if (Manifest_ && !SaveTrustedSerial())
        return false;

    SetStageText("Installing: Creating desktop shortcut...");
    IgnoreErrors([&] { CreateDesktopShortcut(); });
    SetStageText("Installing: Done!");
    SetBusy(VbFalse);

    const int32_t answer =
        MsgBox("Installation was a success!\r\n\r\nDo you wish to run Ostrak now?",
               vbYesNo + vbInformation, "Installation complete!");
    if (ProgramEnded())
        return false;
    if (answer == vbYes)
        StartGame(Files::JoinPath(InstallFolder, GameExe));
    return !ProgramEnded();
}

void frmSplash::StartGame(const std::string& path) {
    const StartResult started = StartProgram(path);
    if (started == StartResult::NotWindowsProgram)
        MsgBox("Ostrak was not started: " + AnsiToDisplay(path) +
                   " is not a Windows program.\r\nThe copy on the game's server may be damaged; "
                   "please tell the game's publisher.",
               vbExclamation + vbOKOnly, "Ostrak");
    else if (started == StartResult::NeedsWine)
        MsgBox("Ostrak is a Windows program, and Wine is needed to run it on this computer.\r\n"
               "Install Wine (for example: sudo apt install wine), then start Ostrak from its "
               "desktop launcher.",
               vbExclamation + vbOKOnly, "Ostrak");
}

} // namespace ostrak
