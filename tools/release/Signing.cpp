#include "Signing.h"

#include "ToolError.h"
#include "checksum/FileChunks.h"
#include "platform/Files.h"
#include "platform/Secrets.h"

#include "signature/Base64.h"
#include "signature/Ed25519.h"
#include "signature/Sha256.h"
#include "signature/TrustedRelease.h"
#include <cerrno>

#include <algorithm>

namespace ostrak {

namespace {

void WriteTreeFile(const std::string& path, const std::string& bytes) {
    ErrorRecord failure;
    Files::AtomicFileWriter out;
    if (!out.Begin(path, &failure) || !out.Write(bytes.data(), bytes.size(), &failure) ||
        !out.Sync(&failure) || !out.Commit(&failure))
        throw ToolError("cannot write " + failure.Description);
}

std::string AskPassphrase(const std::string& prompt) {
    std::string line;
    ErrorRecord failure;
    if (!ReadHiddenLine(prompt, line, &failure))
        throw ToolError("cannot ask for the passphrase: " + failure.Description +
                        " (give it with --passphrase-file)");
    return line;
}

// The passphrase of source; asked twice when confirm.
std::string PassphraseOf(const PassphraseSource& source, bool confirm) {
    std::string passphrase;
    if (!source.File.empty()) {
        ErrorRecord failure;
        if (!Files::ReadWholeFile(source.File, passphrase, &failure))
            throw ToolError("cannot read " + failure.Description);
        passphrase = passphrase.substr(0, passphrase.find('\n'));
        if (!passphrase.empty() && passphrase.back() == '\r')
            passphrase.pop_back();
    } else {
        passphrase = AskPassphrase("Passphrase of the private key: ");
        if (confirm && AskPassphrase("The same passphrase again: ") != passphrase)
            throw ToolError("the two passphrases differ; nothing written");
    }
    if (passphrase.empty())
        throw ToolError("the passphrase is empty" +
                        (source.File.empty() ? std::string() : " (" + source.File + ")"));
    return passphrase;
}

} // namespace

std::string MakeSigningKey(const std::string& keyFile, const PassphraseSource& passphrase) {
    Ed25519KeyPair pair;
    ErrorRecord failure;
    if (Files::Exists(keyFile))
        throw ToolError("cannot create " + keyFile + ": exists (a key is never overwritten)");
    if (!Ed25519Generate(pair, &failure))
        throw ToolError(failure.Description);
    std::string pem = pair.PrivatePem;
    if ((!passphrase.File.empty() || passphrase.Ask) &&
        !Ed25519EncryptPem(pair.PrivatePem, PassphraseOf(passphrase, true), pem, &failure))
        throw ToolError(failure.Description);
    if (!Files::CreatePrivateFile(keyFile, pem, &failure))
        throw ToolError("cannot create " + failure.Description +
                        (failure.Number == EEXIST ? " (a key is never overwritten)" : ""));
    return Base64Encode(pair.PublicKey);
}

std::string ReadSigningKey(const std::string& keyFile, const PassphraseSource& passphrase) {
    std::string pem, publicKey;
    ErrorRecord failure;
    uint32_t mode = 0;
    if (!FileModeBits(keyFile, mode, &failure))
        throw ToolError("cannot read " + failure.Description);
    if ((mode & 077) != 0)
        throw ToolError(keyFile + ": group or others may read this private key (mode " +
                        std::to_string(mode >> 6 & 7) + std::to_string(mode >> 3 & 7) +
                        std::to_string(mode & 7) + "); make it the owner's only (chmod 600)");
    if (!Files::ReadWholeFile(keyFile, pem, &failure))
        throw ToolError("cannot read " + failure.Description);
    if (Ed25519IsEncrypted(pem) &&
        !Ed25519DecryptPem(pem, PassphraseOf(passphrase, false), pem, &failure))
        throw ToolError(keyFile + ": " + failure.Description);
    if (!Ed25519PublicKeyOf(pem, publicKey))
        throw ToolError(keyFile + ": not an Ed25519 private key in PEM (make one with --keygen)");
    return pem;
}

uint64_t NextSerial(const std::string& target, int64_t now) {
    uint64_t serial = now > 0 ? static_cast<uint64_t>(now) : 1;
    std::string text, error;
    ReleaseManifest earlier;
    // A serial read has at most MaxManifestNumber: one more cannot wrap.
    if (Files::ReadWholeFile(Files::JoinPath(target, ManifestName), text) &&
        ParseManifest(text, earlier, error))
        serial = std::max(serial, earlier.Serial + 1);
    if (static_cast<int64_t>(serial - 1) - std::max<int64_t>(now, 0) >= MaxSerialLead)
        throw ToolError(Files::JoinPath(target, ManifestName) + ": serial " +
                        std::to_string(earlier.Serial) +
                        " is more than a year ahead of the clock; installers would refuse the "
                        "next one. Check the clock, or remove the tree and publish again");
    return serial;
}

ReleaseManifest SignRelease(const std::string& folder, const std::vector<std::string>& names,
                            const SigningOptions& options) {
    ReleaseManifest manifest;
    manifest.Serial = options.Serial;
    manifest.Expires = options.Expires;
    manifest.Product = ProductName;
    manifest.Channel = options.Channel;
    std::string publicKey;
    ErrorRecord failure;
    if (!Ed25519PublicKeyOf(options.PrivatePem, publicKey, &failure))
        throw ToolError(failure.Description);
    manifest.KeyId = KeyFingerprint(publicKey);
    Sha256 sha;
    for (const std::string& name : names) {
        const std::string path = Files::JoinPath(folder, name);
        const std::optional<uint64_t> size = ReadFileChunks(
            path, [&](const uint8_t* data, size_t n) { sha.Update(data, n); }, kFileChunkSize,
            &failure);
        if (!size)
            throw ToolError("cannot read " + failure.Description);
        manifest.Files.push_back({Sha256::Hex(sha.Final()), static_cast<int64_t>(*size), name});
    }
    std::sort(manifest.Files.begin(), manifest.Files.end(),
              [](const ManifestEntry& a, const ManifestEntry& b) { return a.Name < b.Name; });
    const std::string text = FormatManifest(manifest);
    std::string signature;
    if (!Ed25519Sign(options.PrivatePem, text, signature, &failure))
        throw ToolError(failure.Description);
    WriteTreeFile(Files::JoinPath(folder, ManifestName), text);
    WriteTreeFile(Files::JoinPath(folder, SignatureName), SignatureText(signature));
    return manifest;
}

} // namespace ostrak
