// Placeholder until this part of the game is written.
#include "labyrinth/generate.h"

#include "support/errors.h"

namespace dunvale {

LevelRecord newLabyrinth(std::string) { raiseMissingCase(); }
void ensureSector(SectorTable&, SectorCoord, Generator) { raiseMissingCase(); }
void buildSector(SectorTable&, SectorCoord, int32_t, Generator) { raiseMissingCase(); }
int32_t drawExits() { raiseMissingCase(); }
} // namespace dunvale
