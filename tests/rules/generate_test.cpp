#include "rules/generate.h"
#include "rules/generation_replay.h"
#include "rules/generators.h"
#include "rules/sector_codec.h"
#include "rules/spawn.h"
#include "rules/store.h"
#include "support/random.h"
#include "test_support.h"

#include <gtest/gtest.h>

#include <array>
#include <cstdlib>
#include <map>
#include <set>

namespace dunvale {
namespace {

using namespace dunvale::testing;

// A maze with every side open that was filled: two or more creatures, one find.
void expectFourSidedFilledMaze(const Sector* sector) {
    ASSERT_NE(sector, nullptr);
    EXPECT_EQ(sector->kind, SectorKind::Maze);
    for (char side : std::string("SENW"))
        EXPECT_TRUE(sideHasFloor(sector->cells, side)) << side;
    EXPECT_GE(sector->creatures.size(), 2u);
    EXPECT_EQ(sector->items.size(), 1u);
}

TEST(EntranceSector, RingRoomAndFourOpenSides) {
    for (int seed = 1; seed <= 30; ++seed) {
        seedRandom(seed);
        LevelRecord level;
        RandomState after = runThenRewind([&] {
            buildSector(level.sectors, {0, 0, 0}, 4, Generator::Entrance);
        });
        Sector* entrance = findSector(level.sectors, {0, 0, 0});
        ASSERT_NE(entrance, nullptr);
        EXPECT_EQ(entrance->kind, SectorKind::Entrance);
        CellGrid expected = wallGrid();
        replayFloorRect(expected, 1, 1, 8, 1);
        replayFloorRect(expected, 1, 8, 8, 8);
        replayFloorRect(expected, 1, 2, 1, 7);
        replayFloorRect(expected, 8, 2, 8, 7);
        replayFloorRect(expected, 3, 3, 6, 6);
        for (auto [x, y] : {std::pair{2, 2}, {2, 7}, {7, 2}, {7, 7}})
            setTerrain(expected, x, y, Terrain::Floor);
        EXPECT_EQ(replayOpenSides(expected, 4, 3), "SENW");
        // No traps so near the entrance, so the terrain is the layout itself.
        EXPECT_TRUE(sameTerrain(entrance->cells, expected))
            << picture(entrance->cells) << "expected\n"
            << picture(expected);
        // Filled after it was laid out: 2 to 5 bats.
        EXPECT_GE(entrance->creatures.size(), 2u);
        EXPECT_LE(entrance->creatures.size(), 5u);
        EXPECT_EQ(entrance->items.size(), 1u);
        randomGenerator = after;
    }
}

// A sector of rock with some squares open, kind Maze.
std::unique_ptr<Sector> rockWith(std::vector<std::array<int, 2>> open,
                                 Terrain terrain = Terrain::Floor) {
    auto sector = filledSector(Terrain::Wall);
    for (auto [x, y] : open)
        setTerrain(sector->cells, x, y, terrain);
    return sector;
}

TEST(BorderMatching, OpeningsOfEachNeighbourAreCopiedAndTheNeighbourKept) {
    struct Case {
        SectorCoord offset;
        std::array<int, 2> theirs1, theirs2; // open squares of the neighbour
        std::array<int, 2> mine1, mine2;     // squares of the new sector facing them
        Terrain terrain;
    };
    const Case cases[] = {
        {{-1, 0, 0}, {9, 3}, {9, 7}, {0, 3}, {0, 7}, Terrain::Floor},
        {{1, 0, 0}, {0, 2}, {0, 8}, {9, 2}, {9, 8}, Terrain::GasTrap},
        {{0, -1, 0}, {4, 9}, {6, 9}, {4, 0}, {6, 0}, Terrain::Trapdoor},
        {{0, 1, 0}, {1, 0}, {5, 0}, {1, 9}, {5, 9}, Terrain::Floor},
    };
    const SectorCoord c{20, 30, 0};
    for (const Case& k : cases)
        for (int seed = 1; seed <= 10; ++seed) {
            seedRandom(seed);
            SectorTable table;
            SectorCoord there{c.sx + k.offset.sx, c.sy + k.offset.sy, c.sz};
            Sector& neighbour =
                putSector(table, there, rockWith({k.theirs1, k.theirs2}, k.terrain));
            const std::string before = encodeSector(neighbour, 0);
            buildSector(table, c, 1 + seed % 4, Generator::MazeChooser);
            const Sector* made = findSector(table, c);
            ASSERT_NE(made, nullptr);
            EXPECT_NE(terrainAt(made->cells, k.mine1[0], k.mine1[1]), Terrain::Wall);
            EXPECT_NE(terrainAt(made->cells, k.mine2[0], k.mine2[1]), Terrain::Wall);
            EXPECT_TRUE(encodeSector(*findSector(table, there), 0) == before);
        }
}

TEST(BorderMatching, CopiedOpeningsStartCorridors) {
    for (int seed = 1; seed <= 20; ++seed) {
        seedRandom(seed);
        SectorTable table;
        putSector(table, {-1, 0, -1}, rockWith({{9, 3}, {9, 7}}));
        buildSector(table, {0, 0, -1}, 1, Generator::UnstableBase);
        const Sector* made = findSector(table, {0, 0, -1});
        for (int x = 0; x <= 2; ++x) {
            EXPECT_EQ(terrainAt(made->cells, x, 3), Terrain::Floor) << x;
            EXPECT_EQ(terrainAt(made->cells, x, 7), Terrain::Floor) << x;
        }
    }
}

// A corner of the new sector opened by an earlier side opens the facing
// corner of a neighbour matched later; never the other way round.
TEST(BorderMatching, CornerOpenedByEarlierSideOpensLaterNeighbour) {
    struct Case {
        SectorCoord earlier;
        std::array<int, 2> earlierOpen;
        SectorCoord later;
        std::array<int, 2> laterChanged;
    };
    const Case cases[] = {
        {{-1, 0, 0}, {9, 0}, {0, -1, 0}, {0, 9}}, // west opens (0,0), north gives way
        {{-1, 0, 0}, {9, 9}, {0, 1, 0}, {0, 0}},  // west opens (0,9), south gives way
        {{1, 0, 0}, {0, 0}, {0, -1, 0}, {9, 9}},  // east opens (9,0), north gives way
        {{1, 0, 0}, {0, 9}, {0, 1, 0}, {9, 0}},   // east opens (9,9), south gives way
    };
    for (const Case& k : cases) {
        seedRandom(5);
        SectorTable table;
        putSector(table, k.earlier, rockWith({k.earlierOpen}));
        putSector(table, k.later, filledSector(Terrain::Wall));
        buildSector(table, {0, 0, 0}, 4, Generator::Entrance);
        const Sector* later = findSector(table, k.later);
        for (int x = 0; x < 10; ++x)
            for (int y = 0; y < 10; ++y) {
                bool changed = x == k.laterChanged[0] && y == k.laterChanged[1];
                EXPECT_EQ(terrainAt(later->cells, x, y), changed ? Terrain::Floor : Terrain::Wall)
                    << x << "," << y;
            }
    }
    seedRandom(5);
    SectorTable table;
    putSector(table, {-1, 0, 0}, filledSector(Terrain::Wall));
    putSector(table, {0, -1, 0}, rockWith({{0, 9}}));
    buildSector(table, {0, 0, 0}, 4, Generator::Entrance);
    EXPECT_EQ(terrainAt(findSector(table, {0, 0, 0})->cells, 0, 0), Terrain::Floor);
    EXPECT_EQ(terrainAt(findSector(table, {-1, 0, 0})->cells, 9, 0), Terrain::Wall);
}

TEST(BorderMatching, StoredNeighbourIsReadBackAndMatched) {
    TempStore store;
    SectorTable table;
    table.store = store.store();
    putSector(table, {4, 4, 0}, rockWith({{3, 0}}));
    storeSector(table, {4, 4, 0});
    ASSERT_FALSE(isInMemory(table, {4, 4, 0}));
    seedRandom(6);
    buildSector(table, {4, 3, 0}, 2, Generator::MazeChooser);
    EXPECT_TRUE(isInMemory(table, {4, 4, 0}));
    EXPECT_NE(terrainAt(findSector(table, {4, 3, 0})->cells, 3, 9), Terrain::Wall);
}

TEST(SectorBuilding, ExitsDrawnFromTwentyChances) {
    std::map<int, int> counts;
    for (int seed = 1; seed <= 2000; ++seed) {
        seedRandom(seed);
        int32_t exits = 0;
        runThenRewind([&] { exits = drawExits(); });
        int r = randomBelow(20);
        ASSERT_EQ(exits, r < 2 ? 1 : r < 8 ? 2 : r < 16 ? 3 : 4) << r;
        counts[exits]++;
    }
    EXPECT_EQ(counts.size(), 4u);
}

TEST(SectorBuilding, EnsureLeavesExistingSectorsAndDrawsExitsFirst) {
    seedRandom(77);
    SectorTable table;
    Sector& existing = addSector(table, {2, 2, 0}, Terrain::Floor);
    const std::string before = encodeSector(existing, 0);
    RandomState untouched = randomGenerator;
    ensureSector(table, {2, 2, 0}, Generator::MazeChooser);
    EXPECT_TRUE(sameState(untouched, randomGenerator));
    EXPECT_TRUE(encodeSector(*findSector(table, {2, 2, 0}), 0) == before);
    markStored(table, {3, 3, 0});
    ensureSector(table, {3, 3, 0}, Generator::MazeChooser);
    EXPECT_TRUE(sameState(untouched, randomGenerator)) << "a stored sector exists too";

    for (int seed = 1; seed <= 20; ++seed) {
        int32_t firstId = creatureCounter();
        seedRandom(seed);
        SectorTable ensured;
        ensureSector(ensured, {4, 0, 0}, Generator::MazeChooser);
        creatureCounter() = firstId;
        seedRandom(seed);
        SectorTable built;
        int32_t exits = drawExits();
        buildSector(built, {4, 0, 0}, exits, Generator::MazeChooser);
        EXPECT_TRUE(encodeSector(*findSector(ensured, {4, 0, 0}), 0) ==
                    encodeSector(*findSector(built, {4, 0, 0}), 0));
    }
}

// The chooser's two draws pick the generator; a fresh corner of the map has
// no neighbours, so every maze can be replayed from a wall grid.
TEST(SectorBuilding, ChooserPicksGeneratorFromTwoDraws) {
    std::set<SectorKind> seen;
    const SectorCoord c{1, 1, 0}; // trap distance 2: no traps to blur the terrain
    for (int seed = 1; seed <= 600; ++seed) {
        seedRandom(seed);
        SectorTable table;
        int exits = 1 + seed % 4;
        RandomState after =
            runThenRewind([&] { buildSector(table, c, exits, Generator::MazeChooser); });
        const Sector* made = findSector(table, c);
        ASSERT_NE(made, nullptr);
        seen.insert(made->kind);
        int a = randomBelow(10);
        int b = randomBelow(10);
        int gaps = b < 2 ? 1 : b < 7 ? 2 : 3;
        if (a == 0 && b <= 3) {
            EXPECT_EQ(made->kind, SectorKind::StairsUp);
            EXPECT_TRUE(hasSlot(table, {1, 1, 1}));
        } else if (a == 0 && b <= 7) {
            EXPECT_EQ(made->kind, SectorKind::StairsDown);
            EXPECT_TRUE(hasSlot(table, {1, 1, -1}));
        } else if (a == 0) {
            EXPECT_TRUE(made->kind == SectorKind::SpiralStaircase ||
                        made->kind == SectorKind::Maze);
        } else if (a == 1) {
            EXPECT_EQ(made->kind, SectorKind::UnstableTunnels);
            EXPECT_EQ(findSector(table, {1, 1, -1})->kind, SectorKind::Maze);
        } else if (a <= 3) {
            EXPECT_EQ(made->kind, SectorKind::ChamberMaze);
        } else {
            EXPECT_EQ(made->kind, SectorKind::Maze);
            CellGrid expected = wallGrid();
            replayPlainMaze(expected, exits, gaps);
            EXPECT_TRUE(sameTerrain(made->cells, expected)) << picture(made->cells) << "expected\n"
                                                            << picture(expected);
        }
        randomGenerator = after;
    }
    EXPECT_EQ(seen.size(), 6u) << "every kind but the entrance came up";
}

// Below unstable tunnels lies a maze with all four sides open whatever the
// exits asked, filled like any new sector; the generator makes it first.
TEST(SectorBuilding, UnstableBaseOpensAllFourSidesAndIsFilled) {
    for (int seed = 1; seed <= 30; ++seed) {
        seedRandom(seed);
        SectorTable table;
        buildSector(table, {0, 5, -2}, 1, Generator::UnstableBase);
        expectFourSidedFilledMaze(findSector(table, {0, 5, -2}));
    }
    for (int seed = 1; seed <= 20; ++seed) {
        seedRandom(seed);
        SectorTable table;
        Sector sector;
        EXPECT_EQ(unstableTunnelsGenerator(sector, 1, table, {-4, 2, 3}),
                  SectorKind::UnstableTunnels);
        expectFourSidedFilledMaze(findSector(table, {-4, 2, 2}));
        EXPECT_FALSE(hasSlot(table, {-4, 2, 3})) << "the tunnels are put in by build sector";
    }
}

TEST(UnstableTunnels, AboveAnythingButAPlainMazeIsAPlainMaze) {
    for (SectorKind below : {SectorKind::ChamberMaze, SectorKind::Entrance, SectorKind::StairsUp,
                             SectorKind::UnstableTunnels, SectorKind::SpiralStaircase}) {
        for (int seed = 1; seed <= 20; ++seed) {
            seedRandom(seed);
            SectorTable table;
            putSector(table, {3, 3, -1}, filledSector(Terrain::Floor, below));
            Sector sector;
            CellGrid expected = wallGrid();
            EXPECT_TRUE(matchesReplay(
                sector.cells, expected,
                [&] {
                    EXPECT_EQ(unstableTunnelsGenerator(sector, 2, table, {3, 3, 0}),
                              SectorKind::Maze);
                },
                [&] { replayPlainMaze(expected, 2, 3); }))
                << "no hole draws";
            for (int x = 0; x < 10; ++x)
                for (int y = 0; y < 10; ++y)
                    EXPECT_EQ(elevationAt(sector.cells, x, y), 0);
        }
    }
}

TEST(UnstableTunnels, HolesAndTrapdoorsOnlyWhereBothFloorsMeet) {
    int holes = 0;
    int trapdoors = 0;
    for (int seed = 1; seed <= 60; ++seed) {
        seedRandom(seed);
        SectorTable table;
        auto lower = filledSector(Terrain::Wall, SectorKind::Maze);
        for (int x = 0; x < 10; ++x)
            for (int y = 0; y < 10; ++y)
                if ((x + y) % 2 == 0) setTerrain(lower->cells, x, y, Terrain::Floor);
        const Sector& below = putSector(table, {3, 3, -1}, std::move(lower));
        Sector sector;
        CellGrid expected = wallGrid();
        auto replayTunnels = [&] {
            replayPlainMaze(expected, 3, 3);
            for (int i = 0; i < 30; ++i) {
                int x = randomIn(0, 9);
                int y = randomIn(0, 9);
                Cell& cell = expected[static_cast<size_t>(x)][static_cast<size_t>(y)];
                if (cell.terrain != Terrain::Floor ||
                    terrainAt(below.cells, x, y) != Terrain::Floor)
                    continue;
                if (randomBelow(2) == 0)
                    cell.elevation = -3;
                else
                    cell.terrain = Terrain::Trapdoor;
            }
        };
        ASSERT_TRUE(matchesReplay(
            sector.cells, expected,
            [&] {
                EXPECT_EQ(unstableTunnelsGenerator(sector, 3, table, {3, 3, 0}),
                          SectorKind::UnstableTunnels);
            },
            replayTunnels));
        for (int x = 0; x < 10; ++x)
            for (int y = 0; y < 10; ++y) {
                const Cell& cell = sector.cells[static_cast<size_t>(x)][static_cast<size_t>(y)];
                EXPECT_EQ(cell.elevation, elevationAt(expected, x, y)) << x << "," << y;
                if (cell.elevation == -3 || cell.terrain == Terrain::Trapdoor) {
                    EXPECT_EQ(terrainAt(below.cells, x, y), Terrain::Floor);
                    holes += cell.elevation == -3;
                    trapdoors += cell.terrain == Terrain::Trapdoor;
                }
            }
    }
    EXPECT_GT(holes, 0);
    EXPECT_GT(trapdoors, 0);
}

TEST(NewLabyrinth, EntranceAndItsNeighboursWithMatchedBorders) {
    for (int seed = 1; seed <= 15; ++seed) {
        seedRandom(seed);
        TempStore store;
        LevelRecord level = newLabyrinth(*store.store());
        EXPECT_EQ(level.turn, 1);
        EXPECT_EQ(level.sectors.store, store.store());
        const Sector* entrance = findSector(level.sectors, {0, 0, 0});
        ASSERT_NE(entrance, nullptr);
        EXPECT_EQ(terrainAt(entrance->cells, 5, 5), Terrain::Floor);
        // Built in this order; each copies the openings of those before it.
        const SectorCoord order[9] = {{0, 0, 0},   {-1, 0, 0}, {1, 0, 0},  {0, -1, 0}, {0, 1, 0},
                                      {-1, -1, 0}, {-1, 1, 0}, {1, -1, 0}, {1, 1, 0}};
        for (int later = 0; later < 9; ++later) {
            const Sector* b = findSector(level.sectors, order[later]);
            ASSERT_NE(b, nullptr);
            EXPECT_EQ(b->kind == SectorKind::Entrance, later == 0);
            for (int earlier = 0; earlier < later; ++earlier) {
                const Sector* a = findSector(level.sectors, order[earlier]);
                int dx = order[later].sx - order[earlier].sx;
                int dy = order[later].sy - order[earlier].sy;
                if (std::abs(dx) + std::abs(dy) != 1) continue;
                for (int i = 0; i < 10; ++i) {
                    int ax = dx == 1 ? 9 : dx == -1 ? 0 : i;
                    int ay = dy == 1 ? 9 : dy == -1 ? 0 : i;
                    int bx = dx == 1 ? 0 : dx == -1 ? 9 : i;
                    int by = dy == 1 ? 0 : dy == -1 ? 9 : i;
                    EXPECT_TRUE(terrainAt(a->cells, ax, ay) == Terrain::Wall ||
                                terrainAt(b->cells, bx, by) != Terrain::Wall)
                        << "seed " << seed << " sector " << later << " from " << earlier;
                }
            }
        }
    }
}

} // namespace
} // namespace dunvale
