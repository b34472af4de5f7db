#pragma once
#include "app/game.h"

#include <optional>

namespace dunvale {

// The summary box; after a key press the sectors in `store` are deleted. A
// seed the player chose is shown on the box's bottom edge, like a panel's
// title. Returns whether another game is wanted: never.
bool endOfGameSummary(const Outcome& outcome, const GameStore& store,
                      std::optional<int32_t> chosenSeed = std::nullopt);

} // namespace dunvale
