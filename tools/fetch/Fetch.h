#pragma once
// The two ways ostrak_fetch fetches, each exactly as the installer does.
#include <cstdint>
#include <iosfwd>
#include <string>

namespace ostrak {

class BodyObserver;

struct FetchTarget {
    std::string Host;
    int32_t Port = 80;
    std::string Path;
};

// Fetches into file the way the installer fetches a game file: RetrieveFile,
// then polling DownDone / DownFailed / DownPerc, under the installer's
// no-progress rule (http/StallRule.h). Progress goes to progress.
// Returns 0 when the file is stored, 1 (with a message on progress) when not.
// observer, when given, sees the body and may refuse it (http/BodyObserver.h).
int FetchToFile(const FetchTarget& target, const std::string& file, std::ostream& progress,
                BodyObserver* observer = nullptr);

// Fetches the body the way the installer fetches its version text
// (RetrieveHTML: at most 1 MiB, up to 4 attempts of 15 s) and writes it to
// out. Returns 0 on success, 1 (with a message on progress) when not.
int FetchToStream(const FetchTarget& target, std::ostream& out, std::ostream& progress);

} // namespace ostrak
