// fault_install: one click of Install / Fix in a process of its own, so that
// a fault case can kill it, limit its file sizes or give it a small disk.
//
//   fault_install FOLDER [--fast-clock]
//
// The window has no widgets (the unseen view) and talks to the server that
// OSTRAK_SERVER names. The music question is answered No, the folder prompt
// FOLDER (once), the success box No and the connection error box OK; any
// other dialog ends the run. --fast-clock moves the tick counter 100 ms
// every 5 ms, so that pauses and stalls pass twenty times faster. Every
// dialog title and the final file line are printed on stdout. Exit status:
// 0 installed, 3 the error exit, 1 anything else, 2 bad arguments.
#include "installer/frmSplash.h"
#include "platform/Dialogs.h"
#include "platform/EventLoop.h"
#include "platform/TerminationCleanup.h"
#include "platform/TickCount.h"
#include "runtime/Program.h"

#include <QCoreApplication>
#include <QTimer>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

using namespace ostrak;

namespace {

class Answers : public DialogBackend {
public:
    explicit Answers(std::string folder) : Folder_(std::move(folder)) {}

    int32_t MsgBox(const std::string& text, int32_t, const std::string& title) override {
        std::printf("box: %s\n", title.c_str());
        std::fflush(stdout);
        if (title == "Download music?")
            return vbNo;
        if (title == "Installation complete!") {
            Completed = true;
            return vbNo;
        }
        if (title == "Connection error!" || title == "Disk full!") {
            ErrorExit = true;
            return vbOK;
        }
        std::printf("unexpected: %s\n", text.c_str());
        EndProgram(1);
        return vbOK;
    }
    std::string InputBox(const std::string&, const std::string& title,
                         const std::string&) override {
        std::printf("input: %s\n", title.c_str());
        if (title == "Install where?" && !FolderGiven_) {
            FolderGiven_ = true;
            return Folder_;
        }
        EndProgram(1);
        return "";
    }

    bool Completed = false;
    bool ErrorExit = false;

private:
    std::string Folder_;
    bool FolderGiven_ = false;
};

} // namespace

int main(int argc, char** argv) {
    if (argc < 2 || argc > 3 || (argc == 3 && std::strcmp(argv[2], "--fast-clock") != 0)) {
        std::fprintf(stderr, "usage: fault_install FOLDER [--fast-clock]\n");
        return 2;
    }
    Files::RemoveTemporariesOnTermination();
    std::vector<char*> qtArgs{argv[0], nullptr};
    int qtArgc = 1;
    QCoreApplication app(qtArgc, qtArgs.data());

    int ends = 0;
    SetEndProgramHook([&](int) { ++ends; });
    Answers answers(argv[1]);
    SetDialogBackend(&answers);
    QTimer clock;
    if (argc == 3) {
        QObject::connect(&clock, &QTimer::timeout, [] { TickControl::Advance(100); });
        clock.start(5);
    }

    frmSplash window;
    window.Form_Load();
    if (ProgramEnded())
        return 1;
    window.View().Show();
    DoEvents();
    window.Command1_Click();
    SetDialogBackend(nullptr);
    std::printf("file line: %s\n", window.FileText().c_str());
    if (answers.Completed && ends == 1)
        return 0;
    return answers.ErrorExit && ends == 0 ? 3 : 1;
}
