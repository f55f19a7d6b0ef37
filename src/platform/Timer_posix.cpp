#include "platform/Timer.h"

#include <QTimer>

namespace ostrak {

struct PeriodicTimer::Impl {
    QTimer Timer;
    std::function<void()> OnTick;
    bool InTick = false;
};

PeriodicTimer::PeriodicTimer(uint32_t intervalMs, std::function<void()> onTick)
    : Impl_(std::make_unique<Impl>()) {
    Impl_->OnTick = std::move(onTick);
    Impl_->Timer.setSingleShot(false);
    Impl_->Timer.setTimerType(Qt::PreciseTimer);
    Impl_->Timer.setInterval(static_cast<int>(intervalMs));
    Impl* impl = Impl_.get();
    QObject::connect(&Impl_->Timer, &QTimer::timeout, [impl] {
        if (impl->InTick || !impl->OnTick)
            return;
        struct Guard {
            bool& Flag;
            ~Guard() { Flag = false; }
        } guard{impl->InTick};
        impl->InTick = true;
        impl->OnTick();
    });
}

PeriodicTimer::~PeriodicTimer() {
    Impl_->Timer.stop();
}

void PeriodicTimer::SetEnabled(bool enabled) {
    if (enabled && !Impl_->Timer.isActive())
        Impl_->Timer.start();
    else if (!enabled)
        Impl_->Timer.stop();
}

bool PeriodicTimer::Enabled() const {
    return Impl_->Timer.isActive();
}

void PeriodicTimer::SetInterval(uint32_t intervalMs) {
    Impl_->Timer.setInterval(static_cast<int>(intervalMs));
}

uint32_t PeriodicTimer::Interval() const {
    return static_cast<uint32_t>(Impl_->Timer.interval());
}

} // namespace ostrak
