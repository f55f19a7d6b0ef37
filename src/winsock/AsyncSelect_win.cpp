#include "winsock/AsyncSelect.h"

#include <map>
#include <set>
#include <winsock2.h>

#include "winsock/AsyncSelectHooks.h"
#include "winsock/SocketApi.h"

namespace ostrak {

namespace {

// The library posts a registration's notifications to one hidden window of
// ours under a message number of that registration's own, from a range that
// is used round: a notification still queued for a socket that has been
// closed (whose handle the system may hand out again at once) or whose
// registration was replaced finds no registration under its number and is
// dropped. The live ones go on to the caller's window.
constexpr UINT FirstRelayMessage = WM_APP;
constexpr UINT RelayMessageCount = 0x3FFF;

struct Registration {
    uint64_t Id = 0;
    int32_t Socket = -1;
    WindowHandle Window = 0;
    uint32_t Message = 0;
    UINT RelayMessage = 0;
};

std::map<int32_t, Registration> registrations;
std::map<UINT, int32_t> socketsByRelay;
std::set<uint64_t> activeIds;
uint64_t nextId = 1;
UINT nextRelay = 0;
HWND relayWindow = nullptr;
WNDPROC relayClassProcedure = nullptr;

LRESULT CALLBACK Relay(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message < FirstRelayMessage || message >= FirstRelayMessage + RelayMessageCount)
        return ::CallWindowProcA(relayClassProcedure, hwnd, message, wParam, lParam);
    const auto s = static_cast<int32_t>(wParam);
    const auto owner = socketsByRelay.find(message);
    if (owner == socketsByRelay.end() || owner->second != s)
        return 0;
    const Registration& r = registrations.at(s);
    SendWindowMessage(r.Window, r.Message, wParam, lParam);
    return 0;
}

HWND RelayWindow() {
    if (relayWindow == nullptr) {
        relayWindow = ::CreateWindowExA(0, "STATIC", "", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr,
                                        ::GetModuleHandleA(nullptr), nullptr);
        if (relayWindow != nullptr)
            relayClassProcedure = reinterpret_cast<WNDPROC>(
                ::SetWindowLongPtrA(relayWindow, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&Relay)));
    }
    return relayWindow;
}

UINT FreeRelayMessage() {
    for (UINT tries = 0; tries < RelayMessageCount; ++tries) {
        const UINT candidate = FirstRelayMessage + nextRelay;
        nextRelay = (nextRelay + 1) % RelayMessageCount;
        if (socketsByRelay.count(candidate) == 0)
            return candidate;
    }
    return 0;
}

void EndRegistration(int32_t s) {
    const auto it = registrations.find(s);
    if (it == registrations.end())
        return;
    activeIds.erase(it->second.Id);
    socketsByRelay.erase(it->second.RelayMessage);
    registrations.erase(it);
}

} // namespace

int32_t WsAsyncSelect(int32_t s, WindowHandle window, uint32_t message, int32_t mask) {
    if (WsStartupDepth() == 0) {
        WsSetLastError(WsError::NotInitialised);
        return WsSocketError;
    }
    if (mask != 0 && !IsMessageWindow(window)) {
        WsSetLastError(WsError::Inval);
        return WsSocketError;
    }
    HWND relay = RelayWindow();
    const UINT relayMessage = mask == 0 ? 0 : FreeRelayMessage();
    if (relay == nullptr || (mask != 0 && relayMessage == 0)) {
        WsSetLastError(WsError::NoBufs);
        return WsSocketError;
    }
    // Also makes the socket non-blocking; mask 0 cancels the notifications.
    const SOCKET handle = static_cast<SOCKET>(static_cast<uint32_t>(s));
    if (::WSAAsyncSelect(handle, relay, relayMessage, mask) != 0)
        return WsSocketError;
    EndRegistration(s);
    if (mask == 0)
        return 0;
    Registration r;
    r.Id = nextId++;
    r.Socket = s;
    r.Window = window;
    r.Message = message;
    r.RelayMessage = relayMessage;
    activeIds.insert(r.Id);
    socketsByRelay[relayMessage] = s;
    registrations[s] = r;
    return 0;
}

bool WsPostSocketNotification(int32_t s, int32_t event, int32_t error) {
    const auto it = registrations.find(s);
    if (it == registrations.end())
        return false;
    const uint64_t id = it->second.Id;
    return PostWindowMessageGuarded(it->second.Window, it->second.Message,
                                    static_cast<uintptr_t>(s), MakeSelectLParam(event, error),
                                    [id] { return activeIds.count(id) > 0; });
}

int32_t WsAsyncSelectCount() {
    return static_cast<int32_t>(registrations.size());
}

// The library itself keeps the notification rules here; the socket calls
// only end a registration when its socket closes, and hand over a connect
// that failed at once.
namespace AsyncSelectHooks {
bool ConnectFailedAtOnce(int32_t s, int32_t error) {
    return WsPostSocketNotification(s, FdConnect, error);
}
void Closing(int32_t s) {
    EndRegistration(s);
}
} // namespace AsyncSelectHooks

} // namespace ostrak
