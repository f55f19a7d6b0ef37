#include "platform/Dialogs.h"

#include <cstdio>

namespace ostrak {

namespace {

// Used until the program or a test chooses a backend: a dialog nobody can
// see must not block, so it is logged and answered with the default button.
class UnattendedDialogs : public DialogBackend {
public:
    int32_t MsgBox(const std::string& text, int32_t style, const std::string& title) override {
        ButtonAnswers answers = AnswersOf(style);
        int index = DefaultButtonOf(style);
        if (index >= answers.Count)
            index = 0;
        std::fprintf(stderr, "[dialog] %s: %s\n", title.c_str(), text.c_str());
        return answers.Answer[index];
    }
    std::string InputBox(const std::string& prompt, const std::string& title,
                         const std::string&) override {
        std::fprintf(stderr, "[input] %s: %s\n", title.c_str(), prompt.c_str());
        return "";
    }
};

UnattendedDialogs g_fallback;
DialogBackend* g_backend = nullptr;

DialogBackend& Current() {
    return g_backend != nullptr ? *g_backend : g_fallback;
}

} // namespace

DialogBackend* SetDialogBackend(DialogBackend* backend) {
    DialogBackend* previous = g_backend;
    g_backend = backend;
    return previous;
}

int32_t MsgBox(const std::string& text, int32_t style, const std::string& title) {
    return Current().MsgBox(text, style, title);
}

std::string InputBox(const std::string& prompt, const std::string& title,
                     const std::string& defaultText) {
    return Current().InputBox(prompt, title, defaultText);
}

} // namespace ostrak
