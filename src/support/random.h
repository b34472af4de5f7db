#pragma once
// The game's one random generator: a 55-value additive ring seeded by a
// multiplicative congruential sequence. Every chance in the game draws from
// it, so the order of draws is the game: draw into named locals, one per
// statement, in the order the rules name.
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
// One raw draw in [0, 2^31 - 2].
int32_t nextRandom();
// [0, n - 1]; n < 1 raises "Value out of range" without drawing.
int32_t randomBelow(int32_t n);
// [lo, hi] with one draw, or 0 with none when hi < lo.
int32_t randomIn(int32_t lo, int32_t hi);
int32_t diceRoll(Dice dice);

// The process-wide generator that every draw above takes from. Seeding
// resets it; tests save, restore and script it.
inline RandomState randomGenerator;

} // namespace dunvale
