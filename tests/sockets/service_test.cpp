// The socket service: library and window counts, registries, message
// dispatch, resolution bookkeeping and the conversion helpers.
#include <gtest/gtest.h>

#include "SocketTestSupport.h"
#include "platform/Process.h"
#include "runtime/ErrorRecord.h"
#include "sockets/MSocketSupport.h"
#include "winsock/AsyncResolver.h"
#include "winsock/MessageWindow.h"
#include "winsock/SocketApi.h"

using namespace ostrak;

namespace {

using namespace MSocketSupport;

TEST(Service, LibraryStartsOnceAndStopsWhenTheLastSocketIsGone) {
    int starts = WsStartupCalls();
    int stops = WsCleanupCalls();
    auto a = std::make_unique<CSocket>();
    EXPECT_TRUE(WinsockStarted());
    // What the library reports: 65507 here, 65467 under Wine.
    const int32_t largest = MaxDatagramSize();
    EXPECT_GE(largest, 65467);
    EXPECT_LE(largest, 65507);
    int afterFirst = WsStartupCalls();
    EXPECT_LE(afterFirst - starts, 1);
    auto b = std::make_unique<CSocket>();
    EXPECT_EQ(WsStartupCalls(), afterFirst) << "the second object does not start it again";
    EXPECT_EQ(InitWinsockService(), largest);
    EXPECT_EQ(WsStartupCalls(), afterFirst);

    b->Bind(0, "127.0.0.1");
    a.reset();
    EXPECT_TRUE(WinsockStarted()) << "a registered socket keeps the library";
    EXPECT_EQ(WsCleanupCalls(), stops);
    b->CloseSocket();
    EXPECT_TRUE(WinsockStarted()) << "stopping happens only as an object ends";
    b.reset();
    EXPECT_FALSE(WinsockStarted());
    EXPECT_EQ(WsCleanupCalls(), stops + 1);
    EXPECT_EQ(WsStartupDepth(), 0);
    CleanupWinsockService();
    EXPECT_EQ(WsCleanupCalls(), stops + 1);

    CSocket c;
    EXPECT_TRUE(WinsockStarted()) << "a new object starts it again";
    EXPECT_EQ(WsStartupCalls(), afterFirst + 1);
}

TEST(Service, ObjectOutlivingAStoppedLibraryStillCreatesSockets) {
    CSocket survivor;
    { CSocket other; } // ends while no socket is registered: the library stops
    ASSERT_FALSE(WinsockStarted());
    survivor.Bind(0, "127.0.0.1");
    EXPECT_NE(survivor.SocketHandle(), -1);
    EXPECT_TRUE(WinsockStarted());
}

TEST(Service, WindowAndRegistryFollowTheRegisteredSockets) {
    int windows = MessageWindowCount();
    CSocket a, b;
    EXPECT_EQ(SocketWindow(), 0);
    EXPECT_EQ(RegisteredSocketCount(), -1);
    a.Bind(0, "127.0.0.1");
    WindowHandle w = SocketWindow();
    EXPECT_NE(w, 0);
    EXPECT_EQ(MessageWindowCount(), windows + 1);
    EXPECT_EQ(RegisteredSocketCount(), 1);
    b.Bind(0, "127.0.0.1");
    EXPECT_EQ(SocketWindow(), w);
    EXPECT_EQ(RegisteredSocketCount(), 2);
    a.CloseSocket();
    EXPECT_EQ(RegisteredSocketCount(), 1);
    EXPECT_EQ(SocketWindow(), w);
    b.CloseSocket();
    EXPECT_EQ(RegisteredSocketCount(), -1) << "the registry is discarded";
    EXPECT_EQ(SocketWindow(), 0);
    EXPECT_FALSE(IsMessageWindow(w));
    EXPECT_EQ(MessageWindowCount(), windows);
    a.Bind(0, "127.0.0.1");
    // A new window, which may come under the old handle (the system reuses
    // them; the Windows one keeps a destroyed window for the next).
    EXPECT_NE(SocketWindow(), 0) << "the next registration creates a new window";
    EXPECT_EQ(MessageWindowCount(), windows + 1);
}

TEST(Service, UnregisterCases) {
    CSocket a;
    EXPECT_EQ(UnregisterSocket(-1), VbFalse);
    EXPECT_EQ(UnregisterSocket(12345), VbFalse) << "nothing registered";
    a.Bind(0, "127.0.0.1");
    EXPECT_EQ(UnregisterSocket(-1), VbFalse);
    try {
        UnregisterSocket(a.SocketHandle() + 1000);
        ADD_FAILURE() << "an unknown handle must raise";
    } catch (const VbError& e) {
        EXPECT_EQ(e.Record.Number, 5);
    }
    EXPECT_EQ(RegisteredSocketCount(), 1);
}

TEST(Service, FailedNotificationRequestLeavesNothingRegistered) {
    CSocket owner;
    Err().Clear();
    EXPECT_EQ(RegisterSocket(987654, &owner), VbFalse);
    EXPECT_EQ(Err(), (ErrorRecord{10038, "Socket operation on nonsocket.",
                                  "MSocketSupport.RegisterSocket"}));
    EXPECT_EQ(RegisteredSocketCount(), -1);
    EXPECT_EQ(SocketWindow(), 0) << "the window made for it is gone again";
}

TEST(Service, MessagesAreRegisteredUnderTheExecutableName) {
    CSocket s;
    const std::string base = ExecutableBaseName();
    EXPECT_EQ(base, "sockets_test");
    EXPECT_EQ(WinsockMessage(), RegisterMessageName(base + ".WinsockMessage"));
    EXPECT_EQ(ResolveMessage(), RegisterMessageName(base + ".ResolveMessage"));
    EXPECT_GE(WinsockMessage(), 0xC000u);
    EXPECT_GE(ResolveMessage(), 0xC000u);
    EXPECT_NE(WinsockMessage(), ResolveMessage());
}

TEST(Service, OtherMessagesGoToThePreviousProcedure) {
    CSocket s;
    s.Bind(0, "127.0.0.1");
    EXPECT_EQ(SendWindowMessage(SocketWindow(), WmGetTextLength, 0, 0), 13);
    char title[32] = {};
    EXPECT_EQ(SendWindowMessage(SocketWindow(), WmGetText, sizeof title, intptr_t(title)), 13);
    EXPECT_STREQ(title, "SOCKET_WINDOW");
}

TEST(Service, LoWordAndHiWord) {
    EXPECT_EQ(LoWord(0x27110001), 1);
    EXPECT_EQ(HiWord(0x27110001), 10001);
    EXPECT_EQ(LoWord(int32_t(0xFFFF0020)), 32);
    EXPECT_EQ(HiWord(int32_t(0xFFFF0020)), 65535);
    EXPECT_EQ(HiWord(-1), 65535);
    EXPECT_EQ(LoWord(-1), 65535);
}

TEST(Service, NotificationWordsReachTheObject) {
    struct Case {
        uint32_t LParam;
        int16_t Number;
    };
    for (const Case c : {Case{0x27110001u, 10001}, Case{0xFFFF0020u, -1}}) {
        SCOPED_TRACE(c.LParam);
        CSocket s;
        Recorder r(&s);
        s.Bind(0, "127.0.0.1");
        ASSERT_TRUE(PostWindowMessage(SocketWindow(), WinsockMessage(), uintptr_t(s.SocketHandle()),
                                      intptr_t(int32_t(c.LParam))));
        ASSERT_TRUE(WaitUntil([&] { return !r.Errors.empty(); }));
        EXPECT_EQ(r.Errors[0].Number, c.Number);
        EXPECT_EQ(r.Errors[0].Description, "Unknown error.");
        EXPECT_EQ(s.State(), SocketState::Error);
        EXPECT_EQ(s.SocketHandle(), -1);
        EXPECT_FALSE(r.Has("Close")) << "error 65535 is an error, not a close";
    }
}

TEST(Service, OutOfBandAndUnknownHandlesChangeNothing) {
    CSocket s;
    Recorder r(&s);
    s.Bind(0, "127.0.0.1");
    PostWindowMessage(SocketWindow(), WinsockMessage(), uintptr_t(s.SocketHandle()), 4);
    PostWindowMessage(SocketWindow(), WinsockMessage(), uintptr_t(s.SocketHandle() + 500), 32);
    PostWindowMessage(SocketWindow(), ResolveMessage(), 999999, 0);
    RunEventsFor(30);
    EXPECT_TRUE(r.Log.empty());
    EXPECT_EQ(s.State(), SocketState::Closed);
    EXPECT_NE(s.SocketHandle(), -1);
}

TEST(Service, PostedMessagesAreNeverDeliveredSynchronously) {
    CSocket s;
    Recorder r(&s);
    s.Bind(0, "127.0.0.1");
    ASSERT_TRUE(PostWindowMessage(SocketWindow(), WinsockMessage(), uintptr_t(s.SocketHandle()),
                                  intptr_t(0x27110001)));
    EXPECT_TRUE(r.Errors.empty());
    EXPECT_EQ(s.State(), SocketState::Closed);
    ASSERT_TRUE(WaitUntil([&] { return !r.Errors.empty(); }));
}

TEST(Service, ResolutionRegistriesLiveWhileResolutionsArePending) {
    LoopbackListener listener;
    CSocket a, b;
    Recorder ra(&a), rb(&b);
    EXPECT_EQ(PendingResolutionCount(), -1);
    a.Connect(std::string("localhost"), int32_t(listener.Port()));
    b.Connect(std::string("nohost..invalid"), int32_t(listener.Port()));
    EXPECT_EQ(PendingResolutionCount(), 2);
    ASSERT_TRUE(WaitUntil([&] { return ra.Has("Connect") && !rb.Errors.empty(); }));
    EXPECT_EQ(PendingResolutionCount(), -1) << "both answers handled, registries discarded";
    CSocket c;
    c.Connect(std::string("localhost"), int32_t(listener.Port()));
    EXPECT_EQ(PendingResolutionCount(), 1) << "created again";
}

TEST(Service, ResolutionThatCannotStartFillsTheErrorRecord) {
    CSocket s;
    Err().Clear();
    EXPECT_EQ(ResolveHost("localhost", &s), 0) << "no window to answer to";
    EXPECT_EQ(Err(), (ErrorRecord{10022, "Invalid argument.", "MSocketSupport.ResolveHost"}));
    EXPECT_EQ(PendingResolutionCount(), -1);
}

TEST(Service, AnswerForAnEndedObjectIsDropped) {
    LoopbackListener listener;
    CSocket keeper;
    keeper.Bind(0, "127.0.0.1");
    auto gone = std::make_unique<CSocket>();
    gone->Connect(std::string("localhost"), int32_t(listener.Port()));
    ASSERT_EQ(PendingResolutionCount(), 1);
    gone.reset();
    EXPECT_EQ(PendingResolutionCount(), -1);
    // Another object, quite possibly at the same address, must not get it.
    CSocket next;
    Recorder r(&next);
    ASSERT_TRUE(WaitUntil([] { return WsPendingLookups() == 0; }));
    RunEventsFor(20);
    EXPECT_TRUE(r.Log.empty());
    EXPECT_EQ(next.State(), SocketState::Closed);
}

TEST(Service, NewerResolutionOfTheSameObjectSupersedesTheOlder) {
    LoopbackListener listener;
    CSocket keeper; // keeps the socket window alive across CloseSocket
    keeper.Bind(0, "127.0.0.1");
    CSocket s;
    Recorder r(&s);
    s.Connect(std::string("nohost..invalid"), int32_t(listener.Port()));
    s.CloseSocket();
    s.Connect(std::string("localhost"), int32_t(listener.Port()));
    ASSERT_EQ(PendingResolutionCount(), 2);
    // The failure of the first lookup is stale: only the second one counts.
    ASSERT_TRUE(WaitUntil([&] { return r.Has("Connect") || !r.Errors.empty(); }));
    EXPECT_TRUE(r.Errors.empty()) << r.Errors[0].Description;
    EXPECT_EQ(s.State(), SocketState::Connected);
    ASSERT_TRUE(WaitUntil([] { return WsPendingLookups() == 0; }));
    RunEventsFor(20);
    EXPECT_EQ(PendingResolutionCount(), -1);
}

TEST(Service, ClosingTheLastSocketWhileResolvingForgetsTheResolution) {
    LoopbackListener listener;
    CSocket s;
    Recorder r(&s);
    s.Connect(std::string("localhost"), int32_t(listener.Port()));
    ASSERT_EQ(PendingResolutionCount(), 1);
    s.CloseSocket();
    // The window is gone with the last socket, and the answer with it. The
    // lookup ends on its worker thread without waking the event loop.
    EXPECT_EQ(SocketWindow(), 0);
    EXPECT_EQ(PendingResolutionCount(), -1);
    ASSERT_TRUE(PollUntil([] { return WsPendingLookups() == 0; }));
    RunEventsFor(20);
    EXPECT_TRUE(r.Log.empty());
    EXPECT_EQ(s.State(), SocketState::Closed);
}

TEST(Conversions, PortsBetweenUnsignedAndInteger) {
    const std::pair<int32_t, int16_t> table[] = {{0, 0},          {1, 1},      {32767, 32767},
                                                 {32768, -32768}, {65535, -1}, {80, 80}};
    for (auto [u, i] : table) {
        EXPECT_EQ(UnsignedToInteger(u), i) << u;
        EXPECT_EQ(IntegerToUnsigned(i), u) << i;
    }
    for (int32_t bad : {65536, -1, 100000}) {
        try {
            UnsignedToInteger(bad);
            ADD_FAILURE() << bad;
        } catch (const VbError& e) {
            EXPECT_EQ(e.Record.Number, 6);
        }
    }
}

TEST(Conversions, StringFromPointer) {
    EXPECT_EQ(StringFromPointer("host.example"), "host.example");
    EXPECT_EQ(StringFromPointer(""), "");
    EXPECT_EQ(StringFromPointer(nullptr), "");
}

} // namespace
