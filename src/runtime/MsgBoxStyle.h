#pragma once
// Message-box styles and answers of the language runtime: the button set,
// the icon and the default button packed into one style number, and the
// numbers of the answers.
#include <cstdint>

namespace ostrak {

// Button sets (style & 7).
constexpr int32_t vbOKOnly = 0;
constexpr int32_t vbOKCancel = 1;
constexpr int32_t vbAbortRetryIgnore = 2;
constexpr int32_t vbYesNoCancel = 3;
constexpr int32_t vbYesNo = 4;
constexpr int32_t vbRetryCancel = 5;
// Icons (style & 0x70).
constexpr int32_t vbCritical = 16;
constexpr int32_t vbQuestion = 32;
constexpr int32_t vbExclamation = 48;
constexpr int32_t vbInformation = 64;
// Default button (style & 0x300): the first unless one of these is given.
constexpr int32_t vbDefaultButton1 = 0;
constexpr int32_t vbDefaultButton2 = 256;
constexpr int32_t vbDefaultButton3 = 512;

// Answers.
constexpr int32_t vbOK = 1;
constexpr int32_t vbCancel = 2;
constexpr int32_t vbAbort = 3;
constexpr int32_t vbRetry = 4;
constexpr int32_t vbIgnore = 5;
constexpr int32_t vbYes = 6;
constexpr int32_t vbNo = 7;

constexpr int32_t ButtonsOf(int32_t style) {
    return style & 7;
}
constexpr int32_t IconOf(int32_t style) {
    return style & 0x70;
}
constexpr int32_t DefaultButtonOf(int32_t style) {
    return (style >> 8) & 3;
}

// The answers of a button set, in the order the buttons are shown
// (vbYesNo -> {vbYes, vbNo}); {vbOK} for an unknown set.
struct ButtonAnswers {
    int32_t Answer[3] = {vbOK, 0, 0};
    int Count = 1;
};
ButtonAnswers AnswersOf(int32_t style);

} // namespace ostrak
