#include "Arguments.h"

#include "http/RequestPath.h"
#include "http/ServerAddress.h"

namespace ostrak {

namespace {

// Letters, digits, dots, hyphens and underscores: a host name or a dotted
// IPv4 address. A second colon, brackets (IPv6) or anything that would end
// up in the Host header other than the host itself are refused.
bool IsHostText(const std::string& host) {
    if (host.empty())
        return false;
    for (char c : host) {
        bool ok = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') ||
                  c == '.' || c == '-' || c == '_';
        if (!ok)
            return false;
    }
    return true;
}

} // namespace

bool ParseServerArgument(const char* text, FetchTarget& target, std::string& error) {
    ServerAddress server;
    if (!ParseServerAddress(text, server) || !IsHostText(server.Host)) {
        error = "HOST[:PORT] must be a host name or an IPv4 address, with a port from 1 to 65535";
        return false;
    }
    target = FetchTarget{server.Host, server.Port, ""};
    return true;
}

bool ParseFetchArguments(int count, const char* const* args, FetchArguments& out,
                         std::string& error) {
    if (count < 2 || count > 3) {
        error = "expects two or three arguments";
        return false;
    }
    FetchArguments parsed;
    if (!ParseServerArgument(args[0], parsed.Target, error))
        return false;
    if (args[1][0] != '/') {
        error = "PATH must start with \"/\"";
        return false;
    }
    parsed.Target.Path = EncodeRequestPath(args[1]);
    if (count == 3) {
        parsed.File = args[2];
        parsed.ToFile = true;
        if (parsed.File.empty()) {
            error = "FILE must not be empty";
            return false;
        }
    }
    out = parsed;
    return true;
}

} // namespace ostrak
