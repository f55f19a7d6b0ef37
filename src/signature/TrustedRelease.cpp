#include "signature/TrustedRelease.h"

#include "signature/Base64.h"
#include "signature/Ed25519.h"

namespace ostrak {

namespace {

std::string Trimmed(const std::string& text) {
    const char* space = " \t\r\n";
    const size_t begin = text.find_first_not_of(space);
    if (begin == std::string::npos)
        return "";
    return text.substr(begin, text.find_last_not_of(space) - begin + 1);
}

} // namespace

bool DecodePublicKey(const std::string& text, std::string& key) {
    const std::optional<std::string> bytes = Base64Decode(Trimmed(text));
    if (!bytes || bytes->size() != Ed25519PublicKeySize)
        return false;
    key = *bytes;
    return true;
}

std::string SignatureText(const std::string& signature) {
    return Base64Encode(signature) + "\n";
}

bool VerifyRelease(const std::string& publicKeyText, const std::string& manifestBytes,
                   const std::string& signatureText, ReleaseManifest& out, std::string& why) {
    std::string key;
    if (!DecodePublicKey(publicKeyText, key)) {
        why = "the public key is not 32 bytes of base64";
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
    if (!Ed25519Verify(key, manifestBytes, *signature)) {
        why = std::string("the signature does not match ") + ManifestName +
              " under the publisher's key";
        return false;
    }
    std::string error;
    if (!ParseManifest(manifestBytes, out, error)) {
        why = std::string(ManifestName) + ", " + error;
        return false;
    }
    return true;
}

} // namespace ostrak
