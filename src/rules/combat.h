#pragma once
#include "world/creature.h"
#include "world/player.h"

namespace dunvale {

// The player's blow against a creature it stepped into.
void playerAttacks(Creature& creature, Player& player, LevelRecord& level);
// A creature's blow against the player next to it.
void creatureAttacks(Creature& creature, Player& player);

} // namespace dunvale
