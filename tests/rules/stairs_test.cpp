#include "rules/generate.h"
#include "rules/generation_replay.h"
#include "rules/generators.h"
#include "support/errors.h"
#include "support/random.h"
#include "test_support.h"

#include <gtest/gtest.h>

#include <array>
#include <optional>
#include <set>

namespace dunvale {
namespace {

using namespace dunvale::testing;

// The four staircases a fresh draw can give, in the order of the draw.
const StairLink freshLinks[4] = {
    {Direction::North, 4, 5}, // ordinal 1
    {Direction::South, 4, 4}, // ordinal 0
    {Direction::East, 5, 4},  // ordinal 3
    {Direction::West, 4, 4},  // ordinal 2
};

struct RunTable {
    int a, b;
    int px, py; // partner offset
    Direction partner;
};

RunTable runFor(Direction d) {
    switch (d) {
    case Direction::South: return {0, -1, 0, 1, Direction::North};
    case Direction::North: return {0, 1, 0, -1, Direction::South};
    case Direction::West: return {-1, 0, 1, 0, Direction::East};
    case Direction::East: return {1, 0, -1, 0, Direction::West};
    }
    return {};
}

StairLink partnerOf(StairLink link) {
    RunTable run = runFor(link.direction);
    return {run.partner, link.x + run.px, link.y + run.py};
}

// The five squares of one lane of the run, walking in the run's direction,
// starting two squares behind the link's square; lane 0 or 1 across.
std::array<std::array<int, 2>, 5> laneOf(StairLink link, int lane) {
    RunTable run = runFor(link.direction);
    std::array<std::array<int, 2>, 5> squares{};
    for (int step = -2; step <= 2; ++step) {
        int x = link.x + run.a * step + (run.a == 0 ? lane : 0);
        int y = link.y + run.b * step + (run.b == 0 ? lane : 0);
        squares[static_cast<size_t>(step + 2)] = {x, y};
    }
    return squares;
}

const Cell& cellOf(const Sector& s, std::array<int, 2> square) {
    return s.cells[static_cast<size_t>(square[0])][static_cast<size_t>(square[1])];
}

// A sector of the other level carrying a link, as the stairs generators read it.
std::unique_ptr<Sector> linkedSector(SectorKind kind, std::optional<StairLink> up,
                                     std::optional<StairLink> down) {
    auto sector = filledSector(Terrain::Floor, kind);
    sector->upLink = up;
    sector->downLink = down;
    return sector;
}

// The run's squares climb 1, 2, 3, 3 below and lie -3, -3, -2, -1 above.
const int under[4] = {1, 2, 3, 3};
const int over[4] = {-3, -3, -2, -1};

// Stairs up built under a staircase down carrying `link`, then the staircase
// down built again over them, for every direction.
TEST(StairsGeneration, StairsUpAndTheirPartnerAboveForEveryDirection) {
    for (const StairLink& link : freshLinks) {
        SCOPED_TRACE(static_cast<int>(link.direction));
        seedRandom(11);
        SectorTable table;
        putSector(table, {0, 0, 1}, linkedSector(SectorKind::StairsDown, std::nullopt, link));
        auto lower = std::make_unique<Sector>();
        EXPECT_EQ(lower->kind = stairsGenerator(*lower, 2, table, {0, 0, 0}, 1),
                  SectorKind::StairsUp);
        const Sector& sector = *lower;
        EXPECT_EQ(sector.upLink, partnerOf(link));
        EXPECT_FALSE(sector.downLink);
        for (int lane = 0; lane <= 1; ++lane) {
            auto squares = laneOf(link, lane);
            for (int i = 0; i < 4; ++i) {
                EXPECT_EQ(cellOf(sector, squares[i]).terrain, Terrain::Floor);
                EXPECT_EQ(cellOf(sector, squares[i]).elevation, under[i]) << "step " << i;
            }
            EXPECT_EQ(cellOf(sector, squares[4]).terrain, Terrain::Wall);
        }
        // Walled in on both sides along the whole run; the hall is open elsewhere.
        RunTable run = runFor(link.direction);
        for (int step = -2; step <= 2; ++step)
            for (int across : {-1, 2}) {
                int x = run.a == 0 ? link.x + across : link.x + step;
                int y = run.a == 0 ? link.y + step : link.y + across;
                EXPECT_EQ(terrainAt(sector.cells, x, y), Terrain::Wall) << x << "," << y;
            }
        int walls = 0;
        for (int x = 1; x <= 8; ++x)
            for (int y = 1; y <= 8; ++y)
                walls += terrainAt(sector.cells, x, y) == Terrain::Wall;
        EXPECT_EQ(walls, 12) << picture(sector.cells);

        // The partner above lies over the run and links back.
        table = SectorTable{};
        putSector(table, {0, 0, 0}, std::move(lower));
        Sector above;
        EXPECT_EQ(stairsGenerator(above, 3, table, {0, 0, 1}, -1), SectorKind::StairsDown);
        EXPECT_EQ(above.downLink, link) << "the partner of the partner is the link";
        for (int lane = 0; lane <= 1; ++lane) {
            auto squares = laneOf(link, lane);
            for (int i = 0; i < 4; ++i) {
                EXPECT_EQ(cellOf(above, squares[i]).elevation, over[i]) << "step " << i;
                EXPECT_EQ(cellOf(above, squares[i]).terrain, Terrain::Floor);
            }
        }
    }
}

TEST(StairsGeneration, FreshStairsDrawTheirLinkAfterTheOpenings) {
    std::set<int> seen;
    for (int seed = 1; seed <= 200; ++seed) {
        for (int sign : {1, -1}) {
            seedRandom(seed);
            SectorTable table;
            Sector sector;
            SectorKind kind;
            RandomState after = runThenRewind([&] {
                kind = stairsGenerator(sector, 1 + seed % 4, table, {7, 7, 0}, sign);
            });
            CellGrid openings = wallGrid();
            replayOpenSides(openings, 1 + seed % 4, 2);
            int d = randomBelow(4);
            ASSERT_TRUE(sameState(after, randomGenerator));
            seen.insert(d);
            StairLink expectedPartner = partnerOf(freshLinks[d]);
            EXPECT_EQ(kind, sign > 0 ? SectorKind::StairsUp : SectorKind::StairsDown);
            EXPECT_EQ(sign > 0 ? sector.upLink : sector.downLink, expectedPartner);
            for (int i = 0; i < 10; ++i)
                for (auto [x, y] : {std::pair{i, 0}, {i, 9}, {0, i}, {9, i}})
                    EXPECT_EQ(terrainAt(sector.cells, x, y), terrainAt(openings, x, y));
            // Stairs down go down: the run's squares are -1, -2, -3, -3.
            auto squares = laneOf(freshLinks[d], 0);
            EXPECT_EQ(cellOf(sector, squares[0]).elevation, sign);
            EXPECT_EQ(cellOf(sector, squares[3]).elevation, 3 * sign);
        }
    }
    EXPECT_EQ(seen.size(), 4u);
}

TEST(StairsGeneration, OtherKindOnTheOtherLevelGivesAPlainMaze) {
    const std::pair<int, SectorKind> cases[] = {{1, SectorKind::Maze},
                                                {1, SectorKind::StairsUp},
                                                {-1, SectorKind::StairsDown},
                                                {-1, SectorKind::SpiralStaircase},
                                                {1, SectorKind::Entrance}};
    for (const auto& c : cases)
        for (int seed = 1; seed <= 10; ++seed) {
            const int sign = c.first; // lambdas below cannot capture a binding
            const SectorKind other = c.second;
            seedRandom(seed);
            SectorTable table;
            putSector(table, {0, 0, sign}, linkedSector(other, freshLinks[0], freshLinks[1]));
            Sector sector;
            CellGrid expected = wallGrid();
            EXPECT_TRUE(matchesReplay(
                sector.cells, expected,
                [&] {
                    EXPECT_EQ(stairsGenerator(sector, 2, table, {0, 0, 0}, sign), SectorKind::Maze);
                },
                [&] { replayPlainMaze(expected, 2, 2); }));
            EXPECT_FALSE(sector.upLink);
            EXPECT_FALSE(sector.downLink);
        }
}

TEST(StairsGeneration, StairsUpAtLevelZeroMakeTheirPartnerAbove) {
    for (int seed = 1; seed <= 20; ++seed) {
        seedRandom(seed);
        SectorTable table;
        buildSector(table, {2, -3, 0}, 2, Generator::StairsUp);
        const Sector* below = findSector(table, {2, -3, 0});
        const Sector* above = findSector(table, {2, -3, 1});
        ASSERT_NE(above, nullptr);
        EXPECT_EQ(below->kind, SectorKind::StairsUp);
        EXPECT_EQ(above->kind, SectorKind::StairsDown);
        ASSERT_TRUE(below->upLink && above->downLink);
        EXPECT_EQ(partnerOf(*above->downLink), *below->upLink);
        EXPECT_GE(above->creatures.size(), 2u) << "the partner is filled too";
        auto squares = laneOf(*above->downLink, 1);
        EXPECT_EQ(cellOf(*below, squares[3]).elevation, 3);
        EXPECT_EQ(cellOf(*above, squares[3]).elevation, -1);
    }
}

TEST(StairsGeneration, AnExistingPartnerIsLeftAlone) {
    seedRandom(9);
    SectorTable table;
    Sector& above = putSector(table, {0, 0, 1},
                              linkedSector(SectorKind::StairsDown, std::nullopt, freshLinks[2]));
    above.cells[0][0].lastSeen = 17;
    CellGrid before = above.cells;
    buildSector(table, {0, 0, 0}, 2, Generator::StairsUp);
    EXPECT_EQ(findSector(table, {0, 0, 0})->kind, SectorKind::StairsUp);
    EXPECT_EQ(findSector(table, {0, 0, 1})->cells, before);
    EXPECT_TRUE(findSector(table, {0, 0, 1})->creatures.empty());
}

TEST(StairsGeneration, LinkOutsideTheSectorIsOutOfBounds) {
    SectorTable table;
    putSector(table, {0, 0, 1},
              linkedSector(SectorKind::StairsDown, std::nullopt, StairLink{Direction::East, 9, 9}));
    Sector sector;
    seedRandom(1);
    EXPECT_EQ(raisedBy([&] {
                  stairsGenerator(sector, 1, table, {0, 0, 0}, 1);
              }),
              (Raised{"Out of bounds error", errorCode::outOfBounds}));
}

// The walking orders and patterns of the spiral cuts, line by line.
struct SpiralCase {
    Direction direction;
    bool upward;
    bool outerIsX;
    int outer[6];
    int inner[3];
};
const SpiralCase spiralCases[] = {
    {Direction::South, true, false, {2, 3, 4, 5, 6, 7}, {7, 6, 5}},
    {Direction::South, false, false, {2, 3, 4, 5, 6, 7}, {4, 3, 2}},
    {Direction::North, true, false, {7, 6, 5, 4, 3, 2}, {2, 3, 4}},
    {Direction::North, false, false, {7, 6, 5, 4, 3, 2}, {5, 6, 7}},
    {Direction::West, true, true, {2, 3, 4, 5, 6, 7}, {2, 3, 4}},
    {Direction::West, false, true, {2, 3, 4, 5, 6, 7}, {5, 6, 7}},
    {Direction::East, true, true, {7, 6, 5, 4, 3, 2}, {7, 6, 5}},
    {Direction::East, false, true, {7, 6, 5, 4, 3, 2}, {4, 3, 2}},
};
constexpr int W = 99;
const int upwardValues[18] = {W, W, W, W, 3, W, W, 3, W, W, 2, W, W, 1, 0, W, W, 0};
const int downwardValues[18] = {W, W, W, W, -3, W, W, -3, W, W, -2, W, 0, -1, W, 0, W, W};

void expectCut(const Sector& sector, const SpiralCase& k) {
    const int* values = k.upward ? upwardValues : downwardValues;
    int i = 0;
    for (int outer : k.outer)
        for (int inner : k.inner) {
            int x = k.outerIsX ? outer : inner;
            int y = k.outerIsX ? inner : outer;
            const Cell& cell = sector.cells[static_cast<size_t>(x)][static_cast<size_t>(y)];
            EXPECT_EQ(cell.terrain, values[i] == W ? Terrain::Wall : Terrain::Floor)
                << x << "," << y;
            if (values[i] != W) {
                EXPECT_EQ(cell.elevation, values[i]) << x << "," << y;
            }
            ++i;
        }
}

TEST(SpiralStaircase, CutsWalkTheirSquaresInOrderForEveryDirection) {
    for (const SpiralCase& k : spiralCases) {
        seedRandom(21);
        SectorTable table;
        // The linked neighbour carries the reversed direction; the other one
        // is a maze, so the spiral goes only the linked way.
        StairLink carried{reversed(k.direction), 5, 5};
        std::optional<StairLink> none;
        SectorCoord linkedAt{0, 0, k.upward ? 1 : -1};
        putSector(table, linkedAt,
                  linkedSector(SectorKind::SpiralStaircase, k.upward ? none : carried,
                               k.upward ? carried : none));
        putSector(table, {0, 0, -linkedAt.sz}, filledSector(Terrain::Floor, SectorKind::Maze));
        Sector sector;
        EXPECT_EQ(spiralStaircaseGenerator(sector, 1, table, {0, 0, 0}),
                  SectorKind::SpiralStaircase);
        StairLink expected{k.direction, 5, 5};
        EXPECT_EQ(sector.upLink, k.upward ? std::optional(expected) : none);
        EXPECT_EQ(sector.downLink, k.upward ? none : std::optional(expected));
        expectCut(sector, k);
    }
}

TEST(SpiralStaircase, LinkFromBelowWinsWhenBothLevelsAreLinked) {
    seedRandom(22);
    SectorTable table;
    putSector(
        table, {0, 0, 1},
        linkedSector(SectorKind::SpiralStaircase, std::nullopt, StairLink{Direction::South, 5, 5}));
    putSector(
        table, {0, 0, -1},
        linkedSector(SectorKind::SpiralStaircase, StairLink{Direction::West, 3, 6}, std::nullopt));
    Sector sector;
    RandomState after = runThenRewind([&] {
        spiralStaircaseGenerator(sector, 1, table, {0, 0, 0});
    });
    StairLink fromBelow{Direction::East, 3, 6};
    EXPECT_EQ(sector.upLink, fromBelow);
    EXPECT_EQ(sector.downLink, fromBelow);
    expectCut(sector, spiralCases[6]);
    expectCut(sector, spiralCases[7]);
    // Only the openings drew: exits 3, gap count 3.
    CellGrid openings = wallGrid();
    replayOpenSides(openings, 3, 3);
    EXPECT_TRUE(sameState(after, randomGenerator));
}

TEST(SpiralStaircase, FreeColumnDrawsOrientationThenDownThenUp) {
    std::set<std::pair<bool, bool>> seen;
    for (int seed = 1; seed <= 300; ++seed) {
        seedRandom(seed);
        SectorTable table;
        Sector sector;
        SectorKind kind;
        int exits = 1 + seed % 4;
        RandomState after = runThenRewind([&] {
            kind = spiralStaircaseGenerator(sector, exits, table, {1, 2, 3});
        });
        int d = randomBelow(4);
        int downDraw = randomBelow(4);
        int upDraw = randomBelow(4);
        bool down = downDraw != 2;
        bool up = upDraw != 2;
        seen.insert({up, down});
        CellGrid expected = wallGrid();
        if (!up && !down) {
            EXPECT_EQ(kind, SectorKind::Maze);
            replayPlainMaze(expected, exits, 2);
            EXPECT_TRUE(sameTerrain(sector.cells, expected));
            EXPECT_FALSE(sector.upLink || sector.downLink);
        } else {
            EXPECT_EQ(kind, SectorKind::SpiralStaircase);
            replayOpenSides(expected, 3, 3);
            StairLink link{static_cast<Direction>(d), 5, 5};
            EXPECT_EQ(sector.upLink, up ? std::optional(link) : std::nullopt);
            EXPECT_EQ(sector.downLink, down ? std::optional(link) : std::nullopt);
            for (const SpiralCase& k : spiralCases)
                if (k.direction == link.direction && ((k.upward && up) || (!k.upward && down)))
                    expectCut(sector, k);
        }
        ASSERT_TRUE(sameState(after, randomGenerator));
    }
    EXPECT_EQ(seen.size(), 4u);
}

TEST(SpiralStaircase, OtherSectorsStopTheColumnWithoutDirectionDraws) {
    for (int seed = 1; seed <= 20; ++seed) {
        seedRandom(seed);
        SectorTable table;
        // A spiral without the matching link stops the column just as well.
        putSector(table, {0, 0, 1},
                  linkedSector(SectorKind::SpiralStaircase, freshLinks[0], std::nullopt));
        putSector(table, {0, 0, -1}, filledSector(Terrain::Floor, SectorKind::StairsUp));
        Sector sector;
        CellGrid expected = wallGrid();
        EXPECT_TRUE(matchesReplay(
            sector.cells, expected,
            [&] {
                EXPECT_EQ(spiralStaircaseGenerator(sector, 2, table, {0, 0, 0}), SectorKind::Maze);
            },
            [&] {
                randomBelow(4); // the orientation is drawn all the same
                replayPlainMaze(expected, 2, 2);
            }));
    }
}

TEST(SpiralStaircase, SectorAboveCutsItsWayDownOverTheWayUp) {
    std::set<Direction> seen;
    for (int seed = 1; seen.size() < 4 && seed <= 500; ++seed) {
        seedRandom(seed);
        SectorTable table;
        putSector(table, {0, 0, -1}, filledSector(Terrain::Floor, SectorKind::Maze));
        buildSector(table, {0, 0, 0}, 2, Generator::SpiralStaircase);
        const Sector* below = findSector(table, {0, 0, 0});
        if (below->kind != SectorKind::SpiralStaircase) continue;
        ASSERT_TRUE(below->upLink);
        Direction d = below->upLink->direction;
        seen.insert(d);
        const Sector* above = findSector(table, {0, 0, 1});
        ASSERT_NE(above, nullptr);
        EXPECT_EQ(above->kind, SectorKind::SpiralStaircase);
        ASSERT_TRUE(above->downLink);
        EXPECT_EQ(above->downLink->direction, reversed(d));
        // Under the squares of heights 1, 2, 3, 3 lie -3, -3, -2, -1 above.
        auto up = spiralSquares(d, true);
        const size_t stair[4] = {13, 10, 7, 4};
        for (size_t i = 0; i < 4; ++i) {
            auto [x, y] = up[stair[i]];
            EXPECT_EQ(elevationAt(below->cells, x, y), under[i]);
            EXPECT_EQ(elevationAt(above->cells, x, y), over[i]);
        }
    }
    EXPECT_EQ(seen.size(), 4u);
}

} // namespace
} // namespace dunvale
