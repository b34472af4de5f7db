// Placeholder until this part of the game is written.
#include "creatures/spawn.h"

#include "support/errors.h"

namespace dunvale {

int32_t& creatureCounter() { static int32_t counter = 0; return counter; }
void spawnCreature(int32_t, Sector&, SectorCoord) { raiseMissingCase(); }
void wanderingSpawn(Player&, LevelRecord&) { raiseMissingCase(); }
void summonWraith(SectorCoord, SectorTable&) { raiseMissingCase(); }
} // namespace dunvale
