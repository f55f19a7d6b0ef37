#include "signature/ReleaseManifest.h"

#include <algorithm>
#include <charconv>

namespace ostrak {

namespace {

bool IsLowerHex(std::string_view text) {
    return std::all_of(text.begin(), text.end(),
                       [](char c) { return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'f'); });
}

bool IsPlainName(std::string_view name) {
    return !name.empty() && std::none_of(name.begin(), name.end(), [](char c) {
        return static_cast<unsigned char>(c) < 0x20 || c == 0x7F;
    });
}

// The value after "<word> " of line; false when line does not start so.
bool Field(std::string_view line, std::string_view word, std::string_view& value) {
    if (line.size() <= word.size() || line.substr(0, word.size()) != word ||
        line[word.size()] != ' ')
        return false;
    value = line.substr(word.size() + 1);
    return true;
}

// The header lines after the format line, in order; each reads one line
// into the manifest or gives the reason it is refused.
using HeaderLine = std::string (*)(std::string_view line, ReleaseManifest& m);

std::string SerialLine(std::string_view line, ReleaseManifest& m) {
    std::string_view v;
    if (Field(line, "serial", v) && ParsePlainNumber(v, m.Serial) && m.Serial > 0)
        return "";
    return "expected \"serial\" and a number from 1 up";
}

std::string ExpiresLine(std::string_view line, ReleaseManifest& m) {
    std::string_view v;
    uint64_t n = 0;
    if (Field(line, "expires", v) && ParsePlainNumber(v, n) && n > 0) {
        m.Expires = static_cast<int64_t>(n);
        return "";
    }
    return "expected \"expires\" and a number from 1 up";
}

std::string ProductLine(std::string_view line, ReleaseManifest& m) {
    std::string_view v;
    const size_t space = Field(line, "product", v) ? v.find(' ') : std::string_view::npos;
    if (space != std::string_view::npos && IsChannelName(v.substr(0, space)) &&
        IsChannelName(v.substr(space + 1))) {
        m.Product = v.substr(0, space);
        m.Channel = v.substr(space + 1);
        return "";
    }
    return "expected \"product\", a product and a channel";
}

std::string KeyLine(std::string_view line, ReleaseManifest& m) {
    std::string_view v;
    if (Field(line, "key", v) && v.size() == KeyFingerprintDigits && IsLowerHex(v)) {
        m.KeyId = v;
        return "";
    }
    return "expected \"key\" and " + std::to_string(KeyFingerprintDigits) +
           " lower-case hex digits";
}

const HeaderLine Format1Header[] = {SerialLine};
const HeaderLine Format2Header[] = {SerialLine, ExpiresLine, ProductLine, KeyLine};

std::string EntryLine(std::string_view line, ReleaseManifest& m) {
    ManifestEntry entry;
    const size_t first = line.find(' ');
    const size_t second = first == std::string_view::npos ? first : line.find(' ', first + 1);
    if (second == std::string_view::npos)
        return "expected a SHA-256, a size and a name";
    entry.Sha256Hex = line.substr(0, first);
    entry.Name = line.substr(second + 1);
    uint64_t size = 0;
    if (entry.Sha256Hex.size() != 64 || !IsLowerHex(entry.Sha256Hex))
        return "the SHA-256 is not 64 lower-case hex digits";
    if (!ParsePlainNumber(line.substr(first + 1, second - first - 1), size))
        return "the size is not a number";
    if (!IsPlainName(entry.Name))
        return "the name is empty or holds a control character";
    if (!m.Files.empty() && m.Files.back().Name >= entry.Name)
        return "names out of order or repeated";
    entry.Size = static_cast<int64_t>(size);
    m.Files.push_back(std::move(entry));
    return "";
}

} // namespace

bool ParsePlainNumber(std::string_view text, uint64_t& out) {
    if (text.empty() || (text.size() > 1 && text[0] == '0') || text[0] < '0' || text[0] > '9')
        return false;
    uint64_t value = 0;
    const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (ec != std::errc() || end != text.data() + text.size() || value > MaxManifestNumber)
        return false;
    out = value;
    return true;
}

bool IsChannelName(std::string_view text) {
    return !text.empty() && text.size() <= 32 && std::all_of(text.begin(), text.end(), [](char c) {
        return (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '-';
    });
}

const ManifestEntry* ReleaseManifest::Find(const std::string& name) const {
    const auto it =
        std::lower_bound(Files.begin(), Files.end(), name,
                         [](const ManifestEntry& e, const std::string& n) { return e.Name < n; });
    return it != Files.end() && it->Name == name ? &*it : nullptr;
}

std::string FormatManifest(ReleaseManifest manifest) {
    std::sort(manifest.Files.begin(), manifest.Files.end(),
              [](const ManifestEntry& a, const ManifestEntry& b) { return a.Name < b.Name; });
    std::string text = ManifestFormatPrefix + std::to_string(ManifestFormat) + "\n";
    text += "serial " + std::to_string(manifest.Serial) + "\n";
    text += "expires " + std::to_string(manifest.Expires) + "\n";
    text += "product " + manifest.Product + " " + manifest.Channel + "\n";
    text += "key " + manifest.KeyId + "\n";
    for (const ManifestEntry& e : manifest.Files)
        text += e.Sha256Hex + " " + std::to_string(e.Size) + " " + e.Name + "\n";
    return text;
}

bool ParseManifest(std::string_view text, ReleaseManifest& out, std::string& error) {
    ReleaseManifest manifest;
    size_t lineNumber = 0;
    const HeaderLine* header = nullptr;
    size_t headerLines = 0;
    while (!text.empty()) {
        ++lineNumber;
        const size_t end = text.find('\n');
        std::string why;
        if (end == std::string_view::npos) {
            why = "no line end";
        } else {
            const std::string_view line = text.substr(0, end);
            text.remove_prefix(end + 1);
            if (lineNumber == 1) {
                const std::string prefix = ManifestFormatPrefix;
                if (line == prefix + "1")
                    manifest.Format = 1, header = Format1Header, headerLines = 1;
                else if (line == prefix + "2")
                    manifest.Format = 2, header = Format2Header, headerLines = 4;
                else
                    why = "not \"" + prefix + "1\" or \"" + prefix + "2\"";
            } else if (lineNumber - 2 < headerLines) {
                why = header[lineNumber - 2](line, manifest);
            } else {
                why = EntryLine(line, manifest);
            }
        }
        if (!why.empty()) {
            error = "line " + std::to_string(lineNumber) + ": " + why;
            return false;
        }
    }
    if (lineNumber < 1 + headerLines || lineNumber == 0) {
        error = "line " + std::to_string(lineNumber) + ": the header lines are missing";
        return false;
    }
    out = std::move(manifest);
    return true;
}

} // namespace ostrak
