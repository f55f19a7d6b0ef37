#pragma once
// Ed25519 keys, signatures and their checks (OpenSSL's on Linux, libgcrypt's on
// Windows, where only unencrypted keys are read and written). A private key is
// held as PEM text (PKCS #8; unencrypted, or encrypted with a passphrase for
// storage), a public key as its 32 raw bytes. A passphrase is never asked
// for here: an encrypted key is read only through Ed25519DecryptPem.
// Calls that fail fill *failure (Number 1, Description why, Source
// "Ed25519.<call>") when failure is given. Any thread; no state.
#include "runtime/ErrorRecord.h"

#include <string>
#include <string_view>

namespace ostrak {

inline constexpr size_t Ed25519PublicKeySize = 32;
inline constexpr size_t Ed25519SignatureSize = 64;

struct Ed25519KeyPair {
    std::string PrivatePem;
    std::string PublicKey; // 32 raw bytes
};

// A new key pair from the system's random source.
bool Ed25519Generate(Ed25519KeyPair& out, ErrorRecord* failure = nullptr);
// The public key of a private key in PEM; false when privatePem is not an
// Ed25519 private key.
bool Ed25519PublicKeyOf(const std::string& privatePem, std::string& publicKey,
                        ErrorRecord* failure = nullptr);
// Whether pem holds an encrypted private key.
bool Ed25519IsEncrypted(const std::string& pem);
// plainPem encrypted with passphrase (AES-256, key derived by PBKDF2); the
// passphrase must not be empty.
bool Ed25519EncryptPem(const std::string& plainPem, const std::string& passphrase,
                       std::string& encryptedPem, ErrorRecord* failure = nullptr);
// The unencrypted PEM of encryptedPem; false on a wrong passphrase.
bool Ed25519DecryptPem(const std::string& encryptedPem, const std::string& passphrase,
                       std::string& plainPem, ErrorRecord* failure = nullptr);
// The 64-byte signature of message under the private key in PEM.
bool Ed25519Sign(const std::string& privatePem, std::string_view message, std::string& signature,
                 ErrorRecord* failure = nullptr);
// True only when signature is a valid signature of message under publicKey
// (32 raw bytes); any malformed input is simply false.
bool Ed25519Verify(std::string_view publicKey, std::string_view message,
                   std::string_view signature);

} // namespace ostrak
