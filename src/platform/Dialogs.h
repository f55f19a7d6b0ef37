#pragma once
// Message box and input box, with the classic style bits.
//
// Every dialog of the program goes through MsgBox and InputBox. They forward
// to the dialog backend chosen at start-up: the program installs the Qt
// dialogs (widgets/QtDialogs.h), tests install a scripted double. Both calls
// are modal: they return when the user has answered, and events keep running
// while they wait. UI thread only.
#include "runtime/MsgBoxStyle.h"

#include <cstdint>
#include <string>

namespace ostrak {

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

} // namespace ostrak
