#pragma once
// The replay tool: plays the real game on the virtual screen with a fixed
// seed and a script of keys, and prints what the screen shows.
#include "display/virtual_screen.h"
#include "player/player.h"

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace dunvale {

// Key notation: printable characters stand for themselves; "<" opens a named
// key (<F1>..<F5>, <Up>, <Down>, <Left>, <Right>, <lt>). Newlines are
// ignored. Returns nothing and sets `error` for an unknown name.
std::optional<std::vector<int>> parseKeyScript(const std::string& script, std::string& error);

// The --state lines of a game.
std::string describeGameState(const Player& player, const LevelRecord& level);

struct ReplayOptions {
    int32_t seed = 0;
    std::string home;
    bool attrs = false;
    bool state = false;
    std::vector<int> keys;
};

// Plays until the keys run out or the program ends; returns the tool's output.
std::string runReplay(const ReplayOptions& options);

} // namespace dunvale
