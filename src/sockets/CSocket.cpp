// CSocket: construction, socket creation and the connection lifecycle.
#include "sockets/CSocket.h"

#include "runtime/ErrorRecord.h"
#include "sockets/MSocketSupport.h"
#include "sockets/SocketErrors.h"
#include "sockets/VariantConvert.h"
#include "winsock/SocketApi.h"

namespace ostrak {

using namespace MSocketSupport;

CSocket::CSocket(CSocketEvents* owner) : Owner(owner) {
    SocketHandle_ = -1;
    MaxDatagramSize = InitWinsockService();
}

CSocket::~CSocket() {
    *Alive = false;
    if (SocketHandle_ != -1)
        IgnoreErrors([&] { DestroySocket(); });
    // An answer to a resolution this object started must not reach it now.
    ForgetSocketObject(this);
    CleanupWinsockService();
}

int32_t CSocket::vbSocket() {
    // The library may have been stopped by another object ending while no
    // socket was registered; this object still needs it.
    if (!WinsockStarted())
        MaxDatagramSize = InitWinsockService();
    bool udp = Protocol_ == SocketProtocol::Udp;
    int32_t handle = WsSocket(2, udp ? 2 : 1, udp ? 17 : 6);
    if (handle == WsInvalidSocket)
        RaiseSocketError(WsGetLastError(), "CSocket.vbSocket");
    if (!IsTrue(RegisterSocket(handle, this))) {
        ErrorRecord left = Err();
        WsCloseSocket(handle);
        Err() = left;
        RaiseCurrent();
    }
    return handle;
}

bool CSocket::EnsureSocket() {
    if (SocketHandle_ == -1)
        SocketHandle_ = vbSocket();
    if (SocketHandle_ == -1)
        return false;
    ReadBufferSizes();
    return true;
}

void CSocket::ReadBufferSizes() {
    if (Protocol_ == SocketProtocol::Tcp) {
        int32_t size = 0;
        ReceiveBufferSize =
            WsGetSockOpt(SocketHandle_, WsSolSocket, WsSoRcvBuf, size) == 0 ? size : 0;
    } else {
        ReceiveBufferSize = MaxDatagramSize;
    }
}

void CSocket::Connect(const Variant& strRemoteHost, const Variant& lngRemotePort) {
    PassOnAs("CSocket.CSocket.Connect", [&] {
        if (!EnsureSocket())
            return;
        std::string host = VariantToText(strRemoteHost);
        if (!host.empty())
            RemoteHost_ = host;
        if (!std::holds_alternative<std::monostate>(lngRemotePort) &&
            VariantIsNumeric(lngRemotePort))
            RemotePort_ = VariantToLong(lngRemotePort);
        if (RemoteHost_.empty())
            RaiseSocketError(WsError::AddrNotAvail, "CSocket.CSocket.Connect");

        ResolvePurpose = 0;
        uint32_t address = WsInetAddr(RemoteHost_);
        if (address == WsInaddrNone) {
            State_ = SocketState::ResolvingHost;
            ResolveRequest = 0;
            ResolveRequest = ResolveHost(RemoteHost_, this);
            if (ResolveRequest == 0) {
                ErrorRecord left = Err();
                DestroySocket();
                Err() = left;
                RaiseCurrent();
            }
            return;
        }
        WsAddress to{WsHtons(static_cast<uint16_t>(UnsignedToInteger(RemotePort_))), address};
        if (WsConnect(SocketHandle_, to) != 0) {
            int32_t code = WsGetLastError();
            if (code != WsError::WouldBlock)
                RaiseSocketError(code, "CSocket.CSocket.Connect");
            State_ = SocketState::Connecting;
        }
    });
}

void CSocket::Bind(int32_t lngLocalPort, const std::string& strLocalIP) {
    PassOnAs("CSocket.Bind", [&] {
        if (!EnsureSocket())
            return;
        if (!strLocalIP.empty())
            LocalIP_ = strLocalIP;
        if (lngLocalPort > 0)
            LocalPort_ = lngLocalPort;
        uint32_t address = 0;
        if (!LocalIP_.empty()) {
            address = WsInetAddr(LocalIP_);
            if (address == WsInaddrNone)
                RaiseSocketError(WsError::AddrNotAvail, "CSocket.Bind");
        }
        WsAddress local{WsHtons(static_cast<uint16_t>(UnsignedToInteger(LocalPort_))), address};
        if (WsBind(SocketHandle_, local) != 0)
            RaiseSocketError(WsGetLastError(), "CSocket.Bind");
        IsBound = VbTrue;
    });
}

void CSocket::Listen() {
    PassOnAs("CSocket.Listen", [&] {
        if (!EnsureSocket())
            return;
        if (!IsTrue(IsBound))
            Bind(0, "");
        if (WsListen(SocketHandle_, 5) != 0) {
            int32_t code = WsGetLastError();
            State_ = SocketState::Error;
            RaiseSocketError(code, "CSocket.Listen");
        }
        State_ = SocketState::Listening;
    });
}

void CSocket::Accept(int32_t requestID) {
    PassOnAs("CSocket.Accept", [&] {
        // A socket this object still holds is released properly first, so
        // that it is neither leaked nor left registered to this object.
        if (SocketHandle_ != -1 && SocketHandle_ != requestID)
            DestroySocket();
        SocketHandle_ = requestID;
        WsAddress a;
        if (WsGetSockName(SocketHandle_, a) == 0) {
            LocalPort_ = IntegerToUnsigned(static_cast<int16_t>(WsNtohs(a.Port)));
            LocalIP_ = WsInetNtoa(a.Address);
            LocalHostName_ = LocalIP_;
        }
        if (WsGetPeerName(SocketHandle_, a) == 0) {
            RemotePort_ = IntegerToUnsigned(static_cast<int16_t>(WsNtohs(a.Port)));
            RemoteHostIP_ = WsInetNtoa(a.Address);
            RemoteHost_ = RemoteHostIP_;
        }
        int32_t type = 0;
        if (WsGetSockOpt(SocketHandle_, WsSolSocket, WsSoType, type) == 0)
            Protocol_ = type == 1 ? SocketProtocol::Tcp : SocketProtocol::Udp;
        ReadBufferSizes();
        if (IsTrue(RegisterSocket(SocketHandle_, this)))
            State_ = SocketState::Connected;
    });
}

void CSocket::CloseSocket() {
    if (SocketHandle_ == -1)
        return;
    if (State_ == SocketState::Connected) {
        State_ = SocketState::Closing;
        WsShutdown(SocketHandle_, 1);
        return;
    }
    IgnoreErrors([&] {
        DestroySocket();
        State_ = SocketState::Closed;
    });
}

void CSocket::DestroySocket() {
    ReceiveBuffer.clear();
    if (SocketHandle_ == -1)
        return;
    UnregisterSocket(SocketHandle_);
    if (WsCloseSocket(SocketHandle_) != 0)
        RaiseSocketError(WsGetLastError(), "CSocket.DestroySocket");
    SocketHandle_ = -1;
    IsBound = VbFalse;
    BroadcastEnabled = VbFalse;
}

void CSocket::SetRemoteHost(const std::string& NewValue) {
    RemoteHost_ = NewValue;
    if (NewValue.empty() || WsInetAddr(NewValue) == WsInaddrNone)
        return;
    RemoteHostIP_ = NewValue;
    if (Protocol_ != SocketProtocol::Udp || !EnsureSocket())
        return;
    bool broadcast = NewValue.size() >= 4 && NewValue.compare(NewValue.size() - 4, 4, ".255") == 0;
    if (broadcast && !IsTrue(BroadcastEnabled)) {
        if (WsSetSockOpt(SocketHandle_, WsSolSocket, WsSoBroadcast, 1) != 0)
            RaiseSocketError(WsGetLastError(), "CSocket.RemoteHost");
        BroadcastEnabled = VbTrue;
    } else if (!broadcast && IsTrue(BroadcastEnabled)) {
        if (WsSetSockOpt(SocketHandle_, WsSolSocket, WsSoBroadcast, 0) != 0)
            RaiseSocketError(WsGetLastError(), "CSocket.RemoteHost");
        BroadcastEnabled = VbFalse;
    }
}

void CSocket::SetProtocol(int32_t NewValue) {
    if (SocketHandle_ == -1)
        Protocol_ = NewValue;
}

} // namespace ostrak
