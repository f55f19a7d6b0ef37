#include "winsock/MessageWindow.h"

#include <atomic>
#include <map>
#include <mutex>
#include <utility>
#include <windows.h>

namespace ostrak {

namespace {

// A window of ours: the procedure its class gave it, and the procedure that
// receives its messages now. The system calls Relay for every message; Relay
// calls the window's current procedure.
struct WindowRecord {
    WNDPROC ClassProcedure = nullptr;
    WindowProcedure Procedure = &DefaultWindowProc;
};

// A posted message, waiting in the thread's queue under a private message
// whose wParam is its key here.
struct GuardedMessage {
    WindowHandle Window;
    uint32_t Message;
    uintptr_t WParam;
    intptr_t LParam;
    std::function<bool()> StillValid;
};

std::mutex& lock = *new std::mutex;
std::map<WindowHandle, WindowRecord>& windows = *new std::map<WindowHandle, WindowRecord>;
std::map<uintptr_t, GuardedMessage>& guarded = *new std::map<uintptr_t, GuardedMessage>;
uintptr_t nextGuarded = 1;

UINT GuardedMessageNumber() {
    static const UINT number = ::RegisterWindowMessageA("Ostrak.GuardedMessage");
    return number;
}

WindowProcedure ProcedureOf(WindowHandle window) {
    std::lock_guard<std::mutex> guard(lock);
    const auto it = windows.find(window);
    return it == windows.end() ? nullptr : it->second.Procedure;
}

LRESULT CALLBACK Relay(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    const auto window = reinterpret_cast<WindowHandle>(hwnd);
    const WindowProcedure procedure = ProcedureOf(window);
    if (procedure == nullptr)
        return ::DefWindowProcA(hwnd, message, wParam, lParam);
    return procedure(window, message, wParam, lParam);
}

// Posted messages travel through one message-only window of the
// user-interface thread, in order: at delivery the guard runs (whether or not
// the window still exists), then the window's procedure, if it still has one.
std::atomic<HWND> pumpWindow{nullptr};
WNDPROC pumpClassProcedure = nullptr;

LRESULT CALLBACK Pump(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message != GuardedMessageNumber())
        return ::CallWindowProcA(pumpClassProcedure, hwnd, message, wParam, lParam);
    GuardedMessage m{};
    {
        std::lock_guard<std::mutex> guard(lock);
        const auto it = guarded.find(wParam);
        if (it == guarded.end())
            return 0;
        m = std::move(it->second);
        guarded.erase(it);
    }
    if (!m.StillValid || m.StillValid())
        SendWindowMessage(m.Window, m.Message, m.WParam, m.LParam);
    return 0;
}

// Made by the first window, on the user-interface thread.
void MakePumpWindow() {
    if (pumpWindow.load() != nullptr)
        return;
    HWND pump = ::CreateWindowExA(0, "STATIC", "", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr,
                                  ::GetModuleHandleA(nullptr), nullptr);
    if (pump == nullptr)
        return;
    pumpClassProcedure = reinterpret_cast<WNDPROC>(
        ::SetWindowLongPtrA(pump, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&Pump)));
    pumpWindow.store(pump);
}

} // namespace

uint32_t RegisterMessageName(const std::string& name) {
    return ::RegisterWindowMessageA(name.c_str());
}

WindowHandle CreateMessageWindow(const std::string& className, const std::string& title) {
    MakePumpWindow();
    // A message-only window: never shown, and nothing of the display's is made
    // for it (a hidden top-level window costs milliseconds under Wine, whose
    // display driver makes an X window for it, and the sockets make one per
    // run of connections). Its class's procedure is replaced by Relay and
    // kept for DefaultWindowProc.
    HWND hwnd = ::CreateWindowExA(0, className.c_str(), title.c_str(), 0, 0, 0, 0, 0, HWND_MESSAGE,
                                  nullptr, ::GetModuleHandleA(nullptr), nullptr);
    if (hwnd == nullptr)
        return 0;
    const auto window = reinterpret_cast<WindowHandle>(hwnd);
    std::lock_guard<std::mutex> guard(lock);
    WindowRecord& record = windows[window];
    record.ClassProcedure = reinterpret_cast<WNDPROC>(
        ::SetWindowLongPtrA(hwnd, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&Relay)));
    return window;
}

bool DestroyMessageWindow(WindowHandle window) {
    WNDPROC classProcedure = nullptr;
    {
        std::lock_guard<std::mutex> guard(lock);
        const auto it = windows.find(window);
        if (it == windows.end())
            return false;
        classProcedure = it->second.ClassProcedure;
        windows.erase(it);
    }
    // The class's own procedure sees the window's end; messages still queued
    // for it find no record at delivery and are dropped there.
    HWND hwnd = reinterpret_cast<HWND>(window);
    ::SetWindowLongPtrA(hwnd, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(classProcedure));
    ::DestroyWindow(hwnd);
    return true;
}

bool IsMessageWindow(WindowHandle window) {
    std::lock_guard<std::mutex> guard(lock);
    return windows.count(window) > 0;
}

int32_t MessageWindowCount() {
    std::lock_guard<std::mutex> guard(lock);
    return static_cast<int32_t>(windows.size());
}

WindowProcedure SetWindowProcedure(WindowHandle window, WindowProcedure procedure) {
    std::lock_guard<std::mutex> guard(lock);
    const auto it = windows.find(window);
    if (it == windows.end() || procedure == nullptr)
        return nullptr;
    return std::exchange(it->second.Procedure, procedure);
}

intptr_t DefaultWindowProc(WindowHandle window, uint32_t message, uintptr_t wParam,
                           intptr_t lParam) {
    WNDPROC classProcedure = nullptr;
    {
        std::lock_guard<std::mutex> guard(lock);
        const auto it = windows.find(window);
        if (it == windows.end())
            return 0;
        classProcedure = it->second.ClassProcedure;
    }
    return ::CallWindowProcA(classProcedure, reinterpret_cast<HWND>(window), message, wParam,
                             lParam);
}

intptr_t CallWindowProcedure(WindowProcedure procedure, WindowHandle window, uint32_t message,
                             uintptr_t wParam, intptr_t lParam) {
    if (procedure == nullptr)
        return 0;
    return procedure(window, message, wParam, lParam);
}

bool PostWindowMessageGuarded(WindowHandle window, uint32_t message, uintptr_t wParam,
                              intptr_t lParam, std::function<bool()> stillValid) {
    uintptr_t key = 0;
    {
        std::lock_guard<std::mutex> guard(lock);
        if (windows.count(window) == 0)
            return false;
        key = nextGuarded++;
        guarded.emplace(key,
                        GuardedMessage{window, message, wParam, lParam, std::move(stillValid)});
    }
    HWND pump = pumpWindow.load();
    if (pump != nullptr && ::PostMessageA(pump, GuardedMessageNumber(), key, 0))
        return true;
    std::lock_guard<std::mutex> guard(lock);
    guarded.erase(key);
    return false;
}

bool PostWindowMessage(WindowHandle window, uint32_t message, uintptr_t wParam, intptr_t lParam) {
    return PostWindowMessageGuarded(window, message, wParam, lParam, {});
}

intptr_t SendWindowMessage(WindowHandle window, uint32_t message, uintptr_t wParam,
                           intptr_t lParam) {
    const WindowProcedure procedure = ProcedureOf(window);
    return CallWindowProcedure(procedure, window, message, wParam, lParam);
}

} // namespace ostrak
