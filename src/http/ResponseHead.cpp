#include "http/ResponseHead.h"

namespace ostrak {

namespace ResponseHead {

size_t FindBlankLine(std::string_view text, size_t from) {
    if (from >= text.size())
        return std::string::npos;
    size_t at = text.find(BlankLine, from);
    return at == std::string_view::npos ? std::string::npos : at;
}

namespace {

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
        value = value * 10 + (c - '0');
        if (value > (int64_t{1} << 62))
            return 0;
    }
    return value;
}

} // namespace

int64_t ContentLength(std::string_view headerBlock) {
    size_t start = 0;
    while (start <= headerBlock.size()) {
        size_t end = headerBlock.find("\r\n", start);
        if (end == std::string_view::npos)
            end = headerBlock.size();
        std::string_view line = headerBlock.substr(start, end - start);
        if (line.find("Content-Length") != std::string_view::npos) {
            size_t blank = line.find(' ');
            if (blank == std::string_view::npos)
                return 0;
            return DecimalOrZero(line.substr(blank + 1));
        }
        start = end + 2;
    }
    return 0;
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
