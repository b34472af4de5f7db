#pragma once
// The adventurer: where it stands, its skills, energy, belongings and the
// timed effects on it.
#include "world/item.h"
#include "world/position.h"
#include "world/sector_table.h"

#include <array>
#include <cstdint>
#include <optional>
#include <vector>

namespace dunvale {

// The five side panels; ordinals as the panel keys count them.
enum class Panel : int32_t { Location, CurrentStatus, Inventory, Controls, Effects };

enum class EffectKind : int32_t { Protection, Might, Regeneration, Poison };

struct TimedEffect {
    EffectKind kind = EffectKind::Protection;
    int32_t turnsLeft = 0;
    friend bool operator==(const TimedEffect&, const TimedEffect&) = default;
};

struct Skills {
    int32_t exploration = 0;
    int32_t combat = 0;
};

struct Equipment {
    std::optional<Item> weapon;
    std::optional<Item> armour;
};

constexpr int inventorySlots = 10;

struct Player {
    Position position{SectorCoord{0, 0, 0}, 5, 5};
    int32_t playing = 1;
    int32_t escaped = 0;
    Skills skills;
    int32_t energy = 100;
    std::array<Panel, 2> panels{Panel::Controls, Panel::CurrentStatus};
    std::array<std::optional<Item>, inventorySlots> inventory;
    Equipment equipment;
    int32_t treasure = 0;
    std::vector<TimedEffect> effects; // oldest first
};

Player newPlayer();

int32_t sightRadius(const Player& player);
int32_t totalSkillLevels(const Player& player);

// The lowest-numbered empty inventory slot, if any.
std::optional<int> lowestEmptySlot(const Player& player);

} // namespace dunvale
