#include "support/ScriptedSplashView.h"

namespace ostrak {

void ScriptedLabel::SetText(const std::string& text, TextSpan shorten) {
    Shown = text;
    Shortened = shorten;
}

ScriptedSplashView::ScriptedSplashView() {
    Previous_ = SetSplashView(this);
}

ScriptedSplashView::~ScriptedSplashView() {
    SetSplashView(Previous_);
}

void ScriptedSplashView::Click(ScriptedButton& button) {
    if (button.Enabled)
        NotifyClicked(button);
}

bool ScriptedSplashView::RequestClose() {
    const bool allowed = CloseAllowed();
    if (allowed)
        Shown = false;
    return allowed;
}

} // namespace ostrak
