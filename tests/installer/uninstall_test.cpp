// The uninstall action through the window: the dialogs, the settings, the
// folder tree on disk and the exit path.
#include "InstallerSandbox.h"

#include "installer/frmSplash.h"
#include "platform/Settings.h"
#include "runtime/Program.h"
#include "support/FolderNames.h"
#include "support/Subprocess.h"

#include <QPushButton>
#include <cerrno>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <set>
#include <sys/stat.h> // chmod

using namespace ostrak;
namespace fs = std::filesystem;

namespace {

const char* const App = frmSplash::SettingsApplication;
const char* const Section = frmSplash::SettingsSection;
const std::string Confirm = "Are you sure you wish to eredicate any trace of Ostrak on your "
                            "computer?\r\nThis cannot be undone!";
const std::string Complete =
    "Ostrak and all it's components have been deleted. Thank you, and come again!";
const std::string Settings = "Ostrak's settings have been deleted, but ";

fs::perms Mode(const std::string& path) {
    return fs::symlink_status(path).permissions();
}

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
    // Every path in the sandbox but the settings and runtime folders (links not followed).
    std::set<std::string> Tree() const {
        std::set<std::string> out;
        for (const std::string& name : FolderNames(Sandbox.Path(), Depth::Tree))
            if (name.rfind("config", 0) != 0 && name.rfind("runtime", 0) != 0)
                out.insert(name);
        return out;
    }
    // Plans the confirmation (asked while busy) and, after Yes, the last box.
    void Plan(int32_t answer, const std::string& text = "", int32_t style = 0,
              const std::string& title = "") {
        Dialogs.ExpectMsgBox(Confirm, vbYesNo + vbQuestion, "Are you sure?", answer, [this] {
            EXPECT_EQ(Window->Busy, VbTrue);
            EXPECT_FALSE(Window->Command1->isEnabled() || Window->Command2->isEnabled() ||
                         Window->Command3->isEnabled());
        });
        if (answer == vbYes)
            Dialogs.ExpectMsgBox(text, style, title, vbOK, [this] {
                EXPECT_EQ(Window->Busy, VbFalse);
                EXPECT_EQ(GetSetting(App, Section, "DoMu", "gone"), "gone");
                EXPECT_EQ(EndCount, Ends);
            });
    }
    // Stores folder and a music choice, starts a fresh program's window and clicks Uninstall.
    void Run(const std::string& folder) {
        ASSERT_TRUE(SaveSetting(App, Section, "LOC", folder));
        ASSERT_TRUE(SaveSetting(App, Section, "DoMu", "2"));
        Ends = EndCount;
        SetEndProgramHook([this](int) { ++EndCount; }); // a program not yet ended
        Window = std::make_unique<frmSplash>();
        Window->Form_Load();
        Window->show();
        Window->Command2->click();
    }
    void ExpectEnded() {
        Dialogs.ExpectAllShown();
        EXPECT_EQ(EndCount, Ends + 1);
        EXPECT_FALSE(Window->isVisible());
        EXPECT_EQ(GetSetting(App, Section, "LOC", "gone"), "gone");
    }
    std::unique_ptr<frmSplash> Window;
    int Ends = 0;
};

TEST_F(Uninstall, NoKeepsAllThenYesRemovesTheTreeButNothingALinkLeadsTo) {
    const std::string inst = Sandbox.File("Games/Ostrak");
    Make({"Games/Ostrak/dta.lst", "Games/Ostrak/.hidden", "Games/Ostrak/ro.dat",
          "Games/Ostrak/music/a/b/deep.ogg", "Games/Ostrak/music/empty/", "outside/keep.txt"});
    fs::create_hard_link(inst + "/ro.dat", Sandbox.File("outside/ro-elsewhere"));
    fs::create_directory_symlink(Sandbox.File("outside"), inst + "/music/a/to-outside");
    fs::create_symlink(Sandbox.File("outside/keep.txt"), inst + "/keep-link");
    for (const char* ro : {"ro.dat", "music/a/b/deep.ogg", "music/a/b", "music/a", "music"})
        ::chmod((inst + "/" + ro).c_str(), 0555);
    const auto before = Tree();
    Plan(vbNo);
    Run(inst);
    EXPECT_EQ(Tree(), before);
    EXPECT_EQ(GetSetting(App, Section, "DoMu"), "2");
    EXPECT_TRUE(Window->Command1->isEnabled() && Window->Command2->isEnabled() &&
                Window->Command3->isEnabled());
    EXPECT_EQ(Window->StageText(), Window->WelcomeText);
    EXPECT_EQ(EndCount, 0);

    Plan(vbYes, Complete, vbInformation + vbOKOnly, "Uninstall complete.");
    Window->Command2->click();
    EXPECT_EQ(Tree(), (std::set<std::string>{"Games", "outside", "outside/keep.txt",
                                             "outside/ro-elsewhere"}));
    EXPECT_EQ(TempDir::Read(Sandbox.File("outside/keep.txt")), "outside/keep.txt");
    EXPECT_EQ(Mode(Sandbox.File("outside/ro-elsewhere")),
              fs::perms(0755)); // made writable, then unlinked
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
    Make({"real/dta.lst", "real/maps/deep/m2.map", "Games/"});
    fs::create_directory_symlink(Sandbox.File("real"), Sandbox.File("Games/Ostrak"));
    Plan(vbYes, Complete, vbInformation + vbOKOnly, "Uninstall complete.");
    Run(Sandbox.File("Games/Ostrak/"));
    EXPECT_EQ(Tree(), (std::set<std::string>{"Games", "real"}));
    ExpectEnded();
}

TEST_F(Uninstall, WhatIsNotAnInstallationIsRefusedAndToldSo) {
    Make({"dta.lst", "home/dta.lst", "home/.config/x", "home/Games/", "nolist/ostrak.exe",
          "listdir/dta.lst/", "inst/dta.lst"});
    fs::create_directory_symlink("/", Sandbox.File("to-root"));
    fs::create_directory_symlink(Sandbox.File("home"), Sandbox.File("to-home"));
    const std::string savedHome = std::getenv("HOME");
    setenv("HOME", Sandbox.File("home").c_str(), 1);
    const std::string notInstallation =
        "it is not an Ostrak installation (there is no file dta.lst in it)";
    const struct {
        std::string Folder, Why;
    } rows[] = {
        {fs::relative(Sandbox.File("inst"), fs::current_path()), "it is not an absolute path"},
        {"/", "it is the root folder"},
        {Sandbox.File("to-root"), "it is the root folder"},
        {Sandbox.File("home") + "/", "it is your home folder or contains it"},
        {Sandbox.File("to-home"), "it is your home folder or contains it"},
        {Sandbox.Path(), "it is your home folder or contains it"},
        {Sandbox.File("nolist"), notInstallation},
        {Sandbox.File("listdir"), notInstallation},
        {Sandbox.File("missing"), "it is not an existing folder"},
    };
    const auto before = Tree();
    for (const auto& row : rows) {
        SCOPED_TRACE(row.Folder);
        Plan(vbYes,
             Settings + "nothing was removed from the folder \"" + row.Folder + "\": " + row.Why +
                 ".",
             vbExclamation + vbOKOnly, "Uninstall incomplete");
        Run(row.Folder);
        EXPECT_EQ(Window->DeleteFolderTreeFailure.Number, -1);
        EXPECT_EQ(Tree(), before);
        ExpectEnded();
    }
    // One step past the limits: below the home folder, and a name that only begins like it.
    Make({"home/Games/Ostrak/dta.lst", "hom/dta.lst"});
    for (const char* removable : {"home/Games/Ostrak", "hom"}) {
        Plan(vbYes, Complete, vbInformation + vbOKOnly, "Uninstall complete.");
        Run(Sandbox.File(removable));
        ExpectEnded();
    }
    EXPECT_EQ(Tree(), before);
    setenv("HOME", savedHome.c_str(), 1);
}

TEST_F(Uninstall, AnItemThatCannotGoStopsTheRemovalAndIsNamed) {
    Make({"Ostrak/dta.lst", "Ostrak/a/b/stuck.dat"});
    const std::string stuck = fs::canonical(Sandbox.File("Ostrak/a/b/stuck.dat"));
    if (RunProcess({"/usr/bin/chattr", "+i", stuck}).ExitCode != 0)
        GTEST_SKIP() << "chattr +i is not supported here";
    struct Unlock {
        std::string Path;
        ~Unlock() { RunProcess({"/usr/bin/chattr", "-i", Path}); }
    } unlock{stuck};
    ::chmod(Sandbox.File("Ostrak/a/b").c_str(), 0555);
    ::chmod(Sandbox.File("Ostrak/a").c_str(), 0500);
    Plan(vbYes,
         Settings + "the folder \"" + Sandbox.File("Ostrak") +
             "\" could not be removed completely. The first item that could not be removed: " +
             stuck + ": Operation not permitted. What was not removed is still on disk.",
         vbExclamation + vbOKOnly, "Uninstall incomplete");
    Run(Sandbox.File("Ostrak"));
    EXPECT_EQ(Window->DeleteFolderTreeFailure.Number, EPERM);
    EXPECT_EQ(Tree(),
              (std::set<std::string>{"Ostrak", "Ostrak/a", "Ostrak/a/b", "Ostrak/a/b/stuck.dat"}));
    EXPECT_EQ(Mode(Sandbox.File("Ostrak/a")), fs::perms(0700));
    EXPECT_EQ(Mode(Sandbox.File("Ostrak/a/b")), fs::perms(0755));
    ExpectEnded();
}

} // namespace
