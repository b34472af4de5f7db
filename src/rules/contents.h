#pragma once
#include "rules/map.h"

namespace dunvale {

// Creatures, one item or treasure, traps, and the sector at the other end of
// a staircase; run once for every new sector.
void fillSector(SectorTable& table, SectorCoord c, Sector& sector);

} // namespace dunvale
