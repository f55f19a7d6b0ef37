#pragma once
// The fixture of the fault cases: a home of its own (desktop, Wine system
// folder, settings), a small release published by ostrak_release into
// Served, and the ways to run the install action: in this process through
// the window with scripted dialogs (Click), or in a process of its own
// (Installer: fault_install). Also: a tick counter that runs twenty times
// fast while it is on, with the peak RSS seen meanwhile, and the checks of
// what a folder holds.
#include "../installer/InstallerSandbox.h"
#include "installer/frmSplash.h"
#include "support/Subprocess.h"
#include "support/TempDir.h"

#include <QTimer>
#include <functional>
#include <map>
#include <optional>
#include <string>
#include <vector>

namespace ostrak {

extern const std::string FolderPrompt;
extern const std::string SuccessText;
extern const std::string ErrorText;

class FaultCase : public InstallerSandbox {
public:
    // The names in folder but the installer's ownership marker, and those of
    // our temporary files among them.
    static std::vector<std::string> Names(const std::string& folder);
    static std::vector<std::string> Temporaries(const std::string& folder);

protected:
    void SetUp() override;
    void TearDown() override;

    // Writes a file of the release's source and publishes the release again.
    void Publish(const std::map<std::string, std::string>& changed = {});
    std::string Served(const std::string& name) const;
    // Names of the release's files in the order the installer fetches them
    // into the install folder (gdiplus.dll goes elsewhere).
    std::vector<std::string> InstallFolderFiles() const;

    // Plans the folder prompt (and, first time, the music question).
    void PlanFolder(const std::string& answer, bool firstRun = true);
    void PlanSuccess();
    void PlanErrorExit();
    // Loads window (start-up) against Server.
    void Load(frmSplash& window);
    // One click of Install / Fix in window (a fresh one when none is given);
    // every text of the file line is kept in FileTexts and shown to onText.
    void Click(frmSplash* window = nullptr, std::function<void(const std::string&)> onText = {});
    std::vector<std::string> FileTexts;

    // fault_install FOLDER [--fast-clock] with this home and server; waits for it.
    ProcessResult Installer(const std::string& folder, bool fastClock,
                            const std::vector<std::string>& prefix = {});
    ProcessOptions InstallerEnvironment() const;

    // While on, every 5 ms the tick counter moves stepMs forward unless
    // before (when given) answers false; the process's peak memory in use
    // (MemoryInUseKiB) is sampled.
    void FastClock(std::function<bool()> before = {}, uint32_t stepMs = 100);
    void StopClock();
    long RssGrowthKiB() const { return PeakRssKiB_ - StartRssKiB_; }

    // Each name in folder holds the served file of that name.
    void ExpectServedCopies(const std::string& folder, const std::vector<std::string>& names);

    TempDir Source, Release;
    std::string Home, Game, System32, Server;

private:
    std::vector<std::pair<std::string, std::optional<std::string>>> Saved_;
    QTimer Clock_;
    long StartRssKiB_ = 0, PeakRssKiB_ = 0;
};

// The RSS of this process in KiB.
long RssKiB();
// The memory this process holds in KiB: its RSS. Under AddressSanitizer the
// bytes allocated and not yet freed instead: the sanitizer keeps freed blocks
// resident in its quarantine (256 MiB by default) and shadows them, so the RSS
// grows with what was freed, while what a growing buffer holds shows as
// allocated either way.
long MemoryInUseKiB();
// Whether this process may mount file systems (root with the capability).
bool CanMount();

// A tmpfs mounted at a folder for the life of the object (made by the mount
// command; unmounted, lazily if need be, in every path out).
class TmpfsMount {
public:
    TmpfsMount(const std::string& folder, const std::string& options);
    ~TmpfsMount();
    TmpfsMount(const TmpfsMount&) = delete;
    TmpfsMount& operator=(const TmpfsMount&) = delete;
    bool Mounted() const { return Mounted_; }

private:
    std::string Folder_;
    bool Mounted_ = false;
};

} // namespace ostrak
