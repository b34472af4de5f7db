// Long random games through the replay path: whatever the keys, a game ends
// in a normal screen, never in a report or a crash.
#include "replay_helpers.h"

#include <gtest/gtest.h>

namespace dunvale {
namespace {

using testing::HomeOverride;
using testing::TempDir;

constexpr int soakSeeds = 50;
constexpr int keysPerGame = 2000;

TEST(Soak, RandomKeysNeverBreakTheGame) {
    TempDir home;
    HomeOverride override(home.path.string());
    int64_t turns = 0;
    int64_t sectorChanges = 0;
    for (int32_t seed = 1; seed <= soakSeeds; ++seed) {
        ReplayOptions options;
        options.seed = seed * 7919;
        options.keys = randomKeys(static_cast<uint32_t>(seed), keysPerGame);
        ReplayStats stats;
        options.stats = &stats;
        std::string screen = runReplay(options);
        EXPECT_FALSE(stats.reported) << "seed " << options.seed << ":\n" << stats.report;
        EXPECT_EQ(testing::lines(screen).size(), 24u) << "seed " << options.seed;
        EXPECT_EQ(screen.find("Couldn't find"), std::string::npos);
        turns += stats.turns;
        sectorChanges += stats.sectorChanges;
    }
    // The games must really have gone somewhere for the soak to mean much.
    EXPECT_GT(turns, soakSeeds * 100);
    EXPECT_GT(sectorChanges, soakSeeds);
    RecordProperty("turns", static_cast<int>(turns));
    RecordProperty("sectorChanges", static_cast<int>(sectorChanges));
}

} // namespace
} // namespace dunvale
