// Folder answers the disk refuses or that are unusual: a folder whose parent
// is read-only (the folder cannot be made, every download fails: the error
// exit, nothing written, the answer still stored), and a folder with spaces
// and non-ASCII letters (installed like any other, the launcher pointing at
// it).
#include "faults/FaultCase.h"
#include "platform/Files.h"
#include "platform/Settings.h"
#include "support/HttpServers.h"

#include <gtest/gtest.h>
#include <optional>
#include <sys/stat.h>
#include <unistd.h>

using namespace ostrak;

namespace {

class Folders : public FaultCase {};

TEST_F(Folders, ReadOnlyParentEndsInTheErrorExitAndWritesNothing) {
    PythonHttpServer python(Release.Path());
    Server = python.Address();
    const std::string parent = Sandbox.File("read-only");
    Files::MakeFolders(parent);
    // Root writes through permissions: a read-only mount stands in.
    std::optional<TmpfsMount> mount;
    if (::geteuid() == 0) {
        if (!CanMount())
            GTEST_SKIP() << "running as root without the right to mount a read-only folder";
        mount.emplace(parent, "ro,size=64k");
        ASSERT_TRUE(mount->Mounted());
    } else {
        ASSERT_EQ(::chmod(parent.c_str(), 0555), 0);
    }
    const std::string folder = parent + "/Ostrak";
    PlanFolder(folder);
    PlanErrorExit();
    FastClock();
    Click();
    StopClock();
    ::chmod(parent.c_str(), 0755);
    EXPECT_EQ(EndCount, 0);
    EXPECT_EQ(FileTexts.back(), "Failure (dta.lst)!");
    EXPECT_FALSE(Files::Exists(folder));
    EXPECT_TRUE(Names(parent).empty());
    EXPECT_EQ(GetSetting(frmSplash::SettingsApplication, frmSplash::SettingsSection, "LOC", ""),
              folder);
}

TEST_F(Folders, SpacesAndNonAsciiInThePathInstallLikeAnyOther) {
    PythonHttpServer python(Release.Path());
    Server = python.Address();
    const std::string folder = Sandbox.File("My Games/\xC3\x96strak \xE2\x80\x93 Spiel");
    PlanFolder(folder);
    PlanSuccess();
    Click();
    EXPECT_EQ(EndCount, 1);
    EXPECT_EQ(Names(folder), InstallFolderFiles());
    ExpectServedCopies(folder, InstallFolderFiles());
    EXPECT_EQ(GetSetting(frmSplash::SettingsApplication, frmSplash::SettingsSection, "LOC", ""),
              folder);
    const std::string launcher = TempDir::Read(Home + "/Desktop/Ostrak.desktop");
    EXPECT_NE(launcher.find("\nExec=wine \"" + folder + "/ostrak.exe\"\n"), std::string::npos)
        << launcher;
    EXPECT_NE(launcher.find("\nPath=" + folder + "\n"), std::string::npos) << launcher;

    // The next click finds everything in place.
    PlanFolder(folder, false);
    PlanSuccess();
    Click();
    EXPECT_EQ(python.RequestedPaths().size(), 8u + 2u);
}

} // namespace
