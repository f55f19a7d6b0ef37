#include "HeadlessWindow.h"

#include "platform/win32/Win32SplashView.h"

#include <commctrl.h>
#include <windows.h>

namespace ostrak {

struct HeadlessWindow::State {
    Win32SplashView View;
};

HeadlessWindow::HeadlessWindow(char*) {
    INITCOMMONCONTROLSEX controls{sizeof controls, ICC_STANDARD_CLASSES};
    ::InitCommonControlsEx(&controls);
    S_ = std::make_unique<State>();
    SetSplashView(&S_->View);
}

HeadlessWindow::~HeadlessWindow() {
    SetSplashView(nullptr);
}

} // namespace ostrak
