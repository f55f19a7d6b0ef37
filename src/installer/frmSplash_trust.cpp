// frmSplash: the signed release. With publisher's keys built in (or, in test
// builds, given in OSTRAK_RELEASE_KEY), the install action takes a release
// only with a manifest signed by one of them under the trust rules, and every
// file it then downloads must match the manifest (DownloadFile, through
// BodyDigest).
#include "installer/frmSplash.h"

#include "filelist/FileName.h"
#include "http/FrmConnect.h"
#include "installer/ReleaseSerial.h"
#include "platform/AnsiText.h"
#include "platform/Dialogs.h"
#include "platform/Settings.h"
#include "platform/WallClock.h"
#include "runtime/Program.h"
#include "signature/BodyDigest.h"
#include "signature/ReleaseConfig.h"
#include "signature/TrustedRelease.h"

namespace ostrak {

bool frmSplash::FetchTrustedManifest(const std::string& version) {
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

    if (!manifest)
        return ReleaseNotTrusted(std::string("no ") + ManifestName + " from the server");
    if (!signature)
        return ReleaseNotTrusted(std::string("no ") + SignatureName + " from the server");
    TrustRules rules{ReleaseKey,
                     OSTRAK_BUILTIN_RELEASE_CHANNEL,
                     OSTRAK_BUILTIN_MIN_SERIAL,
                     0,
                     SecondsSinceEpoch(),
                     {UnlistedFileNames.begin(), UnlistedFileNames.end()}};
    std::string stored;
    if (LoadInstalledSerial(rules.InstalledSerial, stored) == StoredSerial::Malformed)
        return ReleaseNotTrusted("the stored serial \"" + stored + "\" is not a plain number");
    ReleaseManifest release;
    TrustRefusal refused;
    if (!TrustRelease(rules, *manifest, *signature, release, refused))
        return ReleaseNotTrusted(refused.Why, refused.Expired);
    // The version text decides which files are kept: it counts only as signed.
    if (!MatchesEntry(*release.Find(VersionFileName), version))
        return ReleaseNotTrusted("the version text differs from " + VersionFileName + " in " +
                                 ManifestName);
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

bool frmSplash::SaveTrustedSerial() {
    if (StoreInstalledSerial(Manifest_->Serial))
        return true;
    ConnectForm.reset();
    SetFileText("Failure (settings)!");
    MsgBox("The game's files are in place, but the installed release could not be recorded in "
           "the settings file\r\n" +
               SettingsFilePath(SettingsApplication) +
               ".\r\nPlease make sure it can be written, then run Install / Fix again.",
           vbCritical + vbOKOnly, "Installation failed!");
    if (!ProgramEnded())
        SetBusy(VbFalse);
    return false;
}

bool frmSplash::ReleaseNotTrusted(const std::string& why, bool expired) {
    Manifest_.reset();
    // As on the error exit: nothing may go on arriving while the window idles.
    ConnectForm.reset();
    TrustFailure = why;
    SetFileText(std::string("Failure (") + ManifestName + (expired ? " expired" : "") + ")!");
    MsgBox("The download was refused: the files on the game's server are not signed by the "
           "publisher of Ostrak.\r\nNothing more was downloaded. Please try again later.",
           vbCritical + vbOKOnly, "Release not trusted!");
    if (!ProgramEnded())
        SetBusy(VbFalse);
    return false;
}

} // namespace ostrak
