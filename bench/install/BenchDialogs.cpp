#include "BenchDialogs.h"

#include "runtime/Program.h"

#include <cstdio>
#include <utility>

namespace ostrak {

BenchDialogs::BenchDialogs(std::string folder) : Folder_(std::move(folder)) {}

int32_t BenchDialogs::MsgBox(const std::string& text, int32_t style, const std::string& title) {
    if (title == "Download music?" && ButtonsOf(style) == vbYesNo)
        return vbNo;
    if (title == "Installation complete!" && ButtonsOf(style) == vbYesNo) {
        Completed_ = true;
        return vbNo;
    }
    Refuse(title, text);
    const ButtonAnswers answers = AnswersOf(style);
    const int index = DefaultButtonOf(style);
    return answers.Answer[index < answers.Count ? index : 0];
}

std::string BenchDialogs::InputBox(const std::string& prompt, const std::string& title,
                                   const std::string&) {
    if (title == "Install where?" && !FolderGiven_) {
        FolderGiven_ = true;
        return Folder_;
    }
    Refuse(title, prompt);
    return "";
}

void BenchDialogs::Refuse(const std::string& title, const std::string& text) {
    std::fprintf(stderr, "headless_install: unexpected dialog \"%s\": %s\n", title.c_str(),
                 text.c_str());
    Unexpected_ = true;
    if (!ProgramEnded())
        EndProgram(1);
}

} // namespace ostrak
