#include "signature/TrustedRelease.h"

#include "signature/Base64.h"
#include "signature/Ed25519.h"
#include "signature/Sha256.h"

namespace ostrak {

namespace {

std::string Trimmed(const std::string& text) {
    const char* space = " \t\r\n";
    const size_t begin = text.find_first_not_of(space);
    if (begin == std::string::npos)
        return "";
    return text.substr(begin, text.find_last_not_of(space) - begin + 1);
}

bool Refuse(TrustRefusal& refused, std::string why, bool expired = false) {
    refused = TrustRefusal{std::move(why), expired};
    return false;
}

} // namespace

bool DecodePublicKey(const std::string& text, std::string& key) {
    const std::optional<std::string> bytes = Base64Decode(Trimmed(text));
    if (!bytes || bytes->size() != Ed25519PublicKeySize)
        return false;
    key = *bytes;
    return true;
}

bool DecodePublicKeys(const std::string& text, std::vector<std::string>& keys) {
    std::vector<std::string> found;
    size_t begin = 0;
    for (;;) {
        const size_t comma = text.find(',', begin);
        std::string key;
        if (!DecodePublicKey(text.substr(begin, comma - begin), key))
            return false;
        found.push_back(key);
        if (found.size() > MaxReleaseKeys)
            return false;
        if (comma == std::string::npos)
            break;
        begin = comma + 1;
    }
    keys = std::move(found);
    return true;
}

std::string KeyFingerprint(const std::string& publicKey) {
    return Sha256::Hex(Sha256::Of(publicKey)).substr(0, KeyFingerprintDigits);
}

std::string SignatureText(const std::string& signature) {
    return Base64Encode(signature) + "\n";
}

bool VerifyRelease(const std::string& publicKeysText, const std::string& manifestBytes,
                   const std::string& signatureText, ReleaseManifest& out, std::string& why) {
    std::vector<std::string> keys;
    if (!DecodePublicKeys(publicKeysText, keys)) {
        why = "the public keys are not 1 to " + std::to_string(MaxReleaseKeys) +
              " keys of 32 bytes in base64";
        return false;
    }
    std::string_view text = signatureText;
    if (!text.empty() && text.back() == '\n')
        text.remove_suffix(1);
    const std::optional<std::string> signature = Base64Decode(text);
    if (!signature || signature->size() != Ed25519SignatureSize) {
        why = std::string(SignatureName) + " is not a base64 Ed25519 signature";
        return false;
    }
    const std::string* signer = nullptr;
    for (const std::string& key : keys)
        if (!signer && Ed25519Verify(key, manifestBytes, *signature))
            signer = &key;
    if (!signer) {
        why = std::string("the signature does not match ") + ManifestName +
              " under the publisher's key";
        return false;
    }
    std::string error;
    ReleaseManifest manifest;
    if (!ParseManifest(manifestBytes, manifest, error)) {
        why = std::string(ManifestName) + ", " + error;
        return false;
    }
    if (manifest.Format >= 2 && manifest.KeyId != KeyFingerprint(*signer)) {
        why = std::string(ManifestName) + " names key " + manifest.KeyId +
              " but is signed by key " + KeyFingerprint(*signer);
        return false;
    }
    out = std::move(manifest);
    return true;
}

bool MatchesEntry(const ManifestEntry& entry, std::string_view bytes) {
    return static_cast<uint64_t>(entry.Size) == bytes.size() &&
           Sha256::Hex(Sha256::Of(bytes)) == entry.Sha256Hex;
}

bool TrustRelease(const TrustRules& rules, const std::string& manifestBytes,
                  const std::string& signatureText, ReleaseManifest& out, TrustRefusal& refused) {
    ReleaseManifest m;
    std::string why;
    if (!VerifyRelease(rules.PublicKeys, manifestBytes, signatureText, m, why))
        return Refuse(refused, why);
    if (m.Format < ManifestFormat)
        return Refuse(refused, std::string(ManifestName) + " is format " +
                                   std::to_string(m.Format) + ", without an expiry; format " +
                                   std::to_string(ManifestFormat) + " is needed");
    if (m.Product != ProductName || m.Channel != rules.Channel)
        return Refuse(refused, std::string(ManifestName) + " is for " + m.Product + " " +
                                   m.Channel + ", not " + ProductName + " " + rules.Channel);
    const int64_t now = rules.Now > 0 ? rules.Now : 0;
    if (now >= m.Expires)
        return Refuse(refused,
                      std::string(ManifestName) + " expired at " + std::to_string(m.Expires) +
                          " (the clock says " + std::to_string(now) + ")",
                      true);
    // Both fit a signed 64-bit integer, and now is not negative: no wrap.
    if (static_cast<int64_t>(m.Serial) - now > MaxSerialLead)
        return Refuse(refused, "serial " + std::to_string(m.Serial) +
                                   " is more than a year ahead of the clock (" +
                                   std::to_string(now) + ")");
    if (m.Serial < rules.MinSerial)
        return Refuse(refused, "serial " + std::to_string(m.Serial) +
                                   " is below this build's floor " +
                                   std::to_string(rules.MinSerial));
    if (m.Serial < rules.InstalledSerial)
        return Refuse(refused, "serial " + std::to_string(m.Serial) +
                                   " is older than the installed release's " +
                                   std::to_string(rules.InstalledSerial));
    for (const std::string& name : rules.RequiredNames)
        if (!m.Find(name))
            return Refuse(refused, std::string(ManifestName) + " does not name " + name);
    out = std::move(m);
    return true;
}

} // namespace ostrak
