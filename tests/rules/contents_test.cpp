#include "rules/contents.h"
#include "rules/generation_replay.h"
#include "rules/spawn.h"
#include "support/random.h"
#include "test_support.h"

#include <gtest/gtest.h>

#include <map>
#include <optional>

namespace dunvale {
namespace {

using namespace dunvale::testing;

bool isTrap(Terrain t) {
    return t == Terrain::GasTrap || t == Terrain::TeleportTrap || t == Terrain::SmokeTrap;
}

std::map<Terrain, int> trapCounts(const Sector& sector) {
    std::map<Terrain, int> counts;
    for (int x = 0; x < 10; ++x)
        for (int y = 0; y < 10; ++y)
            if (isTrap(terrainAt(sector.cells, x, y))) counts[terrainAt(sector.cells, x, y)]++;
    return counts;
}

TEST(SectorContents, EntranceSectorGetsBatsAFindAndNoTraps) {
    std::map<size_t, int> counts;
    for (int seed = 1; seed <= 200; ++seed) {
        seedRandom(seed);
        SectorTable table;
        Sector& sector = addSector(table, {0, 0, 0});
        fillSector(table, {0, 0, 0}, sector);
        counts[sector.creatures.size()]++;
        for (const auto& creature : sector.creatures) {
            EXPECT_EQ(creature->kind, CreatureKind::Bat);
            EXPECT_EQ(creature->level, 1);
            EXPECT_EQ(creature->health, 1);
            EXPECT_EQ(creature->position.sector, (SectorCoord{0, 0, 0}));
        }
        ASSERT_EQ(sector.items.size(), 1u);
        const Item& find = sector.items[0].item;
        if (find.itemClass == ItemClass::Treasure) {
            EXPECT_GE(find.grade, 1);
            EXPECT_LE(find.grade, 10);
        } else {
            EXPECT_EQ(find.grade, 0);
        }
        EXPECT_TRUE(trapCounts(sector).empty());
        EXPECT_EQ(slotCoords(table).size(), 1u);
    }
    EXPECT_EQ(counts.size(), 4u) << "2, 3, 4 and 5 creatures all come up";
    EXPECT_EQ(counts.begin()->first, 2u);
    EXPECT_EQ(counts.rbegin()->first, 5u);
}

TEST(SectorContents, TrapsByDistance) {
    struct Case {
        SectorCoord c;
        bool gas, teleport, smoke; // which traps can come up
    };
    const Case cases[] = {
        {{2, 2, 0}, false, false, false}, // T = 4: none so near the entrance
        {{0, 0, -4}, false, false, false}, {{-4, 0, 0}, false, false, false},
        {{1, -1, 2}, false, false, false}, {{3, 4, 0}, false, false, true}, // T = 7
        {{0, 9, 0}, false, true, true},                                     // T = 9
        {{0, 0, -13}, true, true, true},                                    // T = 13
        {{20, -20, 5}, true, true, true},                                   // T = 45
    };
    for (const Case& k : cases) {
        std::map<Terrain, int> seen;
        for (int seed = 1; seed <= 300; ++seed) {
            seedRandom(seed);
            SectorTable table;
            Sector& sector = addSector(table, k.c);
            fillSector(table, k.c, sector);
            for (auto [trap, n] : trapCounts(sector)) {
                EXPECT_EQ(n, 1) << "one trap of a kind at most";
                seen[trap] += n;
            }
        }
        EXPECT_EQ(seen.count(Terrain::GasTrap) > 0, k.gas);
        EXPECT_EQ(seen.count(Terrain::TeleportTrap) > 0, k.teleport);
        EXPECT_EQ(seen.count(Terrain::SmokeTrap) > 0, k.smoke);
    }
}

// A sector of mixed ground: rock, floor, trapdoors and floor at +-3.
std::unique_ptr<Sector> mixedSector() {
    const Terrain terrains[] = {Terrain::Floor, Terrain::Trapdoor, Terrain::Floor, Terrain::Floor};
    const int32_t heights[] = {0, 0, 3, -3};
    auto sector = filledSector(Terrain::Wall);
    for (int x = 0; x < 10; ++x)
        for (int y = 0; y < 10; ++y) {
            Cell& cell = sector->cells[static_cast<size_t>(x)][static_cast<size_t>(y)];
            const int kind = (x * 3 + y * 7) % 6; // 4 and 5 stay rock
            if (kind >= 4) continue;
            cell.terrain = terrains[kind];
            cell.elevation = heights[kind];
        }
    return sector;
}

TEST(SectorContents, TrapGivesUpWithoutFloor) {
    const SectorCoord c{0, 0, -30};
    seedRandom(3);
    SectorTable table;
    Sector& sector = putSector(table, c, filledSector(Terrain::Trapdoor));
    fillSector(table, c, sector);
    EXPECT_TRUE(trapCounts(sector).empty());
}

// Replays a whole fill of a sector with at least one open square, drawing in
// the stated order: creatures, the find, then each trap drawn and placed.
struct FillReplay {
    std::vector<std::array<int, 3>> creatures; // x, y, level
    FloorItem find;
    CellGrid cells;
};

std::array<int, 2> replayOpenSquare(const CellGrid& cells) {
    int x = 0;
    int y = 0;
    for (int i = 0; i < 300; ++i) {
        x = randomIn(0, 9);
        y = randomIn(0, 9);
        const Cell& cell = cells[static_cast<size_t>(x)][static_cast<size_t>(y)];
        if (cell.terrain != Terrain::Wall && cell.elevation != 3 && cell.elevation != -3) break;
    }
    return {x, y};
}

void replayTrap(CellGrid& cells, Terrain trap) {
    for (int i = 0; i < 300; ++i) {
        int x = randomIn(0, 9);
        int y = randomIn(0, 9);
        if (terrainAt(cells, x, y) == Terrain::Floor) {
            setTerrain(cells, x, y, trap);
            return;
        }
    }
}

FillReplay replayFill(CellGrid cells, int d, int t) {
    FillReplay out;
    int n = randomIn(2, 5);
    for (int i = 0; i < n; ++i) {
        int level = replayCreatureLevel(d);
        auto square = replayOpenSquare(cells);
        out.creatures.push_back({square[0], square[1], level});
    }
    int r = randomIn(1, 3);
    Item find;
    if (r == 2) {
        find = Item{ItemClass::Treasure, randomIn(1, (d + 1) * 10)};
    } else {
        int spread = d < 4 ? 0 : d < 9 ? 1 : d < 16 ? 2 : d < 25 ? 3 : 4;
        int grade = spread == 0 ? 0 : randomIn(0, spread);
        int itemClass = randomIn(0, 3);
        find = Item{static_cast<ItemClass>(itemClass), grade};
    }
    auto square = replayOpenSquare(cells);
    out.find = FloorItem{find, square[0], square[1]};
    if (randomIn(1, t) > 12) replayTrap(cells, Terrain::GasTrap);
    if (randomIn(1, t) > 8) replayTrap(cells, Terrain::TeleportTrap);
    if (randomIn(1, t) > 4) replayTrap(cells, Terrain::SmokeTrap);
    out.cells = cells;
    return out;
}

TEST(SectorContents, FillDrawsInOrderWithEachTrapPlacedBeforeTheNextIsDrawn) {
    struct Case {
        SectorCoord c;
        int d, t;
    };
    const Case cases[] = {{{0, 0, -20}, 20, 20},
                          {{6, -3, 1}, 7, 10},
                          {{0, 0, 0}, 0, 0},
                          {{15, 15, 15}, 30, 45},
                          {{-10, 12, -8}, 20, 30}};
    for (const Case& k : cases)
        for (int seed = 1; seed <= 200; ++seed) {
            seedRandom(seed);
            SectorTable table;
            Sector& sector = putSector(table, k.c, mixedSector());
            CellGrid start = sector.cells;
            RandomState after = runThenRewind([&] { fillSector(table, k.c, sector); });
            FillReplay expected = replayFill(start, k.d, k.t);
            ASSERT_TRUE(sameState(after, randomGenerator)) << "seed " << seed;
            ASSERT_EQ(sector.creatures.size(), expected.creatures.size());
            for (size_t i = 0; i < expected.creatures.size(); ++i) {
                const Creature& made = *sector.creatures[i];
                EXPECT_EQ(made.position,
                          (Position{k.c, expected.creatures[i][0], expected.creatures[i][1]}));
                EXPECT_EQ(made.level, expected.creatures[i][2]);
            }
            ASSERT_EQ(sector.items.size(), 1u);
            EXPECT_EQ(sector.items[0], expected.find);
            EXPECT_TRUE(sameTerrain(sector.cells, expected.cells))
                << picture(sector.cells) << "expected\n"
                << picture(expected.cells);
            // Traps take only floor, one of a kind; the find lies on open
            // ground off the stair heads; heights stay.
            const FloorItem& find = sector.items[0];
            EXPECT_TRUE(
                isOpenSquare(start[static_cast<size_t>(find.x)][static_cast<size_t>(find.y)]));
            for (auto [trap, n] : trapCounts(sector))
                EXPECT_EQ(n, 1);
            for (int x = 0; x < 10; ++x)
                for (int y = 0; y < 10; ++y) {
                    Terrain now = terrainAt(sector.cells, x, y);
                    Terrain was = terrainAt(start, x, y);
                    EXPECT_TRUE(now == was || (isTrap(now) && was == Terrain::Floor))
                        << x << "," << y;
                    EXPECT_EQ(elevationAt(sector.cells, x, y), elevationAt(start, x, y));
                }
        }
}

TEST(SectorContents, StaircasesMakeTheSectorAtTheOtherEnd) {
    struct Case {
        SectorKind kind;
        std::optional<StairLink> up, down;
        bool above, below;
        SectorKind otherKind;
    };
    const StairLink link{Direction::North, 4, 5};
    const StairLink partner{Direction::South, 4, 4};
    const Case cases[] = {
        {SectorKind::StairsUp, partner, std::nullopt, true, false, SectorKind::StairsDown},
        {SectorKind::StairsDown, std::nullopt, partner, false, true, SectorKind::StairsUp},
        {SectorKind::SpiralStaircase, link, std::nullopt, true, false, SectorKind::SpiralStaircase},
        {SectorKind::SpiralStaircase, std::nullopt, link, false, true, SectorKind::SpiralStaircase},
        {SectorKind::SpiralStaircase, link, link, true, true, SectorKind::SpiralStaircase},
        {SectorKind::Maze, link, link, false, false, SectorKind::Maze},
        {SectorKind::ChamberMaze, link, link, false, false, SectorKind::Maze},
        {SectorKind::UnstableTunnels, link, link, false, false, SectorKind::Maze},
        {SectorKind::Entrance, link, link, false, false, SectorKind::Maze},
    };
    const SectorCoord c{3, -2, 0};
    for (const Case& k : cases) {
        seedRandom(31);
        SectorTable table;
        Sector& sector = addSector(table, c);
        sector.kind = k.kind;
        sector.upLink = k.up;
        sector.downLink = k.down;
        fillSector(table, c, sector);
        const Sector* above = findSector(table, {3, -2, 1});
        const Sector* below = findSector(table, {3, -2, -1});
        EXPECT_EQ(above != nullptr, k.above) << static_cast<int>(k.kind);
        EXPECT_EQ(below != nullptr, k.below) << static_cast<int>(k.kind);
        if (above) {
            EXPECT_EQ(above->kind, k.otherKind);
        }
        if (below) {
            EXPECT_EQ(below->kind, k.otherKind);
        }
    }
}

TEST(SectorContents, ExistingSectorAtTheOtherEndIsLeftAlone) {
    seedRandom(32);
    SectorTable table;
    Sector& above = addSector(table, {0, 0, 1});
    above.kind = SectorKind::ChamberMaze;
    Sector& sector = addSector(table, {0, 0, 0});
    sector.kind = SectorKind::StairsUp;
    sector.upLink = StairLink{Direction::South, 4, 4};
    fillSector(table, {0, 0, 0}, sector);
    EXPECT_EQ(findSector(table, {0, 0, 1})->kind, SectorKind::ChamberMaze);
    EXPECT_TRUE(findSector(table, {0, 0, 1})->creatures.empty());
    EXPECT_EQ(slotCoords(table).size(), 2u);
}

} // namespace
} // namespace dunvale
