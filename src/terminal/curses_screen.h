#pragma once
// The real terminal, through ncurses.
#include "presentation/screen.h"

#include <array>
#include <optional>

namespace dunvale {

struct CursesScreen : Terminal {
    void start() override;
    void end() override;
    bool hasColours() const override { return colours; }
    void writeText(Brightness brightness, Colour colour, std::string_view text, int row,
                   int column) override;
    void clear() override;
    void refresh() override;
    int readKey() override;
    void discardTypedAhead() override;
    // Waits at most `milliseconds` for a key, as readKey reads it; nothing
    // when none came in time or a signal cut the wait short. Lets a recording
    // play on while the viewer's keys are watched for.
    std::optional<int> readKeyWithin(int milliseconds);

  private:
    struct ShadowCell {
        char ch = ' ';
        Colour colour = Colour::White;
        Brightness brightness = Brightness::Normal;
    };
    // What the game has drawn, to repaint the whole screen after a resize.
    std::array<std::array<ShadowCell, screenColumns>, screenRows> shadow{};
    bool colours = false;
    // The terminal has the bright colours 8 to 15 as well: pairs 9 to 16.
    bool brightColours = false;
    bool active = false;

    void setUpColours();
    void put(Brightness brightness, Colour colour, std::string_view text, int row, int column);
    void repaint();
    void waitUntilLargeEnough();
};

// Restores the terminal if curses is active; safe to call from a signal
// handler's point of view (no allocation).
void restoreTerminalOnSignal(int signal);

} // namespace dunvale
