// Placeholder until this part of the game is written.
#include "creatures/creature_turn.h"

#include "support/errors.h"

namespace dunvale {

void creatureTurns(Player&, LevelRecord&) { raiseMissingCase(); }
bool creatureMayEnter(SectorTable&, Position, bool, bool) { raiseMissingCase(); }
bool wraithMayEnter(Position, SectorTable&) { raiseMissingCase(); }
} // namespace dunvale
