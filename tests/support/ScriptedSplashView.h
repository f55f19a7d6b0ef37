#pragma once
// The scripted view: an installer window without widgets that keeps what
// its owner puts on it, for tests that need no display.
//
// While it lives it is the installed view (the previous one comes back when
// it goes). Tests read what each control holds, press a button as a person
// would (Click) and ask the window to close as the system would
// (RequestClose). UI thread only.
#include "platform/SplashView.h"

#include <string>

namespace ostrak {

class ScriptedLabel : public ViewLabel {
public:
    void SetText(const std::string& text, TextSpan shorten = {}) override;
    std::string Text() const override { return Shown; }
    std::string Shown;
    TextSpan Shortened; // the part named with the last text
};

class ScriptedButton : public ViewButton {
public:
    void SetEnabled(bool enabled) override { Enabled = enabled; }
    bool Enabled = true;
};

class ScriptedBar : public ViewBar {
public:
    void SetFraction(double fraction) override { Fraction = fraction; }
    double Fraction = 0;
};

class ScriptedSplashView : public SplashView {
public:
    ScriptedSplashView();
    ~ScriptedSplashView() override;
    ScriptedSplashView(const ScriptedSplashView&) = delete;
    ScriptedSplashView& operator=(const ScriptedSplashView&) = delete;

    ScriptedLabel& lblProductName() override { return Labels_[0]; }
    ScriptedLabel& lblCompanyProduct() override { return Labels_[1]; }
    ScriptedLabel& lblCopyright() override { return Labels_[2]; }
    ScriptedLabel& lblPlatform() override { return Labels_[3]; }
    ScriptedLabel& lblWarning() override { return Labels_[4]; }
    ScriptedLabel& Label2() override { return Labels_[5]; }
    ScriptedButton& Command1() override { return Buttons_[0]; }
    ScriptedButton& Command2() override { return Buttons_[1]; }
    ScriptedButton& Command3() override { return Buttons_[2]; }
    ScriptedBar& Bar() override { return Bar_; }
    void Show() override { Shown = true; }
    void Close() override { RequestClose(); }

    // Presses button: the owner hears of it unless the button is disabled.
    void Click(ScriptedButton& button);
    // A close request from outside the program; whether the window closed.
    bool RequestClose();

    bool Shown = false;

private:
    ScriptedLabel Labels_[6];
    ScriptedButton Buttons_[3];
    ScriptedBar Bar_;
    SplashView* Previous_ = nullptr;
};

} // namespace ostrak
