// The real ostrak_install on a virtual X display, driven with the mouse and
// the keyboard as a person would: a release made by ostrak_release and served
// by python's http.server on loopback is installed in one run and removed in
// the next. Home, settings, runtime folder and Wine prefix are the sandbox's.
#include "XvfbDisplay.h"
#include "support/HttpServers.h"
#include "support/Subprocess.h"
#include "support/TempDir.h"

#include <QFile>
#include <QSettings>
#include <cctype>
#include <csignal>
#include <filesystem>
#include <gtest/gtest.h>
#include <memory>
#include <string>
#include <sys/stat.h>
#include <vector>

using namespace ostrak;

namespace {

// No step of a run takes anywhere near this long; a window that has not
// appeared by then never will.
constexpr int WindowWaitMs = 20000;
constexpr int ExitWaitMs = 20000;

// Click points of the buttons as fractions of the window. The design's client
// area is 5895 x 3150 twips; Command1 sits at 4200,960 and Command2 at
// 4200,1680, each 1575 x 615.
constexpr double ButtonX = (4200 + 1575 / 2.0) / 5895;
constexpr double InstallY = (960 + 615 / 2.0) / 3150;
constexpr double UninstallY = (1680 + 615 / 2.0) / 3150;

const char* const LibraryNames[] = {"CGZipLibrary.dll", "gdiplus.dll", "Unzip32.dll"};

class InstallerOnX : public testing::Test {
protected:
    void SetUp() override {
        if (!XvfbDisplay::ToolsInstalled())
            GTEST_SKIP() << "Xvfb or xdotool is missing (scripts/install-deps installs both)";
        Display = std::make_unique<XvfbDisplay>();
        ASSERT_FALSE(Display->Name().empty()) << "Xvfb did not start";

        Home = Sandbox.File("home");
        System32 = Sandbox.File("wine/drive_c/windows/system32");
        std::filesystem::create_directories(Home + "/Desktop");
        std::filesystem::create_directories(System32);
        std::filesystem::create_directories(Sandbox.File("config"));
        std::filesystem::create_directories(Sandbox.File("release"));
        ASSERT_EQ(::mkdir(Sandbox.File("runtime").c_str(), 0700), 0);

        Release("ostrak.exe", "MZ the game");
        Release("a.pak", "alpha data");
        Release("b.pak", "bravo data");
        Release("music1.ogg", "quiet music");
        for (const char* name : LibraryNames)
            Release(name, std::string("MZ library ") + name);
        const ProcessResult r = RunProcess(
            {OSTRAK_RELEASE_BIN, Sandbox.File("release"), Sandbox.File("site"), "--seed", "5"});
        ASSERT_EQ(r.ExitCode, 0) << r.Err;
        Server = std::make_unique<PythonHttpServer>(Sandbox.File("site"));
    }

    void TearDown() override {
        if (!InstallerEnded()) {
            Installer->Signal(SIGKILL);
            Installer->Wait(ExitWaitMs);
        }
    }

    void Release(const std::string& name, const std::string& bytes) {
        Sandbox.Write("release/" + name, bytes);
    }

    void StartInstaller() {
        const ProcessOptions options = ProcessOptions()
                                           .SetEnv("DISPLAY", Display->Name())
                                           .SetEnv("QT_QPA_PLATFORM", "xcb")
                                           .SetEnv("HOME", Home)
                                           .SetEnv("XDG_CONFIG_HOME", Sandbox.File("config"))
                                           .SetEnv("XDG_RUNTIME_DIR", Sandbox.File("runtime"))
                                           .SetEnv("WINEPREFIX", Sandbox.File("wine"))
                                           .SetEnv("OSTRAK_SERVER", Server->Address())
                                           .WithForwardedErr();
        ASSERT_NO_THROW(Installer = std::make_unique<ChildProcess>(
                            std::vector<std::string>{OSTRAK_INSTALL_EXE}, options));
    }

    // Whether the installer has ended (or never started).
    bool InstallerEnded() { return !Installer || !Installer->Running(); }

    // "screenshot: <path>" of the screen now, kept in the test's working
    // folder, for a failure message.
    std::string Screenshot(const std::string& step) const {
        std::string name = "xvfb-" + step + ".png";
        for (char& c : name)
            if (!std::isalnum(static_cast<unsigned char>(c)) && c != '.' && c != '-')
                c = '_';
        const std::string path = std::filesystem::absolute(name).string();
        return Display->Screenshot(path) ? "screenshot: " + path
                                         : "no screenshot (ImageMagick's import is missing)";
    }

    // The id of the shown window titled title, or "" after a failure that
    // says which window did not come and where its screenshot is.
    std::string Window(const std::string& title) {
        const std::string id =
            Display->WaitForWindow(title, WindowWaitMs, [this] { return InstallerEnded(); });
        if (id.empty() && InstallerEnded())
            ADD_FAILURE() << "the installer ended without showing the window \"" << title << "\"; "
                          << Screenshot(title);
        else if (id.empty())
            ADD_FAILURE() << "no window \"" << title << "\" within " << WindowWaitMs / 1000
                          << " s; " << Screenshot(title);
        return id;
    }

    // Waits for the installer to end; its exit code, or -1 after a failure
    // with a screenshot.
    int ExitCode() {
        if (Installer && !Installer->Wait(ExitWaitMs)) {
            ADD_FAILURE() << "the installer did not end within " << ExitWaitMs / 1000 << " s; "
                          << Screenshot("no-end");
            return -1;
        }
        return Installer ? Installer->ExitCode() : -1; // -1 also when a signal ended it
    }

    std::string Setting(const char* key) const {
        QSettings store(QString::fromStdString(Sandbox.File("config/Ostrak.ini")),
                        QSettings::IniFormat);
        return store
            .value(QStringLiteral("GUI Settings/") + QLatin1String(key), QStringLiteral("<none>"))
            .toString()
            .toStdString();
    }

    TempDir Sandbox;
    std::unique_ptr<XvfbDisplay> Display;
    std::unique_ptr<PythonHttpServer> Server;
    std::unique_ptr<ChildProcess> Installer;
    std::string Home, System32;
};

TEST_F(InstallerOnX, InstallThenUninstallWithMouseAndKeys) {
    // Install: the button, the music question (No), the folder typed over
    // the offered default, the success box (No).
    StartInstaller();
    const std::string window = Window("Ostrak Installer");
    ASSERT_FALSE(window.empty());
    ASSERT_TRUE(Display->ClickAt(window, ButtonX, InstallY));
    const std::string music = Window("Download music?");
    ASSERT_FALSE(music.empty());
    ASSERT_TRUE(Display->PressKeys(music, {QStringLiteral("n")}));
    const std::string folder = Window("Install where?");
    ASSERT_FALSE(folder.empty());
    ASSERT_TRUE(Display->PressKeys(folder, {QStringLiteral("ctrl+a")}));
    ASSERT_TRUE(Display->TypeText(folder, "~/Games/Amber Reach"));
    ASSERT_TRUE(Display->PressKeys(folder, {QStringLiteral("Return")}));
    const std::string done = Window("Installation complete!");
    ASSERT_FALSE(done.empty());
    ASSERT_TRUE(Display->PressKeys(done, {QStringLiteral("n")}));
    EXPECT_EQ(ExitCode(), 0);

    // "~" is the home folder; the missing ~/Games was made on the way.
    const std::string game = Home + "/Games/Amber Reach";
    EXPECT_EQ(Setting("LOC"), game);
    EXPECT_EQ(Setting("DoMu"), "1");
    for (const char* name :
         {"dta.lst", "ostrak.exe", "a.pak", "b.pak", "CGZipLibrary.dll", "Unzip32.dll"})
        EXPECT_EQ(TempDir::Read(game + "/" + name), TempDir::Read(Sandbox.File("site/crc/") + name))
            << name;
    EXPECT_FALSE(QFile::exists(QString::fromStdString(game + "/music1.ogg")));
    EXPECT_EQ(TempDir::Read(System32 + "/gdiplus.dll"), "MZ library gdiplus.dll");
    struct stat st {};
    ASSERT_EQ(::stat((game + "/ostrak.exe").c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0111, 0111u);
    const std::string launcher = TempDir::Read(Home + "/Desktop/Ostrak.desktop");
    EXPECT_NE(launcher.find("\nExec=wine \"" + game + "/ostrak.exe\"\n"), std::string::npos)
        << launcher;
    EXPECT_EQ(Server->RequestedPaths(),
              (std::vector<std::string>{"/crc/index.php?h=3", "/crc/dta.lst", "/crc/ostrak.exe",
                                        "/crc/a.pak", "/crc/b.pak", "/crc/CGZipLibrary.dll",
                                        "/crc/gdiplus.dll", "/crc/Unzip32.dll"}));
    EXPECT_FALSE(
        QFile::exists(QString::fromStdString(Sandbox.File("runtime/ostrak_install.lock"))));

    // Uninstall, enabled now that a folder is stored: Yes, then OK.
    StartInstaller();
    const std::string again = Window("Ostrak Installer");
    ASSERT_FALSE(again.empty());
    ASSERT_TRUE(Display->ClickAt(again, ButtonX, UninstallY));
    const std::string sure = Window("Are you sure?");
    ASSERT_FALSE(sure.empty());
    ASSERT_TRUE(Display->PressKeys(sure, {QStringLiteral("y")}));
    const std::string gone = Window("Uninstall complete.");
    ASSERT_FALSE(gone.empty());
    ASSERT_TRUE(Display->PressKeys(gone, {QStringLiteral("Return")}));
    EXPECT_EQ(ExitCode(), 0);

    EXPECT_FALSE(std::filesystem::exists(game));
    EXPECT_FALSE(std::filesystem::exists(Home + "/Games")); // the install made it
    QSettings store(QString::fromStdString(Sandbox.File("config/Ostrak.ini")),
                    QSettings::IniFormat);
    EXPECT_TRUE(store.childGroups().isEmpty())
        << store.childGroups().join(QLatin1Char(' ')).toStdString();
    // The launcher and the library in the system folder stay.
    EXPECT_TRUE(std::filesystem::exists(Home + "/Desktop/Ostrak.desktop"));
    EXPECT_TRUE(std::filesystem::exists(System32 + "/gdiplus.dll"));
    EXPECT_EQ(Server->RequestedPaths().size(), 8u);
}

} // namespace
