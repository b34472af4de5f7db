#pragma once
#include "app/game.h"

namespace dunvale {

// The summary box; after a key press the stored sectors are deleted.
// Returns whether another game is wanted: never.
bool endOfGameSummary(const Outcome& outcome);

} // namespace dunvale
