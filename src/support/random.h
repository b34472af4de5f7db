#pragma once
// The game's one random generator: a 55-value additive ring seeded by a
// multiplicative congruential sequence. Every chance in the game draws from
// it, so the order of draws is the game: draw into named locals, one per
// statement, in the order the rules name.
#include "support/wrap.h"

#include <array>
#include <cstdint>

namespace dunvale {

struct RandomState {
    std::array<int32_t, 55> ring{};
    int write = 0;    // W
    int previous = 0; // P
    int far = 0;      // Q
};

struct Dice {
    int32_t count = 0;
    int32_t sides = 0;
    int32_t bonus = 0;
};

void seedRandom(int32_t seed);
// [lo, hi] with one draw, or 0 with none when hi < lo.
int32_t randomIn(int32_t lo, int32_t hi);
int32_t diceRoll(Dice dice);

// The process-wide generator that every draw above takes from. Seeding
// resets it; tests save, restore and script it.
inline RandomState randomGenerator;

// Inline below: creatures and smoke draw tens of times a turn.
namespace detail {
constexpr int32_t randomModulus = 2147483647; // 2^31 - 1
// One step round the ring: cheaper than a remainder on every draw.
constexpr int nextInRing(int index) {
    return index == 54 ? 0 : index + 1;
}
[[noreturn]] void raiseRandomRange();
} // namespace detail

// One raw draw in [0, 2^31 - 2].
inline int32_t nextRandom() {
    RandomState& g = randomGenerator;
    int32_t sum = wrapAdd(g.ring[g.previous], g.ring[g.far]);
    int32_t r = sum % detail::randomModulus;
    if (r < 0) r += detail::randomModulus;
    g.ring[g.write] = r;
    g.write = detail::nextInRing(g.write);
    g.previous = detail::nextInRing(g.previous);
    g.far = detail::nextInRing(g.far);
    return r;
}

// [0, n - 1]; n < 1 raises "Value out of range" without drawing.
inline int32_t randomBelow(int32_t n) {
    if (n < 1) [[unlikely]]
        detail::raiseRandomRange();
    return nextRandom() % n;
}

} // namespace dunvale
