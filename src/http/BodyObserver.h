#pragma once
// BodyObserver: sees the body of a file fetch on its way to disk (BodyFile),
// for checks that must not read the file a second time. BodyBegun starts a
// body, BodyBytes follows with every byte in order, BodyComplete comes once
// the whole body is written and before it replaces the target: false (with
// *failure filled when given) refuses the body, and the target stays as it
// was. Called on the UI thread from inside the HTTP client's events and ticks.
#include "runtime/ErrorRecord.h"

#include <cstdint>
#include <string_view>

namespace ostrak {

class BodyObserver {
public:
    virtual ~BodyObserver() = default;
    virtual void BodyBegun() = 0;
    virtual void BodyBytes(std::string_view bytes) = 0;
    virtual bool BodyComplete(ErrorRecord* failure) = 0;
    // The size the body must have (-1: any). The client fails a fetch whose
    // announced length differs, or whose body runs past it, at once.
    virtual int64_t ExpectedLength() const { return -1; }
};

} // namespace ostrak
