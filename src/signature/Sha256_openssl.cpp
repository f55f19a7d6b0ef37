#include "signature/Sha256.h"

#include <openssl/evp.h>
#include <stdexcept>

namespace ostrak {

struct Sha256::Context {
    EVP_MD_CTX* Md = nullptr;
    ~Context() { EVP_MD_CTX_free(Md); }
};

Sha256::Sha256() : Context_(std::make_unique<Context>()) {
    Context_->Md = EVP_MD_CTX_new();
    if (!Context_->Md)
        throw std::bad_alloc();
    Reset();
}

Sha256::~Sha256() = default;

void Sha256::Reset() {
    if (EVP_DigestInit_ex(Context_->Md, EVP_sha256(), nullptr) != 1)
        throw std::runtime_error("SHA-256 is not available");
}

void Sha256::Update(const void* data, size_t size) {
    if (size > 0)
        EVP_DigestUpdate(Context_->Md, data, size);
}

Sha256::Digest Sha256::Final() {
    Digest digest{};
    unsigned int length = 0;
    EVP_DigestFinal_ex(Context_->Md, digest.data(), &length);
    Reset();
    return digest;
}

} // namespace ostrak
