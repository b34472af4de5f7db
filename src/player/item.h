#pragma once
#include <cstdint>
#include <string>

namespace dunvale {

enum class ItemClass : int32_t { Weapon, Armour, Scroll, Potion, Treasure };

// A small value with no identity: class and grade (for treasure, the amount).
struct Item {
    ItemClass itemClass = ItemClass::Weapon;
    int32_t grade = 0;
    friend bool operator==(const Item&, const Item&) = default;
};

// The name of a weapon, armour, scroll or potion; treasure has none
// ("Missing case").
const std::string& itemName(Item item);

// A random weapon, armour, scroll or potion for a sector of depth d.
Item randomItem(int32_t depth);
// A random heap of treasure for a sector of depth d.
Item randomTreasure(int32_t depth);

} // namespace dunvale
