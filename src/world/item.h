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

} // namespace dunvale
