#pragma once
// Scrolls, potions, timed effects and the teleport they share with the trap.
#include "world/player.h"

namespace dunvale {

void addEffect(Player& player, EffectKind kind, int32_t turns);
void addPoison(Player& player, int32_t turns);
// Takes `strength` turns off every Poison entry; 1 when there was any.
int32_t curePoison(Player& player, int32_t strength);

void readScroll(Item item, Player& player, LevelRecord& level);
void drinkPotion(Item item, Player& player, LevelRecord& level);
// Reveals the player's sector and its eight neighbours on the same level.
void magicMap(Player& player, LevelRecord& level);
// Moves the player to a random free square up to 10 squares away.
void teleport(LevelRecord& level, Player& player);

} // namespace dunvale
