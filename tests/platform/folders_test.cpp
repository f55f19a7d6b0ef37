// The system folder (Wine prefix or ~/.local/lib) and the desktop folder.
#include "platform/DesktopFolder.h"
#include "platform/Files.h"
#include "platform/SystemFolder.h"
#include "support/ScopedEnv.h"
#include "support/TempDir.h"

#include <filesystem>
#include <gtest/gtest.h>
#include <optional>
#include <string>

using namespace ostrak;

namespace {

void MakeFolders(const std::string& path) {
    std::filesystem::create_directories(path);
}

} // namespace

TEST(SystemFolder, WinePrefixWhenItsSystem32ExistsElseLocalLib) {
    TempDir home;
    // A prefix path far beyond 64 characters.
    const std::string longPrefix = home.File(std::string(120, 'p') + "/" + std::string(80, 'q'));
    struct Case {
        const char* What;
        std::optional<std::string> WinePrefix;
        std::vector<std::string> Existing;
        std::string Expected;
    };
    const std::string local = home.File(".local/lib");
    const Case cases[] = {
        {"nothing: ~/.local/lib is made", std::nullopt, {}, local},
        {"~/.wine without system32", std::nullopt, {home.File(".wine/drive_c/windows")}, local},
        {"~/.wine",
         std::nullopt,
         {home.File(".wine/drive_c/windows/system32")},
         home.File(".wine/drive_c/windows/system32")},
        {"$WINEPREFIX wins over ~/.wine",
         home.File("pfx") + "/",
         {home.File(".wine/drive_c/windows/system32"), home.File("pfx/drive_c/windows/system32")},
         home.File("pfx/drive_c/windows/system32")},
        {"$WINEPREFIX without system32: not ~/.wine",
         home.File("pfx"),
         {home.File(".wine/drive_c/windows/system32")},
         local},
        {"empty $WINEPREFIX counts as unset",
         std::string(),
         {home.File(".wine/drive_c/windows/system32")},
         home.File(".wine/drive_c/windows/system32")},
        {"a long prefix",
         longPrefix,
         {longPrefix + "/drive_c/windows/system32"},
         longPrefix + "/drive_c/windows/system32"},
    };
    for (const Case& c : cases) {
        std::filesystem::remove_all(home.File(".wine"));
        std::filesystem::remove_all(home.File(".local"));
        std::filesystem::remove_all(home.File("pfx"));
        for (const std::string& folder : c.Existing)
            MakeFolders(folder);
        ScopedEnv env;
        env.Set("HOME", home.Path()).Set("WINEPREFIX", c.WinePrefix);
        EXPECT_EQ(SystemFolder(), c.Expected) << c.What;
        EXPECT_TRUE(Files::IsDirectory(c.Expected)) << c.What;
    }
}

TEST(DesktopFolder, XdgDesktopWithTrailingSeparatorOrEmptyWhenMissing) {
    TempDir home;
    ScopedEnv env;
    env.Set("HOME", home.Path()).Set("XDG_CONFIG_HOME", home.File("config"));
    MakeFolders(home.File("config"));

    // No user-dirs file: ~/Desktop, once it exists.
    EXPECT_EQ(DesktopFolder(), "");
    MakeFolders(home.File("Desktop"));
    EXPECT_EQ(DesktopFolder(), home.File("Desktop/"));

    // The user-dirs file names another one.
    home.Write("config/user-dirs.dirs", "XDG_DESKTOP_DIR=\"$HOME/Schreib tisch\"\n");
    EXPECT_EQ(DesktopFolder(), "");
    MakeFolders(home.File("Schreib tisch"));
    EXPECT_EQ(DesktopFolder(), home.File("Schreib tisch/"));
}
