#pragma once
// Lays chosen values into the generator's ring so that a test decides every
// draw of a fight or a move. Each raw value v makes randomBelow(n) give v % n
// and randomIn(lo, hi) give lo + v % (hi - lo + 1); a value below the range
// size is therefore the result itself (minus lo).
#include "support/random.h"

#include <cstdint>
#include <stdexcept>
#include <vector>

namespace dunvale::testing {

// Restores the generator when a test ends, so tests do not leak draws.
struct RandomGuard {
    RandomState saved = randomState();
    ~RandomGuard() { randomState() = saved; }
};

// Draw n is the previous draw plus the value 32 places back in the ring
// (wrapped into [0, M - 1]), so the differences of the wanted values go into
// the far part of the ring, and the slot before the write cursor starts at
// 0. A difference may be negative; the sum is then the wanted value itself.
// Up to 31 values; the draws after them repeat the last one for a while.
inline void scriptDraws(const std::vector<int32_t>& values) {
    constexpr int32_t modulus = 2147483647;
    if (values.size() > 31) throw std::invalid_argument("at most 31 scripted draws");
    RandomState& state = randomState();
    state.ring.fill(0);
    state.write = 0;
    state.previous = 54;
    state.far = 23;
    int32_t before = 0;
    for (size_t i = 0; i < values.size(); ++i) {
        if (values[i] < 0 || values[i] >= modulus) throw std::invalid_argument("raw draw range");
        state.ring[23 + i] = values[i] - before;
        before = values[i];
    }
}

// How many draws were made since `before` was taken (fewer than 55).
inline int drawsSince(const RandomState& before) {
    return (randomState().write - before.write + 55) % 55;
}

} // namespace dunvale::testing
