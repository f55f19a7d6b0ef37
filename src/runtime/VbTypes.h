#pragma once
// Basic value conventions shared by every subsystem.
#include <cstdint>

namespace ostrak {

// A boolean that crosses a routine boundary or is stored: 0 is false, -1 is true.
using VbBool = int16_t;
constexpr VbBool VbTrue = -1;
constexpr VbBool VbFalse = 0;

constexpr VbBool ToVbBool(bool b) {
    return b ? VbTrue : VbFalse;
}
constexpr bool IsTrue(VbBool b) {
    return b != 0;
}

} // namespace ostrak
