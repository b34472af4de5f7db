#include "world/creature.h"

#include "support/errors.h"

#include <array>

namespace dunvale {

const std::string& creatureName(const Creature& creature) {
    static const std::array<std::string, 7> names{"bat",    "giant rat", "giant spider", "skeleton",
                                                  "wraith", "mummy",     "vampire"};
    auto index = static_cast<size_t>(creature.kind);
    if (index >= names.size()) raiseMissingCase();
    return names[index];
}

const std::string& attackVerb(const Creature& creature) {
    static const std::string bites = "bites";
    static const std::string hits = "hits";
    return creature.level < 15 ? bites : hits;
}

} // namespace dunvale
