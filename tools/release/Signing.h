#pragma once
// Signing a release tree: the manifest of every served file (SHA-256, size,
// name) with a serial that grows with every publish, an expiry, the product
// and channel and the signing key's fingerprint, and its Ed25519 signature,
// written into the tree being built (crc/release.manifest, crc/release.sig),
// so they reach the server in the same swap as the files.
#include "signature/ReleaseManifest.h"

#include <cstdint>
#include <string>
#include <vector>

namespace ostrak {

// Where the passphrase of a private key comes from: the first line of File,
// else, with Ask (or when reading an encrypted key without File), the
// terminal.
struct PassphraseSource {
    std::string File;
    bool Ask = false;
};

// Makes a new key: writes its private key (PEM; encrypted when passphrase
// names a file or Ask, and then asked twice on the terminal) to keyFile,
// mode 0600, refusing a keyFile that exists, and returns the public key in
// base64. Throws ToolError.
std::string MakeSigningKey(const std::string& keyFile, const PassphraseSource& passphrase);

// Reads the private key in keyFile (decrypting it with the passphrase when it
// is encrypted) as unencrypted PEM. Throws ToolError when keyFile may be read
// by group or others, cannot be read, the passphrase is wrong, or it is not
// an Ed25519 private key.
std::string ReadSigningKey(const std::string& keyFile, const PassphraseSource& passphrase);

// The serial of the next publish into target (OUT_DIR/crc) at now (seconds
// since the epoch): now, but always above the serial of a signed release
// already there. Throws ToolError when that is more than MaxSerialLead ahead
// of now (installers would refuse it).
uint64_t NextSerial(const std::string& target, int64_t now);

struct SigningOptions {
    std::string PrivatePem; // unencrypted
    uint64_t Serial = 0;
    int64_t Expires = 0; // seconds since the epoch
    std::string Channel;
};

// Hashes the files names of folder, writes the manifest and its signature
// into folder, and returns the manifest. Throws ToolError.
ReleaseManifest SignRelease(const std::string& folder, const std::vector<std::string>& names,
                            const SigningOptions& options);

} // namespace ostrak
