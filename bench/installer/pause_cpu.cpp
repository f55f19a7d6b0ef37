// Runs one ModSkins::Pause of argv[1] milliseconds (default 3000) in an idle
// event loop and exits, so that a process timer can show what waiting costs:
//   /usr/bin/time -v pause_cpu 3000   (user + system seconds)
#include "installer/ModSkins.h"

#include <QCoreApplication>
#include <cstdlib>

using namespace ostrak;

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    const long ms = argc > 1 ? std::strtol(argv[1], nullptr, 10) : 3000;
    ModSkins::Pause(static_cast<int32_t>(ms));
    return 0;
}
