// The install action with a publisher's key: a release signed by the real
// ostrak_release, served by python's http.server, installed through the
// window with scripted dialogs. Grouped as: a signed release installs and
// updates; a file swapped on the server for one with the same CRC-32 is
// refused; a release that is not signed right ends in "Release not
// trusted!"; without a key nothing changes.
#include "InstallerSandbox.h"
#include "checksum/Crc32.h"
#include "installer/ReleaseSerial.h"
#include "installer/frmSplash.h"
#include "platform/Files.h"
#include "platform/Settings.h"
#include "platform/SystemFolder.h"
#include "platform/TickCount.h"
#include "platform/Timer.h"
#include "platform/WallClock.h"
#include "signature/Ed25519.h"
#include "signature/TrustedRelease.h"
#include "support/FolderNames.h"
#include "support/HttpServers.h"
#include "support/ScopedEnv.h"
#include "support/Subprocess.h"

#include <gtest/gtest.h>

using namespace ostrak;

namespace {

const std::string FolderPrompt = "Where would you like to install Ostrak?";
const std::string SuccessText = "Installation was a success!\r\n\r\nDo you wish to run Ostrak now?";
const std::string ErrorText =
    "Error: Couldn't fetch installation files from the internet!\r\nPlease check your connection, "
    "and make sure no firewalls are blocking the installer, then try again.";
const std::string NotTrustedText =
    "The download was refused: the files on the game's server are not signed by the publisher of "
    "Ostrak.\r\nNothing more was downloaded. Please try again later.";

class SignedInstall : public InstallerSandbox {
protected:
    void SetUp() override {
        InstallerSandbox::SetUp();
        Home = Sandbox.File("home");
        Game = Files::JoinPath(Files::JoinPath(Home, "Games"), "Ostrak");
        Files::MakeFolders(Home + "/Desktop");
        Files::MakeFolders(Home + "/system");
        SetSystemFolder(Home + "/system");
        Env.Set("HOME", Home);
        Key = MakeKey("publisher.pem");
        for (const char* name : {"ostrak.exe", "CGZipLibrary.dll", "gdiplus.dll", "Unzip32.dll"})
            Source.Write(name, std::string("MZ ") + name);
        Source.Write("a.pak", "alpha data");
        Source.Write("b.pak", "bravo data");
        Publish();
        Server = std::make_unique<PythonHttpServer>(Served.Path());
        Env.Set("OSTRAK_SERVER", Server->Address()).Set("OSTRAK_RELEASE_KEY", Key);
        // The folder is asked with this one as its default (as after an
        // earlier install), the music question is answered.
        SaveSetting(frmSplash::SettingsApplication, frmSplash::SettingsSection, "LOC", Game);
        SaveSetting(frmSplash::SettingsApplication, frmSplash::SettingsSection, "DoMu", "1");
    }
    // A new key pair from the publisher's tool; its public key.
    std::string MakeKey(const std::string& file) {
        const ProcessResult r = RunProcess({OSTRAK_RELEASE_BIN, "--keygen", Sandbox.File(file)});
        EXPECT_EQ(r.ExitCode, 0) << r.Err;
        return r.Out.substr(0, r.Out.find('\n'));
    }
    void Publish() {
        const ProcessResult r =
            RunProcess({OSTRAK_RELEASE_BIN, Source.Path(), Served.Path(), "--seed", "9", "--sign",
                        Sandbox.File("publisher.pem")});
        ASSERT_EQ(r.ExitCode, 0) << r.Err;
    }
    std::string Setting(const char* key) {
        return GetSetting(frmSplash::SettingsApplication, ReleaseSerialSection, key, "<none>");
    }
    // The served manifest changed by change and signed again by the publisher.
    void Resign(const std::function<void(ReleaseManifest&, std::string&)>& change) {
        ReleaseManifest m;
        std::string why, signature;
        ASSERT_TRUE(VerifyRelease(Key, TempDir::Read(Served.File("crc/release.manifest")),
                                  TempDir::Read(Served.File("crc/release.sig")), m, why));
        std::string text;
        change(m, text);
        if (text.empty())
            text = FormatManifest(m);
        ASSERT_TRUE(Ed25519Sign(TempDir::Read(Sandbox.File("publisher.pem")), text, signature));
        ASSERT_TRUE(Files::WriteWholeFile(Served.File("crc/release.manifest"), text));
        ASSERT_TRUE(
            Files::WriteWholeFile(Served.File("crc/release.sig"), SignatureText(signature)));
    }
    std::string ServedSerial() {
        const std::string m = TempDir::Read(Served.File("crc/release.manifest"));
        const size_t at = m.find("serial ") + 7;
        return m.substr(at, m.find('\n', at) - at);
    }
    std::vector<std::string> Requests() {
        std::vector<std::string> all = Server->RequestedPaths();
        std::vector<std::string> fresh(all.begin() + static_cast<long>(Seen), all.end());
        Seen = all.size();
        return fresh;
    }
    // One run of the action in a fresh window; the last box is answered and
    // check looks at the window afterwards.
    void Run(const std::string& lastText, int32_t lastStyle, const std::string& lastTitle,
             const std::function<void(frmSplash&)>& check = {},
             std::function<void()> duringPrompt = {}) {
        Dialogs.ExpectInputBox(FolderPrompt, "Install where?", Game, Game, std::move(duringPrompt))
            .ExpectMsgBox(lastText, lastStyle, lastTitle, lastStyle == vbCritical ? vbOK : vbNo);
        RearmProgramEnd();
        frmSplash w;
        w.Form_Load();
        w.Command1_Click();
        Dialogs.ExpectAllShown();
        if (check)
            check(w);
    }
    void RunToSuccess() { Run(SuccessText, vbYesNo + vbInformation, "Installation complete!"); }
    void TearDown() override {
        SetSystemFolder("");
        InstallerSandbox::TearDown();
    }
    void MoveClockFast() { Clock.SetEnabled(true); }

    ScopedEnv Env;
    TempDir Source, Served;
    std::unique_ptr<PythonHttpServer> Server;
    std::string Home, Game, Key;
    size_t Seen = 0;
    PeriodicTimer Clock{5, [] { TickControl::Advance(100); }};
};

const std::vector<std::string> Signed = {"/crc/index.php?h=3", "/crc/release.manifest",
                                         "/crc/release.sig"};

std::vector<std::string> Then(std::vector<std::string> head, const std::vector<std::string>& tail) {
    head.insert(head.end(), tail.begin(), tail.end());
    return head;
}

TEST_F(SignedInstall, ASignedReleaseInstallsAndUpdates) {
    RunToSuccess();
    EXPECT_EQ(EndCount, 1);
    EXPECT_EQ(Requests(),
              Then(Signed, {"/crc/dta.lst", "/crc/ostrak.exe", "/crc/a.pak", "/crc/b.pak",
                            "/crc/CGZipLibrary.dll", "/crc/gdiplus.dll", "/crc/Unzip32.dll"}));
    for (const char* name : {"dta.lst", "ostrak.exe", "a.pak", "b.pak", "Unzip32.dll"})
        EXPECT_EQ(TempDir::Read(Game + "/" + name), TempDir::Read(Served.File("crc/") + name));
    const std::string first = ServedSerial();
    EXPECT_EQ(Setting("Serial"), first);

    // The same release again (serial equal to the stored one): taken; files
    // whose CRC-32 and SHA-256 match are not fetched again, while a kept file
    // forged to the same CRC-32 and a changed library are.
    RunToSuccess();
    EXPECT_EQ(Requests(), Then(Signed, {"/crc/dta.lst"}));
    ASSERT_TRUE(Files::WriteWholeFile(Game + "/b.pak",
                                      WithCrcOf("evil code!", TempDir::Read(Game + "/b.pak"))));
    ASSERT_TRUE(Files::WriteWholeFile(Game + "/CGZipLibrary.dll", "MZ planted"));
    RunToSuccess();
    EXPECT_EQ(Requests(), Then(Signed, {"/crc/dta.lst", "/crc/b.pak", "/crc/CGZipLibrary.dll"}));
    for (const char* name : {"b.pak", "CGZipLibrary.dll"})
        EXPECT_EQ(TempDir::Read(Game + "/" + name), TempDir::Read(Served.File("crc/") + name));

    // An update: a changed data file arrives, the serial moves on.
    Source.Write("b.pak", "bravo data, patched");
    Publish();
    ASSERT_GT(std::stoull(ServedSerial()), std::stoull(first));
    RunToSuccess();
    EXPECT_EQ(Requests(), Then(Signed, {"/crc/dta.lst", "/crc/b.pak"}));
    EXPECT_EQ(TempDir::Read(Game + "/b.pak"), "bravo data, patched");
    EXPECT_EQ(Setting("Serial"), ServedSerial());
    EXPECT_EQ(EndCount, 4);
}

TEST_F(SignedInstall, AFileWithTheSameCrcIsRefusedWhereTheUnsignedInstallerTakesIt) {
    MoveClockFast(); // the pauses between attempts pass at once
    const std::string real = TempDir::Read(Served.File("crc/a.pak"));
    const std::string forged = WithCrcOf("evil code!", real);
    ASSERT_NE(forged, real);
    ASSERT_EQ(Crc32Update(0xFFFFFFFFu, forged.data(), forged.size()),
              Crc32Update(0xFFFFFFFFu, real.data(), real.size()));
    ASSERT_TRUE(Files::WriteWholeFile(Served.File("crc/a.pak"), forged));

    Run(ErrorText, vbCritical, "Connection error!", [&](frmSplash& w) {
        EXPECT_EQ(w.FileText(), "Failure (a.pak)!");
        EXPECT_TRUE(View.Command1().Enabled);
        EXPECT_EQ(w.StageText(), w.WelcomeText);
    });
    EXPECT_EQ(EndCount, 0);
    EXPECT_EQ(Requests(), Then(Signed, Then({"/crc/dta.lst", "/crc/ostrak.exe"},
                                            std::vector<std::string>(11, "/crc/a.pak"))));
    EXPECT_FALSE(Files::Exists(Game + "/a.pak")); // never in place, not even for a moment
    EXPECT_EQ(FolderNames(Game),
              (std::vector<std::string>{".ostrak-folder-id", "dta.lst", "ostrak.exe"}));
    EXPECT_EQ(Setting("Serial"), "<none>");

    // Without a key the list's CRC-32 is all there is: the forged file is
    // taken, and the requests are those of an unsigned release.
    Env.Set("OSTRAK_RELEASE_KEY", "");
    RunToSuccess();
    EXPECT_EQ(Requests(), (std::vector<std::string>{
                              "/crc/index.php?h=3", "/crc/dta.lst", "/crc/a.pak", "/crc/b.pak",
                              "/crc/CGZipLibrary.dll", "/crc/gdiplus.dll", "/crc/Unzip32.dll"}));
    EXPECT_EQ(TempDir::Read(Game + "/a.pak"), forged);
}

TEST_F(SignedInstall, AReleaseNotSignedRightIsNotTrustedAndNothingMoreIsFetched) {
    MoveClockFast();
    const std::string manifest = TempDir::Read(Served.File("crc/release.manifest"));
    const std::string signature = TempDir::Read(Served.File("crc/release.sig"));
    const std::string version = TempDir::Read(Served.File("crc/index.php"));
    const std::string otherKey = MakeKey("other.pem");
    const auto serve = [&](const std::string& m, const std::string& s) {
        ASSERT_TRUE(Files::WriteWholeFile(Served.File("crc/release.manifest"), m));
        Files::RemoveFile(Served.File("crc/release.sig"));
        if (!s.empty()) {
            ASSERT_TRUE(Files::WriteWholeFile(Served.File("crc/release.sig"), s));
        }
    };
    std::string changed = manifest;
    changed[changed.find(" 10 a.pak")] = '\t'; // the size field of a.pak, one byte
    const uint64_t serial = std::stoull(ServedSerial());
    const auto forget = [] {
        DeleteSetting(frmSplash::SettingsApplication, ReleaseSerialSection);
        DeleteSetting(frmSplash::SettingsApplication, frmSplash::SettingsSection, "Serial");
    };
    const int64_t ahead = SecondsSinceEpoch() + MaxSerialLead + 100;
    // The manifest without the entry of name, signed by the publisher.
    const auto serveWithout = [&](const std::string& name) {
        serve(manifest, signature);
        Resign([&](ReleaseManifest& m, std::string&) {
            std::erase_if(m.Files, [&](const ManifestEntry& e) { return e.Name == name; });
        });
    };
    const struct {
        const char* What;
        std::function<void()> Prepare;
        std::string Why;
        size_t SignatureRequests;
        std::vector<std::string> Fetched; // after the signature
    } cases[] = {
        {"a changed manifest",
         [&] { serve(changed, signature); },
         "the signature does not match release.manifest under the publisher's key",
         1,
         {}},
        {"a wrong key",
         [&] {
             serve(manifest, signature);
             Env.Set("OSTRAK_RELEASE_KEY", otherKey);
         },
         "the signature does not match release.manifest under the publisher's key",
         1,
         {}},
        {"a missing signature",
         [&] {
             Env.Set("OSTRAK_RELEASE_KEY", Key);
             serve(manifest, "");
         },
         "no release.sig from the server",
         4,
         {}},
        {"an older serial",
         [&] {
             serve(manifest, signature);
             SaveSetting(frmSplash::SettingsApplication, frmSplash::SettingsSection, "Serial",
                         std::to_string(serial + 1));
         },
         "serial " + std::to_string(serial) + " is older than the installed release's " +
             std::to_string(serial + 1),
         1,
         {}},
        {"a malformed stored serial",
         [&] {
             SaveSetting(frmSplash::SettingsApplication, ReleaseSerialSection, "Serial",
                         "1796652190x");
         },
         "the stored serial \"1796652190x\" is not a plain number",
         1,
         {}},
        {"an expired manifest",
         [&] {
             forget();
             Resign([](ReleaseManifest& m, std::string&) { m.Expires = SecondsSinceEpoch() - 1; });
         },
         "release.manifest expired at ",
         1,
         {}},
        {"a serial too far ahead",
         [&] {
             Resign([&](ReleaseManifest& m, std::string&) {
                 m.Serial = static_cast<uint64_t>(ahead), m.Expires = ahead;
             });
         },
         "serial " + std::to_string(ahead) + " is more than a year ahead of the clock",
         1,
         {}},
        {"a staging release",
         [&] { Resign([](ReleaseManifest& m, std::string&) { m.Channel = "staging"; }); },
         "release.manifest is for ostrak staging, not ostrak stable",
         1,
         {}},
        {"format 1",
         [&] {
             Resign([](ReleaseManifest& m, std::string& text) {
                 text = FormatManifest(m);
                 text =
                     "ostrak-release-manifest 1\n" +
                     text.substr(text.find("serial"), text.find("expires") - text.find("serial")) +
                     text.substr(text.find('\n', text.find("key ")) + 1);
             });
         },
         "release.manifest is format 1",
         1,
         {}},
        {"a fixed file left out",
         [&] { serveWithout("gdiplus.dll"); },
         "release.manifest does not name gdiplus.dll",
         1,
         {}},
        {"a listed file left out",
         [&] { serveWithout("b.pak"); },
         "release.manifest does not name b.pak",
         1,
         {"/crc/dta.lst"}},
        // Last: the version text of another release beside this manifest.
        {"a version text not signed",
         [&] {
             serve(manifest, signature);
             Files::RemoveFile(Game + "/dta.lst"); // of the row before
             ASSERT_TRUE(Files::WriteWholeFile(Served.File("crc/index.php"), "-12345"));
         },
         "the version text differs from index.php in release.manifest",
         1,
         {}},
    };
    for (const auto& c : cases) {
        c.Prepare();
        Run(NotTrustedText, vbCritical, "Release not trusted!", [&](frmSplash& w) {
            EXPECT_EQ(w.TrustFailure.rfind(c.Why, 0), 0u) << c.What << ": " << w.TrustFailure;
            const bool expired = c.Why.find("expired") != std::string::npos;
            EXPECT_EQ(w.FileText(), expired ? "Failure (release.manifest expired)!"
                                            : "Failure (release.manifest)!")
                << c.What;
            EXPECT_TRUE(View.Command1().Enabled) << c.What;
            EXPECT_EQ(w.StageText(), w.WelcomeText) << c.What;
        });
        EXPECT_EQ(EndCount, 0) << c.What;
        EXPECT_EQ(Requests(),
                  Then(Then({"/crc/index.php?h=3", "/crc/release.manifest"},
                            std::vector<std::string>(c.SignatureRequests, "/crc/release.sig")),
                       c.Fetched))
            << c.What;
        // Only the list itself may have arrived, needed to find the file left out.
        const std::vector<std::string> marker{".ostrak-folder-id"},
            withList{".ostrak-folder-id", "dta.lst"};
        EXPECT_EQ(FolderNames(Game), c.Fetched.empty() ? marker : withList) << c.What;
    }
    // The stored serial itself is the limit: equal to the release's, taken,
    // signed by the second of two keys.
    ASSERT_TRUE(Files::WriteWholeFile(Served.File("crc/index.php"), version));
    serve(manifest, signature);
    SaveSetting(frmSplash::SettingsApplication, ReleaseSerialSection, "Serial",
                std::to_string(serial));
    Env.Set("OSTRAK_RELEASE_KEY", otherKey + "," + Key);
    RunToSuccess();
    EXPECT_EQ(EndCount, 1);
}

// A serial that cannot be stored is no success: the settings file turns
// into a folder while the folder prompt is open.
TEST_F(SignedInstall, AFailedSaveOfTheSerialFailsTheInstall) {
    if (!Files::IsAbsolutePath(SettingsFilePath(frmSplash::SettingsApplication)))
        GTEST_SKIP() << "the settings are a registry key here, not a file";
    Run(
        "The game's files are in place, but the installed release could not be recorded in the "
        "settings file\r\n" +
            SettingsFilePath(frmSplash::SettingsApplication) +
            ".\r\nPlease make sure it can be written, then run Install / Fix again.",
        vbCritical, "Installation failed!",
        [&](frmSplash& w) {
            EXPECT_EQ(w.FileText(), "Failure (settings)!");
            EXPECT_TRUE(View.Command1().Enabled);
        },
        [&] {
            ASSERT_TRUE(Files::RemoveFile(SettingsFilePath(frmSplash::SettingsApplication)));
            ASSERT_TRUE(Files::MakeDirectory(SettingsFilePath(frmSplash::SettingsApplication)));
        });
    EXPECT_EQ(EndCount, 0);
    EXPECT_EQ(TempDir::Read(Game + "/b.pak"), "bravo data");
}

} // namespace
