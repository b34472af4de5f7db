// Mazes: which sides open and where, and the corridors and chambers laid
// between the openings.
#include "rules/generation_replay.h"
#include "rules/generators.h"
#include "support/random.h"

#include <gtest/gtest.h>

#include <array>
#include <map>
#include <set>
#include <string>
#include <vector>

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

// Exactly as the replay draws; besides, min(exits, 4) sides open, each with
// 1 to `gaps` openings, and every count up to `gaps` comes up.
TEST(SideOpening, DrawsSidesAndSquaresInOrder) {
    for (int exits = 1; exits <= 4; ++exits)
        for (int gaps = 1; gaps <= 4; ++gaps) {
            size_t most = 0;
            for (int seed = 1; seed <= 100; ++seed) {
                seedRandom(seed * 7919 + exits * 31 + gaps);
                CellGrid made = wallGrid();
                CellGrid expected = wallGrid();
                std::string opened;
                ASSERT_TRUE(matchesReplay(
                    made, expected, [&] { openSides(made, exits, gaps); },
                    [&] { opened = replayOpenSides(expected, exits, gaps); }))
                    << "exits " << exits << " gaps " << gaps << " seed " << seed;
                EXPECT_EQ(opened.size(), static_cast<size_t>(exits));
                for (char side : opened)
                    EXPECT_TRUE(sideHasFloor(made, side)) << side;
                size_t squares = floorSquares(made).size();
                EXPECT_GE(squares, 1u);
                EXPECT_LE(squares, opened.size() * static_cast<size_t>(gaps));
                if (exits == 1) most = std::max(most, squares);
            }
            if (exits == 1) {
                EXPECT_EQ(most, static_cast<size_t>(gaps)) << "gaps " << gaps;
            }
        }
}

// One long run each: the first draws after seeding with neighbouring seeds
// are themselves alike, so reseeding each time would measure the seeding.
// Squares on a corner lie on two sides and are left out of the count.
TEST(SideOpening, EverySetOfSidesComesUpAlike) {
    struct Case {
        int exits, seed, runs;
        size_t sets;
    };
    for (const Case& c : {Case{1, 4242, 8000, 4}, Case{2, 4243, 12000, 6}}) {
        std::map<std::string, int> counts;
        int samples = 0;
        seedRandom(c.seed);
        for (int run = 1; run <= c.runs; ++run) {
            CellGrid cells = wallGrid();
            openSides(cells, c.exits, 1);
            auto squares = floorSquares(cells);
            if (c.exits == 1) {
                ASSERT_EQ(squares.size(), 1u);
            }
            std::set<char> sides;
            bool clean = true;
            for (auto square : squares) {
                std::string s = sidesOf(square[0], square[1]);
                ASSERT_FALSE(s.empty()) << "openings lie on the border";
                clean = clean && s.size() == 1;
                sides.insert(s.begin(), s.end());
            }
            if (!clean) continue;
            ASSERT_EQ(sides.size(), static_cast<size_t>(c.exits));
            counts[std::string(sides.begin(), sides.end())]++;
            ++samples;
        }
        ASSERT_EQ(counts.size(), c.sets);
        for (const auto& [set, count] : counts)
            EXPECT_NEAR(static_cast<double>(count) / samples, 1.0 / c.sets, 0.03) << set;
    }
}

TEST(MazeLayout, CorridorsRunInwardFromEveryNonCornerOpening) {
    for (Painter painter : {Painter::Plain, Painter::Chamber})
        for (int seed = 1; seed <= 400; ++seed) {
            seedRandom(seed);
            CellGrid cells = wallGrid();
            layOutMaze(cells, 1 + seed % 4, 1 + seed % 3, painter);
            auto open = [&](int x, int y) { return terrainAt(cells, x, y) != Terrain::Wall; };
            for (int i = 1; i <= 8; ++i) {
                EXPECT_TRUE(!open(i, 0) || (open(i, 1) && open(i, 2))) << picture(cells);
                EXPECT_TRUE(!open(i, 9) || (open(i, 7) && open(i, 8))) << picture(cells);
                EXPECT_TRUE(!open(0, i) || (open(1, i) && open(2, i))) << picture(cells);
                EXPECT_TRUE(!open(9, i) || (open(7, i) && open(8, i))) << picture(cells);
            }
        }
}

// Openings copied from neighbours, corners among them; only lines through
// openings are opened.
TEST(MazeLayout, PlainMazeMatchesReplayWithCopiedAndCornerOpenings) {
    for (int seed = 1; seed <= 200; ++seed) {
        seedRandom(seed);
        CellGrid made = wallGrid();
        for (auto [x, y] : {std::pair{0, 3}, {0, 7}, {0, 0}, {9, 9}})
            setTerrain(made, x, y, Terrain::Floor);
        CellGrid expected = made;
        int exits = 1 + seed % 4;
        int gaps = 1 + seed % 3;
        ASSERT_TRUE(matchesReplay(
            made, expected, [&] { layOutMaze(made, exits, gaps, Painter::Plain); },
            [&] { replayPlainMaze(expected, exits, gaps); }));
        EXPECT_EQ(terrainAt(made, 1, 3), Terrain::Floor);
        EXPECT_EQ(terrainAt(made, 2, 7), Terrain::Floor);
        auto open = [&](int x, int y) { return terrainAt(made, x, y) != Terrain::Wall; };
        for (int x = 1; x <= 8; ++x)
            for (int y = 1; y <= 8; ++y)
                EXPECT_TRUE(!open(x, y) || open(x, 0) || open(x, 9) || open(0, y) || open(9, y))
                    << x << "," << y << "\n"
                    << picture(made);
    }
}

TEST(MazeLayout, ChamberLiesAroundTheCorridorsFarCorner) {
    // The corridor x0, y0, x1, y1, then the chamber's left, top, right, bottom.
    const int cases[][8] = {
        {4, 1, 4, 5, 3, 4, 5, 6}, // from the y = 0 side: inner end
        {4, 3, 4, 8, 3, 7, 5, 9}, // from the y = 9 side: border end, clipped by nothing
        {1, 1, 1, 1, 0, 0, 2, 2},
        {1, 8, 8, 8, 7, 7, 9, 9},
    };
    for (const auto& c : cases) {
        CellGrid cells = wallGrid();
        paintCorridor(cells, Painter::Chamber, c[0], c[1], c[2], c[3]);
        for (int x = 0; x < 10; ++x)
            for (int y = 0; y < 10; ++y) {
                bool corridor = x >= c[0] && x <= c[2] && y >= c[1] && y <= c[3];
                bool chamber = x >= c[4] && x <= c[6] && y >= c[5] && y <= c[7];
                EXPECT_EQ(terrainAt(cells, x, y) == Terrain::Floor, corridor || chamber)
                    << x << "," << y;
            }
    }
}

} // namespace
} // namespace dunvale
