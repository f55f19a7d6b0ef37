// Runs DownloadFile against a server that accepts the connection and never
// answers, for argv[1] milliseconds (default 20000, so that stalls and fresh
// requests are part of it), then ends; a process timer shows what the
// download poll costs while it waits:
//   /usr/bin/time -v download_wait_cpu 20000   (user + system seconds)
#include "installer/frmSplash.h"
#include "runtime/Program.h"

#include <QCoreApplication>
#include <QTimer>
#include <arpa/inet.h>
#include <cstdio>
#include <cstdlib>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

using namespace ostrak;

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    const long ms = argc > 1 ? std::strtol(argv[1], nullptr, 10) : 20000;

    // A listener that is never accepted from: connections complete in the
    // kernel's backlog, requests are taken in, and nothing ever answers.
    const int listener = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in addr{};
    addr.sin_family = AF_INET;
    addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t len = sizeof addr;
    if (::bind(listener, reinterpret_cast<sockaddr*>(&addr), len) != 0 ||
        ::listen(listener, 64) != 0 ||
        ::getsockname(listener, reinterpret_cast<sockaddr*>(&addr), &len) != 0) {
        std::perror("listener");
        return 1;
    }

    char folder[] = "/tmp/ostrak-wait-XXXXXX";
    if (::mkdtemp(folder) == nullptr)
        return 1;
    SetEndProgramHook([](int) {});
    frmSplash window;
    window.ServerHost = "127.0.0.1";
    window.ServerPort = ntohs(addr.sin_port);
    window.TotalSteps = 1;
    int shown = 0, retries = 0;
    window.FileTextShown = [&](const std::string& text) {
        ++shown;
        retries += text.rfind("Failure", 0) == 0;
    };
    QTimer::singleShot(static_cast<int>(ms), [] { EndProgram(); });
    window.DownloadFile("never.pak", 0, folder);
    std::printf("waited %ld ms: %d retries, %d file-line texts, last \"%s\"\n", ms, retries, shown,
                window.FileText().c_str());
    ::rmdir(folder);
    return 0;
}
