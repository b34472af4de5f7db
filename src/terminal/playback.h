#pragma once
// Watching a recording: the game draws through the real terminal as ever,
// and its keys come from the recording, one every `delay` milliseconds. The
// viewer's own keys steer: Space pauses and plays on, "+" and "-" play
// faster and slower, "q" stops. When the recording or the game ends, a
// notice on the bottom edge of the screen waits for a key.
#include "presentation/screen.h"
#include "terminal/virtual_screen.h"

#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace dunvale {

constexpr int defaultPlaybackDelay = 100;
constexpr int maxPlaybackDelay = 10000;

// Asks the real terminal for a key, waiting at most so many milliseconds.
using ViewerKeys = std::function<std::optional<int>(int milliseconds)>;

// Thrown from readKey when the playback stops before the game's end.
struct PlaybackStopped {};

struct PlaybackTerminal : Terminal {
    PlaybackTerminal(Terminal& screen, ViewerKeys viewer, std::vector<int> keys, int delay)
        : screen(screen), viewer(std::move(viewer)), keys(std::move(keys)), delay(delay) {}
    ~PlaybackTerminal() override;
    PlaybackTerminal(const PlaybackTerminal&) = delete;
    PlaybackTerminal& operator=(const PlaybackTerminal&) = delete;

    // Also takes over SIGINT, SIGTERM, SIGHUP and SIGQUIT: they stop the
    // playback at the next key, so that its temporary store is removed.
    void start() override;
    // Waits for the viewer's key first, unless the playback was stopped.
    void end() override;
    bool hasColours() const override { return screen.hasColours(); }
    void writeText(Brightness brightness, Colour colour, std::string_view text, int row,
                   int column) override;
    void clear() override;
    void refresh() override { screen.refresh(); }
    int readKey() override;

    // The signal that stopped the playback, or 0.
    int stopSignal() const;

  private:
    Terminal& screen;
    ViewerKeys viewer;
    std::vector<int> keys;
    size_t next = 0;
    int delay;
    bool paused = false;
    bool started = false;
    bool stopped = false;
    // What the game has drawn, to put back what a notice covers.
    VirtualScreen drawn;
    int noticeLength = 0;

    void showNotice(const std::string& text);
    void clearNotice();
    void showStatus();
    // Handles one of the viewer's keys; false when it is no playback key.
    bool steer(int pressed);
    void waitForAnyKey();
    [[noreturn]] void stop();
};

} // namespace dunvale
