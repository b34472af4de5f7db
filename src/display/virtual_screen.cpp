#include "display/virtual_screen.h"

#include <algorithm>
#include <cstdint>

namespace dunvale {

void VirtualScreen::writeText(Brightness brightness, Colour colour, const std::string& text,
                              int row, int column) {
    if (row < 0 || row >= screenRows) return;
    // Only the part of the text that lands on the screen is written.
    const int64_t length = static_cast<int64_t>(text.size());
    const int64_t first = std::max<int64_t>(0, -int64_t{column});
    const int64_t last = std::min<int64_t>(length, int64_t{screenColumns} - column);
    const ScreenCell written{' ', true, colours, colour, brightness};
    auto& line = cells[static_cast<size_t>(row)];
    for (int64_t i = first; i < last; ++i) {
        ScreenCell& cell = line[static_cast<size_t>(column + i)];
        cell = written;
        cell.ch = text[static_cast<size_t>(i)];
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
