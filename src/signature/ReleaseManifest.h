#pragma once
// The release manifest: the signed index of a published release. Text, one
// item per line, every line ending in "\n":
//
//   ostrak-release-manifest 2
//   serial <decimal, 1 or more; grows with every publish>
//   expires <seconds since the epoch; not trusted from then on>
//   product <product> <channel>          ("product ostrak stable")
//   key <fingerprint of the signing key: 16 lower-case hex digits>
//   <SHA-256, 64 lower-case hex digits> <size in bytes, decimal> <name>
//   ...                                  (one line per served file)
//
// Format 1 (earlier releases) has the format line, the serial and the files
// only; it is read so that the publisher's tool can re-sign such a tree, and
// refused by the trust rules (TrustedRelease.h).
//
// Names are the files' names under /crc/ on the server, in byte order, each
// once; a name runs to the end of its line and holds no control character.
// Numbers have no sign and no leading zero and fit a signed 64-bit integer
// (MaxManifestNumber), so that nothing computed from them can wrap. Product
// and channel are 1 to 32 of a-z, 0-9 and "-". Its Ed25519 signature over
// these exact bytes is published beside it (TrustedRelease.h).
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace ostrak {

inline constexpr const char* ManifestName = "release.manifest";
inline constexpr const char* SignatureName = "release.sig";
inline constexpr const char* ManifestFormatPrefix = "ostrak-release-manifest ";
// The format this code writes; the reader also takes 1.
inline constexpr int ManifestFormat = 2;
inline constexpr uint64_t MaxManifestNumber = INT64_MAX;
inline constexpr const char* ProductName = "ostrak";
inline constexpr size_t KeyFingerprintDigits = 16;

struct ManifestEntry {
    std::string Sha256Hex;
    int64_t Size = 0;
    std::string Name;
};

struct ReleaseManifest {
    int Format = ManifestFormat;
    uint64_t Serial = 0;
    // Format 2 only (empty or 0 in format 1).
    int64_t Expires = 0;
    std::string Product;              // "ostrak"
    std::string Channel;              // "stable"
    std::string KeyId;                // KeyFingerprint of the key that signed it
    std::vector<ManifestEntry> Files; // in byte order of their names

    // The entry named name, or nullptr.
    const ManifestEntry* Find(const std::string& name) const;
};

// The manifest's text in format 2 (Files must be unique; Format sorts a copy).
std::string FormatManifest(ReleaseManifest manifest);
// Reads text (format 1 or 2) strictly; false with the reason (naming the
// line) in error.
bool ParseManifest(std::string_view text, ReleaseManifest& out, std::string& error);
// A plain decimal number without sign or leading zero ("0" itself is one),
// at most MaxManifestNumber.
bool ParsePlainNumber(std::string_view text, uint64_t& out);
// Whether text can be a product or channel name.
bool IsChannelName(std::string_view text);

} // namespace ostrak
