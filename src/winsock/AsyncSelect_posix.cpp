#include "winsock/AsyncSelect.h"

#include <QSocketNotifier>
#include <QTimer>
#include <cerrno>
#include <fcntl.h>
#include <memory>
#include <sys/socket.h>
#include <unordered_map>
#include <unordered_set>

#include "winsock/AsyncSelectHooks.h"
#include "winsock/SocketApi.h"

namespace ostrak {

namespace {

// One WsAsyncSelect request for one socket. The notifiers are level-triggered,
// so each is enabled only while its event is wanted: read until it fires
// (then again after the next receive or accept), write while a connect is
// pending or after a send would have blocked.
struct Registration {
    uint64_t Id = 0;
    int32_t Socket = -1;
    WindowHandle Window = 0;
    uint32_t Message = 0;
    int32_t Mask = 0;
    bool Stream = true;
    bool Listening = false;
    bool ConnectPending = false;
    bool Connected = false;
    bool ClosePosted = false;
    std::unique_ptr<QSocketNotifier> Read;
    std::unique_ptr<QSocketNotifier> Write;
};

// After an accept failed for lack of descriptors or memory.
constexpr int AcceptRetryMs = 100;

std::unordered_map<int32_t, std::unique_ptr<Registration>> registrations;
std::unordered_set<uint64_t> activeIds;
uint64_t nextId = 1;

Registration* Find(int32_t s) {
    auto it = registrations.find(s);
    return it == registrations.end() ? nullptr : it->second.get();
}

void Post(Registration& r, int32_t event, int32_t error) {
    if ((r.Mask & event) == 0)
        return;
    uint64_t id = r.Id;
    PostWindowMessageGuarded(r.Window, r.Message, static_cast<uintptr_t>(r.Socket),
                             MakeSelectLParam(event, error),
                             [id] { return activeIds.count(id) > 0; });
}

// Read interest: data, the peer's close, or a waiting connection.
void ArmRead(Registration& r) {
    if (r.ClosePosted)
        return;
    if ((r.Mask & (FdRead | FdClose | FdAccept)) == 0)
        return;
    if (r.Stream && !r.Listening && !r.Connected)
        return;
    r.Read->setEnabled(true);
}

void ArmWrite(Registration& r) {
    if (r.ConnectPending || (r.Mask & FdWrite) != 0)
        r.Write->setEnabled(true);
}

void BecameConnected(Registration& r) {
    r.Connected = true;
    ArmRead(r);
    Post(r, FdWrite, 0);
}

void OnReadReady(Registration& r) {
    r.Read->setEnabled(false);
    // What the readiness means (data, the peer's close, a reset) is learned
    // from the receive that the read notification leads to (Received).
    Post(r, r.Listening ? FdAccept : FdRead, 0);
}

void OnWriteReady(Registration& r) {
    r.Write->setEnabled(false);
    if (r.ConnectPending) {
        r.ConnectPending = false;
        int error = 0;
        socklen_t len = sizeof error;
        if (::getsockopt(r.Socket, SOL_SOCKET, SO_ERROR, &error, &len) != 0)
            error = errno;
        Post(r, FdConnect, WsErrorFromErrno(error));
        if (error == 0)
            BecameConnected(r);
        return;
    }
    Post(r, FdWrite, 0);
}

void EndRegistration(int32_t s) {
    auto it = registrations.find(s);
    if (it == registrations.end())
        return;
    Registration& r = *it->second;
    activeIds.erase(r.Id);
    // Disabled before deletion and before the fd is closed: a notifier left
    // on a reused fd number would fire for the next socket.
    r.Read->setEnabled(false);
    r.Write->setEnabled(false);
    registrations.erase(it);
}

} // namespace

int32_t WsAsyncSelect(int32_t s, WindowHandle window, uint32_t message, int32_t mask) {
    if (WsStartupDepth() == 0) {
        WsSetLastError(WsError::NotInitialised);
        return WsSocketError;
    }
    int type = 0;
    socklen_t len = sizeof type;
    if (s < 0 || ::getsockopt(s, SOL_SOCKET, SO_TYPE, &type, &len) != 0) {
        WsSetLastError(WsError::NotSock);
        return WsSocketError;
    }
    if (mask != 0 && !IsMessageWindow(window)) {
        WsSetLastError(WsError::Inval);
        return WsSocketError;
    }
    int flags = ::fcntl(s, F_GETFL);
    if (flags < 0 || ::fcntl(s, F_SETFL, flags | O_NONBLOCK) != 0) {
        WsSetLastError(WsErrorFromErrno(errno));
        return WsSocketError;
    }
    EndRegistration(s);
    if (mask == 0)
        return 0;

    auto r = std::make_unique<Registration>();
    r->Id = nextId++;
    r->Socket = s;
    r->Window = window;
    r->Message = message;
    r->Mask = mask;
    r->Stream = type == SOCK_STREAM;
    int accepting = 0;
    len = sizeof accepting;
    r->Listening = r->Stream && ::getsockopt(s, SOL_SOCKET, SO_ACCEPTCONN, &accepting, &len) == 0 &&
                   accepting != 0;
    sockaddr_storage peer{};
    socklen_t peerLen = sizeof peer;
    bool connected = r->Stream && !r->Listening &&
                     ::getpeername(s, reinterpret_cast<sockaddr*>(&peer), &peerLen) == 0;
    r->Read = std::make_unique<QSocketNotifier>(s, QSocketNotifier::Read);
    r->Write = std::make_unique<QSocketNotifier>(s, QSocketNotifier::Write);
    r->Read->setEnabled(false);
    r->Write->setEnabled(false);
    Registration* raw = r.get();
    QObject::connect(raw->Read.get(), &QSocketNotifier::activated, [raw] { OnReadReady(*raw); });
    QObject::connect(raw->Write.get(), &QSocketNotifier::activated, [raw] { OnWriteReady(*raw); });
    activeIds.insert(raw->Id);
    registrations[s] = std::move(r);
    if (connected)
        BecameConnected(*raw);
    else
        ArmRead(*raw);
    return 0;
}

bool WsPostSocketNotification(int32_t s, int32_t event, int32_t error) {
    Registration* r = Find(s);
    if (r == nullptr)
        return false;
    uint64_t id = r->Id;
    return PostWindowMessageGuarded(r->Window, r->Message, static_cast<uintptr_t>(s),
                                    MakeSelectLParam(event, error),
                                    [id] { return activeIds.count(id) > 0; });
}

int32_t WsAsyncSelectCount() {
    return static_cast<int32_t>(registrations.size());
}

namespace AsyncSelectHooks {

void ConnectPending(int32_t s) {
    if (Registration* r = Find(s)) {
        r->ConnectPending = true;
        r->Write->setEnabled(true);
    }
}

bool ConnectFailedAtOnce(int32_t s, int32_t error) {
    Registration* r = Find(s);
    if (r == nullptr || !r->Stream)
        return false;
    r->ConnectPending = false;
    Post(*r, FdConnect, error);
    return true;
}

void ConnectedAtOnce(int32_t s) {
    if (Registration* r = Find(s)) {
        if (!r->Stream)
            return;
        Post(*r, FdConnect, 0);
        BecameConnected(*r);
    }
}

void Listening(int32_t s) {
    if (Registration* r = Find(s)) {
        r->Listening = r->Stream;
        ArmRead(*r);
    }
}

void Accepted(int32_t s, bool outOfResources) {
    Registration* r = Find(s);
    if (r == nullptr)
        return;
    if (!outOfResources) {
        ArmRead(*r);
        return;
    }
    // The connection still waits and cannot be taken until a descriptor or
    // memory frees up: look again a little later instead of at once, which
    // would spin.
    const uint64_t id = r->Id;
    QTimer::singleShot(AcceptRetryMs, [s, id] {
        Registration* again = Find(s);
        if (again != nullptr && again->Id == id)
            ArmRead(*again);
    });
}

void Received(int32_t s, int32_t requested, long result, int errnoValue) {
    Registration* r = Find(s);
    if (r == nullptr || r->ClosePosted)
        return;
    if (!r->Stream || r->Listening) {
        ArmRead(*r);
        return;
    }
    if (result > 0) {
        // A receive that filled the caller's buffer most likely left more
        // behind: the next read notification is posted at once, without a
        // round through the poller.
        if (result == requested)
            Post(*r, FdRead, 0);
        else
            ArmRead(*r);
        return;
    }
    if (result == 0 && requested == 0) {
        ArmRead(*r);
        return;
    }
    if (result < 0 && (errnoValue == EAGAIN || errnoValue == EWOULDBLOCK || errnoValue == EINTR)) {
        ArmRead(*r);
        return;
    }
    // End of stream (error 0) or a failed connection: the close, once.
    r->ClosePosted = true;
    Post(*r, FdClose, result == 0 ? 0 : WsErrorFromErrno(errnoValue));
}

void SendBlocked(int32_t s) {
    if (Registration* r = Find(s))
        ArmWrite(*r);
}

void Closing(int32_t s) {
    EndRegistration(s);
}

} // namespace AsyncSelectHooks

} // namespace ostrak
