// Test helper: an action that reaches the exit path inside two nested waits,
// with the program's real end. It prints every step it reaches (without
// flushing: the end must flush), holds the instance lock, and has a local and
// a static object whose destructors would print. With the argument "leak"
// it loses a block of memory on its way to the exit path.
#include "platform/EventLoop.h"
#include "platform/SingleInstance.h"
#include "runtime/Program.h"

#include <QCoreApplication>
#include <QTimer>
#include <cstdio>
#include <cstring>
#include <thread>

using namespace ostrak;

namespace {
struct Marker {
    const char* Name;
    ~Marker() { std::printf("%s destroyed\n", Name); }
};
Marker g_static{"static object"};

// Allocates a block and forgets its address. On a thread of its own, so
// that no copy of the address stays behind on the main thread's stack.
void LoseMemory() {
    std::thread([] {
        volatile char* lost = new char[4096];
        lost[0] = 1;
    }).join();
}
} // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    if (PrevInstance())
        return 2;
    AtProgramEnd([] { std::printf("released at end\n"); });
    const bool leak = argc > 1 && std::strcmp(argv[1], "leak") == 0;
    QTimer::singleShot(0, [leak] {
        Marker local{"action's local"};
        std::printf("action starts\n");
        QTimer::singleShot(20, [leak] {
            std::printf("inner routine starts\n");
            if (leak)
                LoseMemory();
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
