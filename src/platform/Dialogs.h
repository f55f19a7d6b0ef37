#pragma once
// Message box and input box, with the classic style bits.
//
// Every dialog of the program goes through MsgBox and InputBox. They forward
// to the dialog backend chosen at start-up: the program installs the Qt
// dialogs (widgets/QtDialogs.h), tests install a scripted double. Both calls
// are modal: they return when the user has answered, and events keep running
// while they wait. UI thread only.
#include <cstdint>
#include <string>

// Button sets (style & 7).
constexpr int32_t vbOKOnly = 0;
constexpr int32_t vbOKCancel = 1;
constexpr int32_t vbAbortRetryIgnore = 2;
constexpr int32_t vbYesNoCancel = 3;
constexpr int32_t vbYesNo = 4;
constexpr int32_t vbRetryCancel = 5;
// Icons (style & 0x70).
constexpr int32_t vbCritical = 16;
constexpr int32_t vbQuestion = 32;
constexpr int32_t vbExclamation = 48;
constexpr int32_t vbInformation = 64;
// Default button (style & 0x300): the first unless one of these is given.
constexpr int32_t vbDefaultButton1 = 0;
constexpr int32_t vbDefaultButton2 = 256;
constexpr int32_t vbDefaultButton3 = 512;

// Answers.
constexpr int32_t vbOK = 1;
constexpr int32_t vbCancel = 2;
constexpr int32_t vbAbort = 3;
constexpr int32_t vbRetry = 4;
constexpr int32_t vbIgnore = 5;
constexpr int32_t vbYes = 6;
constexpr int32_t vbNo = 7;

constexpr int32_t ButtonsOf(int32_t style) {
    return style & 7;
}
constexpr int32_t IconOf(int32_t style) {
    return style & 0x70;
}
constexpr int32_t DefaultButtonOf(int32_t style) {
    return (style >> 8) & 3;
}

// The answers of a button set, in the order the buttons are shown
// (vbYesNo -> {vbYes, vbNo}); {vbOK} for an unknown set.
struct ButtonAnswers {
    int32_t Answer[3] = {vbOK, 0, 0};
    int Count = 1;
};
ButtonAnswers AnswersOf(int32_t style);

// Shows the dialogs. Texts are UTF-8; "\r\n" in a text is a line break.
class DialogBackend {
public:
    virtual ~DialogBackend() = default;
    // Returns one of the answers of the style's button set.
    virtual int32_t MsgBox(const std::string& text, int32_t style, const std::string& title) = 0;
    // Returns the text entered, or "" when the box was cancelled.
    virtual std::string InputBox(const std::string& prompt, const std::string& title,
                                 const std::string& defaultText) = 0;
};

// Makes backend the one that shows dialogs from now on (not owned; it must
// outlive its use) and returns the previous one. nullptr restores the
// fallback, which shows nothing, reports the dialog on stderr and answers
// with the default button (InputBox: "").
DialogBackend* SetDialogBackend(DialogBackend* backend);

int32_t MsgBox(const std::string& text, int32_t style = vbOKOnly, const std::string& title = "");
std::string InputBox(const std::string& prompt, const std::string& title = "",
                     const std::string& defaultText = "");
