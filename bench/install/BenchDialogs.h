#pragma once
// The dialog backend of the headless install: answers the install action's
// questions without a person. The music question gets No, the folder prompt
// the folder given (once), "Installation complete!" gets No. Any other dialog
// (an error box, a second folder prompt after a refusal) is reported on
// stderr, answered with its default button and ends the program, so that a
// failed run stops instead of waiting. UI thread; install it with
// SetDialogBackend for as long as it lives.
#include "platform/Dialogs.h"

#include <string>

namespace ostrak {

class BenchDialogs : public DialogBackend {
public:
    explicit BenchDialogs(std::string folder);

    int32_t MsgBox(const std::string& text, int32_t style, const std::string& title) override;
    std::string InputBox(const std::string& prompt, const std::string& title,
                         const std::string& defaultText) override;

    // "Installation complete!" was shown.
    bool Completed() const { return Completed_; }
    // A dialog came that this backend does not answer.
    bool Unexpected() const { return Unexpected_; }

private:
    void Refuse(const std::string& title, const std::string& text);

    std::string Folder_;
    bool FolderGiven_ = false;
    bool Completed_ = false;
    bool Unexpected_ = false;
};

} // namespace ostrak
