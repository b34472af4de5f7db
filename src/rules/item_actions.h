#pragma once
// What the item commands do once the player has chosen: each takes the
// chosen inventory slot (or what to take off) and returns the turns taken,
// 0 when nothing was done. Asking is the item prompts' business.
#include "rules/action.h"
#include "world/player.h"

#include <optional>
#include <string>

namespace dunvale {

ActionResult useItem(Player& player, LevelRecord& level, int slot);
ActionResult dropItem(Player& player, LevelRecord& level, int slot);
ActionResult equipItem(Player& player, LevelRecord& level, int slot);
ActionResult getItem(Player& player, LevelRecord& level);

// Taking off: why nothing can be taken off (nothing worn, or no room for
// it), if so; then taking off the weapon or the armour.
enum class Worn { Weapon, Armour };
std::optional<std::string> whyNothingToUnequip(const Player& player);
ActionResult unequip(Player& player, Worn which);

} // namespace dunvale
