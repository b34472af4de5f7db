#include "app/launch.h"

#include "app/game.h"
#include "app/private_home.h"
#include "terminal/recording.h"

#include <csignal>
#include <filesystem>
#include <ostream>
#include <sstream>
#include <unistd.h>

namespace dunvale {

namespace {

// A path as the shell takes it back: in single quotes when it needs them.
std::string shellWord(const std::string& text) {
    bool plain =
        !text.empty() && text.find_first_not_of("abcdefghijklmnopqrstuvwxyz"
                                                "ABCDEFGHIJKLMNOPQRSTUVWXYZ"
                                                "0123456789_./+-:,@%=") == std::string::npos;
    if (plain) return text;
    std::string quoted = "'";
    for (char c : text)
        quoted += c == '\'' ? std::string("'\\''") : std::string(1, c);
    return quoted + "'";
}

struct FileCloser {
    int file;
    ~FileCloser() { ::close(file); }
};

int playRecorded(const ProgramOptions& options, const ProgramIo& io, int32_t seed) {
    std::error_code ignored;
    std::string path = std::filesystem::absolute(options.record, ignored).string();
    std::string error;
    int file =
        createRecordingFile(options.record, options.force, seed, options.seed.has_value(), error);
    if (file < 0) {
        io.errors << "dunvale: " << error << "\n";
        return 1;
    }
    FileCloser closer{file};
    RecordingTerminal recorder(io.terminal, file);
    std::ostringstream report;
    runProgram(recorder, report, seed, options.seed.has_value(), io.watch);
    io.out << report.str();
    if (!report.str().empty()) io.out << replayCommandLine(path.empty() ? options.record : path);
    io.out.flush();
    if (recorder.failure.empty()) return 0;
    io.errors << "dunvale: the recording " << options.record << " stopped after "
              << recorder.keysWritten << " keys: " << recorder.failure << "\n";
    return 1;
}

int playBack(const ProgramOptions& options, const ProgramIo& io) {
    std::string error;
    std::optional<Recording> recording = readRecordingFile(options.replay, error);
    if (!recording) {
        io.errors << "dunvale: " << error << "\n";
        return 1;
    }
    int stopSignal = 0;
    {
        PrivateHome home("dunvale-playback");
        if (home.path.empty()) {
            io.errors << "dunvale: " << home.problem << "\n";
            return 1;
        }
        PlaybackTerminal playback(io.terminal, io.viewerKeys, std::move(recording->keys),
                                  options.delay);
        try {
            runProgram(playback, io.out, recording->seed, recording->seedChosen, io.watch);
        } catch (const PlaybackStopped&) {
            // The viewer stopped it before the game's end.
        }
        playback.end();
        stopSignal = playback.stopSignal();
    }
    if (stopSignal != 0) {
        std::signal(stopSignal, SIG_DFL);
        std::raise(stopSignal);
    }
    return 0;
}

} // namespace

std::string replayCommandLine(const std::string& recordingPath) {
    std::string file = shellWord(recordingPath);
    return "Recorded in " + file + "; replay with: dunvale-replay --recording " + file + "\n";
}

int runGame(const ProgramOptions& options, const ProgramIo& io, int32_t clockSeed) {
    if (!options.replay.empty()) return playBack(options, io);
    int32_t seed = options.seed.value_or(clockSeed);
    if (!options.record.empty()) return playRecorded(options, io, seed);
    return runProgram(io.terminal, io.out, seed, options.seed.has_value(), io.watch);
}

} // namespace dunvale
