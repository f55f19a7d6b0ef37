#pragma once
// The command line of ostrak_fetch: HOST[:PORT] PATH [FILE].
#include "Fetch.h"

#include <string>

namespace ostrak {

inline constexpr const char* UsageLine = "Usage: ostrak_fetch HOST[:PORT] PATH [FILE]\n"
                                         "       ostrak_fetch --key KEY HOST[:PORT]";

struct FetchArguments {
    FetchTarget Target;
    // Where the body is stored; empty when it goes to standard output.
    std::string File;
    bool ToFile = false;
};

// Reads the arguments after the program name (two or three of them). False,
// with the reason in error, when HOST is not a host name or IPv4 address
// with an optional port from 1 to 65535, PATH does not start with "/", or
// FILE is given but empty. PATH is percent-encoded for the request line
// (EncodeRequestPath).
bool ParseFetchArguments(int count, const char* const* args, FetchArguments& out,
                         std::string& error);

// Reads HOST[:PORT] alone into target (Path stays empty); false, with the
// reason in error, on the same terms as above.
bool ParseServerArgument(const char* text, FetchTarget& target, std::string& error);

} // namespace ostrak
