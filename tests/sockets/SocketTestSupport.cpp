#include "SocketTestSupport.h"

#include <gtest/gtest.h>

#include "sockets/MSocketSupport.h"
#include "winsock/MessageWindow.h"
#include "winsock/SocketApi.h"

namespace ostrak {

void Recorder::OnClose() {
    Log.push_back("Close");
    StatesAtEvents.push_back(Socket ? Socket->State() : -1);
    if (OnCloseHook)
        OnCloseHook();
}

void Recorder::OnConnect() {
    Log.push_back("Connect");
    StatesAtEvents.push_back(Socket ? Socket->State() : -1);
    if (OnConnectHook)
        OnConnectHook();
}

void Recorder::OnConnectionRequest(int32_t requestID) {
    Log.push_back("Request");
    Requests.push_back(requestID);
    if (OnRequestHook)
        OnRequestHook(requestID);
}

void Recorder::OnDataArrival(int32_t bytesTotal) {
    Log.push_back("Data " + std::to_string(bytesTotal));
    if (ReadOnArrival && Socket != nullptr) {
        std::string chunk;
        Socket->GetData(chunk);
        Received += chunk;
    }
}

void Recorder::OnError(int16_t Number, std::string& Description, int32_t Scode,
                       const std::string& Source, const std::string& HelpFile, int32_t HelpContext,
                       VbBool& CancelDisplay) {
    Log.push_back("Error " + std::to_string(Number));
    Errors.push_back(ErrorEvent{Number, Description, Scode, Source, HelpFile, HelpContext,
                                CancelDisplay, Socket ? Socket->State() : -1});
}

void Recorder::OnSendComplete() {
    Log.push_back("SendComplete");
}

void Recorder::OnSendProgress(int32_t bytesSent, int32_t bytesRemaining) {
    Log.push_back("Progress " + std::to_string(bytesSent) + "/" + std::to_string(bytesRemaining));
    BytesSent += bytesSent;
}

int Recorder::Count(const std::string& prefix) const {
    int n = 0;
    for (const auto& e : Log)
        if (e.rfind(prefix, 0) == 0)
            ++n;
    return n;
}

namespace {
WindowObserver* current = nullptr;
WindowProcedure wrapped = nullptr;
WindowHandle observedWindow = 0;

intptr_t ObserverProc(WindowHandle w, uint32_t m, uintptr_t wp, intptr_t lp) {
    WindowObserver* o = current;
    if (o != nullptr && o->Filter && !o->Filter(m, wp, lp))
        return 0;
    intptr_t r = CallWindowProcedure(wrapped, w, m, wp, lp);
    if (o != nullptr && current == o)
        o->Messages.push_back({m, wp, lp, o->Watched ? o->Watched->State() : -1});
    return r;
}
} // namespace

WindowObserver::WindowObserver(CSocket* watched) : Watched(watched) {
    observedWindow = MSocketSupport::SocketWindow();
    EXPECT_NE(observedWindow, 0) << "observer needs the socket window";
    current = this;
    wrapped = SetWindowProcedure(observedWindow, &ObserverProc);
}

WindowObserver::~WindowObserver() {
    if (IsMessageWindow(observedWindow))
        SetWindowProcedure(observedWindow, wrapped);
    current = nullptr;
}

int WindowObserver::Notifications(int32_t handle, int32_t event) const {
    int n = 0;
    for (const auto& m : Messages)
        if (m.Message == MSocketSupport::WinsockMessage() && m.WParam == uintptr_t(handle) &&
            (m.LParam & 0xFFFF) == event)
            ++n;
    return n;
}

int WindowObserver::SocketMessages() const {
    int n = 0;
    for (const auto& m : Messages)
        if (m.Message == MSocketSupport::WinsockMessage())
            ++n;
    return n;
}

uint16_t BoundPortOf(const CSocket& s) {
    WsAddress a;
    EXPECT_EQ(WsGetSockName(s.SocketHandle(), a), 0);
    return WsNtohs(a.Port);
}

} // namespace ostrak
