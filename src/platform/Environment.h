#pragma once
// The process environment and the user's home folder.
#include <optional>
#include <string>

namespace ostrak {

// The value of the environment variable name; nothing when it is unset.
std::optional<std::string> EnvironmentValue(const std::string& name);

// The user's home folder ($HOME, else the account's home), without a
// trailing separator; "/" when there is none.
std::string HomeFolder();

} // namespace ostrak
