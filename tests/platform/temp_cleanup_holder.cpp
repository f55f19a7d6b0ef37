// Test helper: sets up the removal of temporary paths on SIGINT, SIGTERM and
// SIGHUP, then holds a temporary file (of a writer for FOLDER/file.dat) and a
// temporary folder with a file in it, both in FOLDER. Prints
// "ready <file> <folder>" and waits until stdin closes. With "deferred" as
// the second argument it holds signals back from before "ready" until it
// reads one line (printing "released" just before letting them through).
#include "platform/Files.h"
#include "platform/TemporaryFiles.h"
#include "platform/TerminationCleanup.h"

#include <cstdio>
#include <cstring>
#include <optional>
#include <string>

using namespace ostrak;

namespace {

void WaitForLine() {
    for (int c = std::getchar(); c != EOF && c != '\n'; c = std::getchar()) {
    }
}

} // namespace

int main(int argc, char** argv) {
    if (argc < 2)
        return 2;
    Files::RemoveTemporariesOnTermination();
    const std::string folder = argv[1];
    Files::AtomicFileWriter writer;
    Files::TemporaryFolder tree;
    if (!writer.Begin(Files::JoinPath(folder, "file.dat")) || !writer.Write("partial", 7) ||
        !tree.Create(folder) ||
        !Files::WriteWholeFile(Files::JoinPath(tree.Path(), "inner.dat"), "inner"))
        return 1;
    std::optional<Files::TerminationDeferred> deferred;
    if (argc > 2 && std::strcmp(argv[2], "deferred") == 0)
        deferred.emplace();
    std::printf("ready %s %s\n", writer.TemporaryPath().c_str(), tree.Path().c_str());
    std::fflush(stdout);
    if (deferred) {
        WaitForLine();
        std::puts("released");
        std::fflush(stdout);
        deferred.reset();
    }
    while (std::getchar() != EOF) {
    }
    return 0;
}
