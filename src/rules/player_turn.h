#pragma once
// What happens to the adventurer at the end of every turn, and on entering
// a sector.
#include "world/player.h"

namespace dunvale {

// Energy, the low-energy warning, death, timed effects and the turn counter.
void endOfTurnUpdate(Player& player, LevelRecord& level);
// The exploration chance of a first visit, then the sector is made current.
void enterSector(LevelRecord& level, Player& player, Position newPosition);

} // namespace dunvale
