#include "platform/MessageWindow.h"

#include <QCoreApplication>
#include <QEvent>
#include <QObject>
#include <atomic>
#include <cstring>
#include <map>
#include <mutex>

namespace {

struct WindowRecord {
    std::string ClassName;
    std::string Title;
    WindowProcedure Procedure = &DefaultWindowProc;
};

// Windows by handle; handles count up and are never reused.
std::mutex windowsLock;
std::map<WindowHandle, WindowRecord> windows;
WindowHandle nextHandle = 0x10000;

const QEvent::Type messageEventType = static_cast<QEvent::Type>(QEvent::registerEventType());

class MessageEvent : public QEvent {
public:
    MessageEvent(WindowHandle w, uint32_t m, uintptr_t wp, intptr_t lp, std::function<bool()> g)
        : QEvent(messageEventType), Window(w), Message(m), WParam(wp), LParam(lp),
          StillValid(std::move(g)) {}
    WindowHandle Window;
    uint32_t Message;
    uintptr_t WParam;
    intptr_t LParam;
    std::function<bool()> StillValid;
};

// Receives every posted message on the user-interface thread and hands it to
// the window's current procedure. Created once, with the first window, and
// kept for the life of the process.
class MessagePump : public QObject {
public:
    bool event(QEvent* e) override {
        if (e->type() != messageEventType)
            return QObject::event(e);
        auto* m = static_cast<MessageEvent*>(e);
        if (m->StillValid && !m->StillValid())
            return true;
        SendMessage(m->Window, m->Message, m->WParam, m->LParam);
        return true;
    }
};

std::atomic<MessagePump*> pump{nullptr};

} // namespace

uint32_t RegisterWindowMessage(const std::string& name) {
    static std::mutex lock;
    static std::map<std::string, uint32_t> numbers;
    std::lock_guard<std::mutex> guard(lock);
    auto it = numbers.find(name);
    if (it != numbers.end())
        return it->second;
    uint32_t number = 0xC000u + static_cast<uint32_t>(numbers.size());
    numbers.emplace(name, number);
    return number;
}

WindowHandle CreateMessageWindow(const std::string& className, const std::string& title) {
    if (QCoreApplication::instance() == nullptr)
        return 0;
    if (pump.load() == nullptr)
        pump.store(new MessagePump);
    std::lock_guard<std::mutex> guard(windowsLock);
    WindowHandle h = nextHandle++;
    windows.emplace(h, WindowRecord{className, title, &DefaultWindowProc});
    return h;
}

bool DestroyMessageWindow(WindowHandle window) {
    std::lock_guard<std::mutex> guard(windowsLock);
    // Messages still queued for the window find no record at delivery and
    // are dropped there.
    return windows.erase(window) > 0;
}

bool IsMessageWindow(WindowHandle window) {
    std::lock_guard<std::mutex> guard(windowsLock);
    return windows.count(window) > 0;
}

int32_t MessageWindowCount() {
    std::lock_guard<std::mutex> guard(windowsLock);
    return static_cast<int32_t>(windows.size());
}

WindowProcedure SetWindowProcedure(WindowHandle window, WindowProcedure procedure) {
    std::lock_guard<std::mutex> guard(windowsLock);
    auto it = windows.find(window);
    if (it == windows.end() || procedure == nullptr)
        return nullptr;
    return std::exchange(it->second.Procedure, procedure);
}

intptr_t DefaultWindowProc(WindowHandle window, uint32_t message, uintptr_t wParam,
                           intptr_t lParam) {
    std::string title;
    {
        std::lock_guard<std::mutex> guard(windowsLock);
        auto it = windows.find(window);
        if (it == windows.end())
            return 0;
        title = it->second.Title;
    }
    switch (message) {
    case WM_GETTEXTLENGTH:
        return static_cast<intptr_t>(title.size());
    case WM_GETTEXT: {
        auto* buffer = reinterpret_cast<char*>(lParam);
        if (buffer == nullptr || wParam == 0)
            return 0;
        size_t n = std::min<size_t>(title.size(), wParam - 1);
        std::memcpy(buffer, title.data(), n);
        buffer[n] = '\0';
        return static_cast<intptr_t>(n);
    }
    default:
        return 0;
    }
}

intptr_t CallWindowProc(WindowProcedure procedure, WindowHandle window, uint32_t message,
                        uintptr_t wParam, intptr_t lParam) {
    if (procedure == nullptr)
        return 0;
    return procedure(window, message, wParam, lParam);
}

bool PostMessageGuarded(WindowHandle window, uint32_t message, uintptr_t wParam, intptr_t lParam,
                        std::function<bool()> stillValid) {
    MessagePump* target = pump.load();
    if (target == nullptr || !IsMessageWindow(window))
        return false;
    QCoreApplication::postEvent(
        target, new MessageEvent(window, message, wParam, lParam, std::move(stillValid)));
    return true;
}

bool PostMessage(WindowHandle window, uint32_t message, uintptr_t wParam, intptr_t lParam) {
    return PostMessageGuarded(window, message, wParam, lParam, {});
}

intptr_t SendMessage(WindowHandle window, uint32_t message, uintptr_t wParam, intptr_t lParam) {
    WindowProcedure procedure = nullptr;
    {
        std::lock_guard<std::mutex> guard(windowsLock);
        auto it = windows.find(window);
        if (it == windows.end())
            return 0;
        procedure = it->second.Procedure;
    }
    return CallWindowProc(procedure, window, message, wParam, lParam);
}
