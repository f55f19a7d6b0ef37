#pragma once
// Publishing a release: SOURCE_DIR (a flat folder of game files) becomes
// OUT_DIR/crc, the tree the game's web server serves to the installer.
#include <cstdint>
#include <iosfwd>
#include <string>

namespace ostrak {

struct PublishOptions {
    std::string SourceDir;
    std::string OutDir;
    uint8_t Seed = 0; // 1 to 255
    // The publisher's Ed25519 private key (PEM): when given, the tree also
    // gets crc/release.manifest and crc/release.sig (Signing.h).
    std::string SigningKeyPem;
};

// Checks SOURCE_DIR, OUT_DIR and every name of SourceDir, builds the new
// tree beside OutDir (see ReleaseTree.h; OutDir is created, one level, when
// missing) and moves it into place as OutDir/crc, replacing an earlier one
// only once the new one is complete. Throws ToolError (and leaves OutDir/crc
// as it was, without temporary folders) on refused input, a source file that
// changed while it was copied, or a failed write. Reports what it wrote on
// out (names escaped) and notes on err.
void Publish(const PublishOptions& options, std::ostream& out, std::ostream& err);

} // namespace ostrak
