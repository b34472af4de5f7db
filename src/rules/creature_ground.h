#pragma once
// What ground each kind of creature may cross: the test a move puts to every
// square next to a creature, and the sets of squares a move looks at. Inline
// where a move asks it for every square.
#include "support/errors.h"
#include "world/sector_table.h"

#include <array>
#include <cstdint>
#include <limits>

namespace dunvale {

// Whether the ground of a square (not an opening) lets a creature stand.
constexpr bool groundAllows(Terrain terrain, bool flying, bool undead) {
    switch (terrain) {
    case Terrain::Wall: return false;
    case Terrain::Floor: return true;
    case Terrain::Trapdoor:
    case Terrain::TeleportTrap:
    case Terrain::SmokeTrap: return flying;
    case Terrain::GasTrap: return flying || undead;
    }
    raiseMissingCase();
}

// A square's place in the tables of a MoveTest: eight bits for each level
// of elevation, -3 to 4, one for each terrain ordinal below eight. Cells
// that fall outside (a doctored file's) are unusual by themselves.
constexpr uint32_t groundIndex(uint32_t level, uint32_t terrain) {
    return level * 8 + terrain;
}

// What a move tests every square against: the rules of the creature's kind,
// and its trail.
struct MoveTest {
    bool flying = false;
    bool undead = false;
    bool wraith = false;
    // By groundIndex: the usual squares whose ground lets the kind stand,
    // and the squares that need a closer look (the openings to other levels,
    // for a wraith everything not level, and ground of no known kind).
    uint64_t ground = 0;
    uint64_t unusual = 0;
    // The trail keeps a creature on squares seen at least as recently as its
    // own; without one, every square is recent enough.
    int32_t startSeen = std::numeric_limits<int32_t>::min();
};

// The rules of a kind that moves by these flags, without a trail.
constexpr MoveTest moveTestBy(bool flying, bool undead, bool wraith) {
    MoveTest test;
    test.flying = flying;
    test.undead = undead;
    test.wraith = wraith;
    // Elevations -3, 3 and 4 or more; for a wraith also -2 and 2. Bit 0 is -3.
    const uint32_t unusualLevels = wraith ? 0b11100011u : 0b11000001u;
    for (uint32_t level = 0; level < 8; ++level) {
        for (uint32_t terrain = 0; terrain < 8; ++terrain) {
            const uint64_t bit = uint64_t{1} << groundIndex(level, terrain);
            if (((unusualLevels >> level) & 1u) != 0 || terrain >= terrainKindCount)
                test.unusual |= bit;
            else if (wraith || groundAllows(static_cast<Terrain>(terrain), flying, undead))
                test.ground |= bit;
        }
    }
    return test;
}

// The rules of a kind, without a trail.
constexpr MoveTest kindMoveTest(CreatureKind kind) {
    switch (kind) {
    case CreatureKind::Bat: return moveTestBy(true, false, false);
    case CreatureKind::GiantRat: return moveTestBy(false, false, false);
    case CreatureKind::GiantSpider: return moveTestBy(false, false, false);
    case CreatureKind::Skeleton: return moveTestBy(false, true, false);
    case CreatureKind::Wraith: return moveTestBy(true, true, true);
    case CreatureKind::Mummy: return moveTestBy(false, true, false);
    case CreatureKind::Vampire: return moveTestBy(true, true, false);
    }
    raiseMissingCase();
}

// squareFits for a square that is not level ground of a known kind.
bool unusualSquareFits(SectorTable& table, const MoveTest& test, const Cell& cell, bool occupied,
                       const Position& from, int32_t dx, int32_t dy);

// What the tables of a MoveTest say of a Cell's ground. Usual ground is
// judged by them alone; Unusual needs unusualSquareFits.
enum class Ground { Closed, Open, Unusual };

// The tables are passed on their own, so that a caller testing many squares
// may keep them at hand.
[[gnu::always_inline]] inline Ground groundOf(uint64_t ground, uint64_t unusual, const Cell& cell) {
    const uint32_t level = static_cast<uint32_t>(cell.elevation) + 3u; // 0..7 when -3..4
    const auto terrain = static_cast<uint32_t>(cell.terrain);
    if (((level | terrain) >> 3) != 0) [[unlikely]]
        return Ground::Unusual;
    const uint32_t index = groundIndex(level, terrain);
    if (((ground >> index) & 1u) != 0) return Ground::Open;
    return ((unusual >> index) & 1u) != 0 ? Ground::Unusual : Ground::Closed;
}

// Whether a creature at `from` may step onto the square (dx, dy) from it,
// whose Cell is `cell`; `occupied` says whether a creature of that square's
// sector's list stands there.
[[gnu::always_inline]] inline bool squareFits(SectorTable& table, const MoveTest& test,
                                              const Cell& cell, bool occupied, const Position& from,
                                              int32_t dx, int32_t dy) {
    switch (groundOf(test.ground, test.unusual, cell)) {
    case Ground::Closed: return false;
    case Ground::Open: return !occupied && test.startSeen <= cell.lastSeen;
    case Ground::Unusual: return unusualSquareFits(table, test, cell, occupied, from, dx, dy);
    }
    raiseMissingCase();
}

// The squares a move looks at, one bit each, (dx + 1) * 3 + dy + 1: the
// order of the bits is the order in which candidates are counted. The
// middle bit stands for the square above, which a flyer below the player
// may rise into.
using SquareSet = uint32_t;
constexpr int middleSquare = 4;
constexpr std::array<int32_t, 9> squareDx{-1, -1, -1, 0, 0, 0, 1, 1, 1};
constexpr std::array<int32_t, 9> squareDy{-1, 0, 1, -1, 0, 1, -1, 0, 1};

// The squares around (x, y) that lie in its own sector; not the middle,
// which stands for the square above.
constexpr SquareSet squaresInSector(int32_t x, int32_t y) {
    constexpr SquareSet all = 0b111'101'111;
    if (x > 0 && x < sectorSize - 1 && y > 0 && y < sectorSize - 1) return all;
    const SquareSet rows = (y > 0 ? 1u : 0u) | 2u | (y < sectorSize - 1 ? 4u : 0u);
    const SquareSet middleRow = rows & ~2u;
    return (x > 0 ? rows : 0u) | (middleRow << 3) | (x < sectorSize - 1 ? rows << 6 : 0u);
}

// Candidate squares, one bit each, and how many.
struct Candidates {
    SquareSet squares = 0;
    int32_t count = 0;
    // Without a branch: most squares are tested on their own.
    void add(bool fits, int square) {
        squares |= SquareSet{fits} << square;
        count += fits ? 1 : 0;
    }
    void add(Candidates other) {
        squares |= other.squares;
        count += other.count;
    }
};

// Of a creature's squares in its own sector: those of usual ground that it
// may step on, and those that need unusualSquareFits.
struct OwnSectorSquares {
    Candidates usual;
    SquareSet unusual = 0;
};

// Where a creature stands in its own sector: its column of Cells and its row
// in it; the Cells around lie at fixed distances from these, as do the
// counts around its own. Small enough to be passed in registers.
struct OwnSquare {
    const std::array<Cell, sectorSize>* column = nullptr;
    int32_t y = 0;
};

// Of `squares`, all in the creature's own sector, those of usual ground that
// it may step on, and those that need a closer look. Made for a move with
// and without a trail, and for all eight squares around or only some, each
// free of branches it does not need.
template <bool trail, bool all>
OwnSectorSquares fitsInOwnSector(const MoveTest& test, OwnSquare here, const uint16_t* count,
                                 SquareSet squares);

inline OwnSectorSquares fitsInOwnSector(const MoveTest& test, OwnSquare here, const uint16_t* count,
                                        SquareSet squares) {
    constexpr SquareSet allAround = 0b111'101'111;
    const bool trail = test.startSeen != std::numeric_limits<int32_t>::min();
    if (squares == allAround)
        return trail ? fitsInOwnSector<true, true>(test, here, count, squares)
                     : fitsInOwnSector<false, true>(test, here, count, squares);
    return trail ? fitsInOwnSector<true, false>(test, here, count, squares)
                 : fitsInOwnSector<false, false>(test, here, count, squares);
}

// For every set of squares, its squares in the order they are counted: the
// pick is one look-up.
using SquareOrder = std::array<std::array<uint8_t, 9>, 512>;
constexpr SquareOrder squareOrder() {
    SquareOrder order{};
    for (SquareSet squares = 0; squares < 512; ++squares) {
        size_t counted = 0;
        for (uint8_t square = 0; square < 9; ++square)
            if (((squares >> square) & 1u) != 0) order[squares][counted++] = square;
    }
    return order;
}
inline constexpr SquareOrder squaresInOrder = squareOrder();

// The candidate counted `pick` from the first.
inline int pickedSquare(SquareSet squares, int32_t pick) {
    return squaresInOrder[squares][static_cast<size_t>(pick)];
}

} // namespace dunvale
