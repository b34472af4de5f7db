#include "app/commands.h"

#include "presentation/item_prompts.h"
#include "presentation/panels.h"
#include "presentation/screen.h"
#include "rules/step.h"
#include "world/messages.h"

namespace dunvale {

namespace {

struct StepKeys {
    int letter;
    int digit;
    int arrow; // 0: no arrow key
    int32_t dx;
    int32_t dy;
};

// Rows of the key table in the order they are compared.
constexpr StepKeys stepKeys[] = {
    {'h', '4', key::Left, -1, 0}, {'j', '2', key::Down, 0, -1}, {'k', '8', key::Up, 0, 1},
    {'l', '6', key::Right, 1, 0}, {'y', '7', 0, -1, 1},         {'u', '9', 0, 1, 1},
    {'b', '1', 0, -1, -1},        {'n', '3', 0, 1, -1},
};

} // namespace

int32_t readAndPerformCommand(Player& player, LevelRecord& level) {
    for (;;) {
        int32_t budget = 1;
        int k = readKey();
        const StepKeys* move = nullptr;
        for (const StepKeys& keys : stepKeys)
            if (k == keys.letter || k == keys.digit || (keys.arrow != 0 && k == keys.arrow)) {
                move = &keys;
                break;
            }
        if (move != nullptr) {
            if (finishAction(step(level, player, move->dx, move->dy, 0)) != 0) return budget;
            continue;
        }
        switch (k) {
        case '.':
        case '5': return budget;
        case 'w': return -1;
        case '-': player.panels[0] = nextPanel(player.panels[0]); return 0;
        case '+': player.panels[1] = nextPanel(player.panels[1]); return 0;
        case key::F1:
        case '?': showPanelBriefly(Panel::Controls, player, level); continue;
        case key::F2: showPanelBriefly(Panel::Location, player, level); continue;
        case key::F3: showPanelBriefly(Panel::CurrentStatus, player, level); continue;
        case key::F4: showPanelBriefly(Panel::Inventory, player, level); continue;
        case key::F5: showPanelBriefly(Panel::Effects, player, level); continue;
        case ',':
            if (pickUpCommand(player, level) != 0) return budget;
            continue;
        case 'd':
            if (dropCommand(player, level) != 0) return budget;
            continue;
        case 'a':
            if (useCommand(player, level) != 0) return budget;
            continue;
        case 'e':
            if (int32_t turns = equipCommand(player, level); turns != 0) return turns;
            continue;
        case 'r':
            if (int32_t turns = unequipCommand(player, level); turns != 0) return turns;
            continue;
        case 'Q':
            postMessage(0, "You quit...");
            player.playing = 0;
            return budget;
        default: continue;
        }
    }
}

} // namespace dunvale
