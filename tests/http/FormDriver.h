#pragma once
// Test helpers around FrmConnect: the form with its timer stopped, ticked by
// hand so that a test decides when each tick happens, with the event loop
// run between ticks.
#include "http/FrmConnect.h"
#include "platform/EventLoop.h"
#include "support/TempDir.h"

#include <filesystem>
#include <functional>
#include <string>
#include <vector>

namespace ostrak {

class FormDriver {
public:
    explicit FormDriver(int port) {
        Form.Timer1.SetEnabled(false);
        Form.Port = port;
    }

    // Lets events run for about ms milliseconds without ticking.
    void RunEvents(int ms) {
        for (int i = 0; i < ms; ++i)
            WaitForEvents(1);
    }
    // One tick, then events run briefly (up to 2 ms).
    void Tick() {
        Form.Timer1_Timer();
        WaitForEvents(2);
        ++Ticks;
    }
    // Ticks until done() holds; false when it still does not after maxTicks.
    bool TickUntil(const std::function<bool()>& done, int maxTicks = 1500) {
        for (int i = 0; i < maxTicks; ++i) {
            if (done())
                return true;
            Tick();
        }
        return done();
    }
    // Ticks until the current file fetch has been stored or has failed.
    bool TickUntilSettled(int maxTicks = 1500) {
        return TickUntil([&] { return IsTrue(Form.DownDone) || IsTrue(Form.DownFailed); },
                         maxTicks);
    }

    FrmConnect Form;
    int Ticks = 0;
};

inline std::string Response(const std::string& headers, const std::string& body) {
    return "HTTP/1.0 200 OK\r\n" + headers + "\r\n" + body;
}

} // namespace ostrak
