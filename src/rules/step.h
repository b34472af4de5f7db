#pragma once
#include "rules/action.h"
#include "world/player.h"

namespace dunvale {

// One step of the player by (dx, dy): climbing, level links, attacking,
// trapdoors, traps, sector changes and the notice of what lies there.
// Takes one turn, or none when nothing happened; refusals and the narrow
// escape from a creature below a trapdoor ask to be shown at once.
// `falling` is 1 only for the step repeated after a trapdoor opens.
ActionResult step(LevelRecord& level, Player& player, int32_t dx, int32_t dy, int32_t falling);

// Smoke on the seen Floor squares within 4 squares of p.
void putSmokeAround(LevelRecord& level, Position p);

} // namespace dunvale
