// Walking far from a sector writes it to the store; walking back brings it
// back exactly as it was left.
#include "rules/generate.h"
#include "rules/player_turn.h"
#include "rules/sector_codec.h"
#include "rules/store.h"
#include "test_support.h"
#include "world/player.h"

#include <gtest/gtest.h>

#include <filesystem>

namespace dunvale {
namespace {

using testing::ScreenFixture;
using testing::TempStore;

// What the step does when the adventurer crosses into another sector.
void crossInto(LevelRecord& level, Player& player, SectorCoord c) {
    Position next = player.position;
    next.sector = c;
    evictFarSectors(level.sectors, c);
    enterSector(level, player, next);
    player.position = next;
}

TEST(LabyrinthWalk, FarSectorsGoToDiskAndComeBackUnchanged) {
    for (int32_t seed : {4, 40, 400}) {
        ScreenFixture screen;
        TempStore home;
        seedRandom(seed);
        LevelRecord level = newLabyrinth(*home.store());
        Player player = newPlayer();

        // Leave a mark on the entrance sector before walking away.
        Sector* entrance = findSector(level.sectors, SectorCoord{0, 0, 0});
        ASSERT_NE(entrance, nullptr);
        entrance->cells[5][5].lastSeen = 42;
        entrance->visited = 1;
        const std::string before = encodeSector(*entrance, 0);

        for (int32_t sx = 1; sx <= 4; ++sx)
            crossInto(level, player, SectorCoord{sx, 0, 0});
        for (int32_t sx = -1; sx <= 2; ++sx) {
            SectorCoord c{sx, 0, 0};
            EXPECT_FALSE(isInMemory(level.sectors, c)) << sx;
            EXPECT_TRUE(hasSlot(level.sectors, c)) << sx;
            EXPECT_TRUE(std::filesystem::exists(home.dir.path / objectId(c))) << sx;
        }
        for (int32_t sx = 3; sx >= 0; --sx)
            crossInto(level, player, SectorCoord{sx, 0, 0});
        Sector* back = findSector(level.sectors, SectorCoord{0, 0, 0});
        ASSERT_NE(back, nullptr);
        EXPECT_TRUE(isInMemory(level.sectors, SectorCoord{0, 0, 0}));
        EXPECT_EQ(back->cells[5][5].lastSeen, 42);
        EXPECT_EQ(encodeSector(*back, 0), before) << "seed " << seed;
        // What stays in memory is the block around the adventurer.
        for (SectorCoord c : slotCoords(level.sectors))
            if (isInMemory(level.sectors, c)) {
                EXPECT_LE(std::abs(c.sx), 1);
                EXPECT_LE(std::abs(c.sy), 1);
                EXPECT_LE(std::abs(c.sz), 1);
            }
    }
}

} // namespace
} // namespace dunvale
