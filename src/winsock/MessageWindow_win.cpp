#include "winsock/MessageWindow.h"

#include <algorithm>
#include <atomic>
#include <map>
#include <mutex>
#include <optional>
#include <string>
#include <utility>
#include <vector>
#include <windows.h>

namespace ostrak {

namespace {

// A window of ours: the procedure its class gave it, and the procedure that
// receives its messages now. The system calls Relay for every message; Relay
// calls the window's current procedure.
struct WindowRecord {
    WNDPROC ClassProcedure = nullptr;
    WindowProcedure Procedure = &DefaultWindowProc;
    std::string ClassName;
    std::string Title;
    // Which making of the window this is: a parked window comes back under
    // its old handle as a new one.
    uint64_t Incarnation = 0;
};

// A posted message, waiting in the thread's queue under a private message
// whose wParam is its key here.
struct GuardedMessage {
    WindowHandle Window;
    uint32_t Message;
    uintptr_t WParam;
    intptr_t LParam;
    std::function<bool()> StillValid;
    uint64_t Incarnation;
};

std::mutex& lock = *new std::mutex;
std::map<WindowHandle, WindowRecord>& windows = *new std::map<WindowHandle, WindowRecord>;
std::map<uintptr_t, GuardedMessage>& guarded = *new std::map<uintptr_t, GuardedMessage>;
uintptr_t nextGuarded = 1;
uint64_t nextIncarnation = 1;

// Windows that were destroyed as far as their users know, kept for the next
// window of their class: under Wine making and destroying even a
// message-only window takes about forty calls to the Wine server, and the
// sockets make one for each run of connections, so for each file of an
// install. A parked window has no record, so nothing of ours is delivered to
// it, and it has its class's own procedure back.
struct ParkedWindow {
    HWND Window;
    WindowRecord Record;
};
constexpr size_t MaxParked = 4;
std::vector<ParkedWindow>& parked = *new std::vector<ParkedWindow>;

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
    if (m.StillValid && !m.StillValid())
        return 0;
    WindowProcedure procedure = nullptr;
    {
        std::lock_guard<std::mutex> guard(lock);
        const auto it = windows.find(m.Window);
        if (it != windows.end() && it->second.Incarnation == m.Incarnation)
            procedure = it->second.Procedure;
    }
    CallWindowProcedure(procedure, m.Window, m.Message, m.WParam, m.LParam);
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
    std::optional<ParkedWindow> again;
    {
        std::lock_guard<std::mutex> guard(lock);
        const auto it = std::find_if(parked.begin(), parked.end(), [&](const ParkedWindow& p) {
            return p.Record.ClassName == className;
        });
        if (it != parked.end()) {
            again = std::move(*it);
            parked.erase(it);
        }
    }
    if (again) {
        if (again->Record.Title != title)
            ::SetWindowTextA(again->Window, title.c_str());
        again->Record.Title = title;
        ::SetWindowLongPtrA(again->Window, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&Relay));
        const auto window = reinterpret_cast<WindowHandle>(again->Window);
        std::lock_guard<std::mutex> guard(lock);
        again->Record.Incarnation = nextIncarnation++;
        windows[window] = std::move(again->Record);
        return window;
    }
    // A message-only window: never shown, and nothing of the display's is made
    // for it (a hidden top-level window costs milliseconds under Wine, whose
    // display driver makes an X window for it). Its class's procedure is
    // replaced by Relay and kept for DefaultWindowProc.
    HWND hwnd = ::CreateWindowExA(0, className.c_str(), title.c_str(), 0, 0, 0, 0, 0, HWND_MESSAGE,
                                  nullptr, ::GetModuleHandleA(nullptr), nullptr);
    if (hwnd == nullptr)
        return 0;
    const auto window = reinterpret_cast<WindowHandle>(hwnd);
    std::lock_guard<std::mutex> guard(lock);
    WindowRecord& record = windows[window];
    record.ClassProcedure = reinterpret_cast<WNDPROC>(
        ::SetWindowLongPtrA(hwnd, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&Relay)));
    record.ClassName = className;
    record.Title = title;
    record.Incarnation = nextIncarnation++;
    return window;
}

bool DestroyMessageWindow(WindowHandle window) {
    HWND hwnd = reinterpret_cast<HWND>(window);
    WindowRecord record;
    {
        std::lock_guard<std::mutex> guard(lock);
        const auto it = windows.find(window);
        if (it == windows.end())
            return false;
        record = std::move(it->second);
        windows.erase(it);
    }
    // Messages still queued for it find no record at delivery and are
    // dropped there. The class's own procedure has the window from now on:
    // it sees the window's end, now or, for a parked one, when the program
    // ends, with none of this file's state involved.
    ::SetWindowLongPtrA(hwnd, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(record.ClassProcedure));
    {
        std::lock_guard<std::mutex> guard(lock);
        if (parked.size() < MaxParked) {
            record.Procedure = &DefaultWindowProc;
            parked.push_back(ParkedWindow{hwnd, std::move(record)});
            return true;
        }
    }
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
        const auto it = windows.find(window);
        if (it == windows.end())
            return false;
        key = nextGuarded++;
        guarded.emplace(key, GuardedMessage{window, message, wParam, lParam, std::move(stillValid),
                                            it->second.Incarnation});
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
