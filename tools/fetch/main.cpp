// ostrak_fetch: fetches one resource from the game's web server through the
// installer's own HTTP client, so that publishers can check their server the
// way the installer will see it.
#include "Arguments.h"
#include "CheckRelease.h"
#include "Fetch.h"
#include "platform/TerminationCleanup.h"

#include <QCoreApplication>
#include <cstring>
#include <iostream>

using namespace ostrak;

namespace {

const char* const HelpText = R"(Usage: ostrak_fetch HOST[:PORT] PATH [FILE]
       ostrak_fetch --key KEY HOST[:PORT]
       ostrak_fetch --help | --version

Fetches http://HOST:PORT/PATH (port 80 when none is given) over HTTP/1.0
exactly as the Ostrak installer does, and reports what went wrong if it fails.
Bytes of PATH that a request line cannot carry (spaces, controls, '"', '#',
bytes from 0x80) are sent percent-encoded; '%' and '?' are sent as given.

With FILE: the body is stored as FILE the way the installer stores a game
file. It is written to a temporary file beside FILE and renamed over FILE
when complete; FILE is left untouched on failure. Progress goes to standard
error. A transfer that makes no progress for more than 7 s is abandoned and
requested again, at most 10 times (the installer's rule). A response that is
not a 2xx status, has no header block, breaks off, or cannot be stored fails
at once.

Without FILE: the body is fetched the way the installer fetches its version
text (kept in memory, at most 1 MiB; up to 4 attempts of 15 s each, 1 s
apart) and written to standard output.

With --key: checks a signed release the way an installer built with the
publisher's public key KEY (base64, as ostrak_release --keygen prints it; up
to four keys, comma-separated) sees it: fetches /crc/release.manifest and
/crc/release.sig and applies the installer's rules: signed by one of the
keys, which the manifest names; format 2; product ostrak on this build's
channel; not expired; a serial at most a year ahead of the clock and not
below this build's floor; naming ostrak.exe, dta.lst and the three
libraries. Then prints the release's serial, fetches every file the manifest
lists (into a temporary folder, removed afterwards) and prints "OK" or "BAD"
with each name, its size and SHA-256 checked while it streams. Exit status 0
when the manifest is trusted and every file is good.

Exit status: 0 when fetched, 1 when the fetch failed, 2 for bad arguments.
)";

} // namespace

int main(int argc, char** argv) {
    Files::RemoveTemporariesOnTermination();
    if (argc == 2 && (std::strcmp(argv[1], "--help") == 0 || std::strcmp(argv[1], "-h") == 0)) {
        std::cout << HelpText;
        return 0;
    }
    if (argc == 2 && std::strcmp(argv[1], "--version") == 0) {
        std::cout << "ostrak_fetch " << OSTRAK_TOOL_VERSION << '\n';
        return 0;
    }
    if (argc >= 2 && std::strcmp(argv[1], "--key") == 0) {
        FetchTarget target;
        std::string error;
        if (argc != 4 || !ParseServerArgument(argv[3], target, error)) {
            std::cerr << "ostrak_fetch: "
                      << (argc != 4 ? "--key expects KEY and HOST[:PORT]" : error) << "\n"
                      << UsageLine << "\n";
            return 2;
        }
        QCoreApplication app(argc, argv);
        return CheckRelease(target, argv[2], std::cout, std::cerr);
    }
    if (argc < 3 || argc > 4) {
        std::cerr << HelpText;
        return 2;
    }
    FetchArguments args;
    std::string error;
    if (!ParseFetchArguments(argc - 1, argv + 1, args, error)) {
        std::cerr << "ostrak_fetch: " << error << "\n" << UsageLine << "\n";
        return 2;
    }

    QCoreApplication app(argc, argv);
    if (args.ToFile)
        return FetchToFile(args.Target, args.File, std::cerr);
    return FetchToStream(args.Target, std::cout, std::cerr);
}
