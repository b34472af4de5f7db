#include "support/errors.h"
#include "support/random.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

namespace dunvale {
namespace {

std::vector<int32_t> draws(int32_t seed, int count) {
    seedRandom(seed);
    std::vector<int32_t> out;
    for (int i = 0; i < count; ++i)
        out.push_back(nextRandom());
    return out;
}

TEST(Random, SeedZeroDrawsZeroForEver) {
    for (int32_t value : draws(0, 200))
        EXPECT_EQ(value, 0);
}

TEST(Random, EqualSeedsGiveEqualSequences) {
    EXPECT_EQ(draws(12345, 500), draws(12345, 500));
    EXPECT_NE(draws(12345, 50), draws(12346, 50));
}

TEST(Random, RangeHelpersDrawAsDocumented) {
    seedRandom(99);
    RandomState before = randomGenerator;
    EXPECT_EQ(randomIn(5, 4), 0);
    EXPECT_EQ(randomGenerator.write, before.write) << "an empty range draws nothing";
    EXPECT_EQ(randomIn(5, 5), 5);
    EXPECT_EQ(randomGenerator.write, (before.write + 1) % 55);
    EXPECT_EQ(randomBelow(1), 0);
    EXPECT_EQ(diceRoll(Dice{3, 0, 4}), 4);
    EXPECT_EQ(randomGenerator.write, (before.write + 2) % 55);
    for (int i = 0; i < 200; ++i) {
        int32_t roll = diceRoll(Dice{2, 6, 1});
        EXPECT_GE(roll, 3);
        EXPECT_LE(roll, 13);
        int32_t r = randomIn(-10, 10);
        EXPECT_GE(r, -10);
        EXPECT_LE(r, 10);
    }
}

TEST(Random, RandomBelowZeroIsValueOutOfRange) {
    seedRandom(1);
    try {
        randomBelow(0);
        FAIL() << "expected an error";
    } catch (const RuntimeError& error) {
        EXPECT_EQ(error.message, "Value out of range");
        EXPECT_EQ(error.code, 1000);
    }
}

TEST(Random, WrappedSumOfTwoLargestValues) {
    // With a = b = M - 1 the 32-bit sum wraps to -4 and the draw is M - 4.
    constexpr int32_t m = 2147483647;
    RandomState& state = randomGenerator;
    state.ring.fill(0);
    state.ring[54] = m - 1;
    state.ring[23] = m - 1;
    state.write = 0;
    state.previous = 54;
    state.far = 23;
    EXPECT_EQ(nextRandom(), m - 4);
    // a + b = 2^31 gives M - 1.
    state.ring[0] = m - 1; // previous now points at index 0
    state.ring[24] = 2;
    EXPECT_EQ(nextRandom(), m - 1);
}

TEST(Random, SeedingFollowsTheCongruentialSequence) {
    // Rebuild the seeded ring independently with 64-bit arithmetic.
    for (int32_t seed : {1, -1, 42, 2147483647, -2147483647 - 1, 1700000000}) {
        seedRandom(seed);
        int64_t x = seed;
        int32_t u[56];
        for (int k = 1; k <= 55; ++k) {
            int64_t product = static_cast<int32_t>(static_cast<uint32_t>(x * 62089911LL));
            x = product % 2147483647LL;
            u[k] = static_cast<int32_t>(x < 0 ? -x : x);
        }
        for (int k = 0; k < 55; ++k)
            EXPECT_EQ(randomGenerator.ring[k], u[55 - k]) << seed;
        // Draw 1 is made from u1 and u32.
        int64_t sum =
            static_cast<int32_t>(static_cast<uint32_t>(u[1]) + static_cast<uint32_t>(u[32]));
        int64_t r = sum % 2147483647LL;
        if (r < 0) r += 2147483647LL;
        EXPECT_EQ(nextRandom(), r) << seed;
    }
}

} // namespace
} // namespace dunvale
