#include "sockets/MSocketSupport.h"

#include <cstring>
#include <map>
#include <memory>
#include <optional>

#include "platform/Process.h"
#include "runtime/ErrorRecord.h"
#include "sockets/CSocket.h"
#include "winsock/AsyncResolver.h"
#include "winsock/AsyncSelect.h"
#include "winsock/SocketApi.h"

namespace ostrak {

namespace MSocketSupport {

// The service's door into the socket objects' friend methods.
class Dispatch {
public:
    static void SocketEvent(CSocket& s, int32_t eventCode, int32_t errorCode) {
        s.PostSocketEvent(eventCode, errorCode);
    }
    static void HostEvent(CSocket& s, int32_t request, int32_t address, std::string& name,
                          int32_t& error) {
        s.PostGetHostEvent(request, address, name, error);
    }
};

namespace {

using Registry = std::map<std::string, CSocket*>;
using BufferRegistry = std::map<std::string, std::shared_ptr<HostEntBuffer>>;
// A pending resolution: its socket object and the answer block the lookup
// writes into (the object's filed block until a newer resolution replaces it).
struct PendingResolution {
    CSocket* Object;
    std::shared_ptr<HostEntBuffer> Block;
};
using ResolutionRegistry = std::map<std::string, PendingResolution>;

VbBool WinsockStarted_ = VbFalse;
int32_t MaxDatagramSize_ = 0;
uint32_t WinsockMessage_ = 0;
uint32_t ResolveMessage_ = 0;
WindowHandle SocketWindow_ = 0;
WindowProcedure PreviousWindowProc = nullptr;
std::optional<Registry> SocketRegistry;
std::optional<ResolutionRegistry> ResolveRegistry;
std::optional<BufferRegistry> ResolveBuffers;

std::string Key(char letter, long long value) {
    return letter + std::to_string(value);
}
std::string SocketKey(int32_t handle) {
    return Key('S', handle);
}
std::string ObjectKey(const CSocket* object) {
    return 'S' + std::to_string(reinterpret_cast<uintptr_t>(object));
}
std::string RequestKey(int32_t request) {
    return Key('R', request);
}

void DiscardResolveRegistriesWhenEmpty() {
    if (ResolveRegistry && ResolveRegistry->empty()) {
        ResolveRegistry.reset();
        ResolveBuffers.reset();
    }
}

void HandleSocketMessage(uintptr_t wParam, intptr_t lParam) {
    if (!SocketRegistry)
        return;
    auto it = SocketRegistry->find(SocketKey(static_cast<int32_t>(wParam)));
    if (it == SocketRegistry->end())
        return;
    int32_t l = static_cast<int32_t>(lParam);
    Dispatch::SocketEvent(*it->second, LoWord(l), HiWord(l));
}

void HandleResolveMessage(uintptr_t wParam, intptr_t lParam) {
    int32_t request = static_cast<int32_t>(wParam);
    int32_t error = HiWord(static_cast<int32_t>(lParam));
    if (!ResolveRegistry || !ResolveBuffers)
        return;
    auto r = ResolveRegistry->find(RequestKey(request));
    if (r == ResolveRegistry->end())
        return;
    CSocket* object = r->second.Object;
    std::shared_ptr<HostEntBuffer> block = r->second.Block;
    std::string objectKey = ObjectKey(object);
    auto b = ResolveBuffers->find(objectKey);
    if (b == ResolveBuffers->end() || b->second != block) {
        // The object has started a newer resolution since: this answer is
        // superseded and dropped, success or failure.
        ResolveRegistry->erase(r);
        DiscardResolveRegistriesWhenEmpty();
        return;
    }

    IgnoreErrors([&] {
        if (error != 0) {
            std::string noName;
            Dispatch::HostEvent(*object, 0, 0, noName, error);
            return;
        }
        const HostEnt* entry = block->Entry();
        uint32_t address = 0;
        if (entry->h_addr_list != nullptr && entry->h_addr_list[0] != nullptr)
            std::memcpy(&address, entry->h_addr_list[0], 4);
        std::string name = StringFromPointer(entry->h_name);
        int32_t noError = 0;
        Dispatch::HostEvent(*object, request, static_cast<int32_t>(address), name, noError);
    });

    // The object's handling may have ended the object or started its next
    // resolution: only this answer's own entries are removed.
    if (ResolveBuffers) {
        auto again = ResolveBuffers->find(objectKey);
        if (again != ResolveBuffers->end() && again->second == block)
            ResolveBuffers->erase(again);
    }
    if (ResolveRegistry)
        ResolveRegistry->erase(RequestKey(request));
    DiscardResolveRegistriesWhenEmpty();
}

intptr_t WindowProc(WindowHandle window, uint32_t message, uintptr_t wParam, intptr_t lParam) {
    try {
        if (message == WinsockMessage_) {
            HandleSocketMessage(wParam, lParam);
            return 0;
        }
        if (message == ResolveMessage_) {
            HandleResolveMessage(wParam, lParam);
            return 0;
        }
        return CallWindowProcedure(PreviousWindowProc, window, message, wParam, lParam);
    } catch (...) {
        // Nothing of a failed handling reaches the caller of the procedure.
        return 0;
    }
}

WindowHandle CreateSocketWindow() {
    WindowHandle h = CreateMessageWindow("STATIC", "SOCKET_WINDOW");
    if (h != 0) {
        SocketWindow_ = h;
        PreviousWindowProc = SetWindowProcedure(h, &WindowProc);
    }
    return h;
}

VbBool DestroySocketWindow() {
    SetWindowProcedure(SocketWindow_, PreviousWindowProc);
    bool destroyed = DestroyMessageWindow(SocketWindow_);
    SocketWindow_ = 0;
    // Pending answers can only go to the window that is gone: they will never
    // arrive, so their entries and blocks go too.
    ResolveRegistry.reset();
    ResolveBuffers.reset();
    return ToVbBool(destroyed);
}

} // namespace

int32_t InitWinsockService() {
    if (IsTrue(WinsockStarted_))
        return MaxDatagramSize_;
    WsLibraryInfo info;
    int32_t rc = WsStartup(0x0101, info);
    if (rc != 0)
        Raise(rc, StartupErrorDescription(rc), "MSocketSupport.InitWinsockService");
    WinsockStarted_ = VbTrue;
    MaxDatagramSize_ = IntegerToUnsigned(static_cast<int16_t>(info.MaxUdpDg));
    std::string base = ExecutableBaseName();
    ResolveMessage_ = RegisterMessageName(base + ".ResolveMessage");
    WinsockMessage_ = RegisterMessageName(base + ".WinsockMessage");
    return MaxDatagramSize_;
}

void CleanupWinsockService() {
    if (!SocketRegistry && IsTrue(WinsockStarted_)) {
        WsCleanup();
        WinsockStarted_ = VbFalse;
    }
}

VbBool RegisterSocket(int32_t socketHandle, CSocket* object) {
    if (SocketWindow_ == 0 && CreateSocketWindow() == 0) {
        Err() = ErrorRecord{10004, "The operation was canceled.", "MSocketSupport.RegisterSocket"};
        return VbFalse;
    }
    if (!SocketRegistry)
        SocketRegistry.emplace();
    if (!SocketRegistry->emplace(SocketKey(socketHandle), object).second) {
        Err() =
            ErrorRecord{457, "This key is already associated with an element of this collection",
                        "MSocketSupport.RegisterSocket"};
        return VbFalse;
    }
    if (WsAsyncSelect(socketHandle, SocketWindow_, WinsockMessage_,
                      FdRead | FdWrite | FdAccept | FdConnect | FdClose) == 0)
        return VbTrue;
    // Undone as UnregisterSocket would, also for a handle it refuses (-1).
    int32_t code = WsGetLastError();
    SocketRegistry->erase(SocketKey(socketHandle));
    if (SocketRegistry->empty()) {
        SocketRegistry.reset();
        DestroySocketWindow();
    }
    Err() = ErrorRecord{code, GetErrorDescription(code), "MSocketSupport.RegisterSocket"};
    return VbFalse;
}

VbBool UnregisterSocket(int32_t socketHandle) {
    if (!SocketRegistry || socketHandle == -1)
        return VbFalse;
    WsAsyncSelect(socketHandle, SocketWindow_, 0, 0);
    if (SocketRegistry->erase(SocketKey(socketHandle)) == 0)
        Raise(ErrInvalidProcedureCall, RuntimeErrorText(ErrInvalidProcedureCall),
              "MSocketSupport.UnregisterSocket");
    if (SocketRegistry->empty()) {
        SocketRegistry.reset();
        return DestroySocketWindow();
    }
    return VbTrue;
}

int32_t ResolveHost(const std::string& hostName, CSocket* object) {
    std::shared_ptr<HostEntBuffer> block;
    try {
        block = std::make_shared<HostEntBuffer>();
    } catch (const std::bad_alloc&) {
        return 0;
    }
    if (!ResolveRegistry) {
        ResolveBuffers.emplace();
        ResolveRegistry.emplace();
    }
    std::string objectKey = ObjectKey(object);
    (*ResolveBuffers)[objectKey] = block;
    int32_t request = WsAsyncGetHostByName(SocketWindow_, ResolveMessage_, hostName, block);
    if (request != 0) {
        (*ResolveRegistry)[RequestKey(request)] = PendingResolution{object, block};
        return request;
    }
    int32_t code = WsGetLastError();
    ResolveBuffers->erase(objectKey);
    DiscardResolveRegistriesWhenEmpty();
    Err() = ErrorRecord{code, GetErrorDescription(code), "MSocketSupport.ResolveHost"};
    return 0;
}

void ForgetSocketObject(CSocket* object) {
    if (!ResolveRegistry)
        return;
    for (auto it = ResolveRegistry->begin(); it != ResolveRegistry->end();)
        it = it->second.Object == object ? ResolveRegistry->erase(it) : std::next(it);
    ResolveBuffers->erase(ObjectKey(object));
    DiscardResolveRegistriesWhenEmpty();
}

std::string StringFromPointer(const char* p) {
    return p == nullptr ? std::string() : std::string(p);
}

int16_t UnsignedToInteger(int32_t value) {
    if (value < 0 || value > 65535)
        Raise(ErrOverflow, RuntimeErrorText(ErrOverflow), "MSocketSupport.UnsignedToInteger");
    return static_cast<int16_t>(value > 32767 ? value - 65536 : value);
}

int32_t IntegerToUnsigned(int16_t value) {
    return value < 0 ? value + 65536 : value;
}

WindowHandle SocketWindow() {
    return SocketWindow_;
}
uint32_t WinsockMessage() {
    return WinsockMessage_;
}
uint32_t ResolveMessage() {
    return ResolveMessage_;
}
bool WinsockStarted() {
    return IsTrue(WinsockStarted_);
}
int32_t MaxDatagramSize() {
    return MaxDatagramSize_;
}
int32_t RegisteredSocketCount() {
    return SocketRegistry ? static_cast<int32_t>(SocketRegistry->size()) : -1;
}
int32_t PendingResolutionCount() {
    return ResolveRegistry ? static_cast<int32_t>(ResolveRegistry->size()) : -1;
}

} // namespace MSocketSupport

} // namespace ostrak
