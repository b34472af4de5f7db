#pragma once
// The sector store: sectors far from the player live in the game's store
// (store_files.h), one file per sector in the form sector_codec.h writes,
// and come back when they are needed again.
#include "rules/map.h"
#include "rules/store_files.h"

#include <cstdint>
#include <string>

namespace dunvale {

// "S" sx "_" sy "_" sz, e.g. S-3_1_-2.
std::string objectId(SectorCoord c);
// sx + sy + sz, wrapping.
int32_t storeKey(SectorCoord c);

// Writes the sector held in memory at c to the table's store and marks it
// stored.
void storeSector(SectorTable& table, SectorCoord c);
// Stores c if it is held in memory; nothing otherwise.
void evict(SectorTable& table, SectorCoord c);
// Reads c back from the store into memory; null when there is no file.
Sector* loadSector(SectorTable& table, SectorCoord c);
// Stores every sector more than one sector away from c in any direction.
void evictFarSectors(SectorTable& table, SectorCoord c);
// Evicts far sectors and makes sure the eight neighbours of c exist.
void makeCurrent(SectorTable& table, SectorCoord c);

} // namespace dunvale
