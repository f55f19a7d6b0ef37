#include "support/OtherInstance.h"

#include "platform/SingleInstance.h"

#include <windows.h>

namespace ostrak {

struct OtherInstance::Lock {
    HANDLE Mutex = ::CreateMutexA(nullptr, FALSE, InstanceLockPath().c_str());
    bool Held = Mutex != nullptr && ::GetLastError() != ERROR_ALREADY_EXISTS;
    ~Lock() {
        if (Mutex != nullptr)
            ::CloseHandle(Mutex);
    }
};

OtherInstance::OtherInstance() : Lock_(std::make_unique<Lock>()) {}
OtherInstance::~OtherInstance() = default;

bool OtherInstance::Holds() const {
    return Lock_->Held;
}

} // namespace ostrak
