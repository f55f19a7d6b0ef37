// The Windows twins of the platform services where Windows differs: the
// registry as the settings store, the named mutex, the .lnk shortcut, drive
// paths, the message loop's timers, and a stream socket's receive buffer.
#include "platform/DesktopFolder.h"
#include "platform/EventLoop.h"
#include "platform/FileTimes.h"
#include "platform/Files.h"
#include "platform/FolderTree.h"
#include "platform/Settings.h"
#include "platform/ShellLink.h"
#include "platform/SingleInstance.h"
#include "platform/Timer.h"
#include "support/FolderNames.h"
#include "support/TempDir.h"
#include "winsock/SocketApi.h"

#include <chrono>
#include <filesystem>
#include <gtest/gtest.h>
#include <objbase.h>
#include <shobjidl.h>
#include <windows.h>

namespace ostrak {
namespace {

std::string RegistryValue(const std::string& key, const std::string& name) {
    char buffer[512] = {};
    DWORD size = sizeof buffer;
    if (::RegGetValueA(HKEY_CURRENT_USER, key.c_str(), name.c_str(), RRF_RT_REG_SZ, nullptr, buffer,
                       &size) != ERROR_SUCCESS)
        return "<absent>";
    return buffer;
}

TEST(Registry, SettingsLiveWhereTheRuntimeKeptThem) {
    const std::string testKey = std::getenv("OSTRAK_SETTINGS_KEY");
    ::_putenv_s("OSTRAK_SETTINGS_KEY", "");
    EXPECT_EQ(SettingsFilePath("Ostrak"),
              "HKEY_CURRENT_USER\\Software\\VB and VBA Program Settings\\Ostrak");
    ::_putenv_s("OSTRAK_SETTINGS_KEY", testKey.c_str());
    EXPECT_EQ(SettingsFilePath("Ostrak"), "HKEY_CURRENT_USER\\" + testKey + "\\Ostrak");
}

TEST(Registry, ValuesRoundTripAndSectionsGoWhole) {
    const std::string section =
        std::string(std::getenv("OSTRAK_SETTINGS_KEY")) + "\\Ostrak\\GUI Settings";
    ASSERT_TRUE(DeleteSetting("Ostrak", "GUI Settings"));
    EXPECT_EQ(GetSetting("Ostrak", "GUI Settings", "LOC", "none"), "none");
    ASSERT_TRUE(SaveSetting("Ostrak", "GUI Settings", "LOC", "C:\\Games\\Ostrak \xE9"));
    ASSERT_TRUE(SaveSetting("Ostrak", "GUI Settings", "DoMu", ""));
    EXPECT_EQ(RegistryValue(section, "LOC"), "C:\\Games\\Ostrak \xE9");
    EXPECT_EQ(GetSetting("Ostrak", "GUI Settings", "LOC"), "C:\\Games\\Ostrak \xE9");
    EXPECT_EQ(GetSetting("Ostrak", "GUI Settings", "DoMu", "unset"), "");
    ASSERT_TRUE(DeleteSetting("Ostrak", "GUI Settings", "DoMu"));
    EXPECT_EQ(GetSetting("Ostrak", "GUI Settings", "DoMu", "unset"), "unset");
    ASSERT_TRUE(DeleteSetting("Ostrak", "GUI Settings"));
    EXPECT_EQ(RegistryValue(section, "LOC"), "<absent>");
    EXPECT_TRUE(DeleteSetting("Ostrak", "GUI Settings"));
}

TEST(NamedMutex, AnotherHolderOfTheNameIsAnotherInstance) {
    const std::string name = InstanceLockPath();
    EXPECT_NE(name.find(std::getenv("OSTRAK_MUTEX_PREFIX")), std::string::npos) << name;
    EXPECT_FALSE(PrevInstance());
    EXPECT_FALSE(PrevInstance()); // this process holds it already
    ReleaseInstanceLock();
    HANDLE other = ::CreateMutexA(nullptr, FALSE, name.c_str());
    ASSERT_NE(other, nullptr);
    EXPECT_TRUE(PrevInstance());
    ::CloseHandle(other);
    EXPECT_FALSE(PrevInstance()); // the holder is gone: nothing is left behind
    ReleaseInstanceLock();
}

std::string LinkTarget(const std::string& linkPath, std::string& arguments) {
    IShellLinkA* link = nullptr;
    IPersistFile* file = nullptr;
    char target[MAX_PATH] = {}, args[MAX_PATH] = {};
    std::wstring wide(linkPath.begin(), linkPath.end());
    if (SUCCEEDED(::CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER,
                                     IID_IShellLinkA, reinterpret_cast<void**>(&link))) &&
        SUCCEEDED(link->QueryInterface(IID_IPersistFile, reinterpret_cast<void**>(&file))) &&
        SUCCEEDED(file->Load(wide.c_str(), STGM_READ))) {
        link->GetPath(target, sizeof target, nullptr, 0);
        link->GetArguments(args, sizeof args);
    }
    if (file)
        file->Release();
    if (link)
        link->Release();
    arguments = args;
    return target;
}

TEST(ShellLink, LandsOnTheDesktopThroughTheProgramsFolder) {
    const std::string desktop = DesktopFolder();
    ASSERT_FALSE(desktop.empty());
    TempDir game;
    const std::string target = game.Write("ostrak.exe", "MZ");
    const std::string folder = "..\\..\\" + Files::BaseName(desktop);
    ASSERT_EQ(fCreateShellLink(folder, "Ostrak test", target, "-w \"a b\"", 0, "$(Programs)"), 1);
    const std::string link = desktop + "Ostrak test.lnk";
    ASSERT_TRUE(Files::Exists(link));
    ::CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
    std::string arguments;
    EXPECT_EQ(LinkTarget(link, arguments), target);
    EXPECT_EQ(arguments, "-w \"a b\"");
    // An identical link is left alone (its time stays); one that differs is saved.
    std::filesystem::last_write_time(link, std::filesystem::file_time_type::clock::now() -
                                               std::chrono::hours(24 * 30));
    int64_t before = 0, after = 0;
    ASSERT_TRUE(Files::ModifiedSeconds(link, before));
    EXPECT_EQ(fCreateShellLink(folder, "Ostrak test", target, "-w \"a b\"", 0, "$(Programs)"), 1);
    EXPECT_TRUE(Files::ModifiedSeconds(link, after) && after == before);
    EXPECT_EQ(fCreateShellLink(folder, "Ostrak test", target, "-w", 0, "$(Programs)"), 1);
    EXPECT_TRUE(Files::ModifiedSeconds(link, after) && after > before) << after - before;
    EXPECT_EQ(LinkTarget(link, arguments), target);
    EXPECT_EQ(arguments, "-w");
    ::CoUninitialize();
    EXPECT_TRUE(Files::RemoveFile(link));
    EXPECT_EQ(fCreateShellLink(folder, "Ostrak test", target, "", 0, "$(Desktop)"), 0);
    EXPECT_EQ(fCreateShellLink(folder, "a\\b", target, "", 0, "$(Programs)"), 0);
    EXPECT_FALSE(Files::Exists(link));
}

TEST(DrivePaths, PartsOfAPath) {
    EXPECT_EQ(Files::Separator(), '\\');
    EXPECT_EQ(Files::JoinPath("C:\\Games", "a.dat"), "C:\\Games\\a.dat");
    EXPECT_EQ(Files::JoinPath("C:\\", "a.dat"), "C:\\a.dat");
    EXPECT_EQ(Files::ParentFolder("C:\\Games\\Ostrak\\"), "C:\\Games");
    EXPECT_EQ(Files::ParentFolder("C:\\Games"), "C:\\");
    EXPECT_EQ(Files::ParentFolder("C:\\"), "C:\\");
    EXPECT_EQ(Files::ParentFolder("a.dat"), ".");
    EXPECT_EQ(Files::BaseName("C:\\Games\\Ostrak\\"), "Ostrak");
    EXPECT_EQ(Files::BaseName("C:\\"), "C:\\");
    for (const char* absolute : {"C:\\", "C:\\Games", "c:/Games", "\\\\server\\share"})
        EXPECT_TRUE(Files::IsAbsolutePath(absolute)) << absolute;
    for (const char* relative : {"", "C:", "C:Games", "Games\\Ostrak", "\\Games", "~\\Games"})
        EXPECT_FALSE(Files::IsAbsolutePath(relative)) << relative;
    EXPECT_TRUE(Files::IsRootPath("C:\\"));
    EXPECT_FALSE(Files::IsRootPath("C:\\Games"));
}

TEST(WindowsFiles, ReplacingRemovingAndSpelling) {
    TempDir dir;
    const std::string file = dir.Write("Unzip32.DLL", "old");
    ASSERT_TRUE(Files::WriteWholeFile(file, "new contents"));
    EXPECT_EQ(TempDir::Read(file), "new contents");
    EXPECT_EQ(Files::Dir(dir.File("unzip32.dll")), "Unzip32.DLL");
    EXPECT_EQ(Files::Dir(dir.Path()), "");
    ASSERT_TRUE(::SetFileAttributesA(file.c_str(), FILE_ATTRIBUTE_READONLY));
    ErrorRecord failure;
    EXPECT_TRUE(Files::RemoveFile(file, &failure)) << failure.Description;
    EXPECT_FALSE(Files::Exists(file));
    EXPECT_FALSE(Files::RemoveFile(file, &failure));
    EXPECT_EQ(failure.Number, ENOENT);
    EXPECT_EQ(failure.Source, "Files.RemoveFile");
    std::vector<Files::DirEntry> entries;
    ASSERT_TRUE(Files::MakeFolders(dir.File("a\\b\\c")));
    ASSERT_TRUE(Files::ListDirectory(dir.Path(), entries));
    ASSERT_EQ(entries.size(), 1u);
    EXPECT_TRUE(entries[0].IsDirectory);
    EXPECT_TRUE(Files::RemoveTree(dir.File("a")));
    EXPECT_FALSE(Files::Exists(dir.File("a")));
}

TEST(WindowsFolderTree, RemovesWhatItHoldsAndThenItself) {
    TempDir dir;
    const std::string top = dir.File("Ostrak");
    ASSERT_TRUE(Files::MakeFolders(top + "\\mods\\skins"));
    dir.Write("Ostrak\\mods\\skins\\a.pak", "a");
    dir.Write("Ostrak\\dta.lst", "list");
    dir.Write("Ostrak\\.ostrak-folder", "marker");
    ErrorRecord failure;
    FolderTree::OpenFolder relative;
    EXPECT_FALSE(relative.Open("Ostrak", &failure));
    EXPECT_EQ(failure.Number, EINVAL);
    {
        FolderTree::OpenFolder folder;
        ASSERT_TRUE(folder.Open(top, &failure)) << failure.Description;
        std::string bytes;
        ASSERT_TRUE(folder.ReadFile("dta.lst", 2, bytes));
        EXPECT_EQ(bytes, "li");
        EXPECT_FALSE(folder.ReadFile("mods", 2, bytes, &failure));
        std::vector<std::string> kept;
        ASSERT_TRUE(folder.RemoveContents({".ostrak-folder"}, kept, &failure))
            << failure.Description;
        EXPECT_TRUE(kept.empty());
        EXPECT_EQ(FolderNames(top), std::vector<std::string>{".ostrak-folder"});
        EXPECT_EQ(folder.RemoveEntry("missing"), FolderTree::OpenFolder::Outcome::Absent);
        EXPECT_EQ(folder.RemoveEntry(".ostrak-folder"), FolderTree::OpenFolder::Outcome::Removed);
        EXPECT_TRUE(folder.RemoveSelf(&failure)) << failure.Description;
    }
    EXPECT_FALSE(Files::Exists(top)) << "gone once the folder is let go";
}

TEST(MessageLoop, TimerTicksInsideWaits) {
    int ticks = 0;
    PeriodicTimer timer(10, [&] {
        if (++ticks == 3)
            timer.SetEnabled(false);
    });
    timer.SetEnabled(true);
    for (int i = 0; i < 500 && timer.Enabled(); ++i)
        WaitForEvents(100);
    EXPECT_EQ(ticks, 3);
    EXPECT_FALSE(timer.Enabled());
}

// Wine fixes a stream socket's receive buffer at 64 KiB unless the program
// asks for more; Windows tunes it unless a program asks, so there the
// system's own size must stay. A datagram socket keeps the system's size.
TEST(WindowsSockets, StreamSocketsAskWineForReceiveRoom) {
    const HMODULE ntdll = ::GetModuleHandleA("ntdll.dll");
    const bool wine = ::GetProcAddress(ntdll, "wine_get_version") != nullptr;
    WsLibraryInfo info;
    ASSERT_EQ(WsStartup(0x0101, info), 0);
    const int32_t stream = WsSocket(2, 1, 0);
    const int32_t datagram = WsSocket(2, 2, 0);
    int32_t streamSize = 0;
    int32_t datagramSize = 0;
    EXPECT_EQ(WsGetSockOpt(stream, WsSolSocket, WsSoRcvBuf, streamSize), 0);
    EXPECT_EQ(WsGetSockOpt(datagram, WsSolSocket, WsSoRcvBuf, datagramSize), 0);
    EXPECT_EQ(streamSize == 2 << 20, wine) << streamSize;
    EXPECT_NE(datagramSize, 2 << 20);
    WsCloseSocket(stream);
    WsCloseSocket(datagram);
    WsCleanup();
}

} // namespace
} // namespace ostrak
