#include "rules/creature_ground.h"

#include "rules/creature_turn.h"
#include "rules/neighbourhood.h"
#include "support/wrap.h"

namespace dunvale {

namespace {

// The same square on the level an opening leads to, judged by its ground
// whatever its own elevation: one link is followed and no more, as the map
// window looks through an opening. The game never puts an opening over an
// opening; a doctored pair of sector files that did would otherwise send the
// test up and down for ever. The dead walk no better than the living there.
bool mayEnterThroughOpening(SectorTable& table, const Position& t, int32_t elevation, bool flying) {
    const Position there = movePosition(t, 0, 0, elevation / 3);
    const Sector* sector = sectorInMemory(table, there.sector);
    return sector != nullptr &&
           groundAllows(sector->cells[there.x][there.y].terrain, flying, false) &&
           !creatureOnSquare(*sector, there);
}

} // namespace

bool unusualSquareFits(SectorTable& table, const MoveTest& test, const Cell& cell, bool occupied,
                       const Position& from, int32_t dx, int32_t dy) {
    const int32_t elevation = cell.elevation;
    // Only level ground is offered to a wraith, so the openings it may pass
    // (elevation 3 or -3) never count here.
    if (test.wraith) return wrapAbs(elevation) <= 1 && !occupied;
    if (elevation == 3 || elevation == -3) {
        const Position t = movePosition(from, dx, dy, 0);
        if (!mayEnterThroughOpening(table, t, elevation, test.flying)) return false;
    } else if (!groundAllows(cell.terrain, test.flying, test.undead) || occupied) {
        return false;
    }
    return test.startSeen <= cell.lastSeen;
}

// Apart from the rest of a step, and free of calls, so that it has the
// registers to itself.
template <bool trail, bool all>
OwnSectorSquares fitsInOwnSector(const MoveTest& test, OwnSquare here, const uint16_t* count,
                                 SquareSet squares) {
    const std::array<Cell, sectorSize>* const column = here.column;
    const auto y = static_cast<size_t>(here.y);
    const uint64_t ground = test.ground;
    const uint64_t unusual = test.unusual;
    const int32_t startSeen = test.startSeen;
    OwnSectorSquares result;
#pragma GCC unroll 9
    for (int square = 0; square < 9; ++square) {
        if (square == middleSquare || (!all && ((squares >> square) & 1u) == 0)) continue;
        const int32_t dx = squareDx[static_cast<size_t>(square)];
        const int32_t dy = squareDy[static_cast<size_t>(square)];
        const Cell& cell = column[dx][y + static_cast<size_t>(dy)];
        switch (groundOf(ground, unusual, cell)) {
        case Ground::Closed: break;
        case Ground::Open:
            if (count[dx * sectorSize + dy] == 0 && (!trail || startSeen <= cell.lastSeen))
                result.usual.add(true, square);
            break;
        case Ground::Unusual: result.unusual |= SquareSet{1} << square; break;
        }
    }
    return result;
}

template OwnSectorSquares fitsInOwnSector<false, false>(const MoveTest&, OwnSquare, const uint16_t*,
                                                        SquareSet);
template OwnSectorSquares fitsInOwnSector<false, true>(const MoveTest&, OwnSquare, const uint16_t*,
                                                       SquareSet);
template OwnSectorSquares fitsInOwnSector<true, false>(const MoveTest&, OwnSquare, const uint16_t*,
                                                       SquareSet);
template OwnSectorSquares fitsInOwnSector<true, true>(const MoveTest&, OwnSquare, const uint16_t*,
                                                      SquareSet);

bool creatureMayEnter(SectorTable& table, Position t, bool flying, bool undead) {
    const Sector* sector = sectorInMemory(table, t.sector);
    if (sector == nullptr) return false;
    const Cell& cell = sector->cells[t.x][t.y];
    if (cell.elevation == 3 || cell.elevation == -3)
        return mayEnterThroughOpening(table, t, cell.elevation, flying);
    return groundAllows(cell.terrain, flying, undead) && !creatureOnSquare(*sector, t);
}

} // namespace dunvale
