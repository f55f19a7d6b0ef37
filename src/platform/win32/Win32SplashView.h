#pragma once
// The installer's window on Win32 (SplashView.h): the designed layout in
// twips, turned into pixels through the screen's dots per inch; the header
// labels shrink their font until their text fits; the bar is two rectangles
// (the outline Shape1 and the fill Shape2) with the file line drawn over
// them; Enter or Space presses the focused button and Tab moves between the
// buttons. Closing the window ends the message loop (PostQuitMessage). UI
// thread only.
#include "platform/SplashView.h"

#include <memory>
#include <windows.h>

namespace ostrak {

class Win32SplashView : public SplashView {
public:
    Win32SplashView();
    ~Win32SplashView() override;

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

    // The top-level window, for the dialogs it owns.
    HWND Handle() const;

    struct Controls;

private:
    std::unique_ptr<Controls> C_;
};

} // namespace ostrak
