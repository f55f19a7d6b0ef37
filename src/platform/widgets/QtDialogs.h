#pragma once
// The dialog backend of the program: MsgBox as a QMessageBox, InputBox as a
// QInputDialog, both modal and owned by the program's window (SetOwner), so
// that they sit over it and stay with it. Needs a QApplication; UI thread
// only. Install it once at start-up with SetDialogBackend.
#include "platform/Dialogs.h"

#include <QPointer>
#include <QWidget>

namespace ostrak {

class QtDialogs : public DialogBackend {
public:
    // The input box's field is at least this wide at 96 dpi (scaled with the
    // screen's dpi), so that a typical folder path shows whole.
    static constexpr int InputBoxWidthAt96Dpi = 450;

    // Dialogs from now on belong to window (not owned; nullptr: none). While
    // the window is not shown, or after it has gone, they have no owner and
    // open in the middle of the screen.
    void SetOwner(QWidget* window) { Owner_ = window; }

    int32_t MsgBox(const std::string& text, int32_t style, const std::string& title) override;
    std::string InputBox(const std::string& prompt, const std::string& title,
                         const std::string& defaultText) override;

private:
    // The owner for the next dialog, or nullptr.
    QWidget* Owner() const;

    QPointer<QWidget> Owner_;
};

} // namespace ostrak
