#pragma once
// Basic value conventions shared by every subsystem.
#include <cstdint>

// A boolean that crosses a routine boundary or is stored: 0 is false, -1 is true.
using VbBool = int16_t;
constexpr VbBool True = -1;
constexpr VbBool False = 0;

constexpr VbBool ToVbBool(bool b) {
    return b ? True : False;
}
constexpr bool IsTrue(VbBool b) {
    return b != 0;
}
