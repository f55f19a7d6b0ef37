#pragma once
// Raising socket failures with the texts of the error table.
#include <cstdint>
#include <string>

namespace ostrak {

// Raises code with GetErrorDescription(code) as Description.
[[noreturn]] void RaiseSocketError(int32_t code, const std::string& source);

} // namespace ostrak
