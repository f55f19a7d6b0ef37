#pragma once
// The process environment and the user's home folder.
#include <optional>
#include <string>

namespace ostrak {

// The value of the environment variable name; nothing when it is unset.
std::optional<std::string> EnvironmentValue(const std::string& name);

// Sets the variable for this process and what it starts (nothing: removes it).
void SetEnvironmentValue(const std::string& name, const std::optional<std::string>& value);

// The user's home folder ($HOME, else the account's home), without a
// trailing separator; "/" when there is none.
std::string HomeFolder();

// The user's runtime folder: $XDG_RUNTIME_DIR when it is an absolute path.
// Without it (as for root here) a folder of the user's own stands in, as the
// XDG rules allow: "ostrak-runtime-<uid>" in $TMPDIR (else /tmp), made when
// missing, taken only when it is a real folder owned by the user, with mode
// 0700 (set when it was wider); else the home folder.
std::string RuntimeFolder();

// When $XDG_RUNTIME_DIR is unset (or not absolute) and the stand-in folder
// above can be had, sets XDG_RUNTIME_DIR to it for this process and what it
// starts, so that no part of the program has to warn that it is missing.
// Call before the toolkit starts.
void ProvideRuntimeFolder();

} // namespace ostrak
