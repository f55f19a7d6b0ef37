#pragma once
// ostrak_fetch --key: checks a published release as an installer with the
// publisher's public key would take it.
#include "Fetch.h"

#include <iosfwd>
#include <string>

namespace ostrak {

// Fetches the manifest and its signature from target's server (RetrieveHTML,
// like the installer), takes them under the installer's trust rules
// (TrustRelease with publicKey, base64 keys comma-separated, and the channel
// and serial floor this tool was built with; no installed serial) and the
// fixed files every release names, and prints
// "serial N: K files, signature good" on out; then fetches every listed file
// into a temporary folder (removed afterwards) and prints "OK <name>" or
// "BAD <name>" on out as its streamed size and SHA-256 match the manifest or
// not. Reasons go to progress. 0 when the signature and every file are
// good, 1 otherwise.
int CheckRelease(const FetchTarget& target, const std::string& publicKey, std::ostream& out,
                 std::ostream& progress);

} // namespace ostrak
