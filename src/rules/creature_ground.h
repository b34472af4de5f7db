#pragma once
// What ground each kind of creature may cross: the test a move puts to every
// square next to a creature. Inline where a move asks it for every square.
#include "support/errors.h"
#include "world/sector_table.h"

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

constexpr uint32_t terrainKinds = 6;

// What a move tests every square against: the rules of the creature's kind,
// and its trail.
struct MoveTest {
    bool flying = false;
    bool undead = false;
    bool wraith = false;
    // groundAllows by terrain ordinal, one bit each, for this kind.
    uint32_t ground = 0;
    // Elevations, one bit each for -3 to 3, that need a closer look: the
    // openings to other levels, and for a wraith everything not level.
    uint32_t unusual = 0;
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
    for (uint32_t terrain = 0; terrain < terrainKinds; ++terrain)
        if (wraith || groundAllows(static_cast<Terrain>(terrain), flying, undead))
            test.ground |= 1u << terrain;
    test.unusual = wraith ? 0b1100011u : 0b1000001u;
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

// Whether a creature at `from` may step onto the square (dx, dy) from it,
// whose Cell is `cell`; `occupied` says whether a creature of that square's
// sector's list stands there.
[[gnu::always_inline]] inline bool squareFits(SectorTable& table, const MoveTest& test,
                                              const Cell& cell, bool occupied, const Position& from,
                                              int32_t dx, int32_t dy) {
    const uint32_t level = static_cast<uint32_t>(cell.elevation) + 3u; // 0..6 when -3..3
    const auto terrain = static_cast<uint32_t>(cell.terrain);
    if (level > 6 || terrain >= terrainKinds || ((test.unusual >> level) & 1u) != 0) [[unlikely]]
        return unusualSquareFits(table, test, cell, occupied, from, dx, dy);
    return ((test.ground >> terrain) & 1u) != 0 && !occupied && test.startSeen <= cell.lastSeen;
}

} // namespace dunvale
