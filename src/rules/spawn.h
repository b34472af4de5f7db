#pragma once
#include "rules/map.h"
#include "world/creature.h"
#include "world/player.h"

namespace dunvale {

// Run-wide creature counter: the id of the next creature made.
int32_t& creatureCounter();

// One creature of a level drawn from the depth, on a random open square.
void spawnCreature(int32_t depth, Sector& sector, SectorCoord c);
// A creature in the player's sector or a neighbour (1 turn in 100).
void wanderingSpawn(Player& player, LevelRecord& level);
// A vampire's summons: a wraith of level 20 to 24 in the sector at c.
void summonWraith(SectorCoord c, SectorTable& table);

} // namespace dunvale
