// fCreateShellLink: where the launcher lands, what it says, and that the
// freedesktop validator accepts it.
#include "platform/Files.h"
#include "platform/ShellLink.h"
#include "support/FolderNames.h"
#include "support/ScopedEnv.h"
#include "support/Subprocess.h"
#include "support/TempDir.h"

#include <QStandardPaths>
#include <filesystem>
#include <gtest/gtest.h>
#include <optional>
#include <string>
#include <sys/stat.h>
#include <vector>

using namespace ostrak;

namespace {

constexpr const char* Programs = "$(Programs)";

// A sandbox home whose desktop is ~/Desktop.
class ShellLink : public testing::Test {
protected:
    void SetUp() override {
        Env.Set("HOME", Home.Path()).Set("XDG_CONFIG_HOME", Home.File("config"));
        std::filesystem::create_directories(Home.File("config"));
        std::filesystem::create_directories(Home.File("Desktop"));
    }
    TempDir Home;
    ScopedEnv Env;
};

int ModeOf(const std::string& path) {
    struct stat st {};
    return ::stat(path.c_str(), &st) == 0 ? static_cast<int>(st.st_mode & 07777) : -1;
}

// desktop-file-validate's verdict: "" when it accepts the file without a
// remark, else what it said; nullopt when the validator is not installed.
std::optional<std::string> Validate(const std::string& path) {
    const QString validator =
        QStandardPaths::findExecutable(QStringLiteral("desktop-file-validate"));
    if (validator.isEmpty())
        return std::nullopt;
    const ProcessResult r = RunProcess({validator.toStdString(), path}, {}, 10000);
    std::string out = r.Out + r.Err;
    if (r.ExitCode != 0)
        out += " (exit " + std::to_string(r.ExitCode) + ")";
    return out;
}

} // namespace

TEST_F(ShellLink, HostileTargetPathIsQuotedEscapedAndValid) {
    const std::string folder = Home.File("Games/My \"Best\" $HOME 100% back\\slash `tick`");
    std::filesystem::create_directories(folder);
    const std::string target = folder + "/ostrak.exe";
    Home.Write(target.substr(Home.Path().size() + 1), "MZ\x90 a Windows program");

    ASSERT_EQ(fCreateShellLink("..\\..\\Desktop", "Ostrak", target, "", -1, Programs,
                               {"ostrak", "Play Ostrak"}),
              1);

    const std::string launcher = Home.File("Desktop/Ostrak.desktop");
    const std::string H = Home.Path();
    EXPECT_EQ(TempDir::Read(launcher),
              "[Desktop Entry]\n"
              "Type=Application\n"
              "Name=Ostrak\n"
              "Comment=Play Ostrak\n"
              "Icon=ostrak\n"
              "Exec=wine \"" +
                  H + R"(/Games/My \\"Best\\" \\$HOME 100%% back\\\\slash \\`tick\\`/ostrak.exe")" +
                  "\n"
                  "Path=" +
                  H + R"(/Games/My "Best" $HOME 100% back\\slash `tick`)" +
                  "\n"
                  "Terminal=false\n"
                  "Categories=Game;\n");
    EXPECT_EQ(ModeOf(launcher), 0755);
    // Renamed into place: nothing else was left on the desktop.
    EXPECT_EQ(FolderNames(Home.File("Desktop")), std::vector<std::string>{"Ostrak.desktop"});

    const std::optional<std::string> verdict = Validate(launcher);
    if (!verdict)
        GTEST_SKIP() << "desktop-file-validate is not installed (scripts/install-deps)";
    EXPECT_EQ(*verdict, "");
}

TEST_F(ShellLink, PlacesAndCommandsFollowTheArguments) {
    std::filesystem::create_directories(Home.File("game"));
    Home.Write("game/run.sh", "#!/bin/sh\n");
    struct Case {
        const char* What;
        std::string Folder, Name, Target, Args, Parent;
        int32_t Result;
        std::string Launcher; // the file written ("" when none)
        std::string Exec;     // its Exec line
    };
    const std::string H = Home.Path();
    const Case cases[] = {
        {"a program that is not a Windows one starts directly", "..\\..\\Desktop", "Ostrak",
         H + "/game/run.sh", "", Programs, 1, H + "/Desktop/Ostrak.desktop",
         "Exec=\"" + H + "/game/run.sh\""},
        {"a missing .EXE starts through wine", "../../Desktop", "Game", H + "/game/GAME.EXE", "",
         Programs, 1, H + "/Desktop/Game.desktop", "Exec=wine \"" + H + "/game/GAME.EXE\""},
        {"arguments are quoted one by one", "..\\..\\Desktop\\", "Args", H + "/game/run.sh",
         "-w  \"two words\" 50%", Programs, 1, H + "/Desktop/Args.desktop",
         "Exec=\"" + H + "/game/run.sh\" \"-w\" \"two words\" \"50%%\""},
        {"an absolute folder", H + "/game", "Here", H + "/game/run.sh", "", Programs, 1,
         H + "/game/Here.desktop", "Exec=\"" + H + "/game/run.sh\""},
        {"a folder that does not exist", "..\\..\\Nowhere", "Ostrak", H + "/game/run.sh", "",
         Programs, 0, "", ""},
        {"another parent macro", "..\\..\\Desktop", "Ostrak", H + "/game/run.sh", "", "$(Desktop)",
         0, "", ""},
        {"a name with a separator", "..\\..\\Desktop", "a/b", H + "/game/run.sh", "", Programs, 0,
         "", ""},
        {"a target that is not UTF-8", "..\\..\\Desktop", "Ostrak", H + "/game/\xff.sh", "",
         Programs, 0, "", ""},
        {"a target with a line break", "..\\..\\Desktop", "Ostrak", H + "/game/a\nb.sh", "",
         Programs, 0, "", ""},
    };
    for (const Case& c : cases) {
        std::filesystem::remove(Home.File("Desktop/Ostrak.desktop"));
        EXPECT_EQ(fCreateShellLink(c.Folder, c.Name, c.Target, c.Args, -1, c.Parent), c.Result)
            << c.What;
        if (c.Launcher.empty()) {
            EXPECT_FALSE(Files::Exists(Home.File("Desktop/Ostrak.desktop"))) << c.What;
            continue;
        }
        const std::string text = TempDir::Read(c.Launcher);
        EXPECT_NE(text.find("\n" + c.Exec + "\n"), std::string::npos) << c.What << "\n" << text;
        EXPECT_NE(text.find("\nPath=" + H + "/game\n"), std::string::npos) << c.What;
        if (std::optional<std::string> verdict = Validate(c.Launcher)) {
            EXPECT_EQ(*verdict, "") << c.What;
        }
    }
}

TEST_F(ShellLink, TheDesktopIsFoundThroughTheProfileAndAnEarlierLauncherIsReplaced) {
    // A desktop with another name, from the XDG user folders.
    Home.Write("config/user-dirs.dirs", "XDG_DESKTOP_DIR=\"$HOME/Schreib tisch\"\n");
    std::filesystem::create_directories(Home.File("Schreib tisch"));
    const std::string launcher = Home.Write("Schreib tisch/Ostrak.desktop", "an old launcher");

    EXPECT_EQ(fCreateShellLink("..\\..\\Schreib tisch", "Ostrak", Home.File("g/ostrak.exe"), "", -1,
                               Programs),
              1);
    EXPECT_EQ(TempDir::Read(launcher).rfind("[Desktop Entry]\n", 0), 0u);
    EXPECT_FALSE(Files::Exists(Home.File("Desktop/Ostrak.desktop")));

    // Without a desktop the folder "..\..\" cannot be placed: nothing is written.
    std::filesystem::remove_all(Home.File("Schreib tisch"));
    EXPECT_EQ(fCreateShellLink("..\\..\\", "Ostrak", Home.File("g/ostrak.exe"), "", -1, Programs),
              0);
    int launchers = 0;
    for (const std::string& name : FolderNames(Home.Path(), Depth::Tree))
        launchers += std::filesystem::path(name).extension() == ".desktop";
    EXPECT_EQ(launchers, 0);
}
