#pragma once
// The scripted dialog double: a dialog backend that checks every dialog the
// code shows against a plan and answers from it.
//
// While it lives it is the program's dialog backend (the previous one comes
// back when it goes). Each MsgBox is checked for text, title, buttons and
// icon, each InputBox for prompt, title and default text, against the next
// planned dialog; a mismatch is a test failure, and so is a dialog that was
// not planned (it is answered with Cancel / No / the only button, or "" for
// an input box) and a planned dialog that never came (checked when the
// double goes, or by ExpectAllShown()). UI thread only.
#include "platform/Dialogs.h"

#include <deque>
#include <functional>
#include <string>
#include <vector>

namespace ostrak {

class ScriptedDialogs : public DialogBackend {
public:
    ScriptedDialogs();
    ~ScriptedDialogs() override;
    ScriptedDialogs(const ScriptedDialogs&) = delete;
    ScriptedDialogs& operator=(const ScriptedDialogs&) = delete;

    // Plans a message box and the answer to give. during, when given, runs
    // while the box is "open" (after the checks, before the answer).
    ScriptedDialogs& ExpectMsgBox(std::string text, int32_t style, std::string title,
                                  int32_t answer, std::function<void()> during = {});
    // Plans an input box and the text to answer ("" = cancelled).
    ScriptedDialogs& ExpectInputBox(std::string prompt, std::string title, std::string defaultText,
                                    std::string answer, std::function<void()> during = {});

    // Fails the test when planned dialogs have not been shown yet.
    void ExpectAllShown();
    // How many dialogs have been shown, planned or not.
    int ShownCount() const { return Shown_; }

    int32_t MsgBox(const std::string& text, int32_t style, const std::string& title) override;
    std::string InputBox(const std::string& prompt, const std::string& title,
                         const std::string& defaultText) override;

private:
    struct Planned {
        bool IsInput = false;
        std::string Text; // prompt of an input box
        int32_t Style = 0;
        std::string Title;
        std::string DefaultText;
        int32_t Answer = 0;
        std::string InputAnswer;
        std::function<void()> During;
    };
    std::deque<Planned> Plan_;
    DialogBackend* Previous_ = nullptr;
    int Shown_ = 0;
};

} // namespace ostrak
