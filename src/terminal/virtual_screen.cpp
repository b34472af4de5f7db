#include "terminal/virtual_screen.h"

#include <algorithm>
#include <array>
#include <bit>
#include <cstdint>

namespace dunvale {

static_assert(sizeof(CellLook) == sizeof(uint32_t), "a look packs into a whole number");

namespace {

constexpr uint32_t lookBits(CellLook look) {
    return std::bit_cast<uint32_t>(look);
}

static_assert(lookBits(CellLook{false, false, Colour{}, Brightness{}}) == 0,
              "a look with every field zero has no bits set");

// Where a colour and brightness lie in the tables below.
constexpr size_t lookIndex(Colour colour, Brightness brightness) {
    return static_cast<size_t>(colour) * 2 + static_cast<size_t>(brightness);
}

// The look of a written cell in each colour and brightness, with colours
// shown or not: [coloured][lookIndex].
constexpr auto writtenLooks = [] {
    std::array<std::array<uint32_t, 16>, 2> looks{};
    for (size_t coloured = 0; coloured < 2; ++coloured)
        for (size_t c = 0; c < 8; ++c)
            for (size_t b = 0; b < 2; ++b)
                looks[coloured][lookIndex(static_cast<Colour>(c), static_cast<Brightness>(b))] =
                    lookBits(CellLook{true, coloured == 1, static_cast<Colour>(c),
                                      static_cast<Brightness>(b)});
    return looks;
}();

// Whole rows of each of those looks, for a run of one look to be copied from.
constexpr auto lookRows = [] {
    std::array<std::array<VirtualScreen::LookRow, 16>, 2> rows{};
    for (size_t coloured = 0; coloured < 2; ++coloured)
        for (size_t i = 0; i < 16; ++i)
            rows[coloured][i].fill(writtenLooks[coloured][i]);
    return rows;
}();

} // namespace

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
    const LookRow& look = lookRows[colours ? 1 : 0][lookIndex(colour, brightness)];
    const size_t at = static_cast<size_t>(column);
    std::copy(text.begin(), text.end(), chars[static_cast<size_t>(row)].begin() + at);
    std::copy_n(look.begin(), text.size(), looks[static_cast<size_t>(row)].begin() + at);
}

void VirtualScreen::writeGlyphs(std::span<const Glyph> glyphs, int row, int column) {
    if (row < 0 || row >= screenRows || column >= screenColumns) return;
    if (column < 0) {
        const auto before = static_cast<size_t>(-int64_t{column});
        if (before >= glyphs.size()) return;
        glyphs = glyphs.subspan(before);
        column = 0;
    }
    glyphs = glyphs.first(std::min(glyphs.size(), static_cast<size_t>(screenColumns - column)));
    Row& line = chars[static_cast<size_t>(row)];
    LookRow& lineLooks = looks[static_cast<size_t>(row)];
    size_t at = static_cast<size_t>(column);
    const auto& looksHere = writtenLooks[colours ? 1 : 0];
    for (const Glyph& glyph : glyphs) {
        line[at] = glyph.ch;
        lineLooks[at] = looksHere[lookIndex(glyph.colour, glyph.brightness)];
        ++at;
    }
}

std::array<VirtualScreen::Row, screenRows> VirtualScreen::blankRows() {
    std::array<Row, screenRows> rows;
    for (Row& row : rows)
        row.fill(' ');
    return rows;
}

std::array<VirtualScreen::LookRow, screenRows> VirtualScreen::blankLooks() {
    std::array<LookRow, screenRows> rows;
    for (LookRow& row : rows)
        row.fill(std::bit_cast<uint32_t>(CellLook{}));
    return rows;
}

ScreenCell VirtualScreen::cell(int row, int column) const {
    const auto look =
        std::bit_cast<CellLook>(looks[static_cast<size_t>(row)][static_cast<size_t>(column)]);
    return {chars[static_cast<size_t>(row)][static_cast<size_t>(column)], look.written,
            look.coloured, look.colour, look.brightness};
}

void VirtualScreen::clear() {
    chars = blankRows();
    looks = blankLooks();
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
    const Row& line = chars[static_cast<size_t>(r)];
    std::string text(line.begin(), line.end());
    size_t end = text.find_last_not_of(' ');
    return end == std::string::npos ? std::string() : text.substr(0, end + 1);
}

std::string VirtualScreen::text() const {
    std::string all;
    for (int r = 0; r < screenRows; ++r)
        all += row(r) + "\n";
    return all;
}

std::string VirtualScreen::attributeRow(int r) const {
    std::string line;
    for (int c = 0; c < screenColumns; ++c) {
        const ScreenCell cell = this->cell(r, c);
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
