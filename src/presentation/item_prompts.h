#pragma once
// The item commands as the player meets them: the inventory shown with the
// eligible items bright, a question, one key, then the action. Each returns
// the turns taken, 0 when nothing was done.
#include "rules/action.h"
#include "world/player.h"

namespace dunvale {

int32_t useCommand(Player& player, LevelRecord& level);
int32_t dropCommand(Player& player, LevelRecord& level);
int32_t equipCommand(Player& player, LevelRecord& level);
int32_t unequipCommand(Player& player, LevelRecord& level);
int32_t pickUpCommand(Player& player, LevelRecord& level);

// Shows the pending messages when the action asks for it; its turns.
int32_t finishAction(ActionResult result);

} // namespace dunvale
