#include "winsock/AsyncResolver.h"

#include <atomic>
#include <cstring>

#include "winsock/HostLookup.h"
#include "winsock/SocketApi.h"

namespace ostrak {

namespace {

// AF_INET, the same number on every system.
constexpr int16_t AddressFamilyInet = 2;
std::atomic<int32_t> nextRequest{1};
std::atomic<int32_t> pendingLookups{0};

// Lays the answer out as a host entry record in buf: the record, the address
// list (one address, then null), the alias list (null), the address, the
// name. Returns the bytes needed, or 0 when they do not fit.
uint16_t WriteHostEnt(HostEntBuffer& buf, const HostAnswer& a) {
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
    e->h_addrtype = AddressFamilyInet;
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
    // The answer may come at once (a kept one) or from a worker thread; either
    // way it reaches the window as a message.
    bool started =
        LookUpHostName(name, [window, message, buffer, request](const HostAnswer& found) {
            auto answer = std::make_shared<HostAnswer>(found);
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
        });
    if (!started) {
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
