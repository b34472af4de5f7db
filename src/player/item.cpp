#include "player/item.h"

#include "support/errors.h"
#include "support/random.h"
#include "support/wrap.h"

#include <array>

namespace dunvale {

const std::string& itemName(Item item) {
    static const std::array<std::array<std::string, 5>, 4> names{{
        {"knife", "dagger", "short sword", "long sword", "great sword"},
        {"padded clothes", "leather armour", "chain mail", "plate mail", "full plate mail"},
        {"teleport scroll", "magic map scroll", "protection scroll", "power scroll",
         "escape scroll"},
        {"healing potion", "regeneration potion", "curing potion", "perception potion",
         "might potion"},
    }};
    auto itemClass = static_cast<size_t>(item.itemClass);
    if (itemClass >= names.size()) raiseMissingCase();
    if (item.grade < 0 || item.grade > 4) raiseMissingCase();
    return names[itemClass][static_cast<size_t>(item.grade)];
}

Item randomItem(int32_t depth) {
    // The thresholds are the squares 4, 9, 16, 25.
    int32_t spread = depth < 4 ? 0 : depth < 9 ? 1 : depth < 16 ? 2 : depth < 25 ? 3 : 4;
    int32_t grade = 0;
    if (spread > 0) grade = randomIn(0, spread);
    int32_t itemClass = randomIn(0, 3);
    return Item{static_cast<ItemClass>(itemClass), grade};
}

Item randomTreasure(int32_t depth) {
    int32_t amount = randomIn(1, wrapMul(wrapAdd(depth, 1), 10));
    return Item{ItemClass::Treasure, amount};
}

} // namespace dunvale
