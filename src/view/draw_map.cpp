// Placeholder until this part of the game is written.
#include "view/draw_map.h"

#include "support/errors.h"

namespace dunvale {

bool drawView(const Player&, LevelRecord&) { raiseMissingCase(); }
} // namespace dunvale
