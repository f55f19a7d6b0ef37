#include "support/OtherInstance.h"

#include "platform/SingleInstance.h"

#include <QLockFile>

namespace ostrak {

struct OtherInstance::Lock {
    QLockFile File{QString::fromStdString(InstanceLockPath())};
    bool Held = File.tryLock(0);
};

OtherInstance::OtherInstance() : Lock_(std::make_unique<Lock>()) {}
OtherInstance::~OtherInstance() = default;

bool OtherInstance::Holds() const {
    return Lock_->Held;
}

} // namespace ostrak
