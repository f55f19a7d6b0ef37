#pragma once
// Signing a release tree: the manifest of every served file (SHA-256, size,
// name) with a serial that grows with every publish, and its Ed25519
// signature, written into the tree being built (crc/release.manifest,
// crc/release.sig), so they reach the server in the same swap as the files.
#include <cstdint>
#include <string>
#include <vector>

namespace ostrak {

// Makes a new key: writes its private key (PEM) to keyFile, mode 0600,
// refusing a keyFile that exists, and returns the public key in base64.
// Throws ToolError.
std::string MakeSigningKey(const std::string& keyFile);

// Reads the private key in keyFile; throws ToolError when it cannot be read
// or is not an Ed25519 private key.
std::string ReadSigningKey(const std::string& keyFile);

// The serial of the next publish into target (OUT_DIR/crc): the current time
// in seconds since the epoch, but always above the serial of a signed
// release already there.
uint64_t NextSerial(const std::string& target);

// Hashes the files names of folder, writes the manifest with serial and its
// signature into folder, and returns serial. Throws ToolError.
uint64_t SignRelease(const std::string& folder, const std::vector<std::string>& names,
                     const std::string& privatePem, uint64_t serial);

} // namespace ostrak
