#include "runtime/ErrorRecord.h"

namespace ostrak {

ErrorRecord& Err() {
    thread_local ErrorRecord current;
    return current;
}

void Raise(int32_t number, std::string description, std::string source) {
    ErrorRecord& e = Err();
    e.Number = number;
    e.Description = std::move(description);
    e.Source = std::move(source);
    throw VbError(e);
}

void RaiseCurrent() {
    throw VbError(Err());
}

std::string RuntimeErrorText(int32_t number) {
    switch (number) {
    case ErrInvalidProcedureCall:
        return "Invalid procedure call or argument";
    case ErrOverflow:
        return "Overflow";
    case ErrSubscriptOutOfRange:
        return "Subscript out of range";
    case ErrTypeMismatch:
        return "Type mismatch";
    default:
        return "Application-defined or object-defined error";
    }
}

} // namespace ostrak
