// Any bytes as a response's header text. Each answer of the header reader
// agrees with a plain reference written here from the rules: the blank-line
// search (also when the text arrives in pieces and the search resumes), the
// announced and declared lengths, the status line and its success test.
#include "FuzzCheck.h"
#include "http/ResponseHead.h"

#include <cstdint>
#include <string>
#include <vector>

using namespace ostrak;

namespace {

constexpr int64_t Limit = int64_t{1} << 62;

std::vector<std::string> Lines(const std::string& block) {
    std::vector<std::string> lines;
    std::string line;
    for (size_t i = 0; i < block.size(); ++i) {
        if (block[i] == '\r' && i + 1 < block.size() && block[i + 1] == '\n') {
            lines.push_back(line);
            line.clear();
            ++i;
        } else {
            line += block[i];
        }
    }
    lines.push_back(line);
    return lines;
}

// Blanks (space, tab) around decimal digits up to 2^62, else 0.
int64_t Number(std::string text) {
    while (!text.empty() && (text.front() == ' ' || text.front() == '\t'))
        text.erase(0, 1);
    while (!text.empty() && (text.back() == ' ' || text.back() == '\t'))
        text.pop_back();
    if (text.empty())
        return 0;
    __int128 value = 0;
    for (char c : text) {
        if (c < '0' || c > '9')
            return 0;
        value = value * 10 + (c - '0');
        if (value > Limit)
            return 0;
    }
    return static_cast<int64_t>(value);
}

int64_t Announced(const std::string& block) {
    for (const std::string& line : Lines(block)) {
        if (line.find("Content-Length") == std::string::npos)
            continue;
        size_t blank = line.find(' ');
        return blank == std::string::npos ? 0 : Number(line.substr(blank + 1));
    }
    return 0;
}

int64_t Declared(const std::string& block) {
    const std::string name = "Content-Length:";
    for (const std::string& line : Lines(block))
        if (line.rfind(name, 0) == 0)
            return Number(line.substr(name.size()));
    return 0;
}

bool Digit(char c) {
    return c >= '0' && c <= '9';
}

bool Success(const std::string& status) {
    if (status.rfind("HTTP/", 0) != 0)
        return false;
    size_t blank = status.find(' ');
    if (blank == std::string::npos || blank + 4 > status.size())
        return false;
    const char* code = status.data() + blank + 1;
    if (code[0] != '2' || !Digit(code[1]) || !Digit(code[2]))
        return false;
    return blank + 4 == status.size() || code[3] == ' ';
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    // The first byte chooses where the text is cut in two arrivals.
    if (size == 0)
        return 0;
    const std::string text(reinterpret_cast<const char*>(data + 1), size - 1);
    const size_t cut = text.empty() ? 0 : data[0] % (text.size() + 1);

    const size_t blank = text.find("\r\n\r\n");
    FUZZ_CHECK(ResponseHead::FindBlankLine(text) == blank, "the blank line is the first CRLFCRLF");
    // Resumed search: the first piece, then the whole from its length - 3.
    size_t first = ResponseHead::FindBlankLine(std::string_view(text).substr(0, cut));
    if (first == std::string::npos)
        first = ResponseHead::FindBlankLine(text, cut >= 3 ? cut - 3 : 0);
    FUZZ_CHECK(first == blank, "a search resumed after a piece finds the same blank line");

    const std::string block = blank == std::string::npos ? text : text.substr(0, blank);
    FUZZ_CHECK(ResponseHead::ContentLength(block) == Announced(block),
               "the announced length is the first line naming Content-Length");
    FUZZ_CHECK(ResponseHead::DeclaredLength(block) == Declared(block),
               "the declared length is the first real Content-Length: header");
    const std::string status = Lines(block).front();
    FUZZ_CHECK(ResponseHead::StatusLine(block) == status, "the status line is the first line");
    FUZZ_CHECK(ResponseHead::IsSuccessStatus(status) == Success(status),
               "success is HTTP/ and a 2xx code");
    return 0;
}
