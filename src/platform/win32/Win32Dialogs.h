#pragma once
// The dialog backend of the program on Windows: MsgBox as MessageBoxA (the
// style bits are the MB_ values and the answers the ID values), InputBox as
// a dialog built in memory (prompt, field, OK and Cancel). Both are modal
// and owned by the program's window (SetOwner). UI thread only. Install it
// once at start-up with SetDialogBackend.
#include "platform/Dialogs.h"

#include <windows.h>

namespace ostrak {

class Win32Dialogs : public DialogBackend {
public:
    // Dialogs from now on belong to window (nullptr: none). While the window
    // is not shown, or after it has gone, they have no owner.
    void SetOwner(HWND window) { Owner_ = window; }

    int32_t MsgBox(const std::string& text, int32_t style, const std::string& title) override;
    std::string InputBox(const std::string& prompt, const std::string& title,
                         const std::string& defaultText) override;

private:
    HWND Owner() const;

    HWND Owner_ = nullptr;
};

} // namespace ostrak
