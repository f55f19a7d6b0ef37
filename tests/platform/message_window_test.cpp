#include "platform/EventLoop.h"
#include "platform/TickCount.h"
#include "winsock/MessageWindow.h"

#include <gtest/gtest.h>
#include <vector>

using namespace ostrak;

namespace {

std::vector<uintptr_t> g_delivered;
bool g_nestedSawSecond = false;
WindowHandle g_window = 0;

// Message 1 runs a nested wait (as an event handler that lets events run
// may); the message posted after it must arrive inside that wait.
intptr_t NestingProc(WindowHandle, uint32_t, uintptr_t wParam, intptr_t) {
    g_delivered.push_back(wParam);
    if (wParam == 1) {
        uint32_t start = TickCount();
        while (g_delivered.size() < 2 && ElapsedTicks(start, TickCount()) < 2000)
            WaitForEvents(2000);
        g_nestedSawSecond = g_delivered.size() >= 2;
    }
    return 0;
}

} // namespace

TEST(MessageWindow, PostedMessagesArriveInOrderAndInsideNestedWaits) {
    g_window = CreateMessageWindow("STATIC", "NESTING");
    ASSERT_NE(g_window, 0);
    SetWindowProcedure(g_window, &NestingProc);
    uint32_t msg = RegisterMessageName("message_window_test.Nesting");
    ASSERT_TRUE(PostWindowMessage(g_window, msg, 1, 0));
    ASSERT_TRUE(PostWindowMessage(g_window, msg, 2, 0));
    EXPECT_TRUE(g_delivered.empty()) << "posting never delivers synchronously";

    uint32_t start = TickCount();
    while (g_delivered.size() < 2 && ElapsedTicks(start, TickCount()) < 3000)
        WaitForEvents(3000);

    EXPECT_EQ(g_delivered, (std::vector<uintptr_t>{1, 2}));
    EXPECT_TRUE(g_nestedSawSecond);
    EXPECT_TRUE(DestroyMessageWindow(g_window));
}

TEST(MessageWindow, MessagesForADestroyedWindowAreDropped) {
    g_delivered.clear();
    WindowHandle w = CreateMessageWindow("STATIC", "GONE");
    SetWindowProcedure(w, &NestingProc);
    uint32_t msg = RegisterMessageName("message_window_test.Gone");
    ASSERT_TRUE(PostWindowMessage(w, msg, 7, 0));
    ASSERT_TRUE(DestroyMessageWindow(w));
    // Also when the next window comes under the same handle.
    WindowHandle next = CreateMessageWindow("STATIC", "NEXT");
    SetWindowProcedure(next, &NestingProc);
    for (int i = 0; i < 5; ++i)
        WaitForEvents(20);
    EXPECT_TRUE(g_delivered.empty());
    DestroyMessageWindow(next);
}
