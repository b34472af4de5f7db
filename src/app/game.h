#pragma once
// The spine of the program: start-up, one game, the turn loop, the end.
#include "presentation/screen.h"
#include "world/player.h"

#include <cstdint>
#include <functional>
#include <iosfwd>

namespace dunvale {

// What a test or a tool may watch of a game: its records once the game is
// set up, before the first screen is drawn (to prepare a situation: an item
// carried, a place), and as the game closes, normally or by an error.
struct GameWatch {
    std::function<void(Player&, LevelRecord&)> started;
    std::function<void(const Player&, const LevelRecord&)> closing;
};

struct Outcome {
    int32_t skillLevels = 0;
    int32_t escaped = 0;
    int32_t treasure = 0;
};

// Plays one game on the terminal with the generator seeded by `seed`; a
// runtime error that ends the game is reported on `report` after the
// terminal has been restored. The store is opened and locked first, before
// the terminal is taken: a store that cannot be used ends in the report at
// once. The end-of-game summary shows the seed when `seedChosen` (the player
// gave it). Returns 0, or 1 (after one line on `report`) when another game is
// using the store. The screen is `terminal` while the game runs, and no
// longer when it returns or unwinds.
int runProgram(Terminal& terminal, std::ostream& report, int32_t seed, bool seedChosen = false,
               const GameWatch& watch = {});

// Start-up set-up, the turn loop and the key press after it, far sectors
// kept in `store`.
Outcome playOneGame(GameStore& store, const GameWatch& watch = {});

// Runs the turns of one command's budget: n > 0 turns, or a rest (-1) until
// something disturbs the adventurer, at most 99 turns.
void runTurns(int32_t budget, Player& player, LevelRecord& level);

} // namespace dunvale
