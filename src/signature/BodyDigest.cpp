#include "signature/BodyDigest.h"

namespace ostrak {

void BodyDigest::BodyBegun() {
    Sha_.Reset();
    Size_ = 0;
}

void BodyDigest::BodyBytes(std::string_view bytes) {
    Sha_.Update(bytes);
    Size_ += static_cast<int64_t>(bytes.size());
}

bool BodyDigest::BodyComplete(ErrorRecord* failure) {
    const std::string hex = Sha256::Hex(Sha_.Final());
    if (!Expected_)
        return true;
    std::string why;
    if (Size_ != Expected_->Size)
        why = "size " + std::to_string(Size_) + " differs from the signed manifest's " +
              std::to_string(Expected_->Size);
    else if (hex != Expected_->Sha256Hex)
        why = "SHA-256 differs from the signed manifest";
    if (why.empty())
        return true;
    ++Refused_;
    if (failure)
        *failure = ErrorRecord{1, Expected_->Name + ": " + why, "BodyDigest.BodyComplete"};
    return false;
}

} // namespace ostrak
