#include "installer/ServerConfig.h"

#include "installer/BuildConfig.h"
#include "signature/ReleaseConfig.h"

#include "platform/Environment.h"

#include <cstdio>

namespace ostrak {

std::string BuiltInServerHost() {
    return OSTRAK_BUILTIN_SERVER_HOST;
}

ServerAddress ConfiguredServer() {
    ServerAddress result{BuiltInServerHost(), 80};
    const std::optional<std::string> env = EnvironmentValue("OSTRAK_SERVER");
    if (env && !ParseServerAddress(*env, result)) {
        // A mistyped override must not pass unnoticed: say which server is used.
        static bool warned = false;
        if (!warned)
            std::fprintf(stderr,
                         "OSTRAK_SERVER=\"%s\" is not host[:port] (port 1 to 65535); using the "
                         "built-in server %s on port 80\n",
                         env->c_str(), result.Host.c_str());
        warned = true;
    }
    return result;
}

std::string ConfiguredReleaseKey() {
#if OSTRAK_RELEASE_KEY_FROM_ENVIRONMENT
    const std::optional<std::string> env = EnvironmentValue("OSTRAK_RELEASE_KEY");
    if (env)
        return *env;
#endif
    return OSTRAK_BUILTIN_RELEASE_KEYS;
}

} // namespace ostrak
