#pragma once
// CSocket: an event-driven IPv4 TCP/UDP socket object.
//
// The owner calls methods and reads or sets properties; everything that
// happens later is reported through the seven callbacks of CSocketEvents,
// called synchronously on the user-interface thread, inside the operation or
// socket notification that raises them. Handlers may call back into the
// object (GetData inside OnDataArrival, CloseSocket or Connect inside OnClose),
// but must not destroy it: defer that to the event loop.
//
// No operation blocks on the network. The system socket is registered with
// the socket service (MSocketSupport), whose hidden window delivers the
// notifications back through PostSocketEvent and PostGetHostEvent; those two
// are reachable only by the service.
//
// Failures of public operations arrive as VbError (platform/ErrorRecord.h)
// carrying Number, Description and Source ("CSocket.CSocket.Connect",
// "CSocket.Bind", ...); asynchronous failures arrive as OnError.
//
// Lives on the user-interface thread; needs a QCoreApplication. Not copyable.
#include <cstdint>
#include <memory>
#include <string>

#include "runtime/VbTypes.h"
#include "sockets/SocketVariant.h"

namespace ostrak {

// Values of CSocket::State(). 1 and 3 are never used.
namespace SocketState {
constexpr int32_t Closed = 0;
constexpr int32_t Listening = 2;
constexpr int32_t ResolvingHost = 4;
constexpr int32_t HostResolved = 5;
constexpr int32_t Connecting = 6;
constexpr int32_t Connected = 7;
constexpr int32_t Closing = 8;
constexpr int32_t Error = 9;
} // namespace SocketState

// Values of CSocket::Protocol().
namespace SocketProtocol {
constexpr int32_t Tcp = 0;
constexpr int32_t Udp = 1;
} // namespace SocketProtocol

// The owner interface: the socket object's seven events. Every callback has an
// empty default, so an owner overrides only what it needs.
class CSocketEvents {
public:
    // The connection has been closed: the socket is already released and
    // State() is Closed. Unread received data is gone.
    virtual void OnClose() {}
    // A connect has completed; State() is Connected.
    virtual void OnConnect() {}
    // A listening socket accepted a connection; requestID is its handle (-1
    // when the accept failed). Pass it to Accept of another object.
    virtual void OnConnectionRequest(int32_t requestID) { (void)requestID; }
    // Data was received; bytesTotal is the length of the receive buffer.
    virtual void OnDataArrival(int32_t bytesTotal) { (void)bytesTotal; }
    // An asynchronous failure. Values stored into Description or
    // CancelDisplay are ignored.
    virtual void OnError(int16_t Number, std::string& Description, int32_t Scode,
                         const std::string& Source, const std::string& HelpFile,
                         int32_t HelpContext, VbBool& CancelDisplay) {
        (void)Number, (void)Description, (void)Scode, (void)Source, (void)HelpFile,
            (void)HelpContext, (void)CancelDisplay;
    }
    // Everything passed to SendData has been handed to the system.
    virtual void OnSendComplete() {}
    // A send attempt completed: bytesSent went out, bytesRemaining wait.
    virtual void OnSendProgress(int32_t bytesSent, int32_t bytesRemaining) {
        (void)bytesSent, (void)bytesRemaining;
    }

protected:
    ~CSocketEvents() = default;
};

namespace MSocketSupport {
class Dispatch;
}

class CSocket {
public:
    // Starts the socket service (raises its start-up failure). The owner may
    // be set later; events without an owner go nowhere.
    explicit CSocket(CSocketEvents* owner = nullptr);
    // Releases the socket, forgets a pending name resolution and asks the
    // service to stop when no socket is registered any more.
    ~CSocket();
    CSocket(const CSocket&) = delete;
    CSocket& operator=(const CSocket&) = delete;

    void SetOwner(CSocketEvents* owner) { Owner = owner; }
    CSocketEvents* GetOwner() const { return Owner; }

    // Sends varData (its bytes by type code; an unlisted type sends
    // nothing). TCP without a socket raises 40006; UDP creates the socket.
    // Replaces any unsent rest of the previous SendData. NoEnc is ignored.
    void SendData(const Variant& varData, VbBool NoEnc = VbFalse);
    // As GetData, but the data stays in the receive buffer.
    void PeekData(Variant& varData, const Variant& varType = {}, const Variant& maxLen = {});
    // Starts listening for connection requests on LocalPort (State() Listening).
    void Listen();
    // Takes received data out of the buffer. An empty buffer leaves varData
    // untouched. varType empty or 8: string; maxLen empty, 0, negative or
    // beyond the buffer: everything.
    void GetData(Variant& varData, const Variant& varType = {}, const Variant& maxLen = {});
    // Connects to the remote computer. Host by name (state ResolvingHost,
    // then a resolution) or dotted address (state Connecting); an empty text
    // or missing argument keeps the stored RemoteHost, a non-numeric port
    // keeps the stored RemotePort.
    void Connect(const Variant& strRemoteHost = {}, const Variant& lngRemotePort = {});
    // Closes the current connection. Never raises. While Connected: stops
    // sending (state Closing) and OnClose follows the peer's close; otherwise
    // the socket is released at once and State() becomes Closed, without events.
    void CloseSocket();
    // Binds the socket to a local port and, when strLocalIP is given, adapter.
    void Bind(int32_t lngLocalPort, const std::string& strLocalIP);
    // Takes over the handle given by OnConnectionRequest of a listening
    // object; State() becomes Connected.
    void Accept(int32_t requestID);
    // The connection state (a SocketState value).
    int32_t State() const { return State_; }
    // The system socket's handle (-1: no socket).
    int32_t SocketHandle() const { return SocketHandle_; }
    // The port connected to on the remote computer.
    int32_t RemotePort() const { return RemotePort_; }
    void SetRemotePort(int32_t NewValue) { RemotePort_ = NewValue; }
    // The remote computer's dotted address.
    const std::string& RemoteHostIP() const { return RemoteHostIP_; }
    // The name (or dotted address) of the remote computer.
    const std::string& RemoteHost() const { return RemoteHost_; }
    void SetRemoteHost(const std::string& NewValue);
    // The socket protocol (a SocketProtocol value); setting it is ignored
    // while a socket exists.
    int32_t Protocol() const { return Protocol_; }
    void SetProtocol(int32_t NewValue);
    // The port used on the local computer.
    int32_t LocalPort() const { return LocalPort_; }
    void SetLocalPort(int32_t NewValue) { LocalPort_ = NewValue; }
    // The local computer's dotted address.
    const std::string& LocalIP() const { return LocalIP_; }
    // The local computer's name.
    const std::string& LocalHostName() const { return LocalHostName_; }
    // Bytes received on this connection (saturating).
    int32_t BytesReceived() const { return BytesReceived_; }
    // Creates and registers a new system socket of the current Protocol
    // and returns its handle without storing it.
    int32_t vbSocket();

    // Convenience for string readers: GetData(v, 8) into a std::string; an
    // empty buffer leaves data untouched.
    void GetData(std::string& data);

private:
    friend class MSocketSupport::Dispatch;

    // A network notification for this object's socket (friend only).
    void PostSocketEvent(int32_t eventCode, int32_t errorCode);
    // The answer of a name resolution (friend only).
    void PostGetHostEvent(int32_t requestHandle, int32_t address, std::string& hostName,
                          int32_t& errorCode);

    bool EnsureSocket();
    void ReadBufferSizes();
    void DestroySocket();
    void SendBufferedData();
    int32_t RecvToBuffer();
    void ReadReceiveBuffer(Variant& varData, bool peek, const Variant& varType,
                           const Variant& maxLen);
    void DoConnect(uint32_t address, const char* source);
    void RaiseOnError(int32_t number, const std::string& source);

    CSocketEvents* Owner = nullptr;

    // The object's state.
    int32_t ResolvePurpose = 0;
    int32_t Protocol_ = SocketProtocol::Tcp;
    int32_t State_ = SocketState::Closed;
    int32_t BytesReceived_ = 0;
    std::string LocalHostName_;
    std::string LocalIP_;
    int32_t LocalPort_ = 0;
    std::string RemoteHost_;
    std::string RemoteHostIP_;
    int32_t RemotePort_ = 0;
    int32_t SocketHandle_ = -1;
    int32_t ResolveRequest = 0;
    std::string SendBuffer;
    std::string ReceiveBuffer;
    int32_t ReceiveBufferSize = 0;
    int32_t MaxDatagramSize = 0;
    VbBool IsBound = VbFalse;
    VbBool SendCompletePending = VbFalse;
    VbBool BroadcastEnabled = VbFalse;

    // False once the object has ended: lets a notification's handling stop
    // when an owner ends the object inside one of several events it raises.
    std::shared_ptr<bool> Alive = std::make_shared<bool>(true);
    // The byte area one receive fills (kept between receives).
    std::unique_ptr<char[]> ReceiveArea;
    int32_t ReceiveAreaSize = 0;
};

} // namespace ostrak
