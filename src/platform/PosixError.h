#pragma once
// Internal to the platform layer's POSIX files: the one way a failed call
// reports its reason.
#include <string>
#include <system_error>

namespace ostrak {

namespace Files {

// Stores "<path>: <the system's text for code>" in *error when error is
// given; returns false, so that a failing call can end with it.
inline bool ReportError(std::string* error, const std::string& path, int code) {
    if (error != nullptr)
        *error = path + ": " + std::generic_category().message(code);
    return false;
}

// The same with a text of our own, for failures the system has no code for.
inline bool ReportText(std::string* error, const std::string& path, const char* text) {
    if (error != nullptr)
        *error = path + ": " + text;
    return false;
}

} // namespace Files

} // namespace ostrak
