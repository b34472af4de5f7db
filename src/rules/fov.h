#pragma once
#include "rules/map.h"

namespace dunvale {

// Stamps every square the player can see from p with turn T.
void updateView(int32_t turn, int32_t radius, Position p, SectorTable& table);

} // namespace dunvale
