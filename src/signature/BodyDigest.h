#pragma once
// BodyDigest: holds a file download to its entry of the signed manifest. As
// the HTTP client's body observer it hashes the body while it streams to disk
// and, when the body is complete, refuses it unless its size and SHA-256 are
// the expected entry's, so a wrong body never replaces the target. Without an
// expected entry it refuses nothing. UI thread; the owner keeps it alive
// while it is set on the client.
#include "http/BodyObserver.h"
#include "signature/ReleaseManifest.h"
#include "signature/Sha256.h"

#include <optional>

namespace ostrak {

class BodyDigest : public BodyObserver {
public:
    // The entry the next bodies must match (a copy is kept); nullopt: none.
    void Expect(std::optional<ManifestEntry> entry) { Expected_ = std::move(entry); }

    void BodyBegun() override;
    void BodyBytes(std::string_view bytes) override;
    // Refusal: Number 1, Description "<name>: ... differs from the signed
    // manifest", Source "BodyDigest.BodyComplete".
    bool BodyComplete(ErrorRecord* failure) override;

    // Bodies refused since construction.
    int Refused() const { return Refused_; }

private:
    std::optional<ManifestEntry> Expected_;
    Sha256 Sha_;
    int64_t Size_ = 0;
    int Refused_ = 0;
};

} // namespace ostrak
