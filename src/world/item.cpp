#include "world/item.h"

#include "support/errors.h"

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

} // namespace dunvale
