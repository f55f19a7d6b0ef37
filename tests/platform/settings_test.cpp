// The settings store: text values round-trip, defaults, whole-section delete.
#include "platform/Files.h"
#include "platform/Settings.h"
#include "support/TempDir.h"

#include <cstdlib>
#include <gtest/gtest.h>

using namespace ostrak;

namespace {
class SettingsStore : public testing::Test {
protected:
    void SetUp() override { SetSettingsFolder(Folder.Path()); }
    void TearDown() override { SetSettingsFolder(""); }
    TempDir Folder;
};
} // namespace

TEST_F(SettingsStore, TextValuesComeBackUnchanged) {
    const std::string values[] = {
        "",
        "1",
        "C:\\Program Files\\Ostrak",
        "/home/player/Games/Ostrak",
        "/srv/My Games, Ostrak",
        "  leading and trailing blanks  ",
        "\"quoted\"",
        "@Variant(not one)",
        "a=b; #not a comment",
        "Spiel \xC3\xBC\x62\x65r alles",
        "line\nbreak",
        "true",
    };
    for (const std::string& v : values) {
        ASSERT_TRUE(SaveSetting("Ostrak", "GUI Settings", "LOC", v)) << v;
        EXPECT_EQ(GetSetting("Ostrak", "GUI Settings", "LOC", "absent"), v) << v;
    }
}

TEST_F(SettingsStore, AbsentKeysGiveTheDefault) {
    EXPECT_EQ(GetSetting("Ostrak", "GUI Settings", "DoMu", "0"), "0");
    ASSERT_TRUE(SaveSetting("Ostrak", "GUI Settings", "LOC", "/x/y"));
    EXPECT_EQ(GetSetting("Ostrak", "GUI Settings", "DoMu", "0"), "0");
    EXPECT_EQ(GetSetting("Ostrak", "Other", "LOC"), "");
    EXPECT_EQ(GetSetting("Elsewhere", "GUI Settings", "LOC", "d"), "d");
}

TEST_F(SettingsStore, DeletingASectionRemovesAllItsKeysAndNothingElse) {
    ASSERT_TRUE(SaveSetting("Ostrak", "GUI Settings", "LOC", "/x/y"));
    ASSERT_TRUE(SaveSetting("Ostrak", "GUI Settings", "DoMu", "2"));
    ASSERT_TRUE(SaveSetting("Ostrak", "Other", "Keep", "k"));
    ASSERT_TRUE(SaveSetting("Elsewhere", "GUI Settings", "LOC", "/z"));

    EXPECT_TRUE(DeleteSetting("Ostrak", "GUI Settings"));
    EXPECT_EQ(GetSetting("Ostrak", "GUI Settings", "LOC", "gone"), "gone");
    EXPECT_EQ(GetSetting("Ostrak", "GUI Settings", "DoMu", "gone"), "gone");
    EXPECT_EQ(GetSetting("Ostrak", "Other", "Keep"), "k");
    EXPECT_EQ(GetSetting("Elsewhere", "GUI Settings", "LOC"), "/z");
    // Deleting what is absent is no failure.
    EXPECT_TRUE(DeleteSetting("Ostrak", "GUI Settings"));
    EXPECT_TRUE(DeleteSetting("Never", "Written"));

    EXPECT_TRUE(DeleteSetting("Ostrak", "Other", "Keep"));
    EXPECT_EQ(GetSetting("Ostrak", "Other", "Keep", "gone"), "gone");
}

TEST_F(SettingsStore, HandEditedListValueReadsAsText) {
    ASSERT_TRUE(
        Files::WriteWholeFile(Folder.File("Ostrak.ini"), "[GUI%20Settings]\nLOC=/a, b,c\n"));
    EXPECT_EQ(GetSetting("Ostrak", "GUI Settings", "LOC"), "/a, b, c");
}

TEST(SettingsLocation, OneIniFilePerApplicationInTheUsersConfigFolder) {
    const char* config = std::getenv("XDG_CONFIG_HOME");
    ASSERT_NE(config, nullptr);
    const std::string expected = std::string(config) + "/OstrakLocationTest.ini";
    EXPECT_EQ(SettingsFilePath("OstrakLocationTest"), expected);
    ASSERT_TRUE(SaveSetting("OstrakLocationTest", "GUI Settings", "LOC", "/x"));
    std::string bytes;
    ASSERT_TRUE(Files::ReadWholeFile(expected, bytes));
    EXPECT_NE(bytes.find("LOC=/x"), std::string::npos) << bytes;
    EXPECT_TRUE(DeleteSetting("OstrakLocationTest", "GUI Settings"));
}

TEST(SettingsLocation, UnwritableStoreIsReported) {
    TempDir dir;
    // A file where the folder should be: the store cannot be written.
    const std::string notAFolder = dir.Write("file", "x");
    SetSettingsFolder(notAFolder);
    EXPECT_FALSE(SaveSetting("Ostrak", "GUI Settings", "LOC", "/x"));
    SetSettingsFolder("");
}
