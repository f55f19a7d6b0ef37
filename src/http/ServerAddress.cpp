#include "http/ServerAddress.h"

namespace ostrak {

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

} // namespace ostrak
