#pragma once
// The sector store: sectors far from the player live as files in a private
// per-user directory, HOME/.dunvale/, one file per sector.
#include "rules/map.h"
#include "rules/store_files.h"

#include <memory>
#include <optional>
#include <string>
#include <string_view>

namespace dunvale {

// "S" sx "_" sy "_" sz, e.g. S-3_1_-2.
std::string objectId(SectorCoord c);
// sx + sy + sz, wrapping.
int32_t storeKey(SectorCoord c);

// A Sector in the serialised value form, and back. Reading takes untrusted
// bytes: anything malformed raises one of the unmarshalling errors.
std::string encodeSector(const Sector& sector, int32_t key);
// Text as encodeSector writes it is read directly into the sector; any other
// text goes through the general reader, readValue, which gives the same
// sector or raises, as it always has. GeneralOnly skips the direct reading,
// so that the two can be checked against each other.
enum class SectorReading { DirectFirst, GeneralOnly };
std::unique_ptr<Sector> decodeSector(std::string_view text, int32_t key,
                                     SectorReading reading = SectorReading::DirectFirst);
// The direct reading alone, null where it gives up: it takes every text
// encodeSector writes, and nothing the general reader reads otherwise.
std::unique_ptr<Sector> decodeWrittenSector(std::string_view text, int32_t key);

// Writes the sector held in memory at c to the store and marks it stored.
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
