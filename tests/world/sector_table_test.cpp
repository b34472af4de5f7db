#include "rules/store.h"
#include "test_support.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

namespace dunvale {
namespace {

// Pairs of sectors that share a place among the recently found ones (their
// x + 5y + 25z agree modulo 128), including across zero and the wrap.
const SectorCoord sharingPlaces[][2] = {
    {{0, 0, 0}, {128, 0, 0}},  {{-1, 0, 0}, {127, 0, 0}},      {{1, -2, 5}, {1, 126, 5}},
    {{0, 0, -1}, {0, 0, 127}}, {{INT32_MIN, 0, 0}, {0, 0, 0}}, {{2, 0, 0}, {-3, 1, 0}},
};

TEST(SectorTableRecent, SectorsSharingAPlaceAreEachFoundAsThemselves) {
    for (const auto& pair : sharingPlaces) {
        auto level = testing::levelWith({});
        SectorTable& table = level->sectors;
        // Asked for before they are made: then found once made.
        for (SectorCoord c : pair) {
            EXPECT_EQ(findSector(table, c), nullptr);
            EXPECT_FALSE(hasSlot(table, c));
        }
        Sector& a = testing::addSector(table, pair[0]);
        Sector& b = testing::addSector(table, pair[1]);
        for (int round = 0; round < 2; ++round) {
            EXPECT_EQ(findSector(table, pair[0]), &a);
            EXPECT_EQ(findSector(table, pair[1]), &b);
            EXPECT_TRUE(isInMemory(table, pair[0]));
            EXPECT_TRUE(isInMemory(table, pair[1]));
        }
        // Storing one forgets it and only it.
        markStored(table, pair[1]);
        EXPECT_FALSE(isInMemory(table, pair[1]));
        EXPECT_TRUE(isInMemory(table, pair[0]));
        EXPECT_EQ(findSector(table, pair[0]), &a);
        markStored(table, pair[0]);
        EXPECT_FALSE(isInMemory(table, pair[0]));
        EXPECT_TRUE(hasSlot(table, pair[0]));
        // Never made, then marked as lying in the store.
        const SectorCoord unmade{pair[0].sx, pair[0].sy, wrapAdd(pair[0].sz, 1)};
        EXPECT_EQ(findSector(table, unmade), nullptr);
        markStored(table, unmade);
        EXPECT_TRUE(hasSlot(table, unmade));
    }
}

TEST(SectorTableRecent, ReplacedSectorIsFoundNotTheOldOne) {
    auto level = testing::levelWith({});
    SectorTable& table = level->sectors;
    const SectorCoord c{4, -7, 1};
    testing::addSector(table, c, Terrain::Floor);
    ASSERT_NE(findSector(table, c), nullptr);
    Sector& replacement = putSector(table, c, testing::filledSector(Terrain::Wall));
    EXPECT_EQ(findSector(table, c), &replacement);
    EXPECT_EQ(cellAt(table, Position{c, 2, 2}).terrain, Terrain::Wall);
}

TEST(SectorTableRecent, SectorStoredAndLoadedBackIsFoundFresh) {
    testing::TempStore temp;
    auto level = testing::levelWith({}, temp.store());
    SectorTable& table = level->sectors;
    const SectorCoord c{-2, 3, 0};
    testing::addSector(table, c);
    findSector(table, c)->cells[1][1].lastSeen = 9;

    storeSector(table, c);
    EXPECT_FALSE(isInMemory(table, c));
    Sector* loaded = findSector(table, c);
    ASSERT_NE(loaded, nullptr);
    EXPECT_TRUE(isInMemory(table, c));
    EXPECT_EQ(loaded->cells[1][1].lastSeen, 9);

    // A change to the loaded sector is what the next look-up and the next
    // store see.
    loaded->cells[1][1].lastSeen = 10;
    EXPECT_EQ(cellAt(table, Position{c, 1, 1}).lastSeen, 10);
    evict(table, c);
    EXPECT_FALSE(isInMemory(table, c));
    Sector* again = findSector(table, c);
    ASSERT_NE(again, nullptr);
    EXPECT_EQ(again->cells[1][1].lastSeen, 10);
    EXPECT_EQ(findSector(table, c), again);
}

TEST(SectorTableRecent, FarEvictionForgetsEveryStoredSector) {
    // Around each centre: the sectors kept in memory, then those stored. The
    // sector numbers wrap, so the two ends of their range are neighbours.
    constexpr int32_t max = INT32_MAX;
    constexpr int32_t min = INT32_MIN;
    struct Case {
        SectorCoord centre;
        std::vector<SectorCoord> kept, stored;
    };
    const Case cases[] = {
        {{0, 0, 0}, {{0, 0, 0}, {1, 0, 0}}, {{5, 0, 0}, {0, -4, 0}}},
        {{max, 0, 0}, {{min, 0, 0}, {max - 1, 1, 0}}, {{min + 1, 0, 0}, {max - 2, 0, 0}}},
        {{0, min, min}, {{0, max, max}, {1, min, min}}, {{0, max - 1, min}, {0, min, min + 2}}},
    };
    for (const Case& c : cases) {
        testing::TempStore temp;
        std::vector<SectorCoord> all = c.kept;
        all.insert(all.end(), c.stored.begin(), c.stored.end());
        auto level = testing::levelWith(all, temp.store());
        SectorTable& table = level->sectors;
        evictFarSectors(table, c.centre);
        for (SectorCoord k : c.kept)
            EXPECT_TRUE(isInMemory(table, k)) << k.sx << "," << k.sy << "," << k.sz;
        for (SectorCoord s : c.stored)
            EXPECT_FALSE(isInMemory(table, s)) << s.sx << "," << s.sy << "," << s.sz;
    }
}

} // namespace
} // namespace dunvale
