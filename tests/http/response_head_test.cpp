#include "http/ResponseHead.h"

#include <gtest/gtest.h>

using namespace ostrak;

namespace {

struct LengthCase {
    const char* Name;
    std::string Header;
    int64_t Expected;
};

TEST(ResponseHead, ContentLengthRules) {
    const LengthCase cases[] = {
        {"plain", "HTTP/1.0 200 OK\r\nContent-Length: 1234", 1234},
        {"among others", "HTTP/1.0 200 OK\r\nServer: x\r\nContent-Length: 4\r\nX-A: 1", 4},
        {"lower case is not recognised", "HTTP/1.0 200 OK\r\ncontent-length: 4", 0},
        {"first containing line wins",
         "HTTP/1.0 200 OK\r\nX-Content-Length: 9\r\nContent-Length: 4", 9},
        {"later lines ignored", "HTTP/1.0 200 OK\r\nContent-Length: 4\r\nContent-Length: 8", 4},
        {"absent", "HTTP/1.0 200 OK\r\nServer: x", 0},
        {"not a number", "HTTP/1.0 200 OK\r\nContent-Length: abc", 0},
        {"number with trailing junk", "HTTP/1.0 200 OK\r\nContent-Length: 12abc", 0},
        {"negative", "HTTP/1.0 200 OK\r\nContent-Length: -5", 0},
        {"no blank on the line", "HTTP/1.0 200 OK\r\nContent-Length:77", 0},
        {"blanks around the value", "HTTP/1.0 200 OK\r\nContent-Length:   77  ", 77},
        {"beyond 32 bits", "HTTP/1.0 200 OK\r\nContent-Length: 5000000000", 5000000000},
        {"absurdly long", "HTTP/1.0 200 OK\r\nContent-Length: 99999999999999999999999", 0},
        {"largest accepted (2^62)", "HTTP/1.0 200 OK\r\nContent-Length: 4611686018427387904",
         4611686018427387904},
        {"one past the largest", "HTTP/1.0 200 OK\r\nContent-Length: 4611686018427387905", 0},
        {"2^64 + 5 does not wrap to 5", "HTTP/1.0 200 OK\r\nContent-Length: 18446744073709551621",
         0},
        {"leading zeros", "HTTP/1.0 200 OK\r\nContent-Length: 000000000000000000000005", 5},
        {"status line counts", "HTTP/1.0 200 Content-Length 3\r\nContent-Length: 4", 0},
    };
    for (const LengthCase& c : cases)
        EXPECT_EQ(ResponseHead::ContentLength(c.Header), c.Expected) << c.Name;
}

TEST(ResponseHead, DeclaredLengthComesOnlyFromARealHeader) {
    const LengthCase cases[] = {
        {"plain", "HTTP/1.0 200 OK\r\nContent-Length: 1234", 1234},
        {"behind a line that contains the name",
         "HTTP/1.0 200 OK\r\nX-Original-Content-Length: 999\r\nContent-Length: 5", 5},
        {"only a line that contains the name", "HTTP/1.0 200 OK\r\nX-Content-Length: 9", 0},
        {"not at the line start", "HTTP/1.0 200 OK\r\n Content-Length: 9", 0},
        {"no colon", "HTTP/1.0 200 OK\r\nContent-Length 9", 0},
        {"lower case", "HTTP/1.0 200 OK\r\ncontent-length: 9", 0},
        {"no blank after the colon", "HTTP/1.0 200 OK\r\nContent-Length:77", 77},
        {"first real header wins", "HTTP/1.0 200 OK\r\nContent-Length: 4\r\nContent-Length: 8", 4},
        {"not a number", "HTTP/1.0 200 OK\r\nContent-Length: 4x", 0},
        {"too long", "HTTP/1.0 200 OK\r\nContent-Length: 18446744073709551621", 0},
        {"status line", "Content-Length: 3\r\nServer: x", 3},
    };
    for (const LengthCase& c : cases)
        EXPECT_EQ(ResponseHead::DeclaredLength(c.Header), c.Expected) << c.Name;
}

TEST(ResponseHead, SuccessStatus) {
    const std::pair<const char*, bool> cases[] = {
        {"HTTP/1.0 200 OK", true},    {"HTTP/1.1 204 No Content", true},
        {"HTTP/1.0 299", true},       {"HTTP/1.0 404 Not Found", false},
        {"HTTP/1.0 500 Oops", false}, {"HTTP/1.0 301 Moved", false},
        {"HTTP/1.0 2000 OK", false},  {"HTTP/1.0 20 OK", false},
        {"http/1.0 200 OK", false},   {"ICY 200 OK", false},
        {"HTTP/1.0200 OK", false},    {"", false},
        {"<html>200</html>", false},
    };
    for (const auto& [line, ok] : cases)
        EXPECT_EQ(ResponseHead::IsSuccessStatus(line), ok) << line;
}

TEST(ResponseHead, BlankLineSearchResumes) {
    std::string text = "HTTP/1.0 200 OK\r\nA: b\r\n\r\nbody\r\n\r\n";
    EXPECT_EQ(ResponseHead::FindBlankLine(text), 21u);
    // Searching again from 3 bytes before an earlier end still finds a blank
    // line that straddles it.
    EXPECT_EQ(ResponseHead::FindBlankLine(text, 21 - 3 + 1), 21u);
    EXPECT_EQ(ResponseHead::FindBlankLine(text, 22), 29u);
    EXPECT_EQ(ResponseHead::FindBlankLine("\r\n\r", 0), std::string::npos);
    EXPECT_EQ(ResponseHead::StatusLine("HTTP/1.0 200 OK\r\nA: b"), "HTTP/1.0 200 OK");
}

} // namespace
