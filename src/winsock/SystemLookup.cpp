#include "winsock/SystemLookup.h"

#ifdef _WIN32
#include <winsock2.h>
#include <ws2tcpip.h>
#else
#include <arpa/inet.h>
#include <netdb.h>
#include <sys/socket.h>
#endif

#include "winsock/SocketApi.h"

namespace ostrak {

HostAnswer SystemForwardLookup(const std::string& name) {
    HostAnswer a;
    addrinfo hints{};
    hints.ai_family = AF_INET;
    hints.ai_socktype = SOCK_STREAM;
    hints.ai_flags = AI_CANONNAME;
    addrinfo* result = nullptr;
    int rc = ::getaddrinfo(name.c_str(), nullptr, &hints, &result);
    if (rc != 0 || result == nullptr) {
        a.Error = WsErrorFromResolver(rc != 0 ? rc : EAI_NONAME);
        return a;
    }
    a.Address = reinterpret_cast<sockaddr_in*>(result->ai_addr)->sin_addr.s_addr;
    a.Name = result->ai_canonname != nullptr ? result->ai_canonname : name;
    ::freeaddrinfo(result);
    return a;
}

bool SystemReverseLookup(uint32_t address, std::string& officialName) {
    sockaddr_in sa{};
    sa.sin_family = AF_INET;
    sa.sin_addr.s_addr = address;
    char host[NI_MAXHOST] = {};
    if (::getnameinfo(reinterpret_cast<sockaddr*>(&sa), sizeof sa, host, sizeof host, nullptr, 0,
                      NI_NAMEREQD) != 0)
        return false;
    officialName = host;
    return true;
}

} // namespace ostrak
