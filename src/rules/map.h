#pragma once
// Finding sectors and squares for the rules: a sector that lies in the store
// is loaded back when it is needed.
#include "world/sector_table.h"

#include <memory>
#include <optional>
#include <string>

namespace dunvale {

namespace detail {
Sector* loadStoredSector(SectorTable& table, SectorCoord c);
} // namespace detail

// The sector at c, loading it from the store when it lies there; null when
// it was never generated (or its file has gone).
inline Sector* findSector(SectorTable& table, SectorCoord c) {
    if (Sector* held = sectorInMemory(table, c)) return held;
    if (knownNeverMade(table, c)) return nullptr;
    return detail::loadStoredSector(table, c);
}

// "Couldn't find sx,sy,sz": the error for a sector that is not there.
std::string couldntFindMessage(SectorCoord c);
// The sector at c, loading it from the store when it lies there; raises
// couldntFindMessage when it was never generated.
Sector& sectorAt(SectorTable& table, SectorCoord c);
// The Cell at p moved by (dx, dy) on p's level; raises "Couldn't find
// sx,sy,sz" when that sector does not exist.
Cell& cellAtOffset(SectorTable& table, Position p, int32_t dx, int32_t dy);
Cell& cellAt(SectorTable& table, Position p);
// Like cellAt, but null instead of an error for a missing sector.
Cell* findCell(SectorTable& table, Position p);

// Sets the visited flag; 1 only for the first visit.
int32_t markVisited(SectorTable& table, SectorCoord c);
// Draws x then y until the square is open, at most 300 squares; returns the
// last square drawn.
Position randomOpenSquare(const Sector& sector, SectorCoord c);
// Magic map: never-seen squares count as seen at turn 0.
void revealSector(SectorTable& table, SectorCoord c);

std::optional<Item> itemAt(SectorTable& table, Position p);
void putItem(SectorTable& table, Position p, Item item);
void removeItemAt(SectorTable& table, Position p);
std::shared_ptr<Creature> creatureAt(SectorTable& table, Position p);

} // namespace dunvale
