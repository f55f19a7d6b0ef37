#pragma once
// The installer's view on Qt: the controls of SplashView over the widgets of
// a QtSplashWindow. A press of a button and a close request of the window
// reach the view's owner. Needs a QApplication; UI thread only. Install it
// once at start-up with SetSplashView.
#include "platform/SplashView.h"

#include <memory>

namespace ostrak {

class QtSplashWindow;

class QtSplashView : public SplashView {
public:
    QtSplashView();
    ~QtSplashView() override;
    QtSplashView(const QtSplashView&) = delete;
    QtSplashView& operator=(const QtSplashView&) = delete;

    ViewLabel& lblProductName() override;
    ViewLabel& lblCompanyProduct() override;
    ViewLabel& lblCopyright() override;
    ViewLabel& lblPlatform() override;
    ViewLabel& lblWarning() override;
    ViewLabel& Label2() override;
    ViewButton& Command1() override;
    ViewButton& Command2() override;
    ViewButton& Command3() override;
    ViewBar& Bar() override;
    void Show() override;
    void Close() override;

    // The window and its widgets.
    QtSplashWindow& Window();

private:
    struct Controls;
    std::unique_ptr<Controls> C_;
};

} // namespace ostrak
