#include "display/virtual_screen.h"

namespace dunvale {

void VirtualScreen::writeText(Brightness brightness, Colour colour, const std::string& text,
                              int row, int column) {
    if (row < 0 || row >= screenRows) return;
    for (size_t i = 0; i < text.size(); ++i) {
        int c = column + static_cast<int>(i);
        if (c < 0) continue;
        if (c >= screenColumns) break;
        ScreenCell& cell = cells[row][c];
        cell.ch = text[i];
        cell.written = true;
        cell.coloured = colours;
        cell.colour = colour;
        cell.brightness = brightness;
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
