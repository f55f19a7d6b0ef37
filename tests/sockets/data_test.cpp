// SendData byte images, GetData and PeekData by type code and length.
#include <cstring>
#include <gtest/gtest.h>
#include <limits>

#include "SocketTestSupport.h"
#include "runtime/ErrorRecord.h"
#include "sockets/MSocketSupport.h"
#include "winsock/MessageWindow.h"

using namespace ostrak;

namespace {

struct Pair {
    LoopbackListener Listener;
    CSocket Socket;
    Recorder Events{&Socket};
    std::unique_ptr<LoopbackConnection> Peer;

    Pair() {
        Socket.Connect(std::string("127.0.0.1"), int32_t(Listener.Port()));
        Peer = Listener.Accept();
        EXPECT_TRUE(Peer);
        EXPECT_TRUE(WaitUntil([&] { return Events.Has("Connect"); }));
    }
    // The peer sends bytes; returns when all of them wait in the buffer.
    void Receive(const std::string& bytes) {
        int32_t before = Socket.BytesReceived();
        Peer->Send(bytes);
        EXPECT_TRUE(
            WaitUntil([&] { return Socket.BytesReceived() == before + int32_t(bytes.size()); }));
    }
};

std::string Bytes(std::initializer_list<int> values) {
    std::string s;
    for (int v : values)
        s.push_back(static_cast<char>(v));
    return s;
}

TEST(SendData, SendsTheMemoryImageOfEachType) {
    Pair p;
    double date = 45000.5;
    std::string dateImage(8, '\0');
    std::memcpy(dateImage.data(), &date, 8);
    float single = 1.5f;
    std::string singleImage(4, '\0');
    std::memcpy(singleImage.data(), &single, 4);
    struct Case {
        const char* Name;
        Variant Value;
        std::string Wire;
    };
    const Case cases[] = {
        {"integer 2", int16_t(-2), Bytes({0xFE, 0xFF})},
        {"long 3", int32_t(1), Bytes({1, 0, 0, 0})},
        {"single 4", single, singleImage},
        {"double 5", 1.0, Bytes({0, 0, 0, 0, 0, 0, 0xF0, 0x3F})},
        {"currency 6", VbCurrency{10000}, Bytes({0x10, 0x27, 0, 0, 0, 0, 0, 0})},
        {"date 7", VbDate{date}, dateImage},
        {"string 8", std::string("a\0\xff", 3), std::string("a\0\xff", 3)},
        {"Boolean 11", VbBoolean{VbTrue}, Bytes({0xFF, 0xFF})},
        {"byte 17", uint8_t(200), Bytes({200})},
        {"byte array", ByteArray{0, 1, 0x80, 0xFF}, Bytes({0, 1, 0x80, 0xFF})},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.Name);
        p.Events.Log.clear();
        p.Socket.SendData(c.Value);
        EXPECT_EQ(p.Peer->ReadExactly(c.Wire.size()), c.Wire);
        EXPECT_EQ(p.Events.Log,
                  std::vector<std::string>{"Progress " + std::to_string(c.Wire.size()) + "/0"});
        ASSERT_TRUE(WaitUntil([&] { return p.Events.Has("SendComplete"); }));
    }
}

TEST(SendData, NothingToSendRaisesNoEventAndNoError) {
    Pair p;
    const Variant nothing[] = {Variant{}, std::string(), ByteArray{}};
    for (const auto& v : nothing) {
        p.Socket.SendData(v);
    }
    RunEventsFor(30);
    EXPECT_EQ(p.Events.Log, std::vector<std::string>{"Connect"});
    p.Socket.SendData(std::string("x"));
    EXPECT_EQ(p.Peer->ReadExactly(1), "x") << "nothing was queued before";
}

TEST(SendData, TcpWithoutSocketRaisesWrongState) {
    CSocket s;
    try {
        s.SendData(std::string("x"));
        ADD_FAILURE() << "no error";
    } catch (const VbError& e) {
        EXPECT_EQ(e.Record.Number, 40006);
        EXPECT_EQ(e.Record.Source, "CSocket.SendData");
        EXPECT_EQ(e.Record.Description,
                  "Wrong protocol or connection state for the requested transaction or request.");
    }
}

TEST(SendData, WriteNotificationAfterCompletionRaisesNothingMore) {
    Pair p;
    p.Socket.SendData(std::string("abc"));
    EXPECT_FALSE(p.Events.Has("SendComplete")) << "never inside SendData";
    ASSERT_TRUE(WaitUntil([&] { return p.Events.Has("SendComplete"); }));
    ASSERT_TRUE(PostWindowMessage(MSocketSupport::SocketWindow(), MSocketSupport::WinsockMessage(),
                                  uintptr_t(p.Socket.SocketHandle()), 2));
    RunEventsFor(30);
    EXPECT_EQ(p.Events.Count("SendComplete"), 1);
}

TEST(SendData, DuringConnectWaitsForTheWriteNotification) {
    LoopbackListener listener;
    CSocket s;
    Recorder r(&s);
    s.Connect(std::string("127.0.0.1"), int32_t(listener.Port()));
    ASSERT_EQ(s.State(), SocketState::Connecting);
    s.SendData(std::string("early"));
    auto peer = listener.Accept();
    ASSERT_TRUE(peer);
    EXPECT_EQ(peer->ReadExactly(5), "early");
    ASSERT_TRUE(WaitUntil([&] { return r.Has("SendComplete"); }));
    EXPECT_EQ(r.Count("SendComplete"), 1);
}

// GetData and PeekData with every type code, on a buffer of ten bytes.
TEST(GetData, EveryTypeCodeReadsTheFirstBytesAndTakesAll) {
    const std::string ten = Bytes({0x01, 0x02, 0x03, 0x04, 0x05, 0x06, 0x07, 0x08, 0x09, 0x0A});
    auto image = [&](size_t n) { return ten.substr(0, n); };
    auto as = [&](auto value) {
        std::memcpy(&value, ten.data(), sizeof value);
        return value;
    };
    struct Case {
        int32_t Type;
        Variant Expected;
    };
    const Case cases[] = {
        {2, as(int16_t())},
        {3, as(int32_t())},
        {4, as(float())},
        {5, as(double())},
        {6, VbCurrency{as(int64_t())}},
        {7, VbDate{as(double())}},
        {8, ten},
        {11, VbBoolean{as(int16_t())}},
        {17, uint8_t(1)},
        {8209, ByteArray(ten.begin(), ten.end())},
    };
    Pair p;
    (void)image;
    for (const auto& c : cases) {
        SCOPED_TRACE(c.Type);
        p.Receive(ten);
        Variant peeked;
        p.Socket.PeekData(peeked, int32_t(c.Type));
        EXPECT_EQ(peeked, c.Expected);
        EXPECT_EQ(p.Socket.BytesReceived(), 10) << "peeking leaves the buffer";
        Variant got;
        p.Socket.GetData(got, int32_t(c.Type));
        EXPECT_EQ(got, c.Expected);
        EXPECT_EQ(VarType(got), c.Type);
        EXPECT_EQ(p.Socket.BytesReceived(), 0) << "without maxLen all ten are taken";
    }
}

TEST(GetData, UnlistedTypeKeepsTheVariableButTakesTheData) {
    Pair p;
    p.Receive("abcdef");
    Variant v = int32_t(42);
    p.Socket.GetData(v, int32_t(9));
    EXPECT_EQ(v, Variant(int32_t(42)));
    EXPECT_EQ(p.Socket.BytesReceived(), 0);
    p.Receive("gh");
    p.Socket.GetData(v);
    EXPECT_EQ(v, Variant(std::string("gh"))) << "the data was removed";
}

TEST(GetData, MaxLenCases) {
    struct Case {
        const char* Name;
        Variant MaxLen;
        std::string Taken;
        int32_t Left;
    };
    const Case cases[] = {
        {"three of six", int32_t(3), "abc", 3},
        {"exactly six", int32_t(6), "abcdef", 0},
        {"more than there is", int32_t(100), "abcdef", 0},
        {"zero", int32_t(0), "abcdef", 0},
        {"negative", int32_t(-4), "abcdef", 0},
        {"empty", Variant{}, "abcdef", 0},
        {"numeric text", std::string("2"), "ab", 4},
        {"double rounds half to even", 2.5, "ab", 4},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.Name);
        Pair p;
        p.Receive("abcdef");
        Variant peeked;
        p.Socket.PeekData(peeked, Variant{}, c.MaxLen);
        EXPECT_EQ(peeked, Variant(c.Taken));
        EXPECT_EQ(p.Socket.BytesReceived(), 6);
        Variant got;
        p.Socket.GetData(got, Variant{}, c.MaxLen);
        EXPECT_EQ(got, Variant(c.Taken));
        EXPECT_EQ(p.Socket.BytesReceived(), c.Left);
        if (c.Left > 0) {
            p.Socket.GetData(got);
            EXPECT_EQ(std::get<std::string>(got), std::string("abcdef").substr(c.Taken.size()));
        }
    }
}

TEST(GetData, EmptyBufferLeavesTheVariableAndCount) {
    Pair p;
    Variant v = std::string("kept");
    p.Socket.GetData(v);
    p.Socket.PeekData(v, int32_t(3));
    EXPECT_EQ(v, Variant(std::string("kept")));
    EXPECT_EQ(p.Socket.BytesReceived(), 0);
}

TEST(GetData, UnreadableMaxLenPassesTheErrorOnUnderItsOwnSource) {
    Pair p;
    p.Receive("abc");
    Variant v;
    for (const char* source : {"CSocket.GetData", "CSocket.PeekData"}) {
        try {
            if (std::string(source) == "CSocket.GetData")
                p.Socket.GetData(v, Variant{}, std::string("lots"));
            else
                p.Socket.PeekData(v, Variant{}, std::string("lots"));
            ADD_FAILURE() << "no error";
        } catch (const VbError& e) {
            EXPECT_EQ(e.Record, (ErrorRecord{13, "Type mismatch", source}));
        }
    }
    EXPECT_EQ(p.Socket.BytesReceived(), 3);
}

TEST(GetData, ArgumentsBeyondWholeNumbersOverflowAndTakeNothing) {
    const double inf = std::numeric_limits<double>::infinity();
    struct Case {
        const char* Name;
        Variant Value;
        int32_t Error; // 0: a whole number (as maxLen: more than there is)
    };
    const Case cases[] = {
        {"largest long", 2147483647.0, 0},
        {"one past it", 2147483648.0, ErrOverflow},
        {"a half below rounds up past it", 2147483647.5, ErrOverflow},
        {"smallest long", -2147483648.0, 0},
        {"one below it", -2147483649.0, ErrOverflow},
        {"NaN", std::numeric_limits<double>::quiet_NaN(), ErrOverflow},
        {"single NaN", std::numeric_limits<float>::quiet_NaN(), ErrOverflow},
        {"infinity", inf, ErrOverflow},
        {"minus infinity", -inf, ErrOverflow},
    };
    Pair p;
    p.Receive("abc");
    for (const auto& c : cases) {
        SCOPED_TRACE(c.Name);
        for (bool asType : {false, true}) {
            Variant v = std::string("kept");
            int32_t error = 0;
            try {
                if (asType)
                    p.Socket.PeekData(v, c.Value);
                else
                    p.Socket.PeekData(v, int32_t(8), c.Value);
            } catch (const VbError& e) {
                error = e.Record.Number;
                EXPECT_EQ(e.Record.Source, "CSocket.PeekData");
            }
            EXPECT_EQ(error, c.Error) << (asType ? "as varType" : "as maxLen");
            if (error != 0 || !asType) {
                EXPECT_EQ(v, Variant(std::string(error ? "kept" : "abc")));
            }
            EXPECT_EQ(p.Socket.BytesReceived(), 3);
        }
    }
}

TEST(BytesReceived, ReadNotificationsAddUntilGetDataCounts) {
    Pair p;
    p.Receive("12345");
    p.Receive("678");
    EXPECT_EQ(p.Socket.BytesReceived(), 8);
    Variant v;
    p.Socket.GetData(v, Variant{}, int32_t(2));
    EXPECT_EQ(p.Socket.BytesReceived(), 6);
    p.Receive("9");
    EXPECT_EQ(p.Socket.BytesReceived(), 7);
    p.Socket.GetData(v);
    EXPECT_EQ(std::get<std::string>(v), "3456789");
}

} // namespace
