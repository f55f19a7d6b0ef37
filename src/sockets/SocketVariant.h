#pragma once
// The values that the socket data calls exchange: an empty value or one of the
// variant type codes 2, 3, 4, 5, 6, 7, 8, 11, 17 and 8209. Numbers travel as
// their little-endian memory image; a string holds one char per byte.
#include <cstdint>
#include <string>
#include <variant>
#include <vector>

#include "runtime/VbTypes.h"

namespace ostrak {

// Currency (code 6): the value times 10000 as a 64-bit integer.
struct VbCurrency {
    int64_t Scaled = 0;
    bool operator==(const VbCurrency&) const = default;
};
// Date (code 7): days since 30 December 1899.
struct VbDate {
    double Days = 0;
    bool operator==(const VbDate&) const = default;
};
// Boolean (code 11): 0 is false, -1 is true.
struct VbBoolean {
    VbBool Value = VbFalse;
    bool operator==(const VbBoolean&) const = default;
};
using ByteArray = std::vector<uint8_t>;

using Variant = std::variant<std::monostate, // 0  empty
                             int16_t,        // 2  integer
                             int32_t,        // 3  long
                             float,          // 4  single
                             double,         // 5  double
                             VbCurrency,     // 6  currency
                             VbDate,         // 7  date
                             std::string,    // 8  string (bytes)
                             VbBoolean,      // 11 Boolean
                             uint8_t,        // 17 byte
                             ByteArray>;     // 8209 array of bytes

namespace VarTypeCode {
constexpr int32_t Empty = 0, Integer = 2, Long = 3, Single = 4, Double = 5, Currency = 6, Date = 7,
                  String = 8, Boolean = 11, Byte = 17, ByteArray = 8209;
}

// The type code of a value (0 for empty).
int32_t VarType(const Variant& v);

} // namespace ostrak
