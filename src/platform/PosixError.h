#pragma once
// Internal to the platform layer's POSIX code: the one way a failed call
// reports its reason, into the caller's optional error record.
#include "runtime/ErrorRecord.h"

#include <cerrno>
#include <string>
#include <system_error>

namespace ostrak {

// Fills *failure with Number = code, Description = "<path>: <the system's
// text for code>" and Source = source when failure is given; returns false,
// so that a failing call can end with it.
inline bool ReportFailure(ErrorRecord* failure, const char* source, const std::string& path,
                          int code) {
    if (failure != nullptr)
        *failure = ErrorRecord{code, path + ": " + std::generic_category().message(code), source};
    return false;
}

// The same with a text of our own, for failures the system has no code for;
// Number is then EINVAL.
inline bool ReportFailureText(ErrorRecord* failure, const char* source, const std::string& path,
                              const char* text) {
    if (failure != nullptr)
        *failure = ErrorRecord{EINVAL, path + ": " + text, source};
    return false;
}

// A call made of other calls reports their failure under its own Source:
// renames the Source of what a step filled in; returns false.
inline bool PassOnFailureAs(ErrorRecord* failure, const char* source) {
    if (failure != nullptr)
        failure->Source = source;
    return false;
}

} // namespace ostrak
