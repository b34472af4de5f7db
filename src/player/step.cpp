// Placeholder until this part of the game is written.
#include "player/step.h"

#include "support/errors.h"

namespace dunvale {

int32_t step(LevelRecord&, Player&, int32_t, int32_t, int32_t) { raiseMissingCase(); }
void putSmokeAround(LevelRecord&, Position) { raiseMissingCase(); }
} // namespace dunvale
