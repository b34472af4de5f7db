// Placeholder until this part of the game is written.
#include "player/magic.h"

#include "support/errors.h"

namespace dunvale {

void addEffect(Player&, EffectKind, int32_t) { raiseMissingCase(); }
void addPoison(Player&, int32_t) { raiseMissingCase(); }
int32_t curePoison(Player&, int32_t) { raiseMissingCase(); }
void readScroll(Item, Player&, LevelRecord&) { raiseMissingCase(); }
void drinkPotion(Item, Player&, LevelRecord&) { raiseMissingCase(); }
void magicMap(Player&, LevelRecord&) { raiseMissingCase(); }
void teleport(LevelRecord&, Player&) { raiseMissingCase(); }
} // namespace dunvale
