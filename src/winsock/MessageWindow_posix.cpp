#include "winsock/MessageWindow.h"

#include <QCoreApplication>
#include <QEvent>
#include <QObject>
#include <atomic>
#include <cstring>
#include <deque>
#include <map>
#include <mutex>

namespace ostrak {

namespace {

struct WindowRecord {
    std::string ClassName;
    std::string Title;
    WindowProcedure Procedure = &DefaultWindowProc;
};

// Windows by handle; here handles count up and are never reused.
// Kept for the whole run (never destroyed), so that a lookup thread that
// answers while the program ends finds them intact.
std::mutex& windowsLock = *new std::mutex;
std::map<WindowHandle, WindowRecord>& windows = *new std::map<WindowHandle, WindowRecord>;
WindowHandle nextHandle = 0x10000;

struct QueuedMessage {
    WindowHandle Window;
    uint32_t Message;
    uintptr_t WParam;
    intptr_t LParam;
    std::function<bool()> StillValid;
};

// Posted messages wait here, in order. A toolkit event (the doorbell) is
// queued whenever messages wait and none is queued yet; its delivery hands
// out waiting messages, at most BatchSize per turn so that timers, windows
// and other sockets keep their turn. A nested event loop inside a window
// procedure receives the doorbell too, so it sees the messages still waiting.
constexpr int BatchSize = 32;
const QEvent::Type doorbellType = static_cast<QEvent::Type>(QEvent::registerEventType());
std::mutex& queueLock = *new std::mutex;
std::deque<QueuedMessage>& queue = *new std::deque<QueuedMessage>;
int doorbellsQueued = 0;

class MessagePump : public QObject {
public:
    bool event(QEvent* e) override {
        if (e->type() != doorbellType)
            return QObject::event(e);
        {
            std::lock_guard<std::mutex> guard(queueLock);
            --doorbellsQueued;
        }
        for (int i = 0; i < BatchSize; ++i) {
            QueuedMessage m;
            {
                std::lock_guard<std::mutex> guard(queueLock);
                if (queue.empty())
                    return true;
                m = std::move(queue.front());
                queue.pop_front();
            }
            if (m.StillValid && !m.StillValid())
                continue;
            // A handler may run a nested event loop: the doorbell for what
            // still waits is queued before the message is handed out.
            RingIfWaiting(this);
            SendWindowMessage(m.Window, m.Message, m.WParam, m.LParam);
        }
        RingIfWaiting(this);
        return true;
    }

    // Queues a doorbell when messages wait and none is queued.
    static void RingIfWaiting(QObject* pump) {
        {
            std::lock_guard<std::mutex> guard(queueLock);
            if (queue.empty() || doorbellsQueued > 0)
                return;
            ++doorbellsQueued;
        }
        QCoreApplication::postEvent(pump, new QEvent(doorbellType));
    }
};

std::atomic<MessagePump*> pump{nullptr};

} // namespace

uint32_t RegisterMessageName(const std::string& name) {
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
    case WmGetTextLength:
        return static_cast<intptr_t>(title.size());
    case WmGetText: {
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

intptr_t CallWindowProcedure(WindowProcedure procedure, WindowHandle window, uint32_t message,
                             uintptr_t wParam, intptr_t lParam) {
    if (procedure == nullptr)
        return 0;
    return procedure(window, message, wParam, lParam);
}

bool PostWindowMessageGuarded(WindowHandle window, uint32_t message, uintptr_t wParam,
                              intptr_t lParam, std::function<bool()> stillValid) {
    MessagePump* target = pump.load();
    if (target == nullptr || !IsMessageWindow(window))
        return false;
    {
        std::lock_guard<std::mutex> guard(queueLock);
        queue.push_back(QueuedMessage{window, message, wParam, lParam, std::move(stillValid)});
    }
    MessagePump::RingIfWaiting(target);
    return true;
}

bool PostWindowMessage(WindowHandle window, uint32_t message, uintptr_t wParam, intptr_t lParam) {
    return PostWindowMessageGuarded(window, message, wParam, lParam, {});
}

intptr_t SendWindowMessage(WindowHandle window, uint32_t message, uintptr_t wParam,
                           intptr_t lParam) {
    WindowProcedure procedure = nullptr;
    {
        std::lock_guard<std::mutex> guard(windowsLock);
        auto it = windows.find(window);
        if (it == windows.end())
            return 0;
        procedure = it->second.Procedure;
    }
    return CallWindowProcedure(procedure, window, message, wParam, lParam);
}

} // namespace ostrak
