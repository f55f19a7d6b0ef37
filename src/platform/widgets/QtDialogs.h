#pragma once
// The dialog backend of the program: MsgBox as a QMessageBox, InputBox as a
// QInputDialog, both modal over the active window. Needs a QApplication;
// UI thread only. Install it once at start-up with SetDialogBackend.
#include "platform/Dialogs.h"

namespace ostrak {

class QtDialogs : public DialogBackend {
public:
    int32_t MsgBox(const std::string& text, int32_t style, const std::string& title) override;
    std::string InputBox(const std::string& prompt, const std::string& title,
                         const std::string& defaultText) override;
};

} // namespace ostrak
