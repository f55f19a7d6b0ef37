#include "CheckRelease.h"

#include "Printable.h"
#include "filelist/FileName.h"
#include "http/FrmConnect.h"
#include "http/RequestPath.h"
#include "platform/Environment.h"
#include "platform/Files.h"
#include "platform/TemporaryFiles.h"
#include "platform/WallClock.h"
#include "signature/BodyDigest.h"
#include "signature/ReleaseConfig.h"
#include "signature/TrustedRelease.h"

#include <ostream>

namespace ostrak {

namespace {

// A name that stays inside the temporary folder.
bool IsPlainFileName(const std::string& name) {
    return name != "." && name != ".." && name.find('/') == std::string::npos;
}

} // namespace

int CheckRelease(const FetchTarget& target, const std::string& publicKey, std::ostream& out,
                 std::ostream& progress) {
    std::string signedText[2];
    const char* names[2] = {ManifestName, SignatureName};
    {
        FrmConnect form;
        form.Port = target.Port;
        for (int i = 0; i < 2; ++i) {
            std::optional<std::string> body;
            try {
                body = form.RetrieveHTML(target.Host, std::string("/crc/") + names[i]);
            } catch (const VbError& e) {
                progress << "ostrak_fetch: failed: " << Printable(e.Record.Description) << "\n";
                return 1;
            }
            if (!body) {
                progress << "ostrak_fetch: not trusted: no /crc/" << names[i] << " ("
                         << Printable(form.FailureText) << ")\n";
                return 1;
            }
            signedText[i] = *body;
        }
    }
    ReleaseManifest manifest;
    TrustRefusal refused;
    const TrustRules rules{publicKey,
                           OSTRAK_BUILTIN_RELEASE_CHANNEL,
                           OSTRAK_BUILTIN_MIN_SERIAL,
                           0,
                           SecondsSinceEpoch(),
                           {UnlistedFileNames.begin(), UnlistedFileNames.end()}};
    if (!TrustRelease(rules, signedText[0], signedText[1], manifest, refused)) {
        progress << "ostrak_fetch: not trusted: " << Printable(refused.Why) << "\n";
        return 1;
    }
    out << "serial " << manifest.Serial << ": " << manifest.Files.size() << " files, signature good"
        << std::endl;

    Files::TemporaryFolder folder;
    ErrorRecord failure;
    if (!folder.Create(EnvironmentValue("TMPDIR").value_or("/tmp"), &failure)) {
        progress << "ostrak_fetch: cannot make a temporary folder: " << failure.Description << "\n";
        return 1;
    }
    int bad = 0;
    BodyDigest digest;
    for (const ManifestEntry& entry : manifest.Files) {
        const std::string file = Files::JoinPath(folder.Path(), entry.Name);
        digest.Expect(entry);
        const bool good =
            IsPlainFileName(entry.Name) &&
            FetchToFile({target.Host, target.Port, "/crc/" + EncodeFileName(entry.Name)}, file,
                        progress, &digest) == 0;
        Files::RemoveFile(file);
        bad += good ? 0 : 1;
        out << (good ? "OK  " : "BAD ") << Printable(entry.Name) << std::endl;
    }
    if (bad > 0)
        progress << "ostrak_fetch: " << bad << " of " << manifest.Files.size()
                 << " files do not match the signed manifest\n";
    return bad == 0 ? 0 : 1;
}

} // namespace ostrak
