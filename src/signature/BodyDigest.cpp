#include "signature/BodyDigest.h"

namespace ostrak {

BodyDigest::~BodyDigest() {
    {
        std::lock_guard<std::mutex> lock(Mutex_);
        Stop_ = true;
    }
    Wake_.notify_one();
    if (Worker_.joinable())
        Worker_.join();
}

void BodyDigest::Work() {
    std::unique_lock<std::mutex> lock(Mutex_);
    for (;;) {
        Wake_.wait(lock, [this] { return Stop_ || !Pending_.empty(); });
        if (Pending_.empty())
            return;
        std::string piece = std::move(Pending_.front());
        Pending_.pop_front();
        lock.unlock();
        Sha_.Update(piece);
        lock.lock();
        PendingBytes_ -= piece.size();
        piece.clear();
        Spare_.push_back(std::move(piece));
        Drained_.notify_one();
    }
}

void BodyDigest::HandOver() {
    if (Gathered_.empty())
        return;
    std::unique_lock<std::mutex> lock(Mutex_);
    Drained_.wait(lock, [this] { return PendingBytes_ <= MaxPendingBytes; });
    PendingBytes_ += Gathered_.size();
    Pending_.push_back(std::move(Gathered_));
    Gathered_ = std::string();
    if (!Spare_.empty()) {
        Gathered_ = std::move(Spare_.back());
        Spare_.pop_back();
    }
    lock.unlock();
    Wake_.notify_one();
}

void BodyDigest::Drain() {
    HandOver();
    std::unique_lock<std::mutex> lock(Mutex_);
    Drained_.wait(lock, [this] { return PendingBytes_ == 0; });
}

void BodyDigest::BodyBegun() {
    Drain();
    Sha_.Reset();
    Size_ = 0;
    if (!Worker_.joinable())
        Worker_ = std::thread([this] { Work(); });
}

void BodyDigest::BodyBytes(std::string_view bytes) {
    if (bytes.empty())
        return;
    Size_ += static_cast<int64_t>(bytes.size());
    Gathered_.append(bytes);
    if (Gathered_.size() >= HandOverBytes)
        HandOver();
}

bool BodyDigest::BodyComplete(ErrorRecord* failure) {
    Drain();
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
