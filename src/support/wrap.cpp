#include "support/wrap.h"

#include "support/errors.h"

#include <limits>

namespace dunvale {

int32_t wholeDiv(int32_t a, int32_t b) {
    if (b == 0) raiseError("Divide by zero", errorCode::divideByZero);
    if (b == -1) return wrapNeg(a);
    return a / b;
}

int32_t wholeRem(int32_t a, int32_t b) {
    if (b == 0) raiseError("Divide by zero", errorCode::divideByZero);
    if (b == -1) return 0;
    return a % b;
}

} // namespace dunvale
