#include "presentation/screen.h"

#include "support/errors.h"

#include <algorithm>
#include <array>
#include <cstdint>

namespace dunvale {

namespace {

Terminal* current = nullptr;

struct Kept {
    int top = 0;
    int left = 0;
    int bottom = -1;
    int right = -1;
    bool kept = false;
};
std::array<Kept, 4> keptAreas;

void forgetAllAreas() {
    for (Kept& area : keptAreas)
        area.kept = false;
}

// A write of `length` characters from `column` of a row: no kept area under
// it stays kept.
void written(int row, int column, size_t length) {
    if (length == 0) return;
    const int64_t left = column;
    const int64_t right = left + static_cast<int64_t>(std::min<size_t>(length, INT32_MAX)) - 1;
    for (Kept& area : keptAreas)
        if (area.kept && row >= area.top && row <= area.bottom && right >= area.left &&
            left <= area.right)
            area.kept = false;
}

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
    forgetAllAreas();
}

void writeText(Brightness brightness, Colour colour, std::string_view text, int row, int column) {
    screen().writeText(brightness, colour, text, row, column);
    written(row, column, text.size());
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
    written(row, column, glyphs.size());
}

namespace {

// "+--+" or "|  |" from column left to column right, built in `room`: the
// rooms keep their storage from one box to the next.
std::string_view boxLine(std::string& room, char end, char fill, int left, int right) {
    const int width = right - left - 1;
    room.assign(width > 0 ? static_cast<size_t>(width) + 2 : 2, fill);
    room.front() = end;
    room.back() = end;
    return room;
}
std::string edgeRoom;
std::string middleRoom;

} // namespace

void drawBox(Brightness brightness, Colour colour, int top, int left, int bottom, int right) {
    const std::string_view edge = boxLine(edgeRoom, '+', '-', left, right);
    const std::string_view middle = boxLine(middleRoom, '|', ' ', left, right);
    writeText(brightness, colour, edge, top, left);
    for (int row = top + 1; row < bottom; ++row)
        writeText(brightness, colour, middle, row, left);
    writeText(brightness, colour, edge, bottom, left);
}

void drawBoxRow(Brightness brightness, Colour colour, int row, int left, int right) {
    writeText(brightness, colour, boxLine(middleRoom, '|', ' ', left, right), row, left);
}

void drawScreenFrame() {
    drawBox(Brightness::Bright, Colour::Black, 0, 0, 23, 78);
    drawBox(Brightness::Bright, Colour::Yellow, 1, 29, 15, 49);
    drawBox(Brightness::Normal, Colour::Blue, 1, 1, 15, 27);
    drawBox(Brightness::Normal, Colour::Red, 1, 51, 15, 77);
    drawBox(Brightness::Normal, Colour::Green, 16, 1, 22, 77);
}

void keepArea(KeptArea area, int top, int left, int bottom, int right) {
    keptAreas[static_cast<size_t>(area)] = Kept{top, left, bottom, right, true};
}

bool isKept(KeptArea area) {
    return keptAreas[static_cast<size_t>(area)].kept;
}

void clearScreen() {
    screen().clear();
    forgetAllAreas();
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
