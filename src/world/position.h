#pragma once
#include "support/wrap.h"

#include <cstdint>

namespace dunvale {

// A sector is sectorSize x sectorSize squares.
constexpr int32_t sectorSize = 10;

// A sector's name: east-west, north-south and level. sx + 1 lies beyond
// square x = 9, sy + 1 beyond y = 9, sz + 1 is one level up.
struct SectorCoord {
    int32_t sx = 0;
    int32_t sy = 0;
    int32_t sz = 0;
    friend bool operator==(const SectorCoord&, const SectorCoord&) = default;
};

// A square: its sector and the column and row within it, both 0..9.
struct Position {
    SectorCoord sector;
    int32_t x = 0;
    int32_t y = 0;
    friend bool operator==(const Position&, const Position&) = default;
};

// Distances from the entrance: depth sets the strength of creatures and
// items, the trap distance sets trap chances and exploration gains.
int32_t depthOf(SectorCoord c);
int32_t trapDistanceOf(SectorCoord c);

namespace detail {
// One wrap of a square co-ordinate into 0..9, moving the sector number.
constexpr void wrapAxis(int32_t& square, int32_t& sector, int32_t delta) {
    if (delta == 0) return;
    const int32_t moved = square + delta;
    if (moved < 0) {
        square = moved + sectorSize;
        sector = wrapSub(sector, 1);
    } else if (moved > 9) {
        square = moved - sectorSize;
        sector = wrapAdd(sector, 1);
    } else {
        square = moved;
    }
}
} // namespace detail

// Adds the offsets with one wrap per axis (|dx|, |dy| <= 10); dz only
// changes the level. Inline: creatures and the map call it for every square
// they look at.
constexpr Position movePosition(Position p, int32_t dx, int32_t dy, int32_t dz) {
    detail::wrapAxis(p.x, p.sector.sx, dx);
    detail::wrapAxis(p.y, p.sector.sy, dy);
    p.sector.sz = wrapAdd(p.sector.sz, dz);
    return p;
}

} // namespace dunvale
