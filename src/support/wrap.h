#pragma once
// Whole numbers of the game are signed 32-bit and wrap around like the
// machine's registers. Signed overflow is undefined in C++, so every sum,
// difference and product that can overflow goes through these helpers.
#include <cstdint>

namespace dunvale {

constexpr int32_t wrapAdd(int32_t a, int32_t b) {
    return static_cast<int32_t>(static_cast<uint32_t>(a) + static_cast<uint32_t>(b));
}

constexpr int32_t wrapSub(int32_t a, int32_t b) {
    return static_cast<int32_t>(static_cast<uint32_t>(a) - static_cast<uint32_t>(b));
}

constexpr int32_t wrapMul(int32_t a, int32_t b) {
    return static_cast<int32_t>(static_cast<uint32_t>(a) * static_cast<uint32_t>(b));
}

constexpr int32_t wrapNeg(int32_t a) {
    return wrapSub(0, a);
}

// |INT32_MIN| stays INT32_MIN, as on the machine.
constexpr int32_t wrapAbs(int32_t a) {
    return a < 0 ? wrapNeg(a) : a;
}

// Division truncating toward zero; INT32_MIN / -1 wraps to INT32_MIN.
// Division by zero raises the game's "Divide by zero" error.
int32_t wholeDiv(int32_t a, int32_t b);
// Remainder with the sign of the dividend; INT32_MIN % -1 is 0.
int32_t wholeRem(int32_t a, int32_t b);

} // namespace dunvale
