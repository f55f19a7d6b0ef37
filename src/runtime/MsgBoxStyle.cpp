#include "runtime/MsgBoxStyle.h"

namespace ostrak {

ButtonAnswers AnswersOf(int32_t style) {
    switch (ButtonsOf(style)) {
    case vbOKCancel:
        return {{vbOK, vbCancel, 0}, 2};
    case vbAbortRetryIgnore:
        return {{vbAbort, vbRetry, vbIgnore}, 3};
    case vbYesNoCancel:
        return {{vbYes, vbNo, vbCancel}, 3};
    case vbYesNo:
        return {{vbYes, vbNo, 0}, 2};
    case vbRetryCancel:
        return {{vbRetry, vbCancel, 0}, 2};
    default:
        return {{vbOK, 0, 0}, 1};
    }
}

} // namespace ostrak
