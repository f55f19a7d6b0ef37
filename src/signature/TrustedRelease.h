#pragma once
// Whether a downloaded manifest comes from the publisher and may be
// installed. Its signature file (the base64 text of the Ed25519 signature of
// the manifest's exact bytes, optionally followed by one "\n") must verify
// under one of the publisher's public keys (base64 of 32 bytes each; a
// current key and offline backups), the manifest must read whole and name
// that key; then the trust rules decide (TrustRelease).
#include "signature/ReleaseManifest.h"

#include <cstdint>
#include <string>
#include <vector>

namespace ostrak {

// At most this many public keys are built into an installer.
inline constexpr size_t MaxReleaseKeys = 4;
// A serial may lead the clock by at most this many seconds (a year).
inline constexpr int64_t MaxSerialLead = 365 * 24 * 3600;

// The public key of text (base64, surrounding white space ignored); false
// when text is not a 32-byte key.
bool DecodePublicKey(const std::string& text, std::string& key);
// The keys of text: 1 to MaxReleaseKeys keys, comma-separated, white space
// around each ignored. False when any is not a key, or there are none or
// more than MaxReleaseKeys.
bool DecodePublicKeys(const std::string& text, std::vector<std::string>& keys);
// What the manifest's "key" line holds for a public key (32 raw bytes): the
// first KeyFingerprintDigits hex digits of its SHA-256.
std::string KeyFingerprint(const std::string& publicKey);

// Whether bytes have entry's size and SHA-256.
bool MatchesEntry(const ManifestEntry& entry, std::string_view bytes);

// The signature file's text for signature.
std::string SignatureText(const std::string& signature);

// True, with the manifest in out, when signatureText verifies manifestBytes
// under one of publicKeysText (DecodePublicKeys), the manifest reads whole
// and, in format 2, its "key" line names the key that verified it; else
// false and why. No rule about serial, expiry or product is applied.
bool VerifyRelease(const std::string& publicKeysText, const std::string& manifestBytes,
                   const std::string& signatureText, ReleaseManifest& out, std::string& why);

// What a verified manifest must further satisfy to be installed.
struct TrustRules {
    std::string PublicKeys;       // as for VerifyRelease
    std::string Channel;          // the product line must be ProductName and this
    uint64_t MinSerial = 0;       // the build's floor
    uint64_t InstalledSerial = 0; // the serial last installed (0: none)
    int64_t Now = 0;              // seconds since the epoch
    // Names the manifest must hold besides any others (the files every
    // release serves: its version text, list, executable and libraries).
    std::vector<std::string> RequiredNames;
};

struct TrustRefusal {
    std::string Why;
    bool Expired = false; // the manifest's "expires" has come
};

// VerifyRelease, then, in this order: format 2; the product line; not
// expired (Now before "expires"); a serial at most MaxSerialLead ahead of
// Now; not below MinSerial; not below InstalledSerial (equal is taken, to
// repair); every one of RequiredNames named. True with the manifest in out,
// else false and refused.
bool TrustRelease(const TrustRules& rules, const std::string& manifestBytes,
                  const std::string& signatureText, ReleaseManifest& out, TrustRefusal& refused);

} // namespace ostrak
