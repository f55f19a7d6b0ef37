#pragma once
// Conversions of socket data values, as the language runtime makes them.
#include <string>

#include "sockets/SocketVariant.h"

namespace ostrak {

// A number, or a string that reads as one.
bool VariantIsNumeric(const Variant& v);
// The value as a 32-bit integer, rounding halves to even. Raises type
// mismatch (13) for a value that is not numeric, overflow (6) out of range.
int32_t VariantToLong(const Variant& v);
// The value as text (a string unchanged; empty for an empty value).
std::string VariantToText(const Variant& v);
// The bytes SendData sends for a value: memory images of numbers, dates and
// Booleans, a string's bytes, a byte array unchanged; none for empty.
std::string VariantToBytes(const Variant& v);
// Produces out from bytes by type code (0 counts as string). Numbers read the
// first bytes (missing bytes as 0). False for an unlisted code (out kept).
bool VariantFromBytes(int32_t typeCode, const std::string& bytes, Variant& out);

} // namespace ostrak
