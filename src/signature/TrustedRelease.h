#pragma once
// Whether a downloaded manifest comes from the publisher: its signature file
// (the base64 text of the Ed25519 signature of the manifest's exact bytes,
// optionally followed by one "\n") must verify under the publisher's public
// key (base64 of its 32 bytes), and the manifest must then read whole.
#include "signature/ReleaseManifest.h"

#include <string>

namespace ostrak {

// The public key of text (base64, surrounding white space ignored); false
// when text is not a 32-byte key.
bool DecodePublicKey(const std::string& text, std::string& key);

// The signature file's text for signature.
std::string SignatureText(const std::string& signature);

// True, with the manifest in out, when signatureText verifies manifestBytes
// under publicKeyText and the manifest reads whole; else false and why.
bool VerifyRelease(const std::string& publicKeyText, const std::string& manifestBytes,
                   const std::string& signatureText, ReleaseManifest& out, std::string& why);

} // namespace ostrak
