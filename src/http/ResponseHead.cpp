#include "http/ResponseHead.h"

#include <optional>

namespace ostrak {

namespace ResponseHead {

size_t FindBlankLine(std::string_view text, size_t from) {
    if (from >= text.size())
        return std::string::npos;
    size_t at = text.find(BlankLine, from);
    return at == std::string_view::npos ? std::string::npos : at;
}

namespace {

// Longer announced lengths count as none.
constexpr int64_t MaxLength = int64_t{1} << 62;

bool IsBlank(char c) {
    return c == ' ' || c == '\t';
}

int64_t DecimalOrZero(std::string_view text) {
    size_t begin = 0;
    size_t end = text.size();
    while (begin < end && IsBlank(text[begin]))
        ++begin;
    while (end > begin && IsBlank(text[end - 1]))
        --end;
    if (begin == end)
        return 0;
    int64_t value = 0;
    for (size_t i = begin; i < end; ++i) {
        char c = text[i];
        if (c < '0' || c > '9')
            return 0;
        // Checked before the multiplication, which must never overflow.
        int digit = c - '0';
        if (value > (MaxLength - digit) / 10)
            return 0;
        value = value * 10 + digit;
    }
    return value;
}

// The first line of headerBlock (split at CR LF) for which pick answers true,
// or none.
template <typename Pick>
std::optional<std::string_view> FirstLine(std::string_view headerBlock, Pick pick) {
    size_t start = 0;
    while (start <= headerBlock.size()) {
        size_t end = headerBlock.find("\r\n", start);
        if (end == std::string_view::npos)
            end = headerBlock.size();
        std::string_view line = headerBlock.substr(start, end - start);
        if (pick(line))
            return line;
        start = end + 2;
    }
    return std::nullopt;
}

constexpr std::string_view LengthName = "Content-Length";
constexpr std::string_view LengthHeader = "Content-Length:";

} // namespace

int64_t ContentLength(std::string_view headerBlock) {
    auto line = FirstLine(headerBlock, [](std::string_view l) {
        return l.find(LengthName) != std::string_view::npos;
    });
    if (!line)
        return 0;
    size_t blank = line->find(' ');
    if (blank == std::string_view::npos)
        return 0;
    return DecimalOrZero(line->substr(blank + 1));
}

int64_t DeclaredLength(std::string_view headerBlock) {
    auto line = FirstLine(headerBlock, [](std::string_view l) {
        return l.substr(0, LengthHeader.size()) == LengthHeader;
    });
    return line ? DecimalOrZero(line->substr(LengthHeader.size())) : 0;
}

std::string_view StatusLine(std::string_view headerBlock) {
    return headerBlock.substr(0, headerBlock.find("\r\n"));
}

bool IsSuccessStatus(std::string_view statusLine) {
    if (statusLine.substr(0, 5) != "HTTP/")
        return false;
    size_t blank = statusLine.find(' ');
    if (blank == std::string_view::npos)
        return false;
    std::string_view code = statusLine.substr(blank + 1);
    if (code.size() < 3 || code[0] != '2' || code[1] < '0' || code[1] > '9' || code[2] < '0' ||
        code[2] > '9')
        return false;
    return code.size() == 3 || code[3] == ' ';
}

} // namespace ResponseHead

} // namespace ostrak
