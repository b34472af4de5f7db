#include "support/random.h"

#include "support/errors.h"
#include "support/wrap.h"

namespace dunvale {

namespace {

constexpr int32_t modulus = detail::randomModulus;
constexpr int32_t seedMultiplier = 62089911;

} // namespace

void seedRandom(int32_t seed) {
    int32_t x = seed;
    std::array<int32_t, 56> u{}; // u[1] .. u[55]
    for (int k = 1; k <= 55; ++k) {
        x = wrapMul(x, seedMultiplier) % modulus;
        int32_t value = x % modulus;
        u[k] = value < 0 ? -value : value;
    }
    RandomState& g = randomGenerator;
    for (int k = 0; k < 55; ++k)
        g.ring[k] = u[55 - k];
    g.write = 0;
    g.previous = 54;
    g.far = 23;
}

void detail::raiseRandomRange() {
    raiseError("Value out of range", errorCode::valueOutOfRange);
}

int32_t randomIn(int32_t lo, int32_t hi) {
    if (hi < lo) return 0;
    int32_t draw = randomBelow(wrapAdd(wrapSub(hi, lo), 1));
    return wrapAdd(lo, draw);
}

int32_t diceRoll(Dice dice) {
    int32_t total = dice.bonus;
    for (int32_t i = 0; i < dice.count; ++i) {
        if (dice.sides > 0) {
            int32_t face = randomBelow(dice.sides);
            total = wrapAdd(total, wrapAdd(face, 1));
        }
    }
    return total;
}

} // namespace dunvale
