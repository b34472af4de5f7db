// Placeholder until this part of the game is written.
#include "creatures/combat.h"

#include "support/errors.h"

namespace dunvale {

void playerAttacks(Creature&, Player&, LevelRecord&) { raiseMissingCase(); }
void creatureAttacks(Creature&, Player&) { raiseMissingCase(); }
} // namespace dunvale
