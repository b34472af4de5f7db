#pragma once
// The command line: a game, seeded and recorded if asked, or a recording
// played back.
#include "terminal/playback.h"

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace dunvale {

struct ProgramOptions {
    bool help = false;
    std::optional<int32_t> seed;      // chosen by the player; else the clock's
    std::string record;               // the recording to write; empty for none
    bool force = false;               // replace an existing recording
    std::string replay;               // the recording to play back; empty for none
    int delay = defaultPlaybackDelay; // milliseconds between keys played back
};

extern const char* const programUsage;

// The options, or nothing with `error` set to one line saying what is wrong.
std::optional<ProgramOptions> parseProgramArguments(const std::vector<std::string>& arguments,
                                                    std::string& error);

} // namespace dunvale
