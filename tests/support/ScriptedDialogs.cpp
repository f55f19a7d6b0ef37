#include "support/ScriptedDialogs.h"

#include <gtest/gtest.h>

namespace ostrak {

namespace {
std::string Describe(const std::string& title, const std::string& text) {
    return "\"" + title + "\": \"" + text + "\"";
}

// The answer to an unplanned message box: the last button of its set, which
// is Cancel, No, Ignore or the only button.
int32_t UnplannedAnswer(int32_t style) {
    ButtonAnswers answers = AnswersOf(style);
    return answers.Answer[answers.Count - 1];
}
} // namespace

ScriptedDialogs::ScriptedDialogs() {
    Previous_ = SetDialogBackend(this);
}

ScriptedDialogs::~ScriptedDialogs() {
    SetDialogBackend(Previous_);
    ExpectAllShown();
}

ScriptedDialogs& ScriptedDialogs::ExpectMsgBox(std::string text, int32_t style, std::string title,
                                               int32_t answer, std::function<void()> during) {
    Planned p;
    p.Text = std::move(text);
    p.Style = style;
    p.Title = std::move(title);
    p.Answer = answer;
    p.During = std::move(during);
    Plan_.push_back(std::move(p));
    return *this;
}

ScriptedDialogs& ScriptedDialogs::ExpectInputBox(std::string prompt, std::string title,
                                                 std::string defaultText, std::string answer,
                                                 std::function<void()> during) {
    Planned p;
    p.IsInput = true;
    p.Text = std::move(prompt);
    p.Title = std::move(title);
    p.DefaultText = std::move(defaultText);
    p.InputAnswer = std::move(answer);
    p.During = std::move(during);
    Plan_.push_back(std::move(p));
    return *this;
}

void ScriptedDialogs::ExpectAllShown() {
    for (const Planned& p : Plan_)
        ADD_FAILURE() << "planned " << (p.IsInput ? "input box " : "message box ")
                      << Describe(p.Title, p.Text) << " was never shown";
    Plan_.clear();
}

int32_t ScriptedDialogs::MsgBox(const std::string& text, int32_t style, const std::string& title) {
    ++Shown_;
    if (Plan_.empty() || Plan_.front().IsInput) {
        ADD_FAILURE() << "unplanned message box " << Describe(title, text) << " (style " << style
                      << ")";
        return UnplannedAnswer(style);
    }
    Planned p = std::move(Plan_.front());
    Plan_.pop_front();
    EXPECT_EQ(text, p.Text) << "text of message box \"" << title << "\"";
    EXPECT_EQ(title, p.Title) << "title of message box " << Describe(p.Title, p.Text);
    EXPECT_EQ(ButtonsOf(style), ButtonsOf(p.Style))
        << "buttons of message box " << Describe(p.Title, p.Text);
    EXPECT_EQ(IconOf(style), IconOf(p.Style))
        << "icon of message box " << Describe(p.Title, p.Text);
    EXPECT_EQ(DefaultButtonOf(style), DefaultButtonOf(p.Style))
        << "default button of message box " << Describe(p.Title, p.Text);
    if (p.During)
        p.During();
    return p.Answer;
}

std::string ScriptedDialogs::InputBox(const std::string& prompt, const std::string& title,
                                      const std::string& defaultText) {
    ++Shown_;
    if (Plan_.empty() || !Plan_.front().IsInput) {
        ADD_FAILURE() << "unplanned input box " << Describe(title, prompt) << " (default \""
                      << defaultText << "\")";
        return "";
    }
    Planned p = std::move(Plan_.front());
    Plan_.pop_front();
    EXPECT_EQ(prompt, p.Text) << "prompt of input box \"" << title << "\"";
    EXPECT_EQ(title, p.Title) << "title of input box " << Describe(p.Title, p.Text);
    EXPECT_EQ(defaultText, p.DefaultText) << "default of input box " << Describe(p.Title, p.Text);
    if (p.During)
        p.During();
    return p.InputAnswer;
}

} // namespace ostrak
