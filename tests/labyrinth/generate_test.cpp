#include "creatures/spawn.h"
#include "labyrinth/generate.h"
#include "labyrinth/generation_replay.h"
#include "labyrinth/generators.h"
#include "labyrinth/store.h"
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

// Which sides a border square lies on (a corner lies on two).
std::string sidesOf(int x, int y) {
    std::string sides;
    if (y == 9) sides += 'S';
    if (x == 9) sides += 'E';
    if (y == 0) sides += 'N';
    if (x == 0) sides += 'W';
    return sides;
}

std::vector<std::array<int, 2>> floorSquares(const CellGrid& cells) {
    std::vector<std::array<int, 2>> squares;
    for (int x = 0; x < 10; ++x)
        for (int y = 0; y < 10; ++y)
            if (terrainAt(cells, x, y) != Terrain::Wall) squares.push_back({x, y});
    return squares;
}

bool sideHasFloor(const CellGrid& cells, char side) {
    for (int i = 0; i < 10; ++i) {
        int x = side == 'E' ? 9 : side == 'W' ? 0 : i;
        int y = side == 'S' ? 9 : side == 'N' ? 0 : i;
        if (terrainAt(cells, x, y) != Terrain::Wall) return true;
    }
    return false;
}

TEST(SideOpening, DrawsSidesAndSquaresInOrder) {
    for (int exits = 1; exits <= 4; ++exits)
        for (int gaps = 1; gaps <= 4; ++gaps)
            for (int seed = 1; seed <= 40; ++seed) {
                seedRandom(seed * 7919 + exits * 31 + gaps);
                CellGrid made = wallGrid();
                RandomState after = runThenRewind([&] { openSides(made, exits, gaps); });
                CellGrid expected = wallGrid();
                std::string opened = replayOpenSides(expected, exits, gaps);
                ASSERT_TRUE(sameTerrain(made, expected))
                    << "exits " << exits << " gaps " << gaps << " seed " << seed << "\n"
                    << picture(made) << "expected (" << opened << ")\n"
                    << picture(expected);
                ASSERT_TRUE(sameState(after, randomState())) << "a draw too many or too few";
            }
}

TEST(SideOpening, FourExitsOpenEverySide) {
    for (int seed = 1; seed <= 200; ++seed) {
        seedRandom(seed);
        CellGrid cells = wallGrid();
        openSides(cells, 4, 1);
        for (char side : std::string("SENW"))
            EXPECT_TRUE(sideHasFloor(cells, side)) << side;
        EXPECT_LE(floorSquares(cells).size(), 4u) << "gap count 1: one opening per side";
    }
}

TEST(SideOpening, OneExitOpensOneSideEachWithEqualChance) {
    // One long run: the first draws after seeding with neighbouring seeds are
    // themselves alike, so reseeding each time would measure the seeding.
    std::map<char, int> counts;
    int samples = 0;
    seedRandom(4242);
    for (int run = 1; run <= 8000; ++run) {
        CellGrid cells = wallGrid();
        openSides(cells, 1, 1);
        auto squares = floorSquares(cells);
        ASSERT_EQ(squares.size(), 1u);
        std::string sides = sidesOf(squares[0][0], squares[0][1]);
        ASSERT_FALSE(sides.empty()) << "openings lie on the border";
        if (sides.size() == 1) {
            ++counts[sides[0]];
            ++samples;
        }
    }
    for (char side : std::string("SENW")) {
        double share = static_cast<double>(counts[side]) / samples;
        EXPECT_NEAR(share, 0.25, 0.03) << side;
    }
}

TEST(SideOpening, TwoExitsOpenEveryPairOfSidesAlike) {
    std::map<std::string, int> pairs;
    int samples = 0;
    seedRandom(4243);
    for (int run = 1; run <= 12000; ++run) {
        CellGrid cells = wallGrid();
        openSides(cells, 2, 1);
        std::set<char> sides;
        bool clean = true;
        for (auto square : floorSquares(cells)) {
            std::string s = sidesOf(square[0], square[1]);
            if (s.size() != 1) clean = false;
            sides.insert(s.begin(), s.end());
        }
        if (!clean) continue;
        ASSERT_EQ(sides.size(), 2u);
        pairs[std::string(sides.begin(), sides.end())]++;
        ++samples;
    }
    ASSERT_EQ(pairs.size(), 6u);
    for (const auto& [pair, count] : pairs)
        EXPECT_NEAR(static_cast<double>(count) / samples, 1.0 / 6, 0.03) << pair;
}

TEST(SideOpening, GapCountBoundsOpeningsPerSide) {
    std::map<int, int> mostOnOneSide;
    for (int gaps = 1; gaps <= 3; ++gaps)
        for (int seed = 1; seed <= 300; ++seed) {
            seedRandom(seed);
            CellGrid cells = wallGrid();
            openSides(cells, 1, gaps);
            int n = static_cast<int>(floorSquares(cells).size());
            EXPECT_GE(n, 1);
            EXPECT_LE(n, gaps);
            mostOnOneSide[gaps] = std::max(mostOnOneSide[gaps], n);
        }
    EXPECT_EQ(mostOnOneSide[3], 3);
}

TEST(MazeLayout, CorridorsRunInwardFromEveryNonCornerOpening) {
    for (Painter painter : {Painter::Plain, Painter::Chamber})
        for (int seed = 1; seed <= 400; ++seed) {
            seedRandom(seed);
            CellGrid cells = wallGrid();
            layOutMaze(cells, 1 + seed % 4, 1 + seed % 3, painter);
            auto open = [&](int x, int y) { return terrainAt(cells, x, y) != Terrain::Wall; };
            for (int i = 1; i <= 8; ++i) {
                if (open(i, 0)) {
                    EXPECT_TRUE(open(i, 1) && open(i, 2)) << picture(cells);
                }
                if (open(i, 9)) {
                    EXPECT_TRUE(open(i, 7) && open(i, 8)) << picture(cells);
                }
                if (open(0, i)) {
                    EXPECT_TRUE(open(1, i) && open(2, i)) << picture(cells);
                }
                if (open(9, i)) {
                    EXPECT_TRUE(open(7, i) && open(8, i)) << picture(cells);
                }
            }
        }
}

TEST(MazeLayout, PlainMazeMatchesReplayWithCopiedAndCornerOpenings) {
    for (int seed = 1; seed <= 200; ++seed) {
        seedRandom(seed);
        CellGrid start = wallGrid();
        // Openings copied from neighbours, corners among them.
        setTerrain(start, 0, 3, Terrain::Floor);
        setTerrain(start, 0, 7, Terrain::Floor);
        setTerrain(start, 0, 0, Terrain::Floor);
        setTerrain(start, 9, 9, Terrain::Floor);
        CellGrid made = start;
        int exits = 1 + seed % 4;
        int gaps = 1 + seed % 3;
        RandomState after = runThenRewind([&] { layOutMaze(made, exits, gaps, Painter::Plain); });
        CellGrid expected = start;
        replayPlainMaze(expected, exits, gaps);
        ASSERT_TRUE(sameTerrain(made, expected)) << picture(made) << "expected\n"
                                                 << picture(expected);
        ASSERT_TRUE(sameState(after, randomState()));
        EXPECT_EQ(terrainAt(made, 1, 3), Terrain::Floor);
        EXPECT_EQ(terrainAt(made, 2, 7), Terrain::Floor);
    }
}

TEST(MazeLayout, PlainMazeOnlyOpensLinesThroughOpenings) {
    for (int seed = 1; seed <= 200; ++seed) {
        seedRandom(seed);
        CellGrid cells = wallGrid();
        layOutMaze(cells, 1 + seed % 4, 3, Painter::Plain);
        auto open = [&](int x, int y) { return terrainAt(cells, x, y) != Terrain::Wall; };
        for (int x = 1; x <= 8; ++x)
            for (int y = 1; y <= 8; ++y)
                if (open(x, y)) {
                    EXPECT_TRUE(open(x, 0) || open(x, 9) || open(0, y) || open(9, y))
                        << x << "," << y << "\n"
                        << picture(cells);
                }
    }
}

TEST(MazeLayout, ChamberLiesAroundTheCorridorsFarCorner) {
    struct Case {
        int x0, y0, x1, y1;
        int left, top, right, bottom; // expected chamber bounds
    };
    const Case cases[] = {
        {4, 1, 4, 5, 3, 4, 5, 6}, // from the y = 0 side: inner end
        {4, 3, 4, 8, 3, 7, 5, 9}, // from the y = 9 side: border end, clipped by nothing
        {1, 1, 1, 1, 0, 0, 2, 2},
        {1, 8, 8, 8, 7, 7, 9, 9},
    };
    for (const Case& c : cases) {
        CellGrid cells = wallGrid();
        paintCorridor(cells, Painter::Chamber, c.x0, c.y0, c.x1, c.y1);
        for (int x = 0; x < 10; ++x)
            for (int y = 0; y < 10; ++y) {
                bool corridor = x >= c.x0 && x <= c.x1 && y >= c.y0 && y <= c.y1;
                bool chamber = x >= c.left && x <= c.right && y >= c.top && y <= c.bottom;
                EXPECT_EQ(terrainAt(cells, x, y) == Terrain::Floor, corridor || chamber)
                    << x << "," << y;
            }
    }
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
        for (auto [x, y] : {std::pair{5, 5}, {1, 1}, {8, 8}, {2, 2}})
            EXPECT_EQ(terrainAt(entrance->cells, x, y), Terrain::Floor);
        // Filled after it was laid out: 2 to 5 bats.
        EXPECT_GE(entrance->creatures.size(), 2u);
        EXPECT_LE(entrance->creatures.size(), 5u);
        EXPECT_EQ(entrance->items.size(), 1u);
        randomState() = after;
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

Sector copyOf(const Sector& sector) {
    Sector copy;
    copy.cells = sector.cells;
    copy.kind = sector.kind;
    copy.visited = sector.visited;
    copy.upLink = sector.upLink;
    copy.downLink = sector.downLink;
    copy.items = sector.items;
    copy.creatures = sector.creatures;
    return copy;
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
            Sector before = copyOf(neighbour);
            buildSector(table, c, 1 + seed % 4, Generator::MazeChooser);
            const Sector* made = findSector(table, c);
            ASSERT_NE(made, nullptr);
            EXPECT_NE(terrainAt(made->cells, k.mine1[0], k.mine1[1]), Terrain::Wall);
            EXPECT_NE(terrainAt(made->cells, k.mine2[0], k.mine2[1]), Terrain::Wall);
            EXPECT_TRUE(sameSector(*findSector(table, there), before));
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
}

TEST(BorderMatching, LaterSideDoesNotReachBackToEarlierNeighbour) {
    seedRandom(5);
    SectorTable table;
    putSector(table, {-1, 0, 0}, filledSector(Terrain::Wall));
    putSector(table, {0, -1, 0}, rockWith({{0, 9}}));
    buildSector(table, {0, 0, 0}, 4, Generator::Entrance);
    EXPECT_EQ(terrainAt(findSector(table, {0, 0, 0})->cells, 0, 0), Terrain::Floor);
    EXPECT_EQ(terrainAt(findSector(table, {-1, 0, 0})->cells, 9, 0), Terrain::Wall);
}

TEST(SectorBuilding, ExitsDrawnFromTwentyChances) {
    std::map<int, int> counts;
    for (int seed = 1; seed <= 2000; ++seed) {
        seedRandom(seed);
        int32_t exits = 0;
        runThenRewind([&] { exits = drawExits(); });
        int r = randomBelow(20);
        int expected = r < 2 ? 1 : r < 8 ? 2 : r < 16 ? 3 : 4;
        ASSERT_EQ(exits, expected) << r;
        counts[exits]++;
    }
    EXPECT_EQ(counts.size(), 4u);
}

TEST(SectorBuilding, EnsureLeavesExistingSectorsAndDrawsExitsFirst) {
    seedRandom(77);
    SectorTable table;
    Sector& existing = addSector(table, {2, 2, 0}, Terrain::Floor);
    Sector before = copyOf(existing);
    RandomState untouched = randomState();
    ensureSector(table, {2, 2, 0}, Generator::MazeChooser);
    EXPECT_TRUE(sameState(untouched, randomState()));
    EXPECT_TRUE(sameSector(*findSector(table, {2, 2, 0}), before));
    markStored(table, {3, 3, 0});
    ensureSector(table, {3, 3, 0}, Generator::MazeChooser);
    EXPECT_TRUE(sameState(untouched, randomState())) << "a stored sector exists too";

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
        EXPECT_TRUE(sameSector(*findSector(ensured, {4, 0, 0}), *findSector(built, {4, 0, 0})));
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
        randomState() = after;
    }
    EXPECT_EQ(seen.size(), 6u) << "every kind but the entrance came up";
}

TEST(SectorBuilding, UnstableBaseOpensAllFourSidesAndIsFilled) {
    for (int seed = 1; seed <= 30; ++seed) {
        seedRandom(seed);
        SectorTable table;
        buildSector(table, {0, 5, -2}, 1, Generator::UnstableBase);
        const Sector* made = findSector(table, {0, 5, -2});
        ASSERT_NE(made, nullptr);
        EXPECT_EQ(made->kind, SectorKind::Maze);
        for (char side : std::string("SENW"))
            EXPECT_TRUE(sideHasFloor(made->cells, side));
        EXPECT_GE(made->creatures.size(), 2u);
        EXPECT_EQ(made->items.size(), 1u);
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
            RandomState after = runThenRewind([&] {
                EXPECT_EQ(unstableTunnelsGenerator(sector, 2, table, {3, 3, 0}), SectorKind::Maze);
            });
            CellGrid expected = wallGrid();
            replayPlainMaze(expected, 2, 3);
            EXPECT_TRUE(sameTerrain(sector.cells, expected));
            EXPECT_TRUE(sameState(after, randomState())) << "no hole draws";
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
        RandomState after = runThenRewind([&] {
            EXPECT_EQ(unstableTunnelsGenerator(sector, 3, table, {3, 3, 0}),
                      SectorKind::UnstableTunnels);
        });
        CellGrid expected = wallGrid();
        replayPlainMaze(expected, 3, 3);
        for (int i = 0; i < 30; ++i) {
            int x = randomIn(0, 9);
            int y = randomIn(0, 9);
            Cell& cell = expected[static_cast<size_t>(x)][static_cast<size_t>(y)];
            if (cell.terrain != Terrain::Floor || terrainAt(below.cells, x, y) != Terrain::Floor)
                continue;
            if (randomBelow(2) == 0)
                cell.elevation = -3;
            else
                cell.terrain = Terrain::Trapdoor;
        }
        ASSERT_TRUE(sameState(after, randomState()));
        for (int x = 0; x < 10; ++x)
            for (int y = 0; y < 10; ++y) {
                const Cell& cell = sector.cells[static_cast<size_t>(x)][static_cast<size_t>(y)];
                EXPECT_EQ(cell.terrain, terrainAt(expected, x, y)) << x << "," << y;
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

TEST(UnstableTunnels, MakesTheFloorBelowFirstAsAFourSidedMaze) {
    for (int seed = 1; seed <= 20; ++seed) {
        seedRandom(seed);
        SectorTable table;
        Sector sector;
        SectorKind kind = unstableTunnelsGenerator(sector, 1, table, {-4, 2, 3});
        const Sector* below = findSector(table, {-4, 2, 2});
        ASSERT_NE(below, nullptr);
        EXPECT_EQ(below->kind, SectorKind::Maze);
        EXPECT_EQ(kind, SectorKind::UnstableTunnels);
        for (char side : std::string("SENW"))
            EXPECT_TRUE(sideHasFloor(below->cells, side));
        EXPECT_GE(below->creatures.size(), 2u) << "the floor below was filled";
        EXPECT_FALSE(hasSlot(table, {-4, 2, 3})) << "the tunnels are put in by build sector";
    }
}

} // namespace
} // namespace dunvale

namespace dunvale {
namespace {

using namespace dunvale::testing;

TEST(NewLabyrinth, EntranceAndItsNeighboursWithMatchedBorders) {
    for (int seed = 1; seed <= 15; ++seed) {
        seedRandom(seed);
        TempDir store;
        LevelRecord level = newLabyrinth(store.slash());
        EXPECT_EQ(level.turn, 1);
        EXPECT_EQ(level.sectors.storeDirectory, store.slash());
        const Sector* entrance = findSector(level.sectors, {0, 0, 0});
        ASSERT_NE(entrance, nullptr);
        EXPECT_EQ(entrance->kind, SectorKind::Entrance);
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
                    if (terrainAt(a->cells, ax, ay) != Terrain::Wall) {
                        EXPECT_NE(terrainAt(b->cells, bx, by), Terrain::Wall)
                            << "seed " << seed << " sector " << later << " from " << earlier;
                    }
                }
            }
        }
    }
}

TEST(BorderMatching, StoredNeighbourIsReadBackAndMatched) {
    TempDir store;
    SectorTable table;
    table.storeDirectory = store.slash();
    putSector(table, {4, 4, 0}, rockWith({{3, 0}}));
    storeSector(table, {4, 4, 0});
    ASSERT_FALSE(isInMemory(table, {4, 4, 0}));
    seedRandom(6);
    buildSector(table, {4, 3, 0}, 2, Generator::MazeChooser);
    EXPECT_TRUE(isInMemory(table, {4, 4, 0}));
    EXPECT_NE(terrainAt(findSector(table, {4, 3, 0})->cells, 3, 9), Terrain::Wall);
}

} // namespace
} // namespace dunvale
