#pragma once
// Recordings: the seed of a game and every key it read, written while the
// game is played, so that a game cut short by a crash or a kill keeps every
// key up to the last one read. The game's --replay and dunvale-replay
// --recording read them back. The file:
//
//   dunvale recording 1
//   seed -1234 chosen
//   hjkl<F1>..., the keys in the key notation over as many lines as it takes
//
// "chosen" stands after the seed when the player gave it (--seed), so that
// the end-of-game summary shows it on playback as it did in the game.
#include "presentation/screen.h"

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace dunvale {

struct Recording {
    int32_t seed = 0;
    bool seedChosen = false;
    std::vector<int> keys;
};

// A signed 32-bit whole number in decimal, nothing else around it.
std::optional<int32_t> parseSeed(std::string_view text);

std::optional<Recording> parseRecording(const std::string& text, std::string& error);
// Reads a plain file (not a device or a pipe, which could be endless).
std::optional<Recording> readRecordingFile(const std::string& path, std::string& error);

// Creates `path` for a new recording and writes its first two lines; returns
// the open file, or -1 with `error` set. An existing `path` is refused unless
// `replace` is given; a link is never written through: with `replace` the
// link itself is replaced. Only plain files and links are ever replaced.
int createRecordingFile(const std::string& path, bool replace, int32_t seed, bool seedChosen,
                        std::string& error);

// Passes everything to `inner`, and writes each key the game reads to the
// recording the moment it is read, straight to the system (no buffer to lose).
// A change of the terminal's size is no key of the game and is not written.
struct RecordingTerminal : Terminal {
    RecordingTerminal(Terminal& inner, int file) : inner(inner), file(file) {}
    void start() override { inner.start(); }
    void end() override { inner.end(); }
    bool hasColours() const override { return inner.hasColours(); }
    void writeText(Brightness brightness, Colour colour, std::string_view text, int row,
                   int column) override {
        inner.writeText(brightness, colour, text, row, column);
    }
    void clear() override { inner.clear(); }
    void refresh() override { inner.refresh(); }
    int readKey() override;
    // Keys thrown away are never read by the game, so never recorded.
    void discardTypedAhead() override { inner.discardTypedAhead(); }

    // Empty while every key has been written; else why the recording stopped.
    std::string failure;
    int64_t keysWritten = 0;

  private:
    Terminal& inner;
    int file;
    size_t lineLength = 0;
};

} // namespace dunvale
