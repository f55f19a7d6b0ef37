#pragma once
// frmSplash: the installer's only window and the program's start-up object.
//
// It shows the product header, the stage line (lblWarning), the file line
// (Label2) over the progress bar (Shape1 frame, Shape2 fill) and three
// stacked buttons: Command1 install / update / repair, Command2 uninstall,
// Command3 cancel, through the view installed when it is built
// (platform/SplashView.h), whose events it handles. It owns the installation
// state and lives until the program ends. Runs on the UI thread; the long
// actions run inside the buttons' click handlers and keep the window alive
// through the waits of ModSkins and the platform layer.
//
// The exit path (Command3_Click) ends the program, from the Cancel button or
// from inside an action, possibly inside nested waits. In the program it
// never returns (Program.h). With a test's end hook it does, and then every
// wait returns at once; each routine of an action therefore returns at once
// when ProgramEnded() is true after a wait, a dialog, a call into ConnectForm
// or the exit path itself, and touches nothing the exit path unloaded.
//
// Idle: Command1 and Command3 enabled, Command2 enabled unless
// NoStoredFolder, the stage line shows the welcome text, closing allowed.
// Busy: all three buttons disabled and every close request refused
// silently. SetBusy is the only way between the two.
//
// The routines live in one file per concern: frmSplash_window.cpp holds the
// designed texts, start-up, the busy state, the display surfaces and the
// exit path; frmSplash_install.cpp the install action, frmSplash_download.cpp
// the verified download, frmSplash_shell.cpp the shell folders and the
// launcher, frmSplash_uninstall.cpp the uninstall action and
// DeleteFolderTree.
#include "filelist/FileListTable.h"
#include "platform/SplashView.h"
#include "runtime/ErrorRecord.h"
#include "runtime/VbTypes.h"
#include "signature/ReleaseManifest.h"

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <set>
#include <string>
#include <vector>

namespace ostrak {

class BodyDigest;
class FrmConnect;

class frmSplash : private SplashViewOwner {
public:
    // The settings this window owns: application, section and keys.
    static constexpr const char* SettingsApplication = "Ostrak";
    static constexpr const char* SettingsSection = "GUI Settings";
    static constexpr const char* SettingInstallFolder = "LOC"; // installation folder
    static constexpr const char* SettingMusic = "DoMu";        // "1" no music, "2" music
    // The serial of the last signed release installed is kept apart
    // (ReleaseSerial.h).
    // The id that the marker in an installation folder the installer owns
    // holds (FolderOwnership.h); "" for a folder it does not own.
    static constexpr const char* SettingFolderId = "FolderId";

    // Takes the installed view as its window and puts the designed texts on
    // its labels; nothing is read yet.
    frmSplash();
    ~frmSplash() override;
    frmSplash(const frmSplash&) = delete;
    frmSplash& operator=(const frmSplash&) = delete;

    // The window.
    SplashView& View() const { return View_; }

    // Start-up (the window's load), in this order: ServerHost and PathPrefix;
    // a second instance shows "Installer already running" and ends the
    // program at once (ProgramEnded() is then true and nothing was read or
    // written); WelcomeText; InstallFolder from "LOC" or the default folder
    // with NoStoredFolder; SetBusy(False).
    void Form_Load();

    // Enters (True) or leaves (False) the busy state. Leaving puts
    // WelcomeText back on the stage line; the file line and the bar are
    // never touched.
    void SetBusy(VbBool busy);

    // Display surfaces. Texts are UTF-8.
    // The stage line: coarse steps ("Installing: Done!").
    void SetStageText(const std::string& text);
    std::string StageText() const;
    // The file line: per-file progress ("File OK"). A text that names a file
    // comes in three parts: when it is too long for the line, only the name
    // is shortened (in its middle). FileTextShown, when set, sees every text
    // put there, whole, in order.
    void SetFileText(const std::string& text);
    void SetFileText(const std::string& before, const std::string& name, const std::string& after);
    std::function<void(const std::string&)> FileTextShown;
    std::string FileText() const;
    // The progress bar: the fill becomes the frame's width times fraction
    // (clamped to 0..1). The bar is never reset; it keeps its last width.
    void SetBarFraction(double fraction);

    // Click handlers. Command1 and Command2 start the install and uninstall
    // actions. Command3 is the exit path: unloads the HTTP client if it is
    // loaded, unloads this window, lets pending events run once and ends the
    // program; the install and uninstall actions end through it too.
    void Command1_Click();
    void Command2_Click();
    void Command3_Click();

    // Removes the installation at path, exactly as spelt (a blank is part of
    // a name). Refuses (removes nothing, result -1) a path that is empty,
    // relative, the root, the home folder or a folder containing it, or not
    // a folder. A folder the installer owns (FolderOwnership.h: its marker
    // and the stored SettingFolderId agree) goes whole. From any other
    // folder, which must hold a regular file dta.lst, only what the installs
    // placed goes: the entries of that list, dta.lst, ostrak.exe, the two
    // libraries and temporary files of ours; then the folder, when empty.
    // The removal never follows a link and never enters another mount or a
    // folder swapped in meanwhile (FolderTree.h); it changes no file's mode,
    // and makes folders writable only in an owned tree. A path that is a link
    // to the folder: its contents go as above, then the link. Result 0 when
    // the removal ended; DeleteFolderTreeKept then names what stays because
    // the installer did not place it (the folder first, when it stays). Else
    // the system's error number of the first item that could not be removed,
    // and the removal stops there. DeleteFolderTreeFailure then holds the
    // result as Number and, as Description, why the folder was refused or
    // "<item>: <system's reason>".
    int32_t DeleteFolderTree(const std::string& path);
    ErrorRecord DeleteFolderTreeFailure;
    std::vector<std::string> DeleteFolderTreeKept;

    // Verified download.
    //
    // True when a file exists at path and its CRC-32 checksum text equals
    // expected. A file whose checksum differs is deleted (made writable
    // first when it resists); one that cannot be deleted is remembered, so
    // that DownloadFile fetches over it instead of calling it present. With
    // a signed release the file must also have its manifest entry's size and
    // SHA-256, taken in the same read as the checksum.
    VbBool VerifyLocalFile(const std::string& path, const std::string& expected);
    // Fetches folder/name from ServerHost ("/crc/" + name) unless a file of
    // exactly that name is there already ("File OK"; with a signed release,
    // only when it matches its manifest entry, else the fetched copy
    // replaces it), showing progress on
    // the file line and the bar (step of TotalSteps). A transfer whose
    // progress stands still for more than StallRule::StallMs, or that the
    // HTTP client reports failed, is requested again, at most
    // StallRule::MaxRetries times; a failed one after a pause of
    // FailedAttemptPauseMs, so that a struggling server is not hammered.
    // With check, a fetched file must pass it, or it is deleted and the
    // attempt counts as failed; the check gets the stored file's path and the
    // checksum text of its CRC-32, taken while the body streamed to disk
    // (HasChecksum compares that text). A
    // stored "*.exe" is made executable. A name that is not safe as a plain
    // file name is refused with the final failure text. Loads the HTTP
    // client when it is not loaded. True when the file is in place.
    using FileCheck = std::function<bool(const std::string& path, const std::string& checksum)>;
    VbBool DownloadFile(const std::string& name, int16_t step, const std::string& folder,
                        const FileCheck& check = {});
    static FileCheck HasChecksum(std::string expected);
    static constexpr int32_t FailedAttemptPauseMs = 1000;
    // Where the Windows libraries of the game belong (made when missing).
    std::string GetSystemFolder();

    // Shell folders and the desktop launcher.
    //
    // The folder with the number folder, with a trailing separator; only the
    // desktop (DesktopFolderId) is known, any other number or a missing
    // desktop gives "".
    static constexpr int32_t DesktopFolderId = 16;
    std::string GetSpecialFolder(int32_t folder);
    // Places the launcher "Ostrak" of InstallFolder's ostrak.exe on the
    // desktop through the shortcut service, with the game's icon (placed in
    // the user's icon theme when missing) and a comment; its result (1
    // placed, 0 not).
    int32_t CreateDesktopShortcut();

    // Installation state.
    std::string ServerHost;  // the game's web server; set at start-up only
    int32_t ServerPort = 80; // its port (80 unless OSTRAK_SERVER says otherwise)
    std::string PathPrefix;  // put before the version-info path; always ""
    std::string ReleaseKey;  // publisher's public key (base64); "" = unsigned releases
    // Why the last release was not trusted ("" when it was, or none was checked).
    std::string TrustFailure;
    std::string InstallFolder; // "LOC", the default, or the user's answer
    std::string WelcomeText;   // the stage line as first shown
    VbBool Busy = VbFalse;
    int16_t TotalSteps = 0; // denominator of the bar fraction
    bool NoStoredFolder = false;

    // The HTTP client: nullptr until the install flow loads it; the exit path
    // unloads it (resets the pointer).
    std::unique_ptr<FrmConnect> ConnectForm;
    // The release list as last read whole.
    FileListTable FileList;
    // Loads the HTTP client, talking to ServerPort, unless it is loaded.
    void LoadConnectForm();

private:
    // The view's events: the three buttons' clicks; a close request, refused
    // while Busy.
    void ButtonClicked(const ViewButton& button) override;
    bool CloseRequested() override;

    // The install action up to the exit path; false when it ended otherwise
    // (the error exit, or the program ended inside it).
    bool RunInstall();
    // The folder prompt, repeated until an answer is accepted; InstallFolder
    // is then absolute. False when the program ended meanwhile.
    bool AskInstallFolder();
    // Makes InstallFolder (with its parents) and stores it as "LOC", with
    // the id of the folder's marker when the installer owns it (it made the
    // folder or found it empty now, or claimed it at an earlier install).
    void ClaimInstallFolder();
    // DownloadFile, then the short pause after a file; false when the file
    // is not in place or the program ended.
    bool Fetched(const std::string& name, int16_t step, const std::string& folder,
                 const FileCheck& check = {});
    // The error exit: unloads the HTTP client (ending what it still fetches),
    // then the connection error box (the "Disk full!" box when a download
    // found no room) and the idle window. False.
    bool InstallFailed();
    // With a ReleaseKey, right after the version text: fetches the manifest
    // and its signature (RetrieveHTML) and takes it only under the trust
    // rules (TrustRelease: one of the keys, format 2, this product and
    // channel, not expired, a serial not far ahead of the clock, not below
    // the build's floor nor the stored serial), with a stored serial that
    // reads as a number, naming every file a release has, and whose
    // index.php entry is the version text fetched before. True when trusted
    // (Manifest_ is then set); otherwise ReleaseNotTrusted.
    bool FetchTrustedManifest(const std::string& version);
    // Stores the installed release's serial; when that fails, the
    // "Installation failed!" box and the idle window, and false.
    bool SaveTrustedSerial();
    // Every entry of the list read must be in the manifest; else
    // ReleaseNotTrusted.
    bool ListIsSigned();
    // The "Release not trusted!" box, then the idle window like the error
    // exit (the file line names the manifest, the bar keeps its width);
    // nothing more is downloaded. Records why in TrustFailure. An expired
    // manifest says so on the file line. False.
    bool ReleaseNotTrusted(const std::string& why, bool expired = false);
    // Starts the game in its folder; a box instead when Wine is missing or
    // the file is no Windows program.
    void StartGame(const std::string& path);

    // The bar at step + part of TotalSteps.
    void ShowStepProgress(int16_t step, double part);

    // The signed manifest of the release being installed (none without a key).
    std::optional<ReleaseManifest> Manifest_;
    // Hashes each body against Manifest_ while it streams to disk.
    std::unique_ptr<BodyDigest> Digest_;

    SplashView& View_;

    // Files found wrong by VerifyLocalFile that could not be deleted.
    std::set<std::string> WrongFilesKept_;
    // A download failed because the disk is full (InstallFailed says so).
    bool DiskFull_ = false;
};

} // namespace ostrak
