#pragma once
#include "world/player.h"

namespace dunvale {

// Reads keys until one performs an action; returns the turn budget: 0 no
// time passes, n > 0 that many turns, -1 rest until disturbed.
int32_t readAndPerformCommand(Player& player, LevelRecord& level);

} // namespace dunvale
