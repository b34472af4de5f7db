#pragma once
// The 27 sectors around one sector, each found the first time something asks
// for it (and loaded from the store then, when it lies there): squares near
// the player cost an index instead of a search of the sector table, and the
// sectors are still looked up, loaded or found missing in the same order as
// square by square.
#include "rules/map.h"
#include "support/wrap.h"

#include <array>
#include <cstdint>

namespace dunvale {

class SectorWindow {
  public:
    SectorWindow(SectorTable& table, SectorCoord centre) : table(table), centre(centre) {}

    // Sectors -1, 0 or 1 from the centre on each axis.
    static size_t slotOf(int32_t sx, int32_t sy, int32_t sz) {
        return static_cast<size_t>((sx + 1) * 9 + (sy + 1) * 3 + sz + 1);
    }
    SectorCoord coordOf(size_t slot) const {
        const auto step = [](size_t n) { return static_cast<int32_t>(n) - 1; };
        return SectorCoord{wrapAdd(centre.sx, step(slot / 9)),
                           wrapAdd(centre.sy, step(slot / 3 % 3)),
                           wrapAdd(centre.sz, step(slot % 3))};
    }
    // As sectorAt: raises "Couldn't find" for a sector never made.
    Sector& sector(size_t slot) {
        Sector*& found = sectors[slot];
        if (found == nullptr) found = &sectorAt(table, coordOf(slot));
        return *found;
    }
    // The Cell of the square (x + dx, y + dy) of the centre sector, dz levels
    // up: cellAt(movePosition(...)) for |dx|, |dy| <= 10.
    Cell& cell(int32_t x, int32_t y, int32_t dx, int32_t dy, int32_t dz = 0) {
        const Lane column = laneOf(x + dx);
        const Lane row = laneOf(y + dy);
        return sector(slotOf(column.step, row.step, dz)).cells[column.square][row.square];
    }

    // As sector, but only a sector held in memory: null for one that is not,
    // which is neither loaded nor reported.
    Sector* heldSector(size_t slot) {
        Sector*& found = sectors[slot];
        if (found == nullptr) found = sectorInMemory(table, coordOf(slot));
        return found;
    }
    // The sector a slot was found to hold so far; null while none was.
    Sector* foundSector(size_t slot) const { return sectors[slot]; }

  private:
    struct Lane {
        int32_t step;
        int32_t square;
    };
    // One wrap of a square co-ordinate, as movePosition makes it.
    static Lane laneOf(int32_t moved) {
        if (moved < 0) return {-1, moved + sectorSize};
        if (moved >= sectorSize) return {1, moved - sectorSize};
        return {0, moved};
    }

    SectorTable& table;
    SectorCoord centre;
    std::array<Sector*, 27> sectors{};
};

} // namespace dunvale
