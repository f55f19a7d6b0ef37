#include "platform/SplashView.h"

namespace ostrak {

namespace {

// Used until the program or a test installs a view: a window nobody sees
// keeps what its labels show and ignores the rest.
class UnseenLabel : public ViewLabel {
public:
    void SetText(const std::string& text, TextSpan) override { Text_ = text; }
    std::string Text() const override { return Text_; }

private:
    std::string Text_;
};

class UnseenButton : public ViewButton {
public:
    void SetEnabled(bool) override {}
};

class UnseenBar : public ViewBar {
public:
    void SetFraction(double) override {}
};

class UnseenView : public SplashView {
public:
    ViewLabel& lblProductName() override { return Labels_[0]; }
    ViewLabel& lblCompanyProduct() override { return Labels_[1]; }
    ViewLabel& lblCopyright() override { return Labels_[2]; }
    ViewLabel& lblPlatform() override { return Labels_[3]; }
    ViewLabel& lblWarning() override { return Labels_[4]; }
    ViewLabel& Label2() override { return Labels_[5]; }
    ViewButton& Command1() override { return Buttons_[0]; }
    ViewButton& Command2() override { return Buttons_[1]; }
    ViewButton& Command3() override { return Buttons_[2]; }
    ViewBar& Bar() override { return Bar_; }
    void Show() override {}
    void Close() override { (void)CloseAllowed(); }

private:
    UnseenLabel Labels_[6];
    UnseenButton Buttons_[3];
    UnseenBar Bar_;
};

UnseenView g_unseen;
SplashView* g_view = nullptr;

} // namespace

void SplashView::NotifyClicked(const ViewButton& button) const {
    if (Owner_ != nullptr)
        Owner_->ButtonClicked(button);
}

bool SplashView::CloseAllowed() const {
    return Owner_ == nullptr || Owner_->CloseRequested();
}

SplashView* SetSplashView(SplashView* view) {
    SplashView* previous = g_view;
    g_view = view;
    return previous;
}

SplashView& InstalledSplashView() {
    return g_view != nullptr ? *g_view : g_unseen;
}

} // namespace ostrak
