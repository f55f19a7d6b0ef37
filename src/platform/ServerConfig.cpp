#include "platform/ServerConfig.h"

#include "platform/BuildConfig.h"

#include <cstdio>
#include <cstdlib>

std::string BuiltInServerHost() {
    return OSTRAK_BUILTIN_SERVER_HOST;
}

bool ParseServerAddress(const std::string& text, ServerAddress& out) {
    ServerAddress parsed;
    auto colon = text.rfind(':');
    parsed.Host = text.substr(0, colon);
    if (colon != std::string::npos) {
        std::string port = text.substr(colon + 1);
        if (port.empty() || port.size() > 5)
            return false;
        int32_t value = 0;
        for (char c : port) {
            if (c < '0' || c > '9')
                return false;
            value = value * 10 + (c - '0');
        }
        if (value < 1 || value > 65535)
            return false;
        parsed.Port = value;
    }
    if (parsed.Host.empty())
        return false;
    out = parsed;
    return true;
}

ServerAddress ConfiguredServer() {
    ServerAddress result{BuiltInServerHost(), 80};
    const char* env = std::getenv("OSTRAK_SERVER");
    if (env != nullptr && !ParseServerAddress(env, result)) {
        // A mistyped override must not pass unnoticed: say which server is used.
        static bool warned = false;
        if (!warned)
            std::fprintf(stderr,
                         "OSTRAK_SERVER=\"%s\" is not host[:port] (port 1 to 65535); using the "
                         "built-in server %s on port 80\n",
                         env, result.Host.c_str());
        warned = true;
    }
    return result;
}
