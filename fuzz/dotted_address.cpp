// Any bytes as a dotted IPv4 address text (and as a "host[:port]" server
// text). Where the text is a well-formed classic address (one to four parts
// of decimal, octal "0..." or hex "0x..." numbers, the last part filling the
// remaining bytes, optionally followed by white space and anything), the
// parser's answer equals a reference computed here; for every text, an answer
// other than "no address" prints as dotted text that parses back to it, and
// the broadcast address counts as no address. The first 4 bytes, read as an
// address, survive printing and parsing.
#include "FuzzCheck.h"
#include "http/ServerAddress.h"
#include "winsock/SocketApi.h"

#include <cctype>
#include <cstdint>
#include <cstring>
#include <optional>
#include <string>
#include <vector>

using namespace ostrak;

namespace {

bool Space(char c) {
    return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r';
}

int HexValue(char c) {
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    return -1;
}

// One well-formed part at text[at]: its value and where it ends; none when
// the part is not one of the three plain forms (or is too long to be sure).
std::optional<uint64_t> Part(const std::string& text, size_t& at) {
    size_t start = at;
    uint64_t value = 0;
    if (text.compare(at, 2, "0x") == 0 || text.compare(at, 2, "0X") == 0) {
        at += 2;
        while (at < text.size() && HexValue(text[at]) >= 0)
            value = value * 16 + static_cast<uint64_t>(HexValue(text[at++]));
        if (at == start + 2 || at - start > 10)
            return std::nullopt;
        return value;
    }
    const int base = text.compare(at, 1, "0") == 0 ? 8 : 10;
    while (at < text.size() && text[at] >= '0' && text[at] <= '9') {
        if (base == 8 && text[at] > '7')
            return std::nullopt;
        value = value * static_cast<uint64_t>(base) + static_cast<uint64_t>(text[at++] - '0');
    }
    if (at == start || at - start > 11)
        return std::nullopt;
    return value;
}

// The network-order address of a well-formed text (WsInaddrNone when its
// parts are out of range), or none when the text is not well-formed.
std::optional<uint32_t> Reference(const std::string& text) {
    std::vector<uint64_t> parts;
    size_t at = 0;
    for (;;) {
        auto part = Part(text, at);
        if (!part)
            return std::nullopt;
        parts.push_back(*part);
        if (at < text.size() && text[at] == '.' && parts.size() < 4) {
            ++at;
            continue;
        }
        break;
    }
    if (at < text.size() && !Space(text[at]))
        return std::nullopt;
    // The leading parts are one byte each; the last fills the rest.
    uint64_t host = 0;
    for (size_t i = 0; i + 1 < parts.size(); ++i) {
        if (parts[i] > 255)
            return WsInaddrNone;
        host |= parts[i] << (24 - 8 * i);
    }
    const int restBits = 32 - 8 * static_cast<int>(parts.size() - 1);
    if (parts.back() >= (uint64_t{1} << restBits))
        return WsInaddrNone;
    host |= parts.back();
    const uint32_t h = static_cast<uint32_t>(host);
    const uint8_t b[4] = {static_cast<uint8_t>(h >> 24), static_cast<uint8_t>(h >> 16),
                          static_cast<uint8_t>(h >> 8), static_cast<uint8_t>(h)};
    uint32_t network = 0;
    std::memcpy(&network, b, 4);
    return network;
}

std::string Dotted(uint32_t network) {
    uint8_t b[4];
    std::memcpy(b, &network, 4);
    return std::to_string(b[0]) + "." + std::to_string(b[1]) + "." + std::to_string(b[2]) + "." +
           std::to_string(b[3]);
}

void CheckServerAddress(const std::string& text) {
    ServerAddress out{"unchanged", 7};
    const bool ok = ParseServerAddress(text, out);
    const size_t colon = text.rfind(':');
    const std::string host = text.substr(0, colon);
    bool expect = !host.empty();
    int32_t port = 80;
    if (colon != std::string::npos) {
        const std::string digits = text.substr(colon + 1);
        expect = expect && !digits.empty() && digits.size() <= 5 &&
                 digits.find_first_not_of("0123456789") == std::string::npos;
        if (expect) {
            port = std::stoi(digits);
            expect = port >= 1 && port <= 65535;
        }
    }
    FUZZ_CHECK(ok == expect, "a server text is host, then an optional port from 1 to 65535");
    if (ok)
        FUZZ_CHECK(out.Host == host && out.Port == port, "host and port are split at the last :");
    else
        FUZZ_CHECK(out.Host == "unchanged" && out.Port == 7, "a refused text changes nothing");
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string text(reinterpret_cast<const char*>(data), size);
    const uint32_t parsed = WsInetAddr(text);

    if (text.find('\0') != std::string::npos)
        FUZZ_CHECK(parsed == WsInaddrNone, "a text holding NUL is no address");
    else if (auto expected = Reference(text))
        FUZZ_CHECK(parsed == *expected, "a well-formed address parses to its value");
    if (parsed != WsInaddrNone) {
        FUZZ_CHECK(WsInetNtoa(parsed) == Dotted(parsed), "an address prints as four decimals");
        FUZZ_CHECK(WsInetAddr(WsInetNtoa(parsed)) == parsed, "printed text parses back");
        FUZZ_CHECK(!text.empty() && std::isdigit(static_cast<unsigned char>(text[0])),
                   "an address starts with a digit");
    }

    if (size >= 4) {
        uint32_t address = 0;
        std::memcpy(&address, data, 4);
        const uint32_t back = WsInetAddr(WsInetNtoa(address));
        FUZZ_CHECK(back == address, "every address survives printing and parsing");
        FUZZ_CHECK(WsInetNtoa(address) == Dotted(address), "an address prints as four decimals");
    }
    FUZZ_CHECK(WsInetAddr("255.255.255.255") == WsInaddrNone, "broadcast is no address");

    CheckServerAddress(text);
    return 0;
}
