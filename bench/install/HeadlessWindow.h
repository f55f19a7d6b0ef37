#pragma once
// The window system under headless_install, one per system: on Linux Qt's
// offscreen platform and the Qt view, on Windows the Win32 view (a real
// window; under Wine it opens on the X display the run is given). Built
// first, it sets the toolkit up and installs its view with SetSplashView
// for as long as it lives; the window that uses the view is built after it.
#include <memory>

namespace ostrak {

class HeadlessWindow {
public:
    // programName: argv[0].
    explicit HeadlessWindow(char* programName);
    ~HeadlessWindow();
    HeadlessWindow(const HeadlessWindow&) = delete;
    HeadlessWindow& operator=(const HeadlessWindow&) = delete;

private:
    struct State;
    std::unique_ptr<State> S_;
};

} // namespace ostrak
