// CSocket: sending and receiving data.
#include "runtime/ErrorRecord.h"
#include "sockets/CSocket.h"
#include "sockets/MSocketSupport.h"
#include "sockets/SocketErrors.h"
#include "sockets/VariantConvert.h"
#include "winsock/AsyncSelect.h"
#include "winsock/SocketApi.h"

namespace ostrak {

using namespace MSocketSupport;

namespace {

constexpr int32_t ErrWrongState = 40006;
const char* const WrongStateText =
    "Wrong protocol or connection state for the requested transaction or request.";

// Receive size used when the socket's own could not be learned: asking for
// 0 bytes would never take anything off the socket.
constexpr int32_t FallbackReceiveSize = 8192;

} // namespace

void CSocket::SendData(const Variant& varData, VbBool NoEnc) {
    (void)NoEnc;
    try {
        if (Protocol_ == SocketProtocol::Tcp) {
            if (SocketHandle_ == -1)
                Raise(ErrWrongState, WrongStateText, "CSocket.SendData");
        } else if (!EnsureSocket()) {
            return;
        }
        SendBuffer = VariantToBytes(varData);
        SendCompletePending = VbTrue;
        SendBufferedData();
    } catch (const VbError& e) {
        if (e.Record.Number == ErrWrongState || e.Record.Number == WsError::NotSock)
            Raise(ErrWrongState, WrongStateText, "CSocket.SendData");
        // Every other failure inside SendData is dropped.
    }
}

void CSocket::SendBufferedData() {
    SendCompletePending = VbTrue;
    if (SendBuffer.empty())
        Raise(ErrSubscriptOutOfRange, RuntimeErrorText(ErrSubscriptOutOfRange), "CSocket.SendData");
    const int32_t length = static_cast<int32_t>(SendBuffer.size());
    int32_t n = 0;
    if (Protocol_ == SocketProtocol::Tcp) {
        n = WsSend(SocketHandle_, SendBuffer.data(), length, 0);
    } else if (RemoteHostIP_.empty()) {
        ResolvePurpose = 1;
        ResolveRequest = ResolveHost(RemoteHost_, this);
        n = 0;
    } else {
        WsAddress to{WsHtons(static_cast<uint16_t>(UnsignedToInteger(RemotePort_))),
                     WsInetAddr(RemoteHostIP_)};
        n = WsSendTo(SocketHandle_, SendBuffer.data(), length, 0, to);
    }
    if (n == WsSocketError) {
        int32_t code = WsGetLastError();
        if (code == WsError::WouldBlock)
            return;
        RaiseSocketError(code, "CSocket.SendData");
    }
    if (n < length) {
        SendBuffer.erase(0, static_cast<size_t>(n));
    } else {
        SendBuffer.clear();
        // OnSendComplete follows once the current processing is over.
        WsPostSocketNotification(SocketHandle_, FdWrite, 0);
    }
    if (Owner != nullptr)
        Owner->OnSendProgress(n, static_cast<int32_t>(SendBuffer.size()));
}

int32_t CSocket::RecvToBuffer() {
    const int32_t size = ReceiveBufferSize > 0 ? ReceiveBufferSize : FallbackReceiveSize;
    // The byte area is kept between receives and never cleared: only what
    // arrives is copied on into the buffer.
    if (ReceiveAreaSize < size) {
        ReceiveArea.reset(new char[static_cast<size_t>(size)]);
        ReceiveAreaSize = size;
    }
    int32_t n;
    if (Protocol_ == SocketProtocol::Tcp) {
        n = WsRecv(SocketHandle_, ReceiveArea.get(), size, 0);
    } else {
        WsAddress from;
        n = WsRecvFrom(SocketHandle_, ReceiveArea.get(), size, 0, &from);
        if (n != WsSocketError) {
            RemotePort_ = IntegerToUnsigned(static_cast<int16_t>(WsNtohs(from.Port)));
            RemoteHostIP_ = WsInetNtoa(from.Address);
            std::string name;
            RemoteHost_ = WsGetHostByAddr(from.Address, name) ? name : RemoteHostIP_;
        }
    }
    if (n == WsSocketError)
        RaiseSocketError(WsGetLastError(), "CSocket.RecvToBuffer");
    ReceiveBuffer.append(ReceiveArea.get(), static_cast<size_t>(n));
    return n;
}

void CSocket::GetData(Variant& varData, const Variant& varType, const Variant& maxLen) {
    PassOnAs("CSocket.GetData", [&] { ReadReceiveBuffer(varData, false, varType, maxLen); });
}

void CSocket::PeekData(Variant& varData, const Variant& varType, const Variant& maxLen) {
    PassOnAs("CSocket.PeekData", [&] { ReadReceiveBuffer(varData, true, varType, maxLen); });
}

void CSocket::GetData(std::string& data) {
    Variant v = std::move(data);
    GetData(v, VarTypeCode::String);
    data = std::move(std::get<std::string>(v));
}

void CSocket::ReadReceiveBuffer(Variant& varData, bool peek, const Variant& varType,
                                const Variant& maxLen) {
    if (ReceiveBuffer.empty())
        return;
    int32_t limit = std::holds_alternative<std::monostate>(maxLen) ? 0 : VariantToLong(maxLen);
    int32_t type = std::holds_alternative<std::monostate>(varType) ? VarTypeCode::Empty
                                                                   : VariantToLong(varType);
    const bool part = limit > 0 && static_cast<size_t>(limit) <= ReceiveBuffer.size();
    const bool asString = type == VarTypeCode::Empty || type == VarTypeCode::String;

    if (!part && !peek && asString) {
        // All of it as a string: hand the buffer over and keep the caller's
        // old string as the next buffer, so neither side copies or allocates.
        if (auto* s = std::get_if<std::string>(&varData)) {
            s->swap(ReceiveBuffer);
            ReceiveBuffer.clear();
        } else {
            varData = std::move(ReceiveBuffer);
            ReceiveBuffer = std::string();
        }
    } else {
        std::string taken =
            part ? ReceiveBuffer.substr(0, static_cast<size_t>(limit)) : ReceiveBuffer;
        if (!peek) {
            if (part)
                ReceiveBuffer.erase(0, static_cast<size_t>(limit));
            else
                ReceiveBuffer.clear();
        }
        VariantFromBytes(type, taken, varData);
    }
    BytesReceived_ = static_cast<int32_t>(ReceiveBuffer.size());
}

} // namespace ostrak
