#pragma once
// MSocketSupport: the process-wide socket service behind every CSocket.
//
// It starts and stops the socket library (counted), owns one hidden message
// window ("SOCKET_WINDOW") that receives the socket notifications and the
// name-resolution answers, keeps the registries that route them to their
// socket objects ("S" + socket handle, "R" + request handle, and the answer
// buffers under "S" + object address), and hands each notification to the
// right object. Everything runs on the user-interface thread; a notification
// is handled when that thread lets events run (also inside nested waits).
//
// Lifetimes: the window exists from the first registered socket to the last
// unregistration; the resolution registries from the first pending resolution
// until none is pending. The registries hold plain object addresses; a socket
// object unregisters its handle and forgets its pending resolution before it
// ends (ForgetSocketObject), so no answer reaches an object that has ended.
#include <cstdint>
#include <string>

#include "runtime/VbTypes.h"
#include "winsock/MessageWindow.h"

namespace ostrak {

class CSocket;

namespace MSocketSupport {

// Starts the socket library once (later calls only return the value) and
// registers the two window messages. Returns MaxDatagramSize. Raises the
// library's start-up failure with Source "MSocketSupport.InitWinsockService".
int32_t InitWinsockService();
// Stops the library when it is started and no socket is registered.
void CleanupWinsockService();

// Files object under "S" + handle and asks for read, write, accept, connect
// and close notifications (the socket no longer blocks). Creates the window
// with the first registration. False on failure, with the current error
// record filled (Source "MSocketSupport.RegisterSocket"); nothing stays
// registered then.
VbBool RegisterSocket(int32_t socketHandle, CSocket* object);
// Cancels the notifications of handle and removes it; the last removal
// destroys the window. False for handle -1 or when nothing is registered.
// Raises error 5 for a handle that is not registered (after cancelling).
VbBool UnregisterSocket(int32_t socketHandle);
// Starts an asynchronous lookup of hostName for object. Returns the request
// handle, or 0 on failure with the current error record filled (Source
// "MSocketSupport.ResolveHost"). One resolution per object at a time.
int32_t ResolveHost(const std::string& hostName, CSocket* object);
// Drops every pending resolution of object (its answers are then ignored).
// Called by a socket object as it ends.
void ForgetSocketObject(CSocket* object);

// The English text of a socket error code ("Unknown error." when unlisted).
std::string GetErrorDescription(int32_t errorCode);
// The longer text of a library start-up failure (10022, 10091, 10092; else "").
std::string StartupErrorDescription(int32_t errorCode);

// The zero-terminated narrow string at p as text ("" for a null pointer).
std::string StringFromPointer(const char* p);
// 0..32767 unchanged, 32768..65535 minus 65536; other values raise overflow (6).
int16_t UnsignedToInteger(int32_t value);
// A negative value plus 65536; others unchanged.
int32_t IntegerToUnsigned(int16_t value);
// Low 16 bits; high 16 bits read as unsigned (0..65535, also for negatives).
constexpr int32_t LoWord(int32_t value) {
    return value & 0xFFFF;
}
constexpr int32_t HiWord(int32_t value) {
    return int32_t((uint32_t(value) >> 16) & 0xFFFF);
}

// The hidden window (0 while none exists) and the notification message.
WindowHandle SocketWindow();
uint32_t WinsockMessage();
uint32_t ResolveMessage();

// Observations of the module state, for tests and diagnostics.
bool WinsockStarted();
int32_t MaxDatagramSize();
// Entries of SocketRegistry; -1 while the registry is absent.
int32_t RegisteredSocketCount();
// Entries of ResolveRegistry; -1 while the resolution registries are absent.
int32_t PendingResolutionCount();

} // namespace MSocketSupport

} // namespace ostrak
