#pragma once
// The replay tool: plays the real game on the virtual screen with a fixed
// seed and a script of keys, and prints what the screen shows.
#include "terminal/key_notation.h"
#include "terminal/virtual_screen.h"
#include "world/player.h"

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace dunvale {

// The --state lines of a game.
std::string describeGameState(const Player& player, const LevelRecord& level);

// What a replay did, for the soak and the benchmarks.
struct ReplayStats {
    int32_t turns = 0; // the turn counter when the game closed or stopped
    int64_t keysRead = 0;
    int64_t sectorChanges = 0; // moves of the adventurer into another sector
    bool reported = false;     // ended with an uncaught-error report
    std::string report;
    int status = 0; // the program's exit status: 1 when another game used the store
};

struct ReplayOptions {
    int32_t seed = 0;
    bool showSeed = false; // the seed was chosen: the end-of-game summary shows it
    std::string home;
    bool attrs = false;
    bool state = false;
    std::vector<int> keys;
    ReplayStats* stats = nullptr; // filled in when given
    // Run once the game is set up, before its first screen: a test prepares
    // a situation here.
    std::function<void(Player&, LevelRecord&)> onStart;
};

// Plays until the keys run out or the program ends; returns the tool's output,
// or only the line that refuses the game when another game uses the store.
std::string runReplay(const ReplayOptions& options);

// A script of `count` keys drawn from every command key (and a few keys
// that do nothing), reproducible from `seed`. Quitting is rare, so that a
// script plays one long game.
std::vector<int> randomKeys(uint32_t seed, int count);

} // namespace dunvale
