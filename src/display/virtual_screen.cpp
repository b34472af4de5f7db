#include "display/virtual_screen.h"

#include <algorithm>
#include <cstdint>

namespace dunvale {

void VirtualScreen::writeText(Brightness brightness, Colour colour, std::string_view text, int row,
                              int column) {
    if (row < 0 || row >= screenRows || column >= screenColumns) return;
    // Only the part of the text that lands on the screen is written.
    if (column < 0) {
        const auto before = static_cast<size_t>(-int64_t{column});
        if (before >= text.size()) return;
        text.remove_prefix(before);
        column = 0;
    }
    text = text.substr(0, static_cast<size_t>(screenColumns - column));
    const ScreenCell written{' ', true, colours, colour, brightness};
    ScreenCell* cell = &cells[static_cast<size_t>(row)][static_cast<size_t>(column)];
    for (char ch : text) {
        *cell = written;
        cell->ch = ch;
        ++cell;
    }
}

void VirtualScreen::clear() {
    for (auto& line : cells)
        line.fill(ScreenCell{});
}

int VirtualScreen::readKey() {
    if (onKeyWanted) onKeyWanted();
    if (keys.empty()) {
        if (onKeysExhausted) onKeysExhausted();
        throw KeysExhausted{};
    }
    int k = keys.front();
    keys.pop_front();
    ++keysRead;
    return k;
}

std::string VirtualScreen::row(int r) const {
    std::string line;
    for (const ScreenCell& cell : cells[r])
        line += cell.ch;
    size_t end = line.find_last_not_of(' ');
    return end == std::string::npos ? std::string() : line.substr(0, end + 1);
}

std::string VirtualScreen::text() const {
    std::string all;
    for (int r = 0; r < screenRows; ++r)
        all += row(r) + "\n";
    return all;
}

std::string VirtualScreen::attributeRow(int r) const {
    std::string line;
    for (const ScreenCell& cell : cells[r]) {
        if (cell.ch == ' ')
            line += ' ';
        else if (!cell.coloured)
            line += '-';
        else
            line += static_cast<char>((cell.brightness == Brightness::Bright ? 'A' : '0') +
                                      static_cast<int>(cell.colour));
    }
    return line;
}

} // namespace dunvale
