#pragma once
// Sha256: an incremental SHA-256 digest (OpenSSL's on Linux, which uses the
// processor's SHA instructions where there are any; libgcrypt's on Windows).
// Feed bytes with Update in any pieces; Final gives the digest and starts
// over. Not thread-safe; one object per stream. Not copyable.
#include <array>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

namespace ostrak {

class Sha256 {
public:
    using Digest = std::array<uint8_t, 32>;

    Sha256();
    ~Sha256();
    Sha256(const Sha256&) = delete;
    Sha256& operator=(const Sha256&) = delete;

    // Starts a new digest, dropping what was fed.
    void Reset();
    void Update(const void* data, size_t size);
    void Update(std::string_view bytes) { Update(bytes.data(), bytes.size()); }
    // The digest of everything fed since the last Reset or Final; starts over.
    Digest Final();

    // The digest of bytes at once.
    static Digest Of(std::string_view bytes);
    // Lower-case hex, 64 characters.
    static std::string Hex(const Digest& digest);

private:
    struct Context;
    std::unique_ptr<Context> Context_;
};

} // namespace ostrak
