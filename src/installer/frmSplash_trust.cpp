// frmSplash: the signed release. With a publisher's key built in (or given in
// OSTRAK_RELEASE_KEY), the install action takes a release only with a
// manifest signed by that key, and every file it then downloads must match
// the manifest (DownloadFile, through BodyDigest).
#include "installer/frmSplash.h"

#include "http/FrmConnect.h"
#include "platform/AnsiText.h"
#include "platform/Dialogs.h"
#include "platform/Settings.h"
#include "runtime/Program.h"
#include "signature/BodyDigest.h"
#include "signature/TrustedRelease.h"

#include <charconv>

namespace ostrak {

namespace {

// Every release holds these, the list first (it is fetched first).
const char* const SignedFixedFiles[] = {"dta.lst", "ostrak.exe", "CGZipLibrary.dll", "gdiplus.dll",
                                        "Unzip32.dll"};

uint64_t StoredSerial(const std::string& text) {
    uint64_t value = 0;
    const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
    return ec == std::errc() && end == text.data() + text.size() ? value : 0;
}

} // namespace

bool frmSplash::FetchTrustedManifest() {
    const std::string folder = PathPrefix + "/crc/";
    std::optional<std::string> manifest, signature;
    IgnoreErrors([&] { manifest = ConnectForm->RetrieveHTML(ServerHost, folder + ManifestName); });
    if (ProgramEnded())
        return false;
    if (manifest)
        IgnoreErrors(
            [&] { signature = ConnectForm->RetrieveHTML(ServerHost, folder + SignatureName); });
    if (ProgramEnded())
        return false;

    ReleaseManifest release;
    std::string why;
    if (!manifest)
        return ReleaseNotTrusted(std::string("no ") + ManifestName + " from the server");
    if (!signature)
        return ReleaseNotTrusted(std::string("no ") + SignatureName + " from the server");
    if (!VerifyRelease(ReleaseKey, *manifest, *signature, release, why))
        return ReleaseNotTrusted(why);
    const uint64_t installed =
        StoredSerial(GetSetting(SettingsApplication, SettingsSection, SettingReleaseSerial, "0"));
    if (release.Serial < installed)
        return ReleaseNotTrusted("serial " + std::to_string(release.Serial) +
                                 " is older than the installed release's " +
                                 std::to_string(installed));
    for (const char* name : SignedFixedFiles)
        if (!release.Find(name))
            return ReleaseNotTrusted(std::string(ManifestName) + " does not name " + name);
    Manifest_ = std::move(release);
    if (!Digest_)
        Digest_ = std::make_unique<BodyDigest>();
    return true;
}

bool frmSplash::ListIsSigned() {
    for (int i = 0; i < FileList.EntryCount; ++i)
        if (!Manifest_->Find(FileList.EntryNames[i]))
            return ReleaseNotTrusted(std::string(ManifestName) + " does not name " +
                                     AnsiToDisplay(FileList.EntryNames[i]));
    return true;
}

bool frmSplash::ReleaseNotTrusted(const std::string& why) {
    Manifest_.reset();
    // As on the error exit: nothing may go on arriving while the window idles.
    ConnectForm.reset();
    TrustFailure = why;
    SetFileText(std::string("Failure (") + ManifestName + ")!");
    MsgBox("The download was refused: the files on the game's server are not signed by the "
           "publisher of Ostrak.\r\nNothing more was downloaded. Please try again later.",
           vbCritical + vbOKOnly, "Release not trusted!");
    if (!ProgramEnded())
        SetBusy(VbFalse);
    return false;
}

} // namespace ostrak
