#pragma once
// Hidden message windows in the manner of the classic window manager: a
// window is a handle with a replaceable procedure that receives messages.
//
//   RegisterMessageName   a stable number >= 0xC000 per distinct name.
//   PostWindowMessage             queues the message; the event loop delivers the
//                           queued messages in order (a bounded batch per
//                           turn, also inside nested loops), never
//                           synchronously.
//   SendWindowMessage             calls the window's procedure at once.
//   CallWindowProcedure          calls a given procedure (the previous one).
//
// The handle of a destroyed window may later name a newer window (the
// system reuses handles), so a message still queued under that handle could
// reach the newer one. A source whose messages must not outlive what they
// are about posts them with PostWindowMessageGuarded and a generation tag of
// its own, checked at delivery (the socket notifications carry their
// registration's). Windows live on the user-interface thread;
// PostWindowMessage may be called from any thread.
#include <cstdint>
#include <functional>
#include <string>

namespace ostrak {

using WindowHandle = intptr_t;
using WindowProcedure = intptr_t (*)(WindowHandle window, uint32_t message, uintptr_t wParam,
                                     intptr_t lParam);

// Messages the default procedure answers: the title's length, and the title
// copied into the buffer at lParam (wParam = its size, terminator included).
constexpr uint32_t WmGetText = 0x000D;
constexpr uint32_t WmGetTextLength = 0x000E;

uint32_t RegisterMessageName(const std::string& name);

// Creates a hidden window with the default procedure of its class. Returns 0
// when no event loop exists (no QCoreApplication).
WindowHandle CreateMessageWindow(const std::string& className, const std::string& title);
// Destroys the window and drops the messages still queued for it; safe
// inside the window's own procedure. False for an unknown handle.
bool DestroyMessageWindow(WindowHandle window);
bool IsMessageWindow(WindowHandle window);
// Number of windows that exist.
int32_t MessageWindowCount();

// Replaces the window's procedure; returns the previous one (null for an
// unknown handle).
WindowProcedure SetWindowProcedure(WindowHandle window, WindowProcedure procedure);
// The procedure windows start with.
intptr_t DefaultWindowProc(WindowHandle window, uint32_t message, uintptr_t wParam,
                           intptr_t lParam);
intptr_t CallWindowProcedure(WindowProcedure procedure, WindowHandle window, uint32_t message,
                             uintptr_t wParam, intptr_t lParam);

// Queues a message; false for an unknown window.
bool PostWindowMessage(WindowHandle window, uint32_t message, uintptr_t wParam, intptr_t lParam);
// As PostWindowMessage, but at delivery stillValid() is called first, on the
// user-interface thread, and the message is dropped unless it answers true
// (used by the notification sources of the platform layer).
bool PostWindowMessageGuarded(WindowHandle window, uint32_t message, uintptr_t wParam,
                              intptr_t lParam, std::function<bool()> stillValid);
// Calls the window's current procedure now; 0 for an unknown window.
intptr_t SendWindowMessage(WindowHandle window, uint32_t message, uintptr_t wParam,
                           intptr_t lParam);

} // namespace ostrak
