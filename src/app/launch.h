#pragma once
// What the program does with its options: plays a game, seeded by the
// player or the clock and recorded if asked, or plays a recording back.
#include "app/game.h"
#include "app/options.h"
#include "presentation/screen.h"
#include "terminal/playback.h"

#include <cstdint>
#include <iosfwd>
#include <string>

namespace dunvale {

// Where the program plays: the real terminal and streams, or a test's.
struct ProgramIo {
    Terminal& terminal;
    ViewerKeys viewerKeys; // the terminal's keys while a recording plays
    std::ostream& out;
    std::ostream& errors;
    GameWatch watch = {}; // what a test watches of the game
};

// Returns the exit status. A playback stopped by a signal ends, after its
// temporary store is removed, by that signal.
int runGame(const ProgramOptions& options, const ProgramIo& io, int32_t clockSeed);

// The last line of the uncaught-error report of a recorded game.
std::string replayCommandLine(const std::string& recordingPath);

} // namespace dunvale
