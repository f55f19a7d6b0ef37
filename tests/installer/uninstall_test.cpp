// The uninstall action through the window: the dialogs, the settings, the
// folder tree on disk and the exit path.
#include "InstallerSandbox.h"

#include "filelist/FileListWriter.h"
#include "installer/FolderOwnership.h"
#include "installer/ReleaseSerial.h"
#include "installer/frmSplash.h"
#include "platform/Settings.h"
#include "runtime/Program.h"
#include "support/FolderNames.h"
#include "support/LockedFile.h"
#include "support/ScopedEnv.h"

#include <algorithm>
#include <cerrno>
#include <filesystem>
#include <memory>
#include <set>
#include <system_error>
#include <vector>

using namespace ostrak;
namespace fs = std::filesystem;

namespace {

const char* const App = frmSplash::SettingsApplication;
const char* const Section = frmSplash::SettingsSection;
const std::string Confirm = "Are you sure you wish to eredicate any trace of Ostrak on your "
                            "computer?\r\nThis cannot be undone!";
const std::string Complete =
    "Ostrak and all it's components have been deleted. Thank you, and come again!";
const std::string Kept = "\r\n\r\nThe folder \"";
const std::string KeptEnd = "\" was kept, with the files in it that Ostrak did not place.";

fs::perms Mode(const std::string& path) {
    return fs::symlink_status(path).permissions();
}

// Read-only: no write bits on Linux, the read-only attribute on Windows.
void MakeReadOnly(const std::string& path, fs::perms mode = fs::perms(0555)) {
    fs::permissions(path, mode);
}

#ifdef _WIN32
constexpr bool OnWindows = true;
const char* const HomeVariable = "USERPROFILE";
#else
constexpr bool OnWindows = false;
const char* const HomeVariable = "HOME";
#endif
// Wine makes no symbolic links that can be read back.
constexpr bool LinksWork = !OnWindows;

class Uninstall : public InstallerSandbox {
protected:
    // Files (and folders, when a name ends in "/") with their parents, in the sandbox.
    void Make(std::initializer_list<std::string> names) {
        for (const std::string& name : names) {
            fs::create_directories(fs::path(Sandbox.File(name)).parent_path());
            if (name.back() != '/')
                Sandbox.Write(name, name);
        }
    }
    // Every path in the sandbox but the settings and runtime folders (links
    // not followed), with "/" between names.
    std::set<std::string> Tree() const {
        std::set<std::string> out;
        for (std::string name : FolderNames(Sandbox.Path(), Depth::Tree))
            if (name.rfind("config", 0) != 0 && name.rfind("runtime", 0) != 0) {
                std::replace(name.begin(), name.end(), '\\', '/');
                out.insert(name);
            }
        return out;
    }
    // Plans the confirmation (asked while busy) and, after Yes, the last box.
    void Plan(int32_t answer, const std::string& text = "", int32_t style = 0,
              const std::string& title = "") {
        Dialogs.ExpectMsgBox(Confirm, vbYesNo + vbQuestion, "Are you sure?", answer, [this] {
            EXPECT_EQ(Window->Busy, VbTrue);
            EXPECT_FALSE(View.Command1().Enabled || View.Command2().Enabled ||
                         View.Command3().Enabled);
        });
        if (answer == vbYes)
            Dialogs.ExpectMsgBox(text, style, title, vbOK, [this] {
                EXPECT_EQ(Window->Busy, VbFalse);
                EXPECT_EQ(EndCount, Ends);
            });
    }
    // Marks folder as made by the installer, as an install that made it does.
    void Own(const std::string& folder) {
        const std::string id = FolderOwnership::Claim(folder);
        ASSERT_FALSE(id.empty());
        ASSERT_TRUE(SaveSetting(App, Section, frmSplash::SettingFolderId, id));
    }
    // Stores folder and a music choice, starts a fresh program's window and clicks Uninstall.
    void Run(const std::string& folder) {
        ASSERT_TRUE(SaveSetting(App, Section, "LOC", folder));
        ASSERT_TRUE(SaveSetting(App, Section, "DoMu", "2"));
        Ends = EndCount;
        SetEndProgramHook([this](int) { ++EndCount; }); // a program not yet ended
        Window = std::make_unique<frmSplash>();
        Window->Form_Load();
        Window->View().Show();
        View.Click(View.Command2());
    }
    void ExpectEnded(bool settingsKept = false) {
        Dialogs.ExpectAllShown();
        EXPECT_EQ(EndCount, Ends + 1);
        EXPECT_FALSE(View.Shown);
        EXPECT_EQ(GetSetting(App, Section, "LOC", "gone") == "gone", !settingsKept);
    }
    std::unique_ptr<frmSplash> Window;
    int Ends = 0;
};

TEST_F(Uninstall, NoKeepsAllThenYesRemovesTheTreeButNothingALinkLeadsTo) {
    const std::string inst = Sandbox.File("Games/Ostrak");
    Make({"Games/Ostrak/dta.lst", "Games/Ostrak/.hidden", "Games/Ostrak/ro.dat",
          "Games/Ostrak/music/a/b/deep.ogg", "Games/Ostrak/music/empty/", "outside/keep.txt"});
    fs::create_hard_link(inst + "/ro.dat", Sandbox.File("outside/ro-elsewhere"));
    if (LinksWork) {
        fs::create_directory_symlink(Sandbox.File("outside"), inst + "/music/a/to-outside");
        fs::create_symlink(Sandbox.File("outside/keep.txt"), inst + "/keep-link");
    }
    for (const char* ro : {"ro.dat", "music/a/b/deep.ogg", "music/a/b", "music/a", "music"})
        MakeReadOnly(inst + "/" + ro);
    const fs::perms elsewhere = Mode(Sandbox.File("outside/ro-elsewhere"));
    Own(inst);
    const auto before = Tree();
    Plan(vbNo);
    Run(inst);
    EXPECT_EQ(Tree(), before);
    EXPECT_EQ(GetSetting(App, Section, "DoMu"), "2");
    EXPECT_TRUE(View.Command1().Enabled && View.Command2().Enabled && View.Command3().Enabled);
    EXPECT_EQ(Window->StageText(), Window->WelcomeText);
    EXPECT_EQ(EndCount, 0);

    Plan(vbYes, Complete, vbInformation + vbOKOnly, "Uninstall complete.");
    // A serial an earlier install kept beside the folder moves to its own section.
    ASSERT_TRUE(SaveSetting(App, Section, ReleaseSerialKey, "1796652190"));
    View.Click(View.Command2());
    EXPECT_EQ(GetSetting(App, Section, ReleaseSerialKey), "");
    EXPECT_EQ(GetSetting(App, ReleaseSerialSection, ReleaseSerialKey), "1796652190");
    EXPECT_EQ(Tree(), (std::set<std::string>{"Games", "outside", "outside/keep.txt",
                                             "outside/ro-elsewhere"}));
    EXPECT_EQ(TempDir::Read(Sandbox.File("outside/keep.txt")), "outside/keep.txt");
    EXPECT_EQ(Mode(Sandbox.File("outside/ro-elsewhere")), elsewhere); // still read-only
    ExpectEnded();
}

TEST_F(Uninstall, AnEndWhileAskingLeavesAllAsItWas) {
    Make({"Ostrak/dta.lst"});
    const auto before = Tree();
    Dialogs.ExpectMsgBox(Confirm, vbYesNo + vbQuestion, "Are you sure?", vbYes,
                         [] { EndProgram(); });
    Run(Sandbox.File("Ostrak"));
    Dialogs.ExpectAllShown();
    EXPECT_EQ(Tree(), before);
    EXPECT_EQ(GetSetting(App, Section, "LOC"), Sandbox.File("Ostrak"));
    EXPECT_EQ(EndCount, 1);
}

TEST_F(Uninstall, AnInstallFolderThatIsALinkLosesItsContentsThenTheLink) {
    if (!LinksWork)
        GTEST_SKIP() << "no symbolic links here";
    Make({"real/dta.lst", "real/maps/deep/m2.map", "Games/"});
    fs::create_directory_symlink(Sandbox.File("real"), Sandbox.File("Games/Ostrak"));
    Own(Sandbox.File("real"));
    Plan(vbYes, Complete, vbInformation + vbOKOnly, "Uninstall complete.");
    Run(Sandbox.File("Games/Ostrak/"));
    EXPECT_EQ(Tree(), (std::set<std::string>{"Games", "real"}));
    ExpectEnded();
}

TEST_F(Uninstall, WhatIsNotAnInstallationIsRefusedAndToldSo) {
    Make({"dta.lst", "home/dta.lst", "home/.config/x", "home/Games/", "nolist/ostrak.exe",
          "listdir/dta.lst/", "inst/dta.lst"});
    const std::string root = fs::path(Sandbox.Path()).root_path().string();
    ScopedEnv env;
    env.Set(HomeVariable, Sandbox.File("home"));
    const std::string notInstallation =
        "it is not an Ostrak installation (there is no file dta.lst in it)";
    struct Row {
        std::string Folder, Why;
    };
    // A relative path (that leads to an installation when the sandbox is on
    // the current drive).
    std::string relative = fs::relative(Sandbox.File("inst")).string();
    if (relative.empty())
        relative = "inst";
    std::vector<Row> rows = {
        {relative, "it is not an absolute path"},
        {root, "it is the root folder"},
        {Sandbox.File("home") + "/", "it is your home folder or contains it"},
        {Sandbox.Path(), "it is your home folder or contains it"},
        {Sandbox.File("nolist"), notInstallation},
        {Sandbox.File("listdir"), notInstallation},
        {Sandbox.File("missing"), "it is not an existing folder"},
    };
    if (LinksWork) {
        fs::create_directory_symlink(root, Sandbox.File("to-root"));
        fs::create_directory_symlink(Sandbox.File("home"), Sandbox.File("to-home"));
        rows.push_back({Sandbox.File("to-root"), "it is the root folder"});
        rows.push_back({Sandbox.File("to-home"), "it is your home folder or contains it"});
    }
    const auto before = Tree();
    for (const auto& row : rows) {
        SCOPED_TRACE(row.Folder);
        Plan(vbYes,
             "Nothing was removed from the folder \"" + row.Folder + "\": " + row.Why +
                 ". Ostrak's settings have been kept.",
             vbExclamation + vbOKOnly, "Uninstall incomplete");
        Run(row.Folder);
        EXPECT_EQ(Window->DeleteFolderTreeFailure.Number, -1);
        EXPECT_EQ(Tree(), before);
        ExpectEnded(true);
    }
    // One step past the limits: below the home folder, and a name that only begins like it.
    Make({"home/Games/Ostrak/dta.lst", "hom/dta.lst"});
    for (const char* removable : {"home/Games/Ostrak", "hom"}) {
        Plan(vbYes, Complete, vbInformation + vbOKOnly, "Uninstall complete.");
        Run(Sandbox.File(removable));
        ExpectEnded();
    }
    EXPECT_EQ(Tree(), before);
}

TEST_F(Uninstall, AnItemThatCannotGoStopsTheRemovalAndIsNamed) {
    Make({"Ostrak/dta.lst", "Ostrak/a/b/stuck.dat"});
    std::string stuck;
    ASSERT_TRUE(Files::RealPath(Sandbox.File("Ostrak/a/b/stuck.dat"), stuck));
    LockedFile lock(stuck);
    if (!lock.Locked())
        GTEST_SKIP() << "no file can be locked here";
    Own(Sandbox.File("Ostrak"));
    MakeReadOnly(Sandbox.File("Ostrak/a/b"));
    MakeReadOnly(Sandbox.File("Ostrak/a"), fs::perms(0500));
#ifdef _WIN32
    const int refusal = EACCES; // the open handle shares no deletion
#else
    const int refusal = EPERM; // immutable
#endif
    Plan(vbYes,
         "The folder \"" + Sandbox.File("Ostrak") +
             "\" could not be removed completely. The first item that could not be removed: " +
             stuck + ": " + std::generic_category().message(refusal) +
             ". What was not removed is still on disk, and Ostrak's "
             "settings have been kept, so that Uninstall can be tried again.",
         vbExclamation + vbOKOnly, "Uninstall incomplete");
    Run(Sandbox.File("Ostrak"));
    EXPECT_EQ(Window->DeleteFolderTreeFailure.Number, refusal);
    // The list went or stays as the system lists the folder: before "a" or after it.
    std::set<std::string> left = Tree();
    left.erase("Ostrak/dta.lst");
    EXPECT_EQ(left, (std::set<std::string>{"Ostrak", "Ostrak/.ostrak-folder-id", "Ostrak/a",
                                           "Ostrak/a/b", "Ostrak/a/b/stuck.dat"}));
    // The folders on the way were made writable (only that: no other bit changed).
    EXPECT_NE(Mode(Sandbox.File("Ostrak/a")) & fs::perms::owner_write, fs::perms::none);
    if (!OnWindows) {
        EXPECT_EQ(Mode(Sandbox.File("Ostrak/a")), fs::perms(0700));
        EXPECT_EQ(Mode(Sandbox.File("Ostrak/a/b")), fs::perms(0755));
    }
    ExpectEnded(true);
}

} // namespace

namespace {

// A folder the installer did not make loses exactly what the installs placed
// there, whatever else it holds; the player's files stay byte for byte, and
// the box says that the folder was kept. A marker copied along with a folder
// proves nothing without the stored id, and a trailing blank is part of the
// folder's name.
TEST_F(Uninstall, AFolderTheInstallerDidNotMakeKeepsThePlayersFiles) {
    const std::string list =
        EncodeFileList(7, {{"a.pak", 1}, {"Music2.ogg", 2}, {"ostrak.exe/", 3}, {"saves", 4}});
    struct Row {
        std::string Folder;
        bool Marked; // a marker whose id is not the stored one
        std::set<std::string> Left;
    };
    std::vector<Row> rows = {
        {"Games", false, {"Games", "Games/notes.txt", "Games/saves", "Games/saves/slot1"}},
        {"Games",
         true,
         {"Games", "Games/.ostrak-folder-id", "Games/notes.txt", "Games/saves",
          "Games/saves/slot1"}},
    };
    if (!OnWindows) // Windows drops a trailing blank from every name
        rows.push_back({"Ostrak2 ",
                        false,
                        {"Ostrak2 ", "Ostrak2 /notes.txt", "Ostrak2 /saves", "Ostrak2 /saves/slot1",
                         "Ostrak2", "Ostrak2/dta.lst"}});
    for (const auto& row : rows) {
        SCOPED_TRACE(row.Folder);
        const std::string folder = Sandbox.File(row.Folder);
        Make({row.Folder + "/notes.txt", row.Folder + "/saves/slot1", row.Folder + "/a.pak",
              row.Folder + "/Music2.ogg", row.Folder + "/ostrak.exe", row.Folder + "/Unzip32.dll",
              row.Folder + "/CGZipLibrary.dll", row.Folder + "/.ostrak-part-Ab12Cd",
              row.Folder + "/.ostrak-part-x", "Ostrak2/dta.lst"});
        Sandbox.Write(row.Folder + "/dta.lst", list);
        if (row.Marked) {
            Own(folder);
            ASSERT_TRUE(SaveSetting(App, Section, frmSplash::SettingFolderId, "0123"));
        }
        Plan(vbYes, Complete + Kept + folder + KeptEnd, vbInformation + vbOKOnly,
             "Uninstall complete.");
        Run(folder);
        EXPECT_EQ(Window->DeleteFolderTreeFailure.Number, 0);
        std::set<std::string> left = row.Left;
        left.insert({"Ostrak2", "Ostrak2/dta.lst", row.Folder + "/.ostrak-part-x"});
        EXPECT_EQ(Tree(), left);
        EXPECT_EQ(TempDir::Read(folder + "/notes.txt"), row.Folder + "/notes.txt");
        EXPECT_EQ(TempDir::Read(folder + "/saves/slot1"), row.Folder + "/saves/slot1");
        ExpectEnded();
        fs::remove_all(folder);
    }
}

} // namespace
