#pragma once
// A function run once from the event loop, some milliseconds after Start (a
// single-shot timer on the platform's repeating one).
#include "platform/Timer.h"

#include <functional>
#include <utility>

namespace ostrak {

class OneShot {
public:
    explicit OneShot(std::function<void()> run)
        : Run_(std::move(run)), Timer_(0, [this] {
              Timer_.SetEnabled(false);
              Run_();
          }) {}
    void Start(uint32_t ms) {
        Timer_.SetInterval(ms);
        Timer_.SetEnabled(true);
    }

private:
    std::function<void()> Run_;
    PeriodicTimer Timer_;
};

} // namespace ostrak
