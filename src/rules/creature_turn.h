#pragma once
#include "world/creature.h"
#include "world/player.h"

namespace dunvale {

// Every creature of the 27 sectors around the player acts once.
void creatureTurns(Player& player, LevelRecord& level);
// Whether a creature may stand on t: sector in memory, terrain by kind, no
// other creature there. Teleporting uses it with both flags off.
bool creatureMayEnter(SectorTable& table, Position t, bool flying, bool undead);

} // namespace dunvale
