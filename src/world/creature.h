#pragma once
#include "world/position.h"

#include <cstdint>
#include <string>

namespace dunvale {

enum class CreatureKind : int32_t { Bat, GiantRat, GiantSpider, Skeleton, Wraith, Mummy, Vampire };

struct Creature {
    int32_t id = 0;
    Position position;
    int32_t level = 0;
    int32_t health = 0;
    int32_t lastActed = 0;
    CreatureKind kind = CreatureKind::Bat;
};

const std::string& creatureName(const Creature& creature);
// "bites" below level 15, else "hits".
const std::string& attackVerb(const Creature& creature);

} // namespace dunvale
