#include "rules/generation_replay.h"
#include "rules/map.h"
#include "rules/store.h"
#include "support/errors.h"
#include "support/random.h"
#include "test_support.h"

#include <gtest/gtest.h>

#include <cstdint>

namespace dunvale {
namespace {

using namespace dunvale::testing;

TEST(SectorMap, HashWeighsLevelEastWestAndNorthSouth) {
    EXPECT_EQ(sectorHash({0, 0, 0}), 0);
    EXPECT_EQ(sectorHash({1, 0, 0}), 1009);
    EXPECT_EQ(sectorHash({0, 1, 0}), 1);
    EXPECT_EQ(sectorHash({0, 0, 1}), 1721);
    EXPECT_EQ(sectorHash({-2, 3, -1}), -1721 - 2018 + 3);
    // 1721 * 2000000 = 3442000000 wraps to 3442000000 - 2^32.
    EXPECT_EQ(sectorHash({0, 0, 2000000}), static_cast<int32_t>(3442000000LL - 4294967296LL));
    EXPECT_EQ(sectorHash({INT32_MAX, INT32_MAX, 0}),
              static_cast<int32_t>((1009LL * INT32_MAX + INT32_MAX) % 4294967296LL));
}

TEST(SectorMap, SectorsFarApartInTheTableAreFoundAgain) {
    SectorTable table;
    const SectorCoord coords[] = {{0, 0, 0},    {349, 0, 0},     {0, 349, 0},
                                  {-1, -1, -1}, {0, 0, 2000000}, {INT32_MIN, 5, -7}};
    for (SectorCoord c : coords)
        addSector(table, c).visited = c.sx == 349 ? 1 : 0;
    for (SectorCoord c : coords) {
        ASSERT_NE(findSector(table, c), nullptr);
        EXPECT_TRUE(isInMemory(table, c));
    }
    EXPECT_EQ(findSector(table, {349, 0, 0})->visited, 1);
    EXPECT_EQ(findSector(table, {1, 0, 0}), nullptr);
    EXPECT_EQ(slotCoords(table).size(), 6u);
}

TEST(SectorMap, MovePositionWrapsOncePerAxis) {
    struct Case {
        Position from;
        int dx, dy, dz;
        Position to;
    };
    const Case cases[] = {
        {{{0, 0, 0}, 9, 4}, 1, 0, 0, {{1, 0, 0}, 0, 4}},
        {{{0, 0, 0}, 0, 4}, -1, 0, 0, {{-1, 0, 0}, 9, 4}},
        {{{0, 0, 0}, 5, 5}, 10, 0, 0, {{1, 0, 0}, 5, 5}},
        {{{0, 0, 0}, 5, 5}, -10, -10, 0, {{-1, -1, 0}, 5, 5}},
        {{{2, 3, 4}, 5, 9}, 0, 1, 0, {{2, 4, 4}, 5, 0}},
        {{{2, 3, 4}, 5, 0}, -1, -1, 0, {{2, 2, 4}, 4, 9}},
        {{{2, 3, 4}, 5, 5}, 0, 0, -1, {{2, 3, 3}, 5, 5}},
        {{{2, 3, 4}, 0, 9}, 9, -9, 2, {{2, 3, 6}, 9, 0}},
    };
    for (const Case& k : cases) {
        Position got = movePosition(k.from, k.dx, k.dy, k.dz);
        EXPECT_EQ(got, k.to) << k.dx << "," << k.dy << "," << k.dz << " gave " << got.sector.sx
                             << "," << got.sector.sy << "," << got.sector.sz << " " << got.x << ","
                             << got.y;
    }
}

TEST(SectorMap, CellAtOffsetCrossesIntoTheNeighbour) {
    auto level = levelWith({{0, 0, 0}, {-1, 0, 0}, {0, 1, 0}, {1, -1, 0}});
    SectorTable& table = level->sectors;
    findSector(table, {-1, 0, 0})->cells[7][4].elevation = 2;
    findSector(table, {0, 1, 0})->cells[3][1].elevation = -1;
    findSector(table, {1, -1, 0})->cells[0][9].elevation = 1;
    Position p{{0, 0, 0}, 0, 4};
    EXPECT_EQ(cellAtOffset(table, p, -3, 0).elevation, 2);
    EXPECT_EQ(cellAtOffset(table, {{0, 0, 0}, 3, 8}, 0, 3).elevation, -1);
    EXPECT_EQ(cellAtOffset(table, {{0, 0, 0}, 9, 0}, 1, -1).elevation, 1);
    // By reference: a change through the result stays in the sector.
    cellAtOffset(table, p, -3, 0).terrain = Terrain::SmokeTrap;
    EXPECT_EQ(findSector(table, {-1, 0, 0})->cells[7][4].terrain, Terrain::SmokeTrap);
    EXPECT_EQ(&cellAt(table, {{0, 0, 0}, 2, 2}), &findSector(table, {0, 0, 0})->cells[2][2]);
}

TEST(SectorMap, CellInAMissingSectorCannotBeFound) {
    auto level = levelWith({{3, 0, 0}});
    EXPECT_EQ(raisedBy([&] {
                  cellAtOffset(level->sectors, {{3, 0, 0}, 4, 2}, 0, -5);
              }),
              (Raised{"Couldn't find 3,-1,0", errorCode::couldntFind}));
    EXPECT_EQ(findCell(level->sectors, {{3, 1, 0}, 0, 0}), nullptr);
    EXPECT_NE(findCell(level->sectors, {{3, 0, 0}, 0, 0}), nullptr);
}

TEST(SectorMap, VisitedOnlyOnce) {
    auto level = levelWith({{0, 0, 0}});
    EXPECT_EQ(markVisited(level->sectors, {0, 0, 0}), 1);
    EXPECT_EQ(markVisited(level->sectors, {0, 0, 0}), 0);
    EXPECT_EQ(findSector(level->sectors, {0, 0, 0})->visited, 1);
    EXPECT_EQ(markVisited(level->sectors, {5, 5, 5}), 0) << "no such sector";
}

TEST(SectorMap, RevealKeepsSeenSquaresAndShowsTheRest) {
    auto level = levelWith({{1, 1, 1}});
    Sector* sector = findSector(level->sectors, {1, 1, 1});
    sector->cells[2][3].lastSeen = 40;
    revealSector(level->sectors, {1, 1, 1});
    for (int x = 0; x < 10; ++x)
        for (int y = 0; y < 10; ++y)
            EXPECT_EQ(sector->cells[static_cast<size_t>(x)][static_cast<size_t>(y)].lastSeen,
                      x == 2 && y == 3 ? 40 : 0);
    revealSector(level->sectors, {9, 9, 9}); // nothing there, nothing happens
}

TEST(SectorMap, OpenSquaresAreGroundOffTheStairHeads) {
    Cell cell;
    EXPECT_FALSE(isOpenSquare(cell));
    for (Terrain t : {Terrain::Floor, Terrain::Trapdoor, Terrain::GasTrap, Terrain::TeleportTrap,
                      Terrain::SmokeTrap}) {
        cell.terrain = t;
        cell.elevation = 0;
        EXPECT_TRUE(isOpenSquare(cell));
        cell.elevation = 2;
        EXPECT_TRUE(isOpenSquare(cell));
        cell.elevation = -3;
        EXPECT_FALSE(isOpenSquare(cell));
        cell.elevation = 3;
        EXPECT_FALSE(isOpenSquare(cell));
    }
}

TEST(SectorMap, RandomOpenSquareDrawsXThenYUntilOpen) {
    for (int seed = 1; seed <= 50; ++seed) {
        seedRandom(seed);
        auto sector = filledSector(Terrain::Wall);
        for (int i = 0; i < 10; ++i)
            sector->cells[static_cast<size_t>(i)][static_cast<size_t>(i)].terrain = Terrain::Floor;
        Position got;
        RandomState after = runThenRewind([&] { got = randomOpenSquare(*sector, {4, 5, 6}); });
        int x = 0;
        int y = 0;
        do {
            x = randomIn(0, 9);
            y = randomIn(0, 9);
        } while (x != y);
        EXPECT_EQ(got, (Position{{4, 5, 6}, x, y}));
        EXPECT_EQ(after.ring, randomGenerator.ring);
    }
}

TEST(SectorMap, RandomOpenSquareGivesUpAfterThreeHundredSquares) {
    seedRandom(17);
    auto sector = filledSector(Terrain::Wall);
    Position got;
    RandomState after = runThenRewind([&] { got = randomOpenSquare(*sector, {0, 0, 0}); });
    int x = 0;
    int y = 0;
    for (int i = 0; i < 300; ++i) {
        x = randomIn(0, 9);
        y = randomIn(0, 9);
    }
    EXPECT_EQ(got, (Position{{0, 0, 0}, x, y})) << "the last square drawn";
    EXPECT_EQ(after.ring, randomGenerator.ring);
    EXPECT_EQ(after.write, randomGenerator.write) << "600 draws";
}

TEST(SectorMap, FirstItemOnASquareIsTheOneSeen) {
    auto level = levelWith({{0, 0, 0}});
    SectorTable& table = level->sectors;
    Position p{{0, 0, 0}, 4, 4};
    EXPECT_FALSE(itemAt(table, p));
    putItem(table, {{0, 0, 0}, 1, 1}, Item{ItemClass::Scroll, 1});
    putItem(table, p, Item{ItemClass::Weapon, 2});
    putItem(table, p, Item{ItemClass::Potion, 0});
    EXPECT_EQ(itemAt(table, p), (Item{ItemClass::Weapon, 2}));
    removeItemAt(table, p);
    EXPECT_EQ(itemAt(table, p), (Item{ItemClass::Potion, 0}));
    const auto& items = findSector(table, {0, 0, 0})->items;
    ASSERT_EQ(items.size(), 2u);
    EXPECT_EQ(items[0].item, (Item{ItemClass::Scroll, 1})) << "the others keep their order";
    removeItemAt(table, {{0, 0, 0}, 8, 8});
    EXPECT_EQ(items.size(), 2u);
    EXPECT_FALSE(itemAt(table, {{7, 7, 7}, 4, 4})) << "no such sector";
}

TEST(SectorMap, FirstCreatureOnASquareIsTheOneFound) {
    auto level = levelWith({{0, 0, 0}, {1, 0, 0}});
    SectorTable& table = level->sectors;
    Position p{{0, 0, 0}, 2, 2};
    EXPECT_EQ(creatureAt(table, p), nullptr);
    addCreature(table, {{0, 0, 0}, 3, 2}, CreatureKind::Bat, 1, 1);
    auto first = addCreature(table, p, CreatureKind::GiantRat, 6, 2);
    addCreature(table, p, CreatureKind::Mummy, 26, 3);
    EXPECT_EQ(creatureAt(table, p), first);
    // The same square of another sector holds nothing.
    EXPECT_EQ(creatureAt(table, {{1, 0, 0}, 2, 2}), nullptr);
}

TEST(SectorMap, VisitedStaysSetThroughTheStore) {
    TempStore store;
    auto level = levelWith({{2, 0, 0}}, store.store());
    EXPECT_EQ(markVisited(level->sectors, {2, 0, 0}), 1);
    storeSector(level->sectors, {2, 0, 0});
    ASSERT_FALSE(isInMemory(level->sectors, {2, 0, 0}));
    EXPECT_EQ(markVisited(level->sectors, {2, 0, 0}), 0);
    EXPECT_TRUE(isInMemory(level->sectors, {2, 0, 0}));
}

} // namespace
} // namespace dunvale
