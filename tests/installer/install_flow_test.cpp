// The install action end to end: a release made by ostrak_release, served by
// python's http.server on loopback, installed through the window object with
// scripted dialogs. Each scenario checks the dialogs, the lines, the files on
// disk, the settings and what the server was asked for.
#include "InstallerSandbox.h"
#include "checksum/clsCRC.h"
#include "filelist/FileListWriter.h"
#include "installer/frmSplash.h"
#include "platform/Files.h"
#include "platform/ProgramsFolder.h"
#include "platform/Settings.h"
#include "platform/SystemFolder.h"
#include "platform/TickCount.h"
#include "platform/Timer.h"
#include "support/FolderNames.h"
#include "support/HttpServers.h"
#include "support/ScopedEnv.h"
#include "support/ScriptedHttpPeer.h"
#include "support/Subprocess.h"

#include <chrono>
#include <gtest/gtest.h>
#include <thread>
#ifndef _WIN32
#include <sys/stat.h>
#endif

using namespace ostrak;

namespace {

const std::string MusicText = "Ostrak can play large background music files (approx. 8 MB). Do "
                              "you want to download these?\r\nYou will be able to change this "
                              "option in the next update.";
const std::string FolderPrompt = "Where would you like to install Ostrak?";
const std::string SuccessText = "Installation was a success!\r\n\r\nDo you wish to run Ostrak now?";
const std::string ErrorText =
    "Error: Couldn't fetch installation files from the internet!\r\nPlease check your connection, "
    "and make sure no firewalls are blocking the installer, then try again.";

#ifdef _WIN32
constexpr bool OnWindows = true;
#else
constexpr bool OnWindows = false;
#endif

class InstallFlow : public InstallerSandbox {
protected:
    void SetUp() override {
        InstallerSandbox::SetUp();
        Home = Sandbox.File("home");
        Files::MakeFolders(Home + "/Desktop");
#ifdef _WIN32
        // The profile folder is the home; the system folder is one of the test's own.
        System32 = Files::JoinPath(Home, "system");
        SetSystemFolder(System32);
        Env.Set("USERPROFILE", Home);
#else
        System32 = Home + "/wine/drive_c/windows/system32";
        Env.Set("HOME", Home)
            .Set("WINEPREFIX", Home + "/wine")
            .Set("XDG_DATA_HOME", Home + "/data");
#endif
        Files::MakeFolders(System32);
        Game = Files::JoinPath(Files::JoinPath(Home, "Games"), "Ostrak");

        Source.Write("ostrak.exe", "MZ game executable");
        Source.Write("CGZipLibrary.dll", "MZ cgzip");
        Source.Write("gdiplus.dll", "MZ gdiplus");
        Source.Write("Unzip32.dll", "MZ unzip");
        Source.Write("a.pak", "alpha data");
        Source.Write("b.pak", "bravo data");
        Source.Write("music1.ogg", "quiet music");
        Source.Write("Music2.ogg", "loud music");
        Publish();
        Server = std::make_unique<PythonHttpServer>(Served.Path());
        Env.Set("OSTRAK_SERVER", Server->Address());
    }
    void TearDown() override {
        SetSystemFolder("");
        InstallerSandbox::TearDown();
    }
    void Publish() {
        const ProcessResult r =
            RunProcess({OSTRAK_RELEASE_BIN, Source.Path(), Served.Path(), "--seed", "7"});
        ASSERT_EQ(r.ExitCode, 0) << r.Err;
    }
    std::string Setting(const char* key) {
        return GetSetting(frmSplash::SettingsApplication, frmSplash::SettingsSection, key,
                          "<none>");
    }
    // The paths asked of the server since the last call, in order.
    std::vector<std::string> Requests() {
        std::vector<std::string> all = Server->RequestedPaths();
        std::vector<std::string> fresh(all.begin() + static_cast<long>(Seen), all.end());
        Seen = all.size();
        return fresh;
    }
    // Plans the dialogs of a run that keeps the stored choices and ends with
    // the success box answered No.
    void PlanRerun(const std::string& folder, int32_t runNow = vbNo) {
        Dialogs.ExpectInputBox(FolderPrompt, "Install where?", folder, folder)
            .ExpectMsgBox(SuccessText, vbYesNo + vbInformation, "Installation complete!", runNow);
    }
    // Runs the action in a fresh window (every successful run ends the program).
    void Run(const std::function<void(frmSplash&)>& check = {}) {
        RearmProgramEnd();
        frmSplash w;
        w.Form_Load();
        w.Command1_Click();
        Dialogs.ExpectAllShown();
        if (check)
            check(w);
    }
    // Uninstalls in a fresh window; the last box's text ends in kept.
    void Uninstall(const std::string& kept) {
        RearmProgramEnd();
        Dialogs
            .ExpectMsgBox("Are you sure you wish to eredicate any trace of Ostrak on your "
                          "computer?\r\nThis cannot be undone!",
                          vbYesNo + vbQuestion, "Are you sure?", vbYes)
            .ExpectMsgBox("Ostrak and all it's components have been deleted. Thank you, and "
                          "come again!" +
                              kept,
                          vbInformation + vbOKOnly, "Uninstall complete.", vbOK);
        frmSplash w;
        w.Form_Load();
        w.Command2_Click();
        Dialogs.ExpectAllShown();
    }
    void MoveClockFast() {
        Clock.SetEnabled(true);
    }

    ScopedEnv Env;
    TempDir Source, Served;
    std::unique_ptr<PythonHttpServer> Server;
    std::string Home, Game, System32;
    size_t Seen = 0;
    PeriodicTimer Clock{5, [] { TickControl::Advance(100); }};
};

void WriteFile(const std::string& path, const std::string& bytes) {
    ASSERT_TRUE(Files::WriteWholeFile(path, bytes)) << path;
}

const std::vector<std::string> FixedFetches = {"/crc/CGZipLibrary.dll", "/crc/gdiplus.dll",
                                               "/crc/Unzip32.dll"};

TEST_F(InstallFlow, FirstInstallRerunAndRepair) {
    // The folder first proposed: ~/Games/Ostrak, on Windows in Program Files.
    const std::string proposed = OnWindows ? Files::JoinPath(ProgramsFolder(), "Ostrak") : Game;
    Dialogs.ExpectMsgBox(MusicText, vbYesNo, "Download music?", vbNo)
        .ExpectInputBox(FolderPrompt, "Install where?", proposed, "C:\\Games\\x\\")
        .ExpectMsgBox("Please type a path not ending with a slash.", vbCritical, "Invalid path!",
                      vbOK)
        .ExpectInputBox(FolderPrompt, "Install where?",
                        OnWindows ? "C:\\Games\\x\\" : "C:/Games/x/", "abc")
        .ExpectMsgBox("Please type a path longer then 3 characters.", vbCritical, "Invalid path!",
                      vbOK)
        .ExpectInputBox(FolderPrompt, "Install where?", "abc", "Games\\Ostrak")
        .ExpectMsgBox(SuccessText, vbYesNo + vbInformation, "Installation complete!", vbNo);
    Run([&](frmSplash& w) {
        EXPECT_EQ(w.InstallFolder, Game); // relative to the home folder, parents made
        EXPECT_EQ(w.StageText(), w.WelcomeText);
        EXPECT_EQ(w.FileText(), "Download of Unzip32.dll done!");
        EXPECT_EQ(View.Bar().Fraction, 1.0);
        EXPECT_EQ(w.TotalSteps, 4 + 5);
    });
    EXPECT_EQ(EndCount, 1);
    EXPECT_EQ(Setting("LOC"), Game);
    EXPECT_EQ(Setting("DoMu"), "1");
    std::vector<std::string> expected = {"/crc/index.php?h=3", "/crc/dta.lst", "/crc/ostrak.exe",
                                         "/crc/Music2.ogg",    "/crc/a.pak",   "/crc/b.pak"};
    expected.insert(expected.end(), FixedFetches.begin(), FixedFetches.end());
    EXPECT_EQ(Requests(), expected); // music1.ogg skipped; Music2.ogg is no music
    for (const char* name : {"dta.lst", "ostrak.exe", "a.pak", "b.pak", "Music2.ogg",
                             "CGZipLibrary.dll", "Unzip32.dll"})
        EXPECT_EQ(TempDir::Read(Game + "/" + name), TempDir::Read(Served.File("crc/") + name))
            << name;
    EXPECT_FALSE(Files::Exists(Game + "/music1.ogg"));
    EXPECT_EQ(TempDir::Read(System32 + "/gdiplus.dll"), "MZ gdiplus");
#ifndef _WIN32
    struct stat st {};
    ASSERT_EQ(::stat((Game + "/ostrak.exe").c_str(), &st), 0);
    EXPECT_NE(st.st_mode & 0100, 0u);
    EXPECT_NE(TempDir::Read(Home + "/Desktop/Ostrak.desktop").find("\nIcon=ostrak\n"),
              std::string::npos);
    // The icon it names went into the user's theme (never into the game's folder).
    EXPECT_TRUE(Files::Exists(Home + "/data/icons/hicolor/256x256/apps/ostrak.png"));
#endif

    // Reruns, each after its change: exactly these requests, and every game
    // file as served afterwards.
    const std::string crc = Served.File("crc/");
    const struct {
        const char* What;
        std::function<void()> Change;
        std::vector<std::string> Asked;
    } reruns[] = {
        {"up to date: the list is fetched again", [] {}, {"/crc/index.php?h=3", "/crc/dta.lst"}},
        {"one file corrupted, one deleted, one changed by a data-only release",
         [&] {
             WriteFile(Game + "/a.pak", "alpha dat4");
             Files::RemoveFile(Game + "/b.pak");
             Source.Write("Music2.ogg", "louder music");
             Publish();
         },
         {"/crc/index.php?h=3", "/crc/dta.lst", "/crc/Music2.ogg", "/crc/a.pak", "/crc/b.pak"}},
        {"a list padded to the version text, as published earlier: kept and read",
         [&] {
             const std::string padded =
                 WithCrcOf(TempDir::Read(crc + "dta.lst"), TempDir::Read(crc + "ostrak.exe"));
             WriteFile(crc + "dta.lst", padded);
             WriteFile(Game + "/dta.lst", padded);
             WriteFile(Game + "/a.pak", "alpha dat4");
             Files::RemoveFile(Game + "/b.pak");
         },
         {"/crc/index.php?h=3", "/crc/a.pak", "/crc/b.pak"}},
    };
    for (const auto& r : reruns) {
        r.Change();
        PlanRerun(Game);
        Run([&](frmSplash& w) { EXPECT_EQ(w.FileText(), "File OK") << r.What; });
        EXPECT_EQ(Requests(), r.Asked) << r.What;
        for (const char* name : {"dta.lst", "ostrak.exe", "a.pak", "b.pak", "Music2.ogg"})
            EXPECT_EQ(TempDir::Read(Game + "/" + name), TempDir::Read(crc + name))
                << r.What << ": " << name;
    }
    EXPECT_EQ(EndCount, 4);

    // The folder the install made goes whole, what the player put there too.
    WriteFile(Game + "/saves.dat", "slot 1");
    Uninstall("");
    EXPECT_FALSE(Files::Exists(Game));
    // So do ~/Games, which the install made, and the settings (here the file it left empty).
    EXPECT_FALSE(Files::Exists(Home + "/Games"));
    EXPECT_FALSE(SettingsStored());
#ifndef _WIN32
    EXPECT_FALSE(Files::Exists(SettingsFilePath(frmSplash::SettingsApplication)));
#endif
    // A folder the player had (its name ends in a blank, where names may) keeps the player's file.
    const std::string mine = Files::JoinPath(Home, OnWindows ? "Mine" : "Mine ");
    Files::MakeFolders(mine);
    WriteFile(mine + "/notes.txt", "my notes");
    Dialogs.ExpectMsgBox(MusicText, vbYesNo, "Download music?", vbNo)
        .ExpectInputBox(FolderPrompt, "Install where?", proposed, mine)
        .ExpectMsgBox(SuccessText, vbYesNo + vbInformation, "Installation complete!", vbNo);
    Run();
    EXPECT_EQ(Setting("LOC"), mine);
    Uninstall("\r\n\r\nThe folder \"" + mine +
              "\" was kept, with the files in it that Ostrak did not place.");
    EXPECT_EQ(FolderNames(mine, Depth::Tree), std::vector<std::string>{"notes.txt"});
    EXPECT_EQ(TempDir::Read(mine + "/notes.txt"), "my notes");
}

TEST_F(InstallFlow, MusicIsAskedOnceAndOnlyLowerCaseMusicIsSkipped) {
    const struct {
        const char* Stored;
        bool Asked;
        int32_t Answer;
        bool MusicFetched;
    } cases[] = {
        {"abc", true, vbYes, true},   // not a number: asked again
        {"70000", true, vbNo, false}, // beyond 16 bits: asked again
        {"3", false, 0, false},       // not 2: no music
        {"2", false, 0, true},
    };
    for (const auto& c : cases) {
        SaveSetting(frmSplash::SettingsApplication, frmSplash::SettingsSection, "DoMu", c.Stored);
        SaveSetting(frmSplash::SettingsApplication, frmSplash::SettingsSection, "LOC", Game);
        Files::RemoveFile(Game + "/music1.ogg");
        if (c.Asked)
            Dialogs.ExpectMsgBox(MusicText, vbYesNo, "Download music?", c.Answer);
        PlanRerun(Game);
        Run();
        EXPECT_EQ(Files::Exists(Game + "/music1.ogg"), c.MusicFetched) << c.Stored;
        EXPECT_TRUE(Files::Exists(Game + "/Music2.ogg")) << c.Stored;
        if (c.Asked) {
            EXPECT_EQ(Setting("DoMu"), c.Answer == vbYes ? "2" : "1") << c.Stored;
        }
    }
}

TEST_F(InstallFlow, FailuresTakeTheErrorExitAndKeepTheSettings) {
    MoveClockFast(); // the retries' pauses and stalls pass at once
    SaveSetting(frmSplash::SettingsApplication, frmSplash::SettingsSection, "DoMu", "1");
    SaveSetting(frmSplash::SettingsApplication, frmSplash::SettingsSection, "LOC", Game);
    const std::string list = TempDir::Read(Served.File("crc/dta.lst"));
    const struct {
        const char* What;
        std::function<void()> Break;
        std::string FileLine;
        std::vector<std::string> LastRequests;
    } cases[] = {
        {"a missing entry", [&] { Files::RemoveFile(Served.File("crc/b.pak")); },
         "Failure (b.pak)!", std::vector<std::string>(11, "/crc/b.pak")},
        {"a cut list",
         [&] { WriteFile(Served.File("crc/dta.lst"), list.substr(0, list.size() - 3)); },
         "Failure (dta.lst)!", std::vector<std::string>(11, "/crc/dta.lst")},
        {"an unsafe name",
         [&] {
             WriteFile(Served.File("crc/dta.lst"),
                       EncodeFileList(9, {{"a.pak", 2}, {"../evil\x1B.pak", 1}}));
         },
         "Failure (../evil\\x1B.pak)!",
         {"/crc/index.php?h=3", "/crc/dta.lst"}},
        {"the server down",
         [&] { Env.Set("OSTRAK_SERVER", "127.0.0.1:" + std::to_string(FreeLoopbackPort())); },
         "Failure (index.php)!",
         {}},
    };
    for (const auto& c : cases) {
        Files::RemoveFolder(Game); // fails when not empty: files stay for the next case
        c.Break();
        Dialogs.ExpectInputBox(FolderPrompt, "Install where?", Game, Game)
            .ExpectMsgBox(ErrorText, vbCritical, "Connection error!", vbOK);
        RearmProgramEnd();
        frmSplash w;
        w.Form_Load();
        w.Command1_Click();
        Dialogs.ExpectAllShown();
        EXPECT_EQ(EndCount, 0) << c.What;
        EXPECT_EQ(w.FileText(), c.FileLine) << c.What;
        EXPECT_TRUE(View.Command1().Enabled) << c.What;
        EXPECT_EQ(w.StageText(), w.WelcomeText) << c.What;
        EXPECT_EQ(Setting("LOC"), Game) << c.What;
        EXPECT_EQ(Setting("DoMu"), "1") << c.What;
        const auto asked = Requests();
        ASSERT_GE(asked.size(), c.LastRequests.size()) << c.What;
        EXPECT_EQ(std::vector<std::string>(asked.end() - static_cast<long>(c.LastRequests.size()),
                                           asked.end()),
                  c.LastRequests)
            << c.What;
        EXPECT_FALSE(Files::Exists(Sandbox.File("home/Games/evil\x1B.pak"))) << c.What;
    }
}

#ifndef _WIN32
TEST_F(InstallFlow, YesStartsTheGameThroughWineOrExplainsThatWineIsNeeded) {
    const std::string bin = Sandbox.File("bin");
    ::mkdir(bin.c_str(), 0755);
    const std::string record = Sandbox.File("wine.args");
    WriteFile(bin + "/wine", "#!/bin/sh\necho \"$@\" \"$(pwd)\" > '" + record + "'\n");
    ::chmod((bin + "/wine").c_str(), 0755);
    Env.Set("PATH", bin + ":/usr/bin:/bin");
    SaveSetting(frmSplash::SettingsApplication, frmSplash::SettingsSection, "DoMu", "1");
    Dialogs.ExpectInputBox(FolderPrompt, "Install where?", Game, Game)
        .ExpectMsgBox(SuccessText, vbYesNo + vbInformation, "Installation complete!", vbYes);
    Run();
    std::string args;
    for (int i = 0; i < 500 && args.empty(); ++i) {
        if (Files::Exists(record))
            args = TempDir::Read(record);
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    EXPECT_EQ(args, Game + "/ostrak.exe " + Game + "\n"); // in the game's folder
    EXPECT_EQ(EndCount, 1);

    // Without wine on the PATH nothing starts; a box says what is needed.
    Env.Set("PATH", Sandbox.File("empty"));
    PlanRerun(Game, vbYes);
    Dialogs.ExpectMsgBox(
        "Ostrak is a Windows program, and Wine is needed to run it on this computer.\r\nInstall "
        "Wine (for example: sudo apt install wine), then start Ostrak from its desktop launcher.",
        vbExclamation, "Ostrak", vbOK);
    Run();
    EXPECT_EQ(EndCount, 2);

    // A downloaded ostrak.exe that is no Windows program is not started.
    Source.Write("ostrak.exe", "#!/bin/sh\necho started\n");
    Publish();
    PlanRerun(Game, vbYes);
    Dialogs.ExpectMsgBox("Ostrak was not started: " + Game +
                             "/ostrak.exe is not a Windows program.\r\nThe copy on the game's "
                             "server may be damaged; please tell the game's publisher.",
                         vbExclamation, "Ostrak", vbOK);
    Run();
    EXPECT_EQ(EndCount, 3);
}
#endif

} // namespace
