#include "Signing.h"

#include "ToolError.h"
#include "checksum/FileChunks.h"
#include "platform/Files.h"

#include "signature/Base64.h"
#include "signature/Ed25519.h"
#include "signature/ReleaseManifest.h"
#include "signature/Sha256.h"
#include "signature/TrustedRelease.h"
#include <cerrno>

#include <algorithm>
#include <chrono>

namespace ostrak {

namespace {

void WriteTreeFile(const std::string& path, const std::string& bytes) {
    ErrorRecord failure;
    Files::AtomicFileWriter out;
    if (!out.Begin(path, &failure) || !out.Write(bytes.data(), bytes.size(), &failure) ||
        !out.Sync(&failure) || !out.Commit(&failure))
        throw ToolError("cannot write " + failure.Description);
}

} // namespace

std::string MakeSigningKey(const std::string& keyFile) {
    Ed25519KeyPair pair;
    ErrorRecord failure;
    if (!Ed25519Generate(pair, &failure))
        throw ToolError(failure.Description);
    if (!Files::CreatePrivateFile(keyFile, pair.PrivatePem, &failure))
        throw ToolError("cannot create " + failure.Description +
                        (failure.Number == EEXIST ? " (a key is never overwritten)" : ""));
    return Base64Encode(pair.PublicKey);
}

std::string ReadSigningKey(const std::string& keyFile) {
    std::string pem, publicKey;
    ErrorRecord failure;
    if (!Files::ReadWholeFile(keyFile, pem, &failure))
        throw ToolError("cannot read " + failure.Description);
    if (!Ed25519PublicKeyOf(pem, publicKey))
        throw ToolError(keyFile + ": not an Ed25519 private key in PEM (make one with --keygen)");
    return pem;
}

uint64_t NextSerial(const std::string& target) {
    const auto now = std::chrono::duration_cast<std::chrono::seconds>(
                         std::chrono::system_clock::now().time_since_epoch())
                         .count();
    uint64_t serial = now > 0 ? static_cast<uint64_t>(now) : 1;
    std::string text, error;
    ReleaseManifest earlier;
    if (Files::ReadWholeFile(Files::JoinPath(target, ManifestName), text) &&
        ParseManifest(text, earlier, error))
        serial = std::max(serial, earlier.Serial + 1);
    return serial;
}

uint64_t SignRelease(const std::string& folder, const std::vector<std::string>& names,
                     const std::string& privatePem, uint64_t serial) {
    ReleaseManifest manifest;
    manifest.Serial = serial;
    Sha256 sha;
    for (const std::string& name : names) {
        const std::string path = Files::JoinPath(folder, name);
        ErrorRecord failure;
        const std::optional<uint64_t> size = ReadFileChunks(
            path, [&](const uint8_t* data, size_t n) { sha.Update(data, n); }, kFileChunkSize,
            &failure);
        if (!size)
            throw ToolError("cannot read " + failure.Description);
        manifest.Files.push_back({Sha256::Hex(sha.Final()), static_cast<int64_t>(*size), name});
    }
    const std::string text = FormatManifest(manifest);
    std::string signature;
    ErrorRecord failure;
    if (!Ed25519Sign(privatePem, text, signature, &failure))
        throw ToolError(failure.Description);
    WriteTreeFile(Files::JoinPath(folder, ManifestName), text);
    WriteTreeFile(Files::JoinPath(folder, SignatureName), SignatureText(signature));
    return serial;
}

} // namespace ostrak
