// Straight corridors cut into rock: the painters, the openings of the sides,
// the maze and chamber maze, the entrance and the unstable tunnels.
#include "rules/generate.h"
#include "rules/generators.h"
#include "support/random.h"
#include "support/wrap.h"

#include <algorithm>

namespace dunvale {

namespace {

void makeFloor(CellGrid& cells, int32_t x, int32_t y) {
    cells[static_cast<size_t>(x)][static_cast<size_t>(y)].terrain = Terrain::Floor;
}

bool isWall(const CellGrid& cells, int32_t x, int32_t y) {
    return cells[static_cast<size_t>(x)][static_cast<size_t>(y)].terrain == Terrain::Wall;
}

// k + 1 squares drawn along one side, k below the gap count; the fixed
// co-ordinate is drawn too, from its range of one value.
void openSide(CellGrid& cells, int32_t gaps, int32_t x0, int32_t x1, int32_t y0, int32_t y1) {
    int32_t k = randomBelow(gaps);
    for (int32_t i = 0; i <= k; ++i) {
        int32_t x = randomIn(x0, x1);
        int32_t y = randomIn(y0, y1);
        makeFloor(cells, x, y);
    }
}

} // namespace

void paintCorridor(CellGrid& cells, Painter painter, int32_t x0, int32_t y0, int32_t x1,
                   int32_t y1) {
    for (int32_t x = x0; x <= x1; ++x)
        for (int32_t y = y0; y <= y1; ++y)
            makeFloor(cells, x, y);
    if (painter == Painter::Plain) return;
    for (int32_t x = std::max(x1 - 1, 0); x <= std::min(x1 + 1, 9); ++x)
        for (int32_t y = std::max(y1 - 1, 0); y <= std::min(y1 + 1, 9); ++y)
            makeFloor(cells, x, y);
}

void openSides(CellGrid& cells, int32_t exits, int32_t gaps) {
    // Each side asks for one of the exits still owed with a chance that makes
    // every set of sides equally likely; the last side takes whatever is left.
    int32_t owed = exits;
    int32_t south = randomBelow(4);
    if (south < owed) {
        openSide(cells, gaps, 0, 9, 9, 9);
        owed = wrapSub(owed, 1);
    }
    int32_t east = randomBelow(3);
    if (east < owed) {
        openSide(cells, gaps, 9, 9, 0, 9);
        owed = wrapSub(owed, 1);
    }
    int32_t north = randomBelow(2);
    if (north < owed) {
        openSide(cells, gaps, 0, 9, 0, 0);
        owed = wrapSub(owed, 1);
    }
    if (owed > 0) openSide(cells, gaps, 0, 0, 0, 9);
}

void layOutMaze(CellGrid& cells, int32_t exits, int32_t gaps, Painter painter) {
    openSides(cells, exits, gaps);
    // Corner openings start nothing; every other opening, copied from a
    // neighbour or drawn here, gets a corridor of random length inward.
    for (int32_t x = 1; x <= 8; ++x) {
        if (!isWall(cells, x, 0)) {
            int32_t reach = randomIn(2, 8);
            paintCorridor(cells, painter, x, 1, x, reach);
        }
        if (!isWall(cells, x, 9)) {
            int32_t reach = randomIn(1, 7);
            paintCorridor(cells, painter, x, reach, x, 8);
        }
    }
    for (int32_t y = 1; y <= 8; ++y) {
        if (!isWall(cells, 0, y)) {
            int32_t reach = randomIn(2, 8);
            paintCorridor(cells, painter, 1, y, reach, y);
        }
        if (!isWall(cells, 9, y)) {
            int32_t reach = randomIn(1, 7);
            paintCorridor(cells, painter, reach, y, 8, y);
        }
    }
}

void openHall(CellGrid& cells) {
    for (int32_t x = 1; x <= 8; ++x)
        for (int32_t y = 1; y <= 8; ++y)
            makeFloor(cells, x, y);
}

SectorKind mazeGenerator(Sector& sector, int32_t exits, int32_t gaps, Painter painter) {
    layOutMaze(sector.cells, exits, gaps, painter);
    return painter == Painter::Plain ? SectorKind::Maze : SectorKind::ChamberMaze;
}

SectorKind entranceGenerator(Sector& sector, int32_t exits) {
    CellGrid& cells = sector.cells;
    // A ring just inside the border around a 4 x 4 room, joined corner to
    // corner; the player starts in the room.
    for (int32_t x = 1; x <= 8; ++x) {
        makeFloor(cells, x, 1);
        makeFloor(cells, x, 8);
    }
    for (int32_t y = 2; y <= 7; ++y) {
        makeFloor(cells, 1, y);
        makeFloor(cells, 8, y);
    }
    for (int32_t x = 3; x <= 6; ++x)
        for (int32_t y = 3; y <= 6; ++y)
            makeFloor(cells, x, y);
    makeFloor(cells, 2, 2);
    makeFloor(cells, 2, 7);
    makeFloor(cells, 7, 2);
    makeFloor(cells, 7, 7);
    openSides(cells, exits, 3);
    return SectorKind::Entrance;
}

SectorKind unstableTunnelsGenerator(Sector& sector, int32_t exits, SectorTable& table,
                                    SectorCoord c) {
    SectorCoord below{c.sx, c.sy, wrapSub(c.sz, 1)};
    ensureSector(table, below, Generator::UnstableBase);
    const Sector* lower = findSector(table, below);
    layOutMaze(sector.cells, exits, 3, Painter::Plain);
    // Holes only open over a plain maze, and only where both floors meet.
    if (lower == nullptr || lower->kind != SectorKind::Maze) return SectorKind::Maze;
    for (int tries = 0; tries < 30; ++tries) {
        int32_t x = randomIn(0, 9);
        int32_t y = randomIn(0, 9);
        Cell& here = sector.cells[static_cast<size_t>(x)][static_cast<size_t>(y)];
        const Cell& under = lower->cells[static_cast<size_t>(x)][static_cast<size_t>(y)];
        if (here.terrain != Terrain::Floor || under.terrain != Terrain::Floor) continue;
        int32_t hidden = randomBelow(2);
        if (hidden == 0)
            here.elevation = -3;
        else
            here.terrain = Terrain::Trapdoor;
    }
    return SectorKind::UnstableTunnels;
}

} // namespace dunvale
