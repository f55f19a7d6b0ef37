#pragma once
// Where the game's web server is: the host built in at configure time on
// port 80, unless the environment variable OSTRAK_SERVER=host[:port] names
// another (for tests, staging and the demo).
#include "http/ServerAddress.h"

#include <string>

namespace ostrak {

// The host built into this program (never changes while it runs).
std::string BuiltInServerHost();
// The server to talk to: OSTRAK_SERVER when set and well-formed, else the
// built-in host on port 80 (a malformed OSTRAK_SERVER is reported once on
// stderr).
ServerAddress ConfiguredServer();
// The publisher's public keys (base64, comma-separated) that releases must be
// signed with one of: the keys built in at configure time, or, in builds
// with the test suite only, OSTRAK_RELEASE_KEY when set (even when empty).
// Empty: releases are taken unsigned.
std::string ConfiguredReleaseKey();

} // namespace ostrak
