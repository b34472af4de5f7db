// What a new sector holds: its first creatures, one find, hidden traps, and
// the sector at the other end of its staircase.
#include "rules/contents.h"

#include "rules/generate.h"
#include "rules/spawn.h"
#include "support/errors.h"
#include "support/random.h"
#include "support/wrap.h"
#include "world/item.h"

namespace dunvale {

namespace {

// A random weapon, armour, scroll or potion for a sector of depth d.
Item randomItem(int32_t depth) {
    // The thresholds are the squares 4, 9, 16, 25.
    int32_t spread = depth < 4 ? 0 : depth < 9 ? 1 : depth < 16 ? 2 : depth < 25 ? 3 : 4;
    int32_t grade = 0;
    if (spread > 0) grade = randomIn(0, spread);
    int32_t itemClass = randomIn(0, 3);
    return Item{static_cast<ItemClass>(itemClass), grade};
}

// A random heap of treasure for a sector of depth d.
Item randomTreasure(int32_t depth) {
    int32_t amount = randomIn(1, wrapMul(wrapAdd(depth, 1), 10));
    return Item{ItemClass::Treasure, amount};
}

// Only plain floor takes a trap, so traps never share a square and never
// cover a trapdoor; after 300 squares the trap is given up.
void placeTrap(Sector& sector, Terrain trap) {
    for (int tries = 0; tries < 300; ++tries) {
        int32_t x = randomIn(0, 9);
        int32_t y = randomIn(0, 9);
        Cell& cell = sector.cells[static_cast<size_t>(x)][static_cast<size_t>(y)];
        if (cell.terrain == Terrain::Floor) {
            cell.terrain = trap;
            return;
        }
    }
}

void placeFind(Sector& sector, SectorCoord c, int32_t depth) {
    int32_t r = randomIn(1, 3);
    Item find = r == 2 ? randomTreasure(depth) : randomItem(depth);
    Position square = randomOpenSquare(sector, c);
    sector.items.push_back(FloorItem{find, square.x, square.y});
}

// Each trap is drawn and placed before the next is drawn.
void placeTraps(Sector& sector, int32_t trapDistance) {
    int32_t gas = randomIn(1, trapDistance);
    if (gas > 12) placeTrap(sector, Terrain::GasTrap);
    int32_t teleport = randomIn(1, trapDistance);
    if (teleport > 8) placeTrap(sector, Terrain::TeleportTrap);
    int32_t smoke = randomIn(1, trapDistance);
    if (smoke > 4) placeTrap(sector, Terrain::SmokeTrap);
}

void ensureLinkedLevels(SectorTable& table, SectorCoord c, const Sector& sector) {
    SectorCoord above{c.sx, c.sy, wrapAdd(c.sz, 1)};
    SectorCoord below{c.sx, c.sy, wrapSub(c.sz, 1)};
    switch (sector.kind) {
    case SectorKind::StairsUp: ensureSector(table, above, Generator::StairsDown); return;
    case SectorKind::StairsDown: ensureSector(table, below, Generator::StairsUp); return;
    case SectorKind::SpiralStaircase:
        if (sector.upLink) ensureSector(table, above, Generator::SpiralStaircase);
        if (sector.downLink) ensureSector(table, below, Generator::SpiralStaircase);
        return;
    // Unstable tunnels made the floor below while they were laid out.
    case SectorKind::Entrance:
    case SectorKind::Maze:
    case SectorKind::ChamberMaze:
    case SectorKind::UnstableTunnels: return;
    }
    raiseMissingCase();
}

} // namespace

void fillSector(SectorTable& table, SectorCoord c, Sector& sector) {
    int32_t depth = depthOf(c);
    int32_t count = randomIn(2, 5);
    for (int32_t i = 0; i < count; ++i)
        spawnCreature(depth, sector, c);
    placeFind(sector, c, depth);
    placeTraps(sector, trapDistanceOf(c));
    ensureLinkedLevels(table, c, sector);
}

} // namespace dunvale
