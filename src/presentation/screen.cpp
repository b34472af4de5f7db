#include "presentation/screen.h"

#include "support/errors.h"

namespace dunvale {

namespace {
Terminal* current = nullptr;
} // namespace

std::string terminalSizeProblem(int rows, int columns) {
    if (rows >= screenRows && columns >= screenColumns) return "";
    return "dunvale needs a terminal of at least " + std::to_string(screenColumns) + " x " +
           std::to_string(screenRows) + " characters; this one is " + std::to_string(columns) +
           " x " + std::to_string(rows) + ".";
}

Terminal& screen() {
    if (current == nullptr) raiseError("Curses error", errorCode::cursesError);
    return *current;
}

void setScreen(Terminal* terminal) {
    current = terminal;
}

void writeText(Brightness brightness, Colour colour, std::string_view text, int row, int column) {
    screen().writeText(brightness, colour, text, row, column);
}

void Terminal::writeGlyphs(std::span<const Glyph> glyphs, int row, int column) {
    char text[screenColumns];
    size_t start = 0;
    while (start < glyphs.size()) {
        const Glyph& first = glyphs[start];
        size_t end = start;
        while (end < glyphs.size() && end - start < sizeof text &&
               glyphs[end].colour == first.colour && glyphs[end].brightness == first.brightness) {
            text[end - start] = glyphs[end].ch;
            ++end;
        }
        writeText(first.brightness, first.colour, std::string_view(text, end - start), row,
                  column + static_cast<int>(start));
        start = end;
    }
}

void writeGlyphs(std::span<const Glyph> glyphs, int row, int column) {
    screen().writeGlyphs(glyphs, row, column);
}

void drawBox(Brightness brightness, Colour colour, int top, int left, int bottom, int right) {
    int width = right - left - 1;
    std::string edge = std::string(1, '+').append(width > 0 ? width : 0, '-').append(1, '+');
    std::string middle = std::string(1, '|').append(width > 0 ? width : 0, ' ').append(1, '|');
    writeText(brightness, colour, edge, top, left);
    for (int row = top + 1; row < bottom; ++row)
        writeText(brightness, colour, middle, row, left);
    writeText(brightness, colour, edge, bottom, left);
}

void drawScreenFrame() {
    drawBox(Brightness::Bright, Colour::Black, 0, 0, 23, 78);
    drawBox(Brightness::Bright, Colour::Yellow, 1, 29, 15, 49);
    drawBox(Brightness::Normal, Colour::Blue, 1, 1, 15, 27);
    drawBox(Brightness::Normal, Colour::Red, 1, 51, 15, 77);
    drawBox(Brightness::Normal, Colour::Green, 16, 1, 22, 77);
}

void clearScreen() {
    screen().clear();
}

void refreshScreen() {
    screen().refresh();
}

int readKey() {
    for (;;) {
        int k = screen().readKey();
        if (k != key::Resize) return k;
    }
}

void waitForKey() {
    readKey();
}

void discardTypedAhead() {
    screen().discardTypedAhead();
}

} // namespace dunvale
