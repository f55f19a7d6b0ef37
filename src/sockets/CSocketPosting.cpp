// CSocket: turning socket notifications and resolution answers into state
// changes and events.
#include <limits>

#include "runtime/ErrorRecord.h"
#include "sockets/CSocket.h"
#include "sockets/MSocketSupport.h"
#include "winsock/AsyncSelect.h"
#include "winsock/SocketApi.h"

namespace ostrak {

using namespace MSocketSupport;

void CSocket::RaiseOnError(int32_t number, const std::string& source) {
    if (Owner == nullptr)
        return;
    std::string description = GetErrorDescription(number);
    VbBool cancelDisplay = VbFalse;
    Owner->OnError(static_cast<int16_t>(number), description, 0, source, std::string(), 0,
                   cancelDisplay);
}

void CSocket::PostSocketEvent(int32_t eventCode, int32_t errorCode) {
    PassOnAs("CSocket.PostSocketEvent", [&] {
        if (errorCode > 0) {
            State_ = SocketState::Error;
            DestroySocket();
            RaiseOnError(errorCode, std::string());
            return;
        }
        switch (eventCode) {
        case FdRead: {
            int32_t n = RecvToBuffer();
            int64_t total = int64_t(BytesReceived_) + n;
            BytesReceived_ =
                static_cast<int32_t>(std::min<int64_t>(total, std::numeric_limits<int32_t>::max()));
            if (n > 0 && Owner != nullptr)
                Owner->OnDataArrival(static_cast<int32_t>(ReceiveBuffer.size()));
            break;
        }
        case FdWrite:
            if (!SendBuffer.empty()) {
                SendBufferedData();
            } else if (IsTrue(SendCompletePending)) {
                SendCompletePending = VbFalse;
                if (Owner != nullptr)
                    Owner->OnSendComplete();
            }
            break;
        case FdAccept: {
            WsAddress peer;
            int32_t requestID = WsAccept(SocketHandle_, &peer);
            if (Owner != nullptr)
                Owner->OnConnectionRequest(requestID);
            else if (requestID != -1)
                WsCloseSocket(requestID); // nobody could ever take it over
            break;
        }
        case FdConnect: {
            WsAddress local;
            if (WsGetSockName(SocketHandle_, local) == 0) {
                LocalPort_ = IntegerToUnsigned(static_cast<int16_t>(WsNtohs(local.Port)));
                LocalIP_ = WsInetNtoa(local.Address);
                std::string name;
                LocalHostName_ = WsGetHostByAddr(local.Address, name) ? name : LocalIP_;
            }
            State_ = SocketState::Connected;
            if (Owner != nullptr)
                Owner->OnConnect();
            break;
        }
        case FdClose: {
            // Everything still on the socket is offered before the close.
            const std::shared_ptr<bool> alive = Alive;
            int32_t n;
            do {
                n = RecvToBuffer();
                if (n > 0 && Owner != nullptr) {
                    Owner->OnDataArrival(static_cast<int32_t>(ReceiveBuffer.size()));
                    if (!*alive)
                        return;
                }
            } while (n != 0);
            if (State_ != SocketState::Closing) {
                State_ = SocketState::Closing;
                if (!SendBuffer.empty()) {
                    SendBufferedData();
                    if (!*alive)
                        return;
                }
            }
            DestroySocket();
            State_ = SocketState::Closed;
            if (Owner != nullptr)
                Owner->OnClose();
            break;
        }
        default:
            break;
        }
    });
}

void CSocket::PostGetHostEvent(int32_t requestHandle, int32_t address, std::string& hostName,
                               int32_t& errorCode) {
    PassOnAs("CSocket.PostGetHostEvent", [&] {
        if (errorCode > 0) {
            uint32_t named = WsInetAddr(hostName);
            if (named == WsInaddrNone) {
                State_ = SocketState::Error;
                RaiseOnError(errorCode, std::string());
                return;
            }
            address = static_cast<int32_t>(named);
        }
        if (requestHandle == 0 || requestHandle != ResolveRequest)
            return;
        State_ = SocketState::HostResolved;
        RemoteHost_ = hostName;
        RemoteHostIP_ = WsInetNtoa(static_cast<uint32_t>(address));
        if (ResolvePurpose == 0) {
            WsAddress to{WsHtons(static_cast<uint16_t>(UnsignedToInteger(RemotePort_))),
                         static_cast<uint32_t>(address)};
            if (WsConnect(SocketHandle_, to) != 0) {
                int32_t code = WsGetLastError();
                if (code == WsError::WouldBlock)
                    State_ = SocketState::Connecting;
                else
                    RaiseOnError(code, "CSocket.PostGetHostEvent");
            }
        } else if (ResolvePurpose == 1) {
            SendBufferedData();
        }
    });
}

} // namespace ostrak
