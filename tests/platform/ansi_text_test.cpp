#include "platform/AnsiText.h"

#include <gtest/gtest.h>

using namespace ostrak;

TEST(AnsiToDisplay, Utf8StaysWindows1252IsConvertedAndControlsAreEscaped) {
    const struct {
        std::string Bytes;
        std::string Shown;
    } cases[] = {
        {"plain.pak", "plain.pak"},
        {"caf\xC3\xA9.ogg", "caf\xC3\xA9.ogg"},     // valid UTF-8 kept
        {"caf\xE9.ogg", "caf\xC3\xA9.ogg"},         // Windows-1252 e acute
        {"\x80uro\x9F", "\xE2\x82\xACuro\xC5\xB8"}, // the 0x80..0x9F block
        {"und\x81"
         "ef",
         "und\\x81ef"},                       // undefined in Windows-1252
        {"a\x1B[2Jb\x7F", "a\\x1B[2Jb\\x7F"}, // escape sequence, DEL
        {std::string("nul\0x", 5), "nul\\x00x"},
        {"back\\slash", "back\\\\slash"},
        {"\xC0\xAF", "\xC3\x80\xC2\xAF"},                 // overlong UTF-8: not UTF-8
        {"\xED\xA0\x80", "\xC3\xAD\xC2\xA0\xE2\x82\xAC"}, // a surrogate: not UTF-8
        {"\xC2\x85", "\\xC2\\x85"},                       // UTF-8 C1 control escaped
    };
    for (const auto& c : cases)
        EXPECT_EQ(AnsiToDisplay(c.Bytes), c.Shown) << c.Bytes;
}
