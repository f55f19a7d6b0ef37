#include "signature/Gcrypt.h"
#include "signature/Sha256.h"

#include <cstring>
#include <stdexcept>

namespace ostrak {

struct Sha256::Context {
    gcry_md_hd_t Md = nullptr;
    ~Context() { gcry_md_close(Md); }
};

Sha256::Sha256() : Context_(std::make_unique<Context>()) {
    InitGcrypt();
    if (gcry_md_open(&Context_->Md, GCRY_MD_SHA256, 0) != 0)
        throw std::runtime_error("SHA-256 is not available");
}

Sha256::~Sha256() = default;

void Sha256::Reset() {
    gcry_md_reset(Context_->Md);
}

void Sha256::Update(const void* data, size_t size) {
    if (size > 0)
        gcry_md_write(Context_->Md, data, size);
}

Sha256::Digest Sha256::Final() {
    Digest digest{};
    std::memcpy(digest.data(), gcry_md_read(Context_->Md, GCRY_MD_SHA256), digest.size());
    Reset();
    return digest;
}

} // namespace ostrak
