// Placeholder until this part of the game is written.
#include "labyrinth/contents.h"

#include "support/errors.h"

namespace dunvale {

void fillSector(SectorTable&, SectorCoord, Sector&) { raiseMissingCase(); }
} // namespace dunvale
