#include "faults/FaultCase.h"

#include "installer/FolderOwnership.h"
#include "platform/Files.h"
#include "platform/TemporaryFiles.h"
#include "platform/TickCount.h"
#include "support/FolderNames.h"

#include <algorithm>
#include <cstdlib>
#include <fstream>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#if defined(__has_feature)
#if __has_feature(address_sanitizer)
#include <sanitizer/allocator_interface.h>
#define OSTRAK_UNDER_ASAN 1
#endif
#endif

namespace ostrak {

const std::string FolderPrompt = "Where would you like to install Ostrak?";
const std::string SuccessText = "Installation was a success!\r\n\r\nDo you wish to run Ostrak now?";
const std::string ErrorText =
    "Error: Couldn't fetch installation files from the internet!\r\nPlease check your connection, "
    "and make sure no firewalls are blocking the installer, then try again.";

namespace {

const std::string MusicText = "Ostrak can play large background music files (approx. 8 MB). Do "
                              "you want to download these?\r\nYou will be able to change this "
                              "option in the next update.";
const char* const EnvNames[] = {"HOME", "WINEPREFIX", "OSTRAK_SERVER"};

} // namespace

long RssKiB() {
    std::ifstream status("/proc/self/status");
    for (std::string line; std::getline(status, line);)
        if (line.rfind("VmRSS:", 0) == 0)
            return std::strtol(line.c_str() + 6, nullptr, 10);
    return 0;
}

long MemoryInUseKiB() {
#ifdef OSTRAK_UNDER_ASAN
    return static_cast<long>(__sanitizer_get_current_allocated_bytes() / 1024);
#else
    return RssKiB();
#endif
}

bool CanMount() {
    if (::geteuid() != 0)
        return false;
    TempDir probe;
    TmpfsMount m(probe.Path(), "size=64k");
    return m.Mounted();
}

TmpfsMount::TmpfsMount(const std::string& folder, const std::string& options) : Folder_(folder) {
    Mounted_ =
        ::geteuid() == 0 &&
        RunProcess({"mount", "-t", "tmpfs", "-o", options, "ostrak-fault", folder}, {}, 10000)
                .ExitCode == 0;
}

TmpfsMount::~TmpfsMount() {
    if (Mounted_ && RunProcess({"umount", Folder_}, {}, 10000).ExitCode != 0)
        RunProcess({"umount", "-l", Folder_}, {}, 10000);
}

void FaultCase::SetUp() {
    InstallerSandbox::SetUp();
    for (const char* name : EnvNames) {
        const char* v = std::getenv(name);
        Saved_.emplace_back(name, v ? std::optional<std::string>(v) : std::nullopt);
    }
    Home = Sandbox.File("home");
    System32 = Home + "/wine/drive_c/windows/system32";
    Files::MakeFolders(Home + "/Desktop");
    Files::MakeFolders(System32);
    setenv("HOME", Home.c_str(), 1);
    setenv("WINEPREFIX", (Home + "/wine").c_str(), 1);
    Game = Home + "/Games/Ostrak";
    Publish({{"ostrak.exe", "MZ game executable"},
             {"CGZipLibrary.dll", "MZ cgzip"},
             {"gdiplus.dll", "MZ gdiplus"},
             {"Unzip32.dll", "MZ unzip"},
             {"a.pak", "alpha data"},
             {"b.pak", "bravo data"}});
}

void FaultCase::TearDown() {
    StopClock();
    for (auto& [name, value] : Saved_)
        value ? setenv(name.c_str(), value->c_str(), 1) : unsetenv(name.c_str());
    InstallerSandbox::TearDown();
}

void FaultCase::Publish(const std::map<std::string, std::string>& changed) {
    for (const auto& [name, bytes] : changed)
        Source.Write(name, bytes);
    const ProcessResult r =
        RunProcess({OSTRAK_RELEASE_BIN, Source.Path(), Release.Path(), "--seed", "7"});
    ASSERT_EQ(r.ExitCode, 0) << r.Err;
}

std::string FaultCase::Served(const std::string& name) const {
    return TempDir::Read(Release.File("crc/" + name));
}

std::vector<std::string> FaultCase::InstallFolderFiles() const {
    return {"CGZipLibrary.dll", "Unzip32.dll", "a.pak", "b.pak", "dta.lst", "ostrak.exe"};
}

void FaultCase::PlanFolder(const std::string& answer, bool firstRun) {
    if (firstRun)
        Dialogs.ExpectMsgBox(MusicText, vbYesNo, "Download music?", vbNo);
    Dialogs.ExpectInputBox(FolderPrompt, "Install where?", firstRun ? Game : answer, answer);
}

void FaultCase::PlanSuccess() {
    Dialogs.ExpectMsgBox(SuccessText, vbYesNo + vbInformation, "Installation complete!", vbNo);
}

void FaultCase::PlanErrorExit() {
    Dialogs.ExpectMsgBox(ErrorText, vbCritical + vbOKOnly, "Connection error!", vbOK);
}

void FaultCase::Load(frmSplash& window) {
    setenv("OSTRAK_SERVER", Server.c_str(), 1);
    window.Form_Load();
}

void FaultCase::Click(frmSplash* window, std::function<void(const std::string&)> onText) {
    RearmProgramEnd();
    std::optional<frmSplash> own;
    if (!window) {
        own.emplace();
        window = &*own;
        Load(*window);
    }
    window->FileTextShown = [this, onText](const std::string& text) {
        FileTexts.push_back(text);
        if (onText)
            onText(text);
    };
    window->Command1_Click();
    window->FileTextShown = nullptr;
    Dialogs.ExpectAllShown();
}

ProcessOptions FaultCase::InstallerEnvironment() const {
    return ProcessOptions()
        .SetEnv("HOME", Home)
        .SetEnv("WINEPREFIX", Home + "/wine")
        .SetEnv("XDG_CONFIG_HOME", Sandbox.File("config"))
        .SetEnv("XDG_RUNTIME_DIR", Sandbox.File("runtime"))
        .SetEnv("OSTRAK_SERVER", Server);
}

ProcessResult FaultCase::Installer(const std::string& folder, bool fastClock,
                                   const std::vector<std::string>& prefix) {
    std::vector<std::string> argv = prefix;
    argv.push_back(FAULT_INSTALL_BIN);
    argv.push_back(folder);
    if (fastClock)
        argv.push_back("--fast-clock");
    return RunProcess(argv, InstallerEnvironment(), 30000);
}

void FaultCase::FastClock(std::function<bool()> before, uint32_t stepMs) {
    StopClock();
    StartRssKiB_ = PeakRssKiB_ = MemoryInUseKiB();
    QObject::connect(&Clock_, &QTimer::timeout, [this, before, stepMs] {
        PeakRssKiB_ = std::max(PeakRssKiB_, MemoryInUseKiB());
        if (!before || before())
            TickControl::Advance(stepMs);
    });
    Clock_.start(5);
}

void FaultCase::StopClock() {
    Clock_.stop();
    QObject::disconnect(&Clock_, nullptr, nullptr, nullptr);
}

std::vector<std::string> FaultCase::Names(const std::string& folder) {
    std::vector<std::string> names = FolderNames(folder);
    std::erase(names, FolderOwnership::MarkerName);
    return names;
}

std::vector<std::string> FaultCase::Temporaries(const std::string& folder) {
    std::vector<std::string> names = FolderNames(folder);
    names.erase(std::remove_if(names.begin(), names.end(),
                               [](const std::string& n) { return !Files::IsTemporaryName(n); }),
                names.end());
    return names;
}

void FaultCase::ExpectServedCopies(const std::string& folder,
                                   const std::vector<std::string>& names) {
    for (const std::string& name : names) {
        const std::string path = folder + "/" + name;
        ASSERT_TRUE(Files::Exists(path)) << path;
        EXPECT_EQ(TempDir::Read(path), Served(name)) << path;
    }
}

} // namespace ostrak
