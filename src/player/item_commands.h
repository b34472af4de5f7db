#pragma once
// The item commands; each returns the turns it takes, 0 when nothing was done.
#include "player/player.h"

namespace dunvale {

int32_t useItem(Player& player, LevelRecord& level);
int32_t dropItem(Player& player, LevelRecord& level);
int32_t equipItem(Player& player, LevelRecord& level);
int32_t unequipItem(Player& player, LevelRecord& level);
int32_t getItem(Player& player, LevelRecord& level);

} // namespace dunvale
