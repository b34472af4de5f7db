#pragma once
#include "world/player.h"

namespace dunvale {

// Draws the 19 x 13 map window around the player; true when a creature was
// drawn.
bool drawView(const Player& player, LevelRecord& level);

} // namespace dunvale
