// Placeholder until this part of the game is written.
#include "view/fov.h"

#include "support/errors.h"

namespace dunvale {

void updateView(int32_t, int32_t, Position, SectorTable&) { raiseMissingCase(); }
} // namespace dunvale
