#include "presentation/item_prompts.h"
#include "presentation/message_box.h"

#include "presentation/panels.h"
#include "presentation/screen.h"
#include "rules/item_actions.h"
#include "world/messages.h"

#include <optional>
#include <string>
#include <vector>

namespace dunvale {

namespace {

// Shows the inventory with the eligible classes bright, asks for a slot and
// reads one key; a digit picks that slot, any other key cancels.
std::optional<int> askForSlot(const Player& player, LevelRecord& level,
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

// Asks what to take off; nothing when the key names nothing worn.
std::optional<Worn> askWhatToUnequip(const Player& player) {
    const Equipment& worn = player.equipment;
    if (worn.weapon) postMessage(0, "To unwield your weapon, press 'w'");
    if (worn.armour) postMessage(0, "To unequip your armour, press 'a'");
    postMessage(0, "...or any other key to cancel.");
    showPendingMessages();
    int pressed = readKey();
    if (pressed == 'w' && worn.weapon) return Worn::Weapon;
    if (pressed == 'a' && worn.armour) return Worn::Armour;
    return std::nullopt;
}

} // namespace

int32_t finishAction(ActionResult result) {
    if (result.showMessagesNow) showPendingMessages();
    return result.turns;
}

int32_t useCommand(Player& player, LevelRecord& level) {
    std::optional<int> slot =
        askForSlot(player, level, {ItemClass::Potion, ItemClass::Scroll}, "use", false);
    return slot ? finishAction(useItem(player, level, *slot)) : 0;
}

int32_t dropCommand(Player& player, LevelRecord& level) {
    std::optional<int> slot = askForSlot(player, level, {}, "drop", false);
    return slot ? finishAction(dropItem(player, level, *slot)) : 0;
}

int32_t equipCommand(Player& player, LevelRecord& level) {
    std::optional<int> slot =
        askForSlot(player, level, {ItemClass::Armour, ItemClass::Weapon}, "equip", true);
    return slot ? finishAction(equipItem(player, level, *slot)) : 0;
}

int32_t unequipCommand(Player& player, LevelRecord& level) {
    drawInventoryPanel(firstPanelColumn, player, {ItemClass::Armour, ItemClass::Weapon});
    drawPanel(secondPanelColumn, Panel::CurrentStatus, player, level);
    if (std::optional<std::string> why = whyNothingToUnequip(player)) {
        postMessage(0, *why);
        showPendingMessages();
        return 0;
    }
    std::optional<Worn> which = askWhatToUnequip(player);
    return which ? finishAction(unequip(player, *which)) : 0;
}

int32_t pickUpCommand(Player& player, LevelRecord& level) {
    return finishAction(getItem(player, level));
}

} // namespace dunvale
