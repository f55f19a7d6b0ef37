#pragma once
// The release manifest: the signed index of a published release. Text, one
// item per line, every line ending in "\n":
//
//   ostrak-release-manifest 1
//   serial <decimal, 1 or more; grows with every publish>
//   <SHA-256, 64 lower-case hex digits> <size in bytes, decimal> <name>
//   ...                                  (one line per served file)
//
// Names are the files' names under /crc/ on the server, in byte order, each
// once; a name runs to the end of its line and holds no control character.
// Numbers have no sign and no leading zero. Its Ed25519 signature over these
// exact bytes is published beside it (TrustedRelease.h).
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace ostrak {

inline constexpr const char* ManifestName = "release.manifest";
inline constexpr const char* SignatureName = "release.sig";
inline constexpr const char* ManifestFormatLine = "ostrak-release-manifest 1";

struct ManifestEntry {
    std::string Sha256Hex;
    int64_t Size = 0;
    std::string Name;
};

struct ReleaseManifest {
    uint64_t Serial = 0;
    std::vector<ManifestEntry> Files; // in byte order of their names

    // The entry named name, or nullptr.
    const ManifestEntry* Find(const std::string& name) const;
};

// The manifest's text (Files must be sorted and unique; Format sorts a copy).
std::string FormatManifest(ReleaseManifest manifest);
// Reads text strictly; false with the reason (naming the line) in error.
bool ParseManifest(std::string_view text, ReleaseManifest& out, std::string& error);

} // namespace ostrak
