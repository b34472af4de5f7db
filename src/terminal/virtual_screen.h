#pragma once
// An in-memory 24 x 79 screen with scripted keys, for tests and the replay
// tool. Text past column 78 or below row 23 is dropped.
#include "presentation/screen.h"

#include <array>
#include <cstdint>
#include <deque>
#include <functional>
#include <string>

namespace dunvale {

// Thrown by readKey when the script has no keys left: the replay stops there.
struct KeysExhausted {};

// What one cell of the screen holds.
struct ScreenCell {
    char ch = ' ';
    bool written = false;
    bool coloured = false;
    Colour colour = Colour::White;
    Brightness brightness = Brightness::Normal;
};

// A cell's attributes, kept packed in a whole number: characters and looks
// live in separate grids, so that a write is two runs of plain copies.
struct CellLook {
    bool written = false;
    bool coloured = false;
    Colour colour = Colour::White;
    Brightness brightness = Brightness::Normal;
};

struct VirtualScreen : Terminal {
    using Row = std::array<char, screenColumns>;
    using LookRow = std::array<uint32_t, screenColumns>;
    std::array<Row, screenRows> chars = blankRows();
    std::array<LookRow, screenRows> looks = blankLooks();
    std::deque<int> keys;
    bool colours = true;
    bool started = false;
    int keysRead = 0;
    // Called when the script runs out, before KeysExhausted is thrown.
    std::function<void()> onKeysExhausted;
    // Called each time the game asks for a key (the replay tool counts with it).
    std::function<void()> onKeyWanted;

    void start() override { started = true; }
    void end() override { started = false; }
    bool hasColours() const override { return colours; }
    void writeText(Brightness brightness, Colour colour, std::string_view text, int row,
                   int column) override;
    void writeGlyphs(std::span<const Glyph> glyphs, int row, int column) override;
    void clear() override;
    void refresh() override {}
    int readKey() override;

    ScreenCell cell(int row, int column) const;
    // One row's characters, trailing spaces removed.
    std::string row(int r) const;
    // All 24 rows, each followed by a newline.
    std::string text() const;
    // One character per cell: ' ' space, '-' no colour, '0'..'7' Normal,
    // 'A'..'H' Bright.
    std::string attributeRow(int r) const;

  private:
    static std::array<Row, screenRows> blankRows();
    static std::array<LookRow, screenRows> blankLooks();
};

} // namespace dunvale
