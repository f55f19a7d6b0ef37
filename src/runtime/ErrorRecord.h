#pragma once
// The error record: Number, Description and Source of the current error of
// the thread, and the exception that raising an error throws.
//
//   Raise(n, d, s)         fills the current record and throws VbError.
//   PassOnAs(src, f)       runs f; an error escaping it keeps Number and
//                          Description and continues with Source = src.
//   IgnoreErrors(f)        runs one statement; whatever it raises is recorded
//                          in the current record and swallowed.
#include <cstdint>
#include <exception>
#include <string>
#include <utility>

namespace ostrak {

struct ErrorRecord {
    int32_t Number = 0;
    std::string Description;
    std::string Source;

    void Clear() { *this = ErrorRecord{}; }
    bool operator==(const ErrorRecord&) const = default;
};

class VbError : public std::exception {
public:
    explicit VbError(ErrorRecord record) : Record(std::move(record)) {}
    const char* what() const noexcept override { return Record.Description.c_str(); }
    ErrorRecord Record;
};

// The current error record of the calling thread.
ErrorRecord& Err();

// Fills the current record and throws it.
[[noreturn]] void Raise(int32_t number, std::string description, std::string source);
// Throws the current record as it stands (after a routine reported failure by result).
[[noreturn]] void RaiseCurrent();

// Run-time error numbers of the language runtime that the code raises itself.
constexpr int32_t ErrOverflow = 6;
constexpr int32_t ErrTypeMismatch = 13;
constexpr int32_t ErrSubscriptOutOfRange = 9;
constexpr int32_t ErrInvalidProcedureCall = 5;
// The runtime's text for one of the numbers above.
std::string RuntimeErrorText(int32_t number);

// Runs f; a VbError escaping it continues with its Source replaced by source.
template <class F> decltype(auto) PassOnAs(const char* source, F&& f) {
    try {
        return std::forward<F>(f)();
    } catch (VbError& e) {
        e.Record.Source = source;
        Err() = e.Record;
        throw;
    }
}

// Runs one statement with errors ignored: anything it raises (a VbError or any
// other exception) is recorded in the current record and swallowed.
// Returns true when the statement completed.
template <class F> bool IgnoreErrors(F&& f) noexcept {
    try {
        std::forward<F>(f)();
        return true;
    } catch (const VbError& e) {
        Err() = e.Record;
    } catch (const std::exception& e) {
        Err() = ErrorRecord{ErrInvalidProcedureCall, e.what(), ""};
    } catch (...) {
        Err() = ErrorRecord{ErrInvalidProcedureCall, "Unknown error", ""};
    }
    return false;
}

} // namespace ostrak
