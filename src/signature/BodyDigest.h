#pragma once
// BodyDigest: holds a file download to its entry of the signed manifest. As
// the HTTP client's body observer it hashes the body while it streams to disk
// and, when the body is complete, refuses it unless its size and SHA-256 are
// the expected entry's, so a wrong body never replaces the target. Without an
// expected entry it refuses nothing. Called on the UI thread; the owner keeps
// it alive while it is set on the client. The hashing itself runs on a
// worker thread of its own (started with the first body, ended by the
// destructor), so that it overlaps with receiving and writing instead of
// holding them up: BodyBytes hands over a copy of the bytes, waiting only
// while more than MaxPendingBytes are not hashed yet, and BodyComplete waits
// for the last of them.
#include "http/BodyObserver.h"
#include "signature/ReleaseManifest.h"
#include "signature/Sha256.h"

#include <condition_variable>
#include <deque>
#include <mutex>
#include <optional>
#include <thread>
#include <vector>

namespace ostrak {

class BodyDigest : public BodyObserver {
public:
    static constexpr size_t MaxPendingBytes = 4 * 1024 * 1024;
    // Bytes are handed to the worker in pieces of at least this size (the
    // last of a body may be shorter), so that waking it costs little.
    static constexpr size_t HandOverBytes = 256 * 1024;

    BodyDigest() = default;
    ~BodyDigest() override;
    BodyDigest(const BodyDigest&) = delete;
    BodyDigest& operator=(const BodyDigest&) = delete;

    // The entry the next bodies must match (a copy is kept); nullopt: none.
    void Expect(std::optional<ManifestEntry> entry) { Expected_ = std::move(entry); }

    void BodyBegun() override;
    void BodyBytes(std::string_view bytes) override;
    // Refusal: Number 1, Description "<name>: ... differs from the signed
    // manifest", Source "BodyDigest.BodyComplete".
    bool BodyComplete(ErrorRecord* failure) override;
    // The expected entry's size.
    int64_t ExpectedLength() const override { return Expected_ ? Expected_->Size : -1; }

    // Bodies refused since construction.
    int Refused() const { return Refused_; }

private:
    // The worker: hashes what is pending, in order.
    void Work();
    // Hands what is gathered to the worker.
    void HandOver();
    // Hands over what is gathered and waits until every byte is hashed.
    void Drain();

    std::optional<ManifestEntry> Expected_;
    int64_t Size_ = 0;
    int Refused_ = 0;
    std::string Gathered_; // UI side, not handed over yet

    std::thread Worker_;
    std::mutex Mutex_;
    std::condition_variable Wake_;    // work arrived, or stop
    std::condition_variable Drained_; // pending bytes went down
    std::deque<std::string> Pending_;
    std::vector<std::string> Spare_; // hashed pieces, kept for their memory
    size_t PendingBytes_ = 0;        // including the piece being hashed
    bool Stop_ = false;
    Sha256 Sha_; // the worker's while bytes are pending
};

} // namespace ostrak
