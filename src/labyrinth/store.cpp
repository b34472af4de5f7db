// Placeholder until this part of the game is written.
#include "labyrinth/store.h"

#include "support/errors.h"

namespace dunvale {

std::string storeDirectory() { raiseMissingCase(); }
std::string objectId(SectorCoord) { raiseMissingCase(); }
int32_t storeKey(SectorCoord) { raiseMissingCase(); }
std::optional<std::string> cacheGet(const std::string&, const std::string&) { raiseMissingCase(); }
void cachePut(const std::string&, const std::string&, const std::string&) { raiseMissingCase(); }
void cacheDelete(const std::string&, const std::string&) { raiseMissingCase(); }
std::string encodeSector(const Sector&, int32_t) { raiseMissingCase(); }
std::unique_ptr<Sector> decodeSector(std::string_view, int32_t) { raiseMissingCase(); }
void storeSector(SectorTable&, SectorCoord) { raiseMissingCase(); }
void evict(SectorTable&, SectorCoord) { raiseMissingCase(); }
Sector* loadSector(SectorTable&, SectorCoord) { raiseMissingCase(); }
void evictFarSectors(SectorTable&, SectorCoord) { raiseMissingCase(); }
void makeCurrent(SectorTable&, SectorCoord) { raiseMissingCase(); }
void clearStore(const std::string&) { raiseMissingCase(); }
} // namespace dunvale
