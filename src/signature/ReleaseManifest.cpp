#include "signature/ReleaseManifest.h"

#include <algorithm>
#include <charconv>

namespace ostrak {

namespace {

bool IsLowerHex(std::string_view text) {
    return std::all_of(text.begin(), text.end(),
                       [](char c) { return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'f'); });
}

// A decimal number without sign or leading zero.
template <class T> bool ParseNumber(std::string_view text, T& out) {
    if (text.empty() || (text.size() > 1 && text[0] == '0') || text[0] < '0' || text[0] > '9')
        return false;
    const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), out);
    return ec == std::errc() && end == text.data() + text.size();
}

bool IsPlainName(std::string_view name) {
    return !name.empty() && std::none_of(name.begin(), name.end(), [](char c) {
        return static_cast<unsigned char>(c) < 0x20 || c == 0x7F;
    });
}

} // namespace

const ManifestEntry* ReleaseManifest::Find(const std::string& name) const {
    const auto it =
        std::lower_bound(Files.begin(), Files.end(), name,
                         [](const ManifestEntry& e, const std::string& n) { return e.Name < n; });
    return it != Files.end() && it->Name == name ? &*it : nullptr;
}

std::string FormatManifest(ReleaseManifest manifest) {
    std::sort(manifest.Files.begin(), manifest.Files.end(),
              [](const ManifestEntry& a, const ManifestEntry& b) { return a.Name < b.Name; });
    std::string text = std::string(ManifestFormatLine) + "\n";
    text += "serial " + std::to_string(manifest.Serial) + "\n";
    for (const ManifestEntry& e : manifest.Files)
        text += e.Sha256Hex + " " + std::to_string(e.Size) + " " + e.Name + "\n";
    return text;
}

bool ParseManifest(std::string_view text, ReleaseManifest& out, std::string& error) {
    ReleaseManifest manifest;
    size_t lineNumber = 0;
    auto fail = [&](const std::string& why) {
        error = "line " + std::to_string(lineNumber) + ": " + why;
        return false;
    };
    while (!text.empty()) {
        ++lineNumber;
        const size_t end = text.find('\n');
        if (end == std::string_view::npos)
            return fail("no line end");
        const std::string_view line = text.substr(0, end);
        text.remove_prefix(end + 1);
        if (lineNumber == 1) {
            if (line != ManifestFormatLine)
                return fail("not \"" + std::string(ManifestFormatLine) + "\"");
            continue;
        }
        if (lineNumber == 2) {
            if (line.substr(0, 7) != "serial " || !ParseNumber(line.substr(7), manifest.Serial) ||
                manifest.Serial == 0)
                return fail("expected \"serial\" and a number from 1 up");
            continue;
        }
        ManifestEntry entry;
        const size_t first = line.find(' ');
        const size_t second = first == std::string_view::npos ? first : line.find(' ', first + 1);
        if (second == std::string_view::npos)
            return fail("expected a SHA-256, a size and a name");
        entry.Sha256Hex = line.substr(0, first);
        entry.Name = line.substr(second + 1);
        if (entry.Sha256Hex.size() != 64 || !IsLowerHex(entry.Sha256Hex))
            return fail("the SHA-256 is not 64 lower-case hex digits");
        if (!ParseNumber(line.substr(first + 1, second - first - 1), entry.Size))
            return fail("the size is not a number");
        if (!IsPlainName(entry.Name))
            return fail("the name is empty or holds a control character");
        if (!manifest.Files.empty() && manifest.Files.back().Name >= entry.Name)
            return fail("names out of order or repeated");
        manifest.Files.push_back(std::move(entry));
    }
    if (lineNumber < 2)
        return fail("the format line and the serial are missing");
    out = std::move(manifest);
    return true;
}

} // namespace ostrak
