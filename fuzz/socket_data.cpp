// GetData and PeekData over a real loopback connection. The input is the
// data the peer sends, then a sequence of calls, each with a fuzzer-chosen
// type code and length limit given as any kind of value (numbers, halves,
// numeric and other text, NaN, huge values). A model written here says what
// each call must do: which bytes it takes, what stays in the buffer, the value
// produced (read byte by byte, little-endian, missing bytes as 0), the error
// (Number, and Source naming the call) and BytesReceived; every call must
// agree with it.
#include "FuzzCheck.h"
#include "runtime/ErrorRecord.h"
#include "sockets/CSocket.h"
#include "sockets/SocketVariant.h"

#include <QCoreApplication>
#include <arpa/inet.h>
#include <bit>
#include <cmath>
#include <cstring>
#include <netinet/in.h>
#include <optional>
#include <sys/socket.h>
#include <unistd.h>

using namespace ostrak;

namespace {

// The connection: Socket holds one end, Peer (a plain descriptor) the other.
struct Connection {
    CSocket Socket;
    int Peer = -1;
};

Connection* Link = nullptr;

int ConnectedPair(int& accepted) {
    int listener = socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t len = sizeof a;
    FUZZ_CHECK(bind(listener, reinterpret_cast<sockaddr*>(&a), len) == 0, "bind");
    FUZZ_CHECK(listen(listener, 1) == 0, "listen");
    FUZZ_CHECK(getsockname(listener, reinterpret_cast<sockaddr*>(&a), &len) == 0, "port");
    int peer = socket(AF_INET, SOCK_STREAM, 0);
    FUZZ_CHECK(connect(peer, reinterpret_cast<sockaddr*>(&a), len) == 0, "connect");
    accepted = accept(listener, nullptr, nullptr);
    FUZZ_CHECK(accepted >= 0, "accept");
    close(listener);
    return peer;
}

// Lets events run until the socket object holds want bytes.
void AwaitBuffer(int32_t want) {
    for (int i = 0; i < 100000 && Link->Socket.BytesReceived() < want; ++i)
        QCoreApplication::processEvents();
    FUZZ_CHECK(Link->Socket.BytesReceived() == want, "sent bytes arrive in the receive buffer");
}

// Reads bytes from the input, 0 once it is used up.
struct Input {
    const uint8_t* Data;
    size_t Size;
    size_t At = 0;
    uint8_t Byte() { return At < Size ? Data[At++] : 0; }
    bool More() const { return At < Size; }
};

// An argument value of a fuzzer-chosen kind around the number n, and its
// whole-number meaning: nullopt with error set when it has none.
struct Argument {
    Variant Value;
    std::optional<int32_t> Whole; // the meaning, when not an error
    int32_t Error = 0;            // 6 overflow, 13 type mismatch
};

// Halves to even, and overflow outside the 32-bit range, NaN included.
Argument FromDouble(Variant v, double d) {
    double r = std::nearbyint(d);
    if (!(r >= -2147483648.0 && r <= 2147483647.0))
        return {std::move(v), std::nullopt, ErrOverflow};
    return {std::move(v), static_cast<int32_t>(r), 0};
}

Argument MakeArgument(uint8_t kind, int32_t n) {
    switch (kind % 12) {
    case 0:
        return {Variant{}, 0, 0};
    case 1:
        return {Variant{static_cast<int16_t>(n)}, static_cast<int16_t>(n), 0};
    case 2:
        return {Variant{n}, n, 0};
    case 3:
        return FromDouble(Variant{n + 0.5}, n + 0.5);
    case 4:
        return FromDouble(Variant{static_cast<float>(n) - 0.5f}, static_cast<float>(n) - 0.5f);
    case 5:
        return {Variant{" " + std::to_string(n) + " "}, n, 0};
    case 6:
        return {Variant{std::string("x") + std::to_string(n)}, std::nullopt, ErrTypeMismatch};
    case 7:
        return FromDouble(Variant{std::nan("")}, std::nan(""));
    case 8:
        return FromDouble(Variant{1e12 * (n % 2 ? 1 : -1)}, 1e12 * (n % 2 ? 1 : -1));
    case 9:
        return {Variant{VbBoolean{VbTrue}}, -1, 0};
    case 10:
        return {Variant{static_cast<uint8_t>(n)}, static_cast<uint8_t>(n), 0};
    default:
        return {Variant{VbCurrency{int64_t{n} * 10000 + 5000}},
                static_cast<int32_t>(std::nearbyint(n + 0.5)), 0};
    }
}

constexpr int32_t TypeCodes[] = {0, 2, 3, 4, 5, 6, 7, 8, 11, 17, 8209, 1, 9, 10, 8208, -2, 65535};

// Little-endian value of the first size bytes of taken (missing ones as 0).
uint64_t Image(const std::string& taken, size_t size) {
    uint64_t v = 0;
    for (size_t i = 0; i < size && i < taken.size(); ++i)
        v |= uint64_t{static_cast<uint8_t>(taken[i])} << (8 * i);
    return v;
}

// What the call must produce for type code from the taken bytes; nullopt for
// an unlisted code (the caller's value is kept).
std::optional<Variant> Expected(int32_t code, const std::string& taken) {
    switch (code) {
    case 0:
    case 8:
        return Variant{taken};
    case 2:
        return Variant{static_cast<int16_t>(Image(taken, 2))};
    case 3:
        return Variant{static_cast<int32_t>(Image(taken, 4))};
    case 4:
        return Variant{std::bit_cast<float>(static_cast<uint32_t>(Image(taken, 4)))};
    case 5:
        return Variant{std::bit_cast<double>(Image(taken, 8))};
    case 6:
        return Variant{VbCurrency{static_cast<int64_t>(Image(taken, 8))}};
    case 7:
        return Variant{VbDate{std::bit_cast<double>(Image(taken, 8))}};
    case 11:
        return Variant{VbBoolean{static_cast<int16_t>(Image(taken, 2))}};
    case 17:
        return Variant{static_cast<uint8_t>(Image(taken, 1))};
    case 8209:
        return Variant{ByteArray(taken.begin(), taken.end())};
    default:
        return std::nullopt;
    }
}

// Same value; floating values compared by their bits (NaN included).
bool Same(const Variant& a, const Variant& b) {
    if (a.index() != b.index())
        return false;
    if (auto* f = std::get_if<float>(&a))
        return std::bit_cast<uint32_t>(*f) == std::bit_cast<uint32_t>(std::get<float>(b));
    if (auto* d = std::get_if<double>(&a))
        return std::bit_cast<uint64_t>(*d) == std::bit_cast<uint64_t>(std::get<double>(b));
    if (auto* t = std::get_if<VbDate>(&a))
        return std::bit_cast<uint64_t>(t->Days) ==
               std::bit_cast<uint64_t>(std::get<VbDate>(b).Days);
    return a == b;
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int* argc, char*** argv) {
    static QCoreApplication app(*argc, *argv);
    int accepted = -1;
    Link = new Connection;
    Link->Peer = ConnectedPair(accepted);
    Link->Socket.Accept(accepted);
    FUZZ_CHECK(Link->Socket.State() == SocketState::Connected, "the accepted socket is connected");
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    Input in{data, size};
    const size_t length = std::min<size_t>(in.Byte(), size - std::min<size_t>(size, 1));
    std::string model(reinterpret_cast<const char*>(data + 1), length);
    in.At += length;
    if (!model.empty()) {
        FUZZ_CHECK(send(Link->Peer, model.data(), model.size(), 0) ==
                       static_cast<ssize_t>(model.size()),
                   "the peer sends");
        AwaitBuffer(static_cast<int32_t>(model.size()));
    }

    while (in.More()) {
        const uint8_t op = in.Byte();
        const bool peek = op & 1;
        const int32_t codeIndex = in.Byte() % std::size(TypeCodes);
        const Argument type = MakeArgument(op >> 1, TypeCodes[codeIndex]);
        const uint8_t lengthKind = in.Byte();
        const Argument limit = MakeArgument(lengthKind, static_cast<int8_t>(in.Byte()));
        Variant out{int32_t{12345}};
        const Variant before = out;
        const int32_t receivedBefore = Link->Socket.BytesReceived();

        int32_t error = 0;
        std::string source;
        try {
            if (peek)
                Link->Socket.PeekData(out, type.Value, limit.Value);
            else
                Link->Socket.GetData(out, type.Value, limit.Value);
        } catch (const VbError& e) {
            error = e.Record.Number;
            source = e.Record.Source;
        }

        if (model.empty()) {
            FUZZ_CHECK(error == 0, "an empty buffer raises nothing");
            FUZZ_CHECK(Same(out, before), "an empty buffer leaves the value as it was");
            FUZZ_CHECK(Link->Socket.BytesReceived() == receivedBefore,
                       "an empty buffer leaves BytesReceived");
            continue;
        }
        const int32_t wantError = limit.Error ? limit.Error : type.Error;
        FUZZ_CHECK(error == wantError, "the error is that of the length, else of the type");
        if (error != 0) {
            FUZZ_CHECK(source == (peek ? "CSocket.PeekData" : "CSocket.GetData"),
                       "an error names the call as its source");
            FUZZ_CHECK(Same(out, before), "a failed call leaves the value as it was");
            continue;
        }
        const int32_t n = *limit.Whole;
        const bool part = n > 0 && static_cast<size_t>(n) <= model.size();
        const std::string taken = part ? model.substr(0, static_cast<size_t>(n)) : model;
        if (!peek)
            model.erase(0, taken.size());
        const std::optional<Variant> want = Expected(*type.Whole, taken);
        FUZZ_CHECK(Same(out, want ? *want : before), "the value is read from the taken bytes");
        FUZZ_CHECK(Link->Socket.BytesReceived() == static_cast<int32_t>(model.size()),
                   "BytesReceived is what is left in the buffer");
    }

    // What is left goes out as a string, the way the download client reads.
    std::string rest = "kept";
    Link->Socket.GetData(rest);
    FUZZ_CHECK(rest == (model.empty() ? "kept" : model), "the rest comes out whole");
    FUZZ_CHECK(Link->Socket.BytesReceived() == 0 || model.empty(), "the buffer is empty");
    return 0;
}
