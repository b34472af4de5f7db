#include "player/item_commands.h"

#include "display/messages.h"
#include "display/panels.h"
#include "display/screen.h"
#include "player/magic.h"
#include "support/errors.h"
#include "support/wrap.h"

#include <optional>
#include <string>
#include <vector>

namespace dunvale {

namespace {

// Posts a refusal and shows it before the command returns.
void refuse(const std::string& text) {
    postMessage(0, text);
    showPendingMessages();
}

// Shows the inventory with the eligible classes bright, asks for a slot and
// reads one key; a digit picks that slot, any other key cancels.
std::optional<int> selectSlot(const Player& player, LevelRecord& level,
                              const std::vector<ItemClass>& marked, const std::string& verb,
                              bool showStatus) {
    drawInventoryPanel(firstPanelColumn, player, marked);
    if (showStatus) drawPanel(secondPanelColumn, Panel::CurrentStatus, player, level);
    postMessage(0,
                "Select the number of the item to " + verb + ", or press any other key to cancel.");
    showPendingMessages();
    refreshScreen();
    int pressed = readKey();
    if (pressed < '0' || pressed > '9') return std::nullopt;
    return pressed - '0';
}

// Putting armour on or taking it off: 2g + 1 turns.
int32_t armourTurns(const Item& armour) {
    return wrapAdd(wrapMul(2, armour.grade), 1);
}

} // namespace

int32_t useItem(Player& player, LevelRecord& level) {
    std::optional<int> slot =
        selectSlot(player, level, {ItemClass::Potion, ItemClass::Scroll}, "use", false);
    if (!slot) return 0;
    std::optional<Item>& held = player.inventory[*slot];
    if (!held) return 0;
    const Item item = *held;
    switch (item.itemClass) {
    case ItemClass::Scroll:
        readScroll(item, player, level);
        // Used up only after its effect has run.
        player.inventory[*slot].reset();
        return 1;
    case ItemClass::Potion:
        drinkPotion(item, player, level);
        player.inventory[*slot].reset();
        return 1;
    case ItemClass::Weapon:
    case ItemClass::Armour:
    case ItemClass::Treasure: refuse("You can't use that."); return 0;
    }
    raiseMissingCase();
}

int32_t dropItem(Player& player, LevelRecord& level) {
    std::optional<int> slot = selectSlot(player, level, {}, "drop", false);
    if (!slot) return 0;
    std::optional<Item>& held = player.inventory[*slot];
    if (!held) return 0;
    const Item item = *held;
    postMessage(0, "You drop the " + itemName(item) + ".");
    held.reset();
    putItem(level.sectors, player.position, item);
    return 1;
}

int32_t equipItem(Player& player, LevelRecord& level) {
    std::optional<int> slot =
        selectSlot(player, level, {ItemClass::Armour, ItemClass::Weapon}, "equip", true);
    if (!slot) return 0;
    std::optional<Item>& held = player.inventory[*slot];
    if (!held) {
        refuse("You don't have that item.");
        return 0;
    }
    const Item item = *held;
    switch (item.itemClass) {
    case ItemClass::Weapon:
        // The weapon wielded until now takes the freed slot.
        held = player.equipment.weapon;
        player.equipment.weapon = item;
        postMessage(0, "You wield the " + itemName(item));
        return 1;
    case ItemClass::Armour: {
        if (!player.equipment.armour) {
            held.reset();
            player.equipment.armour = item;
            postMessage(0, "You put on the " + itemName(item));
            return armourTurns(item);
        }
        const Item old = *player.equipment.armour;
        held = old;
        player.equipment.armour = item;
        postMessage(0, "You take off the " + itemName(old));
        postMessage(0, "You put on the " + itemName(item));
        // Taking the old suit off and putting the new one on.
        return wrapMul(wrapAdd(wrapAdd(item.grade, 1), old.grade), 2);
    }
    case ItemClass::Scroll:
    case ItemClass::Potion:
    case ItemClass::Treasure: refuse("You can't equip that."); return 0;
    }
    raiseMissingCase();
}

int32_t unequipItem(Player& player, LevelRecord& level) {
    drawInventoryPanel(firstPanelColumn, player, {ItemClass::Armour, ItemClass::Weapon});
    drawPanel(secondPanelColumn, Panel::CurrentStatus, player, level);
    Equipment& worn = player.equipment;
    if (!worn.weapon && !worn.armour) {
        refuse("You have nothing equipped.");
        return 0;
    }
    std::optional<int> slot = lowestEmptySlot(player);
    if (!slot) {
        refuse("You don't have free space in your inventory to unequip anything.");
        return 0;
    }
    if (worn.weapon) postMessage(0, "To unwield your weapon, press 'w'");
    if (worn.armour) postMessage(0, "To unequip your armour, press 'a'");
    postMessage(0, "...or any other key to cancel.");
    showPendingMessages();
    int pressed = readKey();
    if (pressed == 'w' && worn.weapon) {
        player.inventory[*slot] = worn.weapon;
        worn.weapon.reset();
        return 1;
    }
    if (pressed == 'a' && worn.armour) {
        const Item armour = *worn.armour;
        player.inventory[*slot] = armour;
        worn.armour.reset();
        return armourTurns(armour);
    }
    return 0;
}

int32_t getItem(Player& player, LevelRecord& level) {
    std::optional<Item> found = itemAt(level.sectors, player.position);
    if (!found) {
        postMessage(0, "There's nothing to pick up here.");
        return 0;
    }
    const Item item = *found;
    if (item.itemClass == ItemClass::Treasure) {
        postMessage(0, "You get the treasure ($" + std::to_string(item.grade) + ").");
        player.treasure = wrapAdd(player.treasure, item.grade);
        removeItemAt(level.sectors, player.position);
        return 1;
    }
    std::optional<int> slot = lowestEmptySlot(player);
    if (!slot) {
        refuse("You don't have space in your inventory.");
        return 0;
    }
    postMessage(0, "You get the " + itemName(item) + ".");
    player.inventory[*slot] = item;
    removeItemAt(level.sectors, player.position);
    return 1;
}

} // namespace dunvale
