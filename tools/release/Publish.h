#pragma once
// Publishing a release: SOURCE_DIR (a flat folder of game files) becomes
// OUT_DIR/crc, the tree the game's web server serves to the installer.
#include <cstdint>
#include <iosfwd>
#include <string>

namespace ostrak {

inline constexpr int DefaultExpiresDays = 30;
inline constexpr int MaxExpiresDays = 3650;

struct PublishOptions {
    std::string SourceDir;
    std::string OutDir;
    uint8_t Seed = 0; // 1 to 255
    // The publisher's Ed25519 private key (PEM): when given, the tree also
    // gets crc/release.manifest and crc/release.sig (Signing.h), valid for
    // ExpiresDays days from now, for Channel.
    std::string SigningKeyPem;
    int ExpiresDays = DefaultExpiresDays;
    std::string Channel;
};

// Checks SOURCE_DIR, OUT_DIR and every name of SourceDir, builds the new
// tree beside OutDir (see ReleaseTree.h; OutDir is created, one level, when
// missing) and moves it into place as OutDir/crc, replacing an earlier one
// only once the new one is complete. Throws ToolError (and leaves OutDir/crc
// as it was, without temporary folders) on refused input, a source file that
// changed while it was copied, or a failed write. Reports what it wrote on
// out (names escaped) and notes on err.
void Publish(const PublishOptions& options, std::ostream& out, std::ostream& err);

// Re-signs the published tree OutDir/crc with SigningKeyPem, a new serial
// and expiry (ExpiresDays, Channel), without the source: every file there is
// copied into a new tree beside OutDir, hashed, and must match the manifest
// already there (format 1 or 2, the same files); the new tree then replaces
// the old one as in Publish. Throws ToolError (and leaves the tree as it was)
// when it is not a signed tree, a file differs or is missing or extra, or a
// write fails. SourceDir and Seed are not used.
void Resign(const PublishOptions& options, std::ostream& out);

} // namespace ostrak
