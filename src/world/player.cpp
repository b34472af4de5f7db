#include "world/player.h"

#include "support/wrap.h"

namespace dunvale {

Player newPlayer() {
    return Player{};
}

int32_t sightRadius(const Player& player) {
    int32_t e = player.skills.exploration;
    if (e <= 1) return 3;
    if (e <= 7) return 4;
    if (e <= 17) return 5;
    return 6;
}

int32_t totalSkillLevels(const Player& player) {
    return wrapAdd(player.skills.exploration, player.skills.combat);
}

std::optional<int> lowestEmptySlot(const Player& player) {
    for (int slot = 0; slot < inventorySlots; ++slot)
        if (!player.inventory[slot]) return slot;
    return std::nullopt;
}

} // namespace dunvale
