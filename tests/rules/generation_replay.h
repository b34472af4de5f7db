#pragma once
// Expected layouts for the generation tests, worked out by drawing from the
// random generator in the order the rules name, one step at a time.
#include "rules/generators.h"
#include "rules/map.h"
#include "support/random.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace dunvale::testing {

inline CellGrid wallGrid() {
    return CellGrid{};
}

inline Terrain terrainAt(const CellGrid& cells, int x, int y) {
    return cells[static_cast<size_t>(x)][static_cast<size_t>(y)].terrain;
}

inline int elevationAt(const CellGrid& cells, int x, int y) {
    return cells[static_cast<size_t>(x)][static_cast<size_t>(y)].elevation;
}

inline void setTerrain(CellGrid& cells, int x, int y, Terrain terrain) {
    cells[static_cast<size_t>(x)][static_cast<size_t>(y)].terrain = terrain;
}

// Rows top to bottom: '#' wall, '.' floor, '^' any trap or trapdoor.
inline std::string picture(const CellGrid& cells) {
    std::string out;
    for (int y = 0; y < 10; ++y) {
        for (int x = 0; x < 10; ++x) {
            Terrain t = terrainAt(cells, x, y);
            out += t == Terrain::Wall ? '#' : t == Terrain::Floor ? '.' : '^';
        }
        out += '\n';
    }
    return out;
}

inline bool sameTerrain(const CellGrid& a, const CellGrid& b) {
    for (int x = 0; x < 10; ++x)
        for (int y = 0; y < 10; ++y)
            if (terrainAt(a, x, y) != terrainAt(b, x, y)) return false;
    return true;
}

inline bool sameState(const RandomState& a, const RandomState& b) {
    return a.ring == b.ring && a.write == b.write && a.previous == b.previous && a.far == b.far;
}

// The sides in the order they are offered, with their square ranges.
struct SideRange {
    char name; // 'S' y = 9, 'E' x = 9, 'N' y = 0, 'W' x = 0
    int x0, x1, y0, y1;
};
inline const SideRange southSide{'S', 0, 9, 9, 9};
inline const SideRange eastSide{'E', 9, 9, 0, 9};
inline const SideRange northSide{'N', 0, 9, 0, 0};
inline const SideRange westSide{'W', 0, 0, 0, 9};

inline void replayOpening(CellGrid& cells, const SideRange& side, int gaps) {
    int k = randomBelow(gaps);
    for (int i = 0; i < k + 1; ++i) {
        int x = randomIn(side.x0, side.x1);
        int y = randomIn(side.y0, side.y1);
        setTerrain(cells, x, y, Terrain::Floor);
    }
}

// Returns the names of the sides opened, in order.
inline std::string replayOpenSides(CellGrid& cells, int exits, int gaps) {
    std::string opened;
    int owed = exits;
    int first = randomBelow(4);
    if (first < owed) {
        replayOpening(cells, southSide, gaps);
        opened += 'S';
        owed -= 1;
    }
    int second = randomBelow(3);
    if (second < owed) {
        replayOpening(cells, eastSide, gaps);
        opened += 'E';
        owed -= 1;
    }
    int third = randomBelow(2);
    if (third < owed) {
        replayOpening(cells, northSide, gaps);
        opened += 'N';
        owed -= 1;
    }
    if (owed > 0) {
        replayOpening(cells, westSide, gaps);
        opened += 'W';
    }
    return opened;
}

inline void replayFloorRect(CellGrid& cells, int x0, int y0, int x1, int y1) {
    for (int x = x0; x <= x1; ++x)
        for (int y = y0; y <= y1; ++y)
            setTerrain(cells, x, y, Terrain::Floor);
}

// Corridors of a plain maze from the openings present now, top and bottom
// of each column first, then the ends of each row.
inline void replayPlainCorridors(CellGrid& cells) {
    for (int x = 1; x <= 8; ++x) {
        if (terrainAt(cells, x, 0) != Terrain::Wall) {
            int r = randomIn(2, 8);
            replayFloorRect(cells, x, 1, x, r);
        }
        if (terrainAt(cells, x, 9) != Terrain::Wall) {
            int r = randomIn(1, 7);
            replayFloorRect(cells, x, r, x, 8);
        }
    }
    for (int y = 1; y <= 8; ++y) {
        if (terrainAt(cells, 0, y) != Terrain::Wall) {
            int r = randomIn(2, 8);
            replayFloorRect(cells, 1, y, r, y);
        }
        if (terrainAt(cells, 9, y) != Terrain::Wall) {
            int r = randomIn(1, 7);
            replayFloorRect(cells, r, y, 8, y);
        }
    }
}

inline void replayPlainMaze(CellGrid& cells, int exits, int gaps) {
    replayOpenSides(cells, exits, gaps);
    replayPlainCorridors(cells);
}

// A creature's level drawn from the depth, pulled back when it lies too far
// above the depth; tells whether it was.
inline int replayCreatureLevel(int depth, bool* pulledBack = nullptr) {
    int m = randomIn(1, 3 * depth / 2);
    int level = m + 1;
    if (level > depth + 5) {
        int loss = randomIn(1, depth / 2);
        level -= loss;
        if (pulledBack != nullptr) *pulledBack = true;
    }
    return level;
}

// Runs `action` from the current generator state, then rewinds the state so
// that a replay can draw the same numbers; returns the state the action left.
template <typename Action> RandomState runThenRewind(Action action) {
    RandomState before = randomGenerator;
    action();
    RandomState after = randomGenerator;
    randomGenerator = before;
    return after;
}

// Runs `make`, rewinds the generator and runs `replay`: both must draw alike
// and leave `made` and `expected` with the same terrain. The generator is
// left where the replay left it.
template <typename Make, typename Replay>
::testing::AssertionResult matchesReplay(const CellGrid& made, const CellGrid& expected, Make make,
                                         Replay replay) {
    RandomState after = runThenRewind(make);
    replay();
    if (!sameState(after, randomGenerator)) return ::testing::AssertionFailure() << "draws differ";
    if (!sameTerrain(made, expected))
        return ::testing::AssertionFailure() << picture(made) << "expected\n" << picture(expected);
    return ::testing::AssertionSuccess();
}

// Whether any square of a side (S, E, N or W) is not wall.
inline bool sideHasFloor(const CellGrid& cells, char side) {
    for (int i = 0; i < 10; ++i) {
        int x = side == 'E' ? 9 : side == 'W' ? 0 : i;
        int y = side == 'S' ? 9 : side == 'N' ? 0 : i;
        if (terrainAt(cells, x, y) != Terrain::Wall) return true;
    }
    return false;
}

} // namespace dunvale::testing
