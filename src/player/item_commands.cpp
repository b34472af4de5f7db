// Placeholder until this part of the game is written.
#include "player/item_commands.h"

#include "support/errors.h"

namespace dunvale {

int32_t useItem(Player&, LevelRecord&) { raiseMissingCase(); }
int32_t dropItem(Player&, LevelRecord&) { raiseMissingCase(); }
int32_t equipItem(Player&, LevelRecord&) { raiseMissingCase(); }
int32_t unequipItem(Player&, LevelRecord&) { raiseMissingCase(); }
int32_t getItem(Player&, LevelRecord&) { raiseMissingCase(); }
} // namespace dunvale
