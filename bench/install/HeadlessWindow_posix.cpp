#include "HeadlessWindow.h"

#include "platform/widgets/QtSplashView.h"

#include <QApplication>
#include <optional>

namespace ostrak {

namespace {

// The toolkit's arguments: the program's name, then the offscreen platform.
char PlatformOption[] = "-platform";
char PlatformName[] = "offscreen";

} // namespace

struct HeadlessWindow::State {
    char* Args[4];
    int ArgCount = 3;
    std::optional<QApplication> App;
    std::optional<QtSplashView> View;
};

HeadlessWindow::HeadlessWindow(char* programName) : S_(std::make_unique<State>()) {
    S_->Args[0] = programName;
    S_->Args[1] = PlatformOption;
    S_->Args[2] = PlatformName;
    S_->Args[3] = nullptr;
    S_->App.emplace(S_->ArgCount, S_->Args);
    S_->View.emplace();
    SetSplashView(&*S_->View);
}

HeadlessWindow::~HeadlessWindow() {
    SetSplashView(nullptr);
}

} // namespace ostrak
