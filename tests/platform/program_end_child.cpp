// Test helper: an action that reaches the exit path inside two nested waits,
// with the program's real end. It prints every step it reaches (without
// flushing: the end must flush), holds the instance lock, and has a local and
// a static object whose destructors would print.
#include "platform/EventLoop.h"
#include "platform/SingleInstance.h"
#include "runtime/Program.h"

#include <QCoreApplication>
#include <QTimer>
#include <cstdio>

using namespace ostrak;

namespace {
struct Marker {
    const char* Name;
    ~Marker() { std::printf("%s destroyed\n", Name); }
};
Marker g_static{"static object"};
} // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    if (PrevInstance())
        return 2;
    AtProgramEnd([] { std::printf("released at end\n"); });
    QTimer::singleShot(0, [] {
        Marker local{"action's local"};
        std::printf("action starts\n");
        QTimer::singleShot(20, [] {
            std::printf("inner routine starts\n");
            QTimer::singleShot(20, [] {
                std::printf("exit path\n");
                EndProgram(7);
                std::printf("after EndProgram\n");
            });
            WaitTicks(60000);
            std::printf("inner wait returned\n");
        });
        WaitTicks(60000);
        std::printf("outer wait returned\n");
    });
    const int code = QCoreApplication::exec();
    std::printf("event loop returned %d\n", code);
    return code;
}
