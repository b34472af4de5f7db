// Building a sector: a new all-rock sector takes over the openings of the
// neighbours already there, a generator lays it out, and it is filled.
#include "rules/generate.h"

#include "rules/contents.h"
#include "rules/generators.h"
#include "rules/store.h"
#include "support/errors.h"
#include "support/random.h"
#include "support/wrap.h"

#include <memory>

namespace dunvale {

namespace {

// Facing border squares: a wall facing open ground gives way. Either side
// may be the one that changes.
void matchSquares(Cell& mine, Cell& theirs) {
    bool mineWall = mine.terrain == Terrain::Wall;
    bool theirsWall = theirs.terrain == Terrain::Wall;
    if (mineWall && !theirsWall)
        mine.terrain = Terrain::Floor;
    else if (theirsWall && !mineWall)
        theirs.terrain = Terrain::Floor;
}

void matchBorders(SectorTable& table, SectorCoord c, Sector& sector) {
    CellGrid& mine = sector.cells;
    if (Sector* west = findSector(table, {wrapSub(c.sx, 1), c.sy, c.sz}))
        for (size_t y = 0; y < sectorSize; ++y)
            matchSquares(mine[0][y], west->cells[9][y]);
    if (Sector* east = findSector(table, {wrapAdd(c.sx, 1), c.sy, c.sz}))
        for (size_t y = 0; y < sectorSize; ++y)
            matchSquares(mine[9][y], east->cells[0][y]);
    if (Sector* north = findSector(table, {c.sx, wrapSub(c.sy, 1), c.sz}))
        for (size_t x = 0; x < sectorSize; ++x)
            matchSquares(mine[x][0], north->cells[x][9]);
    if (Sector* south = findSector(table, {c.sx, wrapAdd(c.sy, 1), c.sz}))
        for (size_t x = 0; x < sectorSize; ++x)
            matchSquares(mine[x][9], south->cells[x][0]);
}

int32_t gapCountFor(int32_t b) {
    return b < 2 ? 1 : b < 7 ? 2 : 3;
}

SectorKind chooseAndGenerate(Sector& sector, int32_t exits, SectorTable& table, SectorCoord c) {
    int32_t a = randomBelow(10);
    int32_t b = randomBelow(10);
    if (a == 0) {
        if (b <= 3) return stairsGenerator(sector, exits, table, c, 1);
        if (b <= 7) return stairsGenerator(sector, exits, table, c, -1);
        return spiralStaircaseGenerator(sector, exits, table, c);
    }
    if (a == 1) return unstableTunnelsGenerator(sector, exits, table, c);
    Painter painter = a <= 3 ? Painter::Chamber : Painter::Plain;
    return mazeGenerator(sector, exits, gapCountFor(b), painter);
}

SectorKind generate(Generator generator, Sector& sector, int32_t exits, SectorTable& table,
                    SectorCoord c) {
    switch (generator) {
    case Generator::Entrance: return entranceGenerator(sector, exits);
    case Generator::MazeChooser: return chooseAndGenerate(sector, exits, table, c);
    case Generator::StairsUp: return stairsGenerator(sector, exits, table, c, 1);
    case Generator::StairsDown: return stairsGenerator(sector, exits, table, c, -1);
    case Generator::SpiralStaircase: return spiralStaircaseGenerator(sector, exits, table, c);
    // The floor under unstable tunnels always opens all four sides.
    case Generator::UnstableBase: return mazeGenerator(sector, 4, 4, Painter::Plain);
    }
    raiseMissingCase();
}

} // namespace

int32_t drawExits() {
    int32_t r = randomBelow(20);
    if (r < 2) return 1;
    if (r < 8) return 2;
    if (r < 16) return 3;
    return 4;
}

void ensureSector(SectorTable& table, SectorCoord c, Generator generator) {
    if (hasSlot(table, c)) return;
    int32_t exits = drawExits();
    buildSector(table, c, exits, generator);
}

void buildSector(SectorTable& table, SectorCoord c, int32_t exits, Generator generator) {
    auto sector = std::make_unique<Sector>();
    matchBorders(table, c, *sector);
    sector->kind = generate(generator, *sector, exits, table, c);
    Sector& placed = putSector(table, c, std::move(sector));
    fillSector(table, c, placed);
}

LevelRecord newLabyrinth(GameStore& store) {
    LevelRecord level;
    level.sectors.store = &store;
    level.turn = 1;
    SectorCoord entrance{0, 0, 0};
    buildSector(level.sectors, entrance, 4, Generator::Entrance);
    makeCurrent(level.sectors, entrance);
    return level;
}

} // namespace dunvale
