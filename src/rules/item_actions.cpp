#include "rules/item_actions.h"

#include "rules/magic.h"
#include "rules/map.h"
#include "support/errors.h"
#include "support/wrap.h"
#include "world/messages.h"

namespace dunvale {

namespace {

// A refusal is shown before the command returns.
ActionResult refuse(const std::string& text) {
    postMessage(0, text);
    return ActionResult{0, true};
}

// Putting armour on or taking it off: 2g + 1 turns.
int32_t armourTurns(const Item& armour) {
    return wrapAdd(wrapMul(2, armour.grade), 1);
}

} // namespace

ActionResult useItem(Player& player, LevelRecord& level, int slot) {
    std::optional<Item>& held = player.inventory[slot];
    if (!held) return {};
    const Item item = *held;
    switch (item.itemClass) {
    case ItemClass::Scroll:
        readScroll(item, player, level);
        // Used up only after its effect has run.
        player.inventory[slot].reset();
        return {1};
    case ItemClass::Potion:
        drinkPotion(item, player, level);
        player.inventory[slot].reset();
        return {1};
    case ItemClass::Weapon:
    case ItemClass::Armour:
    case ItemClass::Treasure: return refuse("You can't use that.");
    }
    raiseMissingCase();
}

ActionResult dropItem(Player& player, LevelRecord& level, int slot) {
    std::optional<Item>& held = player.inventory[slot];
    if (!held) return {};
    const Item item = *held;
    postMessage(0, "You drop the " + itemName(item) + ".");
    held.reset();
    putItem(level.sectors, player.position, item);
    return {1};
}

ActionResult equipItem(Player& player, LevelRecord&, int slot) {
    std::optional<Item>& held = player.inventory[slot];
    if (!held) return refuse("You don't have that item.");
    const Item item = *held;
    switch (item.itemClass) {
    case ItemClass::Weapon:
        // The weapon wielded until now takes the freed slot.
        held = player.equipment.weapon;
        player.equipment.weapon = item;
        postMessage(0, "You wield the " + itemName(item));
        return {1};
    case ItemClass::Armour: {
        if (!player.equipment.armour) {
            held.reset();
            player.equipment.armour = item;
            postMessage(0, "You put on the " + itemName(item));
            return {armourTurns(item)};
        }
        const Item old = *player.equipment.armour;
        held = old;
        player.equipment.armour = item;
        postMessage(0, "You take off the " + itemName(old));
        postMessage(0, "You put on the " + itemName(item));
        // Taking the old suit off and putting the new one on.
        return {wrapMul(wrapAdd(wrapAdd(item.grade, 1), old.grade), 2)};
    }
    case ItemClass::Scroll:
    case ItemClass::Potion:
    case ItemClass::Treasure: return refuse("You can't equip that.");
    }
    raiseMissingCase();
}

std::optional<std::string> whyNothingToUnequip(const Player& player) {
    if (!player.equipment.weapon && !player.equipment.armour) return "You have nothing equipped.";
    if (!lowestEmptySlot(player))
        return "You don't have free space in your inventory to unequip anything.";
    return std::nullopt;
}

ActionResult unequip(Player& player, Worn which) {
    Equipment& worn = player.equipment;
    const std::optional<int> slot = lowestEmptySlot(player);
    if (!slot) return {};
    if (which == Worn::Weapon && worn.weapon) {
        player.inventory[*slot] = worn.weapon;
        worn.weapon.reset();
        return {1};
    }
    if (which == Worn::Armour && worn.armour) {
        const Item armour = *worn.armour;
        player.inventory[*slot] = armour;
        worn.armour.reset();
        return {armourTurns(armour)};
    }
    return {};
}

ActionResult getItem(Player& player, LevelRecord& level) {
    std::optional<Item> found = itemAt(level.sectors, player.position);
    if (!found) {
        postMessage(0, "There's nothing to pick up here.");
        return {};
    }
    const Item item = *found;
    if (item.itemClass == ItemClass::Treasure) {
        postMessage(0, "You get the treasure ($" + std::to_string(item.grade) + ").");
        player.treasure = wrapAdd(player.treasure, item.grade);
        removeItemAt(level.sectors, player.position);
        return {1};
    }
    std::optional<int> slot = lowestEmptySlot(player);
    if (!slot) return refuse("You don't have space in your inventory.");
    postMessage(0, "You get the " + itemName(item) + ".");
    player.inventory[*slot] = item;
    removeItemAt(level.sectors, player.position);
    return {1};
}

} // namespace dunvale
