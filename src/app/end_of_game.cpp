#include "app/end_of_game.h"

#include "presentation/screen.h"
#include "rules/store.h"

namespace dunvale {

bool endOfGameSummary(const Outcome& outcome, const GameStore& store,
                      std::optional<int32_t> chosenSeed) {
    drawBox(Brightness::Bright, Colour::Blue, 10, 10, 14, 60);
    if (chosenSeed)
        writeText(Brightness::Bright, Colour::White, "Seed " + std::to_string(*chosenSeed), 14, 12);
    writeText(Brightness::Bright, Colour::White,
              outcome.escaped != 0 ? "You escaped!" : "You died...", 11, 11);
    writeText(Brightness::Bright, Colour::White,
              "You gained " + std::to_string(outcome.skillLevels) + " skill levels.", 12, 11);
    writeText(Brightness::Bright, Colour::White,
              "You found $" + std::to_string(outcome.treasure) + " in treasure.", 13, 11);
    refreshScreen();
    // Keys still arriving from the game must not skip the summary.
    discardTypedAhead();
    waitForKey();
    clearStore(store);
    return false;
}

} // namespace dunvale
