#pragma once
// The installer's single-instance lock, taken the way another running copy
// of the program takes it, for as long as the object lives.
#include <memory>

namespace ostrak {

class OtherInstance {
public:
    OtherInstance();
    ~OtherInstance();
    OtherInstance(const OtherInstance&) = delete;
    OtherInstance& operator=(const OtherInstance&) = delete;

    // Whether it got the lock (false when this process, or another, holds it).
    bool Holds() const;

private:
    struct Lock;
    std::unique_ptr<Lock> Lock_;
};

} // namespace ostrak
