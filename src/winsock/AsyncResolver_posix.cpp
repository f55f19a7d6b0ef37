#include "winsock/AsyncResolver.h"

#include <arpa/inet.h>
#include <atomic>
#include <cstring>
#include <netdb.h>
#include <sys/socket.h>
#include <system_error>
#include <thread>

#include "winsock/SocketApi.h"

namespace ostrak {

namespace {

std::atomic<int32_t> nextRequest{1};
std::atomic<int32_t> pendingLookups{0};

struct Answer {
    int32_t Error = 0;
    std::string Name;
    uint32_t Address = 0;
};

Answer Lookup(const std::string& name) {
    Answer a;
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

// Lays the answer out as a host entry record in buf: the record, the address
// list (one address, then null), the alias list (null), the address, the
// name. Returns the bytes needed, or 0 when they do not fit.
uint16_t WriteHostEnt(HostEntBuffer& buf, const Answer& a) {
    char* base = buf.Bytes.data();
    size_t pos = sizeof(HostEnt);
    auto take = [&](size_t n, size_t align) -> char* {
        pos = (pos + align - 1) / align * align;
        char* p = base + pos;
        pos += n;
        return pos <= buf.Bytes.size() ? p : nullptr;
    };
    char** addrList = reinterpret_cast<char**>(take(2 * sizeof(char*), alignof(char*)));
    char** aliases = reinterpret_cast<char**>(take(sizeof(char*), alignof(char*)));
    char* addr = take(4, 4);
    char* name = take(a.Name.size() + 1, 1);
    if (addrList == nullptr || aliases == nullptr || addr == nullptr || name == nullptr)
        return 0;
    std::memcpy(addr, &a.Address, 4);
    std::memcpy(name, a.Name.c_str(), a.Name.size() + 1);
    addrList[0] = addr;
    addrList[1] = nullptr;
    aliases[0] = nullptr;
    HostEnt* e = buf.Entry();
    e->h_name = name;
    e->h_aliases = aliases;
    e->h_addrtype = AF_INET;
    e->h_length = 4;
    e->h_addr_list = addrList;
    return static_cast<uint16_t>(pos);
}

} // namespace

int32_t WsAsyncGetHostByName(WindowHandle window, uint32_t message, const std::string& name,
                             std::shared_ptr<HostEntBuffer> buffer) {
    if (WsStartupDepth() == 0) {
        WsSetLastError(WsError::NotInitialised);
        return 0;
    }
    if (!IsMessageWindow(window) || buffer == nullptr) {
        WsSetLastError(WsError::Inval);
        return 0;
    }
    int32_t request = nextRequest.fetch_add(1);
    ++pendingLookups;
    try {
        std::thread([window, message, name, buffer, request] {
            auto answer = std::make_shared<Answer>(Lookup(name));
            uint16_t needed = 0;
            if (answer->Error == 0) {
                HostEntBuffer trial;
                needed = WriteHostEnt(trial, *answer);
                if (needed == 0)
                    answer->Error = WsError::NoBufs;
            }
            // The buffer is filled on the user-interface thread as the message
            // is delivered, so the window procedure reads a settled record.
            bool posted = PostWindowMessageGuarded(
                window, message, static_cast<uintptr_t>(request),
                static_cast<intptr_t>((uint32_t(answer->Error) << 16) | needed), [answer, buffer] {
                    --pendingLookups;
                    if (answer->Error == 0)
                        WriteHostEnt(*buffer, *answer);
                    return true;
                });
            if (!posted)
                --pendingLookups;
        }).detach();
    } catch (const std::system_error&) {
        --pendingLookups;
        WsSetLastError(WsError::NoBufs);
        return 0;
    }
    return request;
}

int32_t WsPendingLookups() {
    return pendingLookups.load();
}

} // namespace ostrak
