#include "presentation/screen.h"
#include "test_support.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace dunvale {
namespace {

using testing::ScreenFixture;

TEST(ScreenLayout, BoxOfWidthTwo) {
    ScreenFixture fixture;
    drawBox(Brightness::Normal, Colour::Red, 2, 5, 5, 6);
    EXPECT_EQ(fixture.terminal.row(2), "     ++");
    EXPECT_EQ(fixture.terminal.row(3), "     ||");
    EXPECT_EQ(fixture.terminal.row(4), "     ||");
    EXPECT_EQ(fixture.terminal.row(5), "     ++");
}

TEST(ScreenLayout, BoxBlanksItsInside) {
    ScreenFixture fixture;
    writeText(Brightness::Normal, Colour::White, "xxxxxxxx", 3, 3);
    drawBox(Brightness::Bright, Colour::Blue, 2, 2, 4, 8);
    EXPECT_EQ(fixture.terminal.row(2), "  +-----+");
    EXPECT_EQ(fixture.terminal.row(3), "  |     |xx");
    EXPECT_EQ(fixture.terminal.attributeRow(2).substr(2, 7), "EEEEEEE");
}

TEST(ScreenLayout, FrameDrawsTheFiveBoxes) {
    ScreenFixture fixture;
    drawScreenFrame();
    const VirtualScreen& s = fixture.terminal;
    EXPECT_EQ(s.row(0), "+" + std::string(77, '-') + "+");
    EXPECT_EQ(s.row(23), "+" + std::string(77, '-') + "+");
    EXPECT_EQ(s.row(1), "|+" + std::string(25, '-') + "+ +" + std::string(19, '-') + "+ +" +
                            std::string(25, '-') + "+|");
    EXPECT_EQ(s.row(16), "|+" + std::string(75, '-') + "+|");
    for (int row = 17; row <= 21; ++row)
        EXPECT_EQ(s.row(row), "||" + std::string(75, ' ') + "||") << row;
    for (int row = 2; row <= 14; ++row)
        EXPECT_EQ(s.row(row).substr(2, 25), std::string(25, ' ')) << row;
    // Frame Black Bright, map Yellow Bright, panels Blue and Red Normal, messages Green.
    std::string attrs = s.attributeRow(1);
    EXPECT_EQ(attrs[0], 'A');
    EXPECT_EQ(attrs[1], '4');
    EXPECT_EQ(attrs[29], 'D');
    EXPECT_EQ(attrs[51], '1');
    EXPECT_EQ(s.attributeRow(16)[1], '2');
}

TEST(ScreenLayout, VirtualScreenDropsTextPastTheEdge) {
    ScreenFixture fixture;
    writeText(Brightness::Normal, Colour::White, "abcdef", 23, 75);
    EXPECT_EQ(fixture.terminal.row(23), std::string(75, ' ') + "abcd");
    writeText(Brightness::Normal, Colour::White, "zz", 24, 0);
    writeText(Brightness::Normal, Colour::White, "yy", -1, 0);
    EXPECT_EQ(fixture.terminal.row(0), "");
    // Off the left edge, only what reaches the screen is written.
    writeText(Brightness::Normal, Colour::White, "xxx", 1, -3);
    writeText(Brightness::Normal, Colour::White, "abc", 1, -2);
    writeText(Brightness::Normal, Colour::White, "w", 2, screenColumns);
    writeText(Brightness::Normal, Colour::White, "v", 2, INT32_MIN);
    EXPECT_EQ(fixture.terminal.row(1), "c");
    EXPECT_EQ(fixture.terminal.row(2), "");
    // A row of glyphs is clipped the same way.
    const Glyph g{'g', Colour::Red, Brightness::Bright};
    const std::vector<Glyph> glyphs(6, g);
    writeGlyphs(glyphs, 3, 75);
    writeGlyphs(glyphs, 4, -4);
    writeGlyphs(glyphs, 24, 0);
    EXPECT_EQ(fixture.terminal.row(3), std::string(75, ' ') + "gggg");
    EXPECT_EQ(fixture.terminal.row(4), "gg");
    EXPECT_EQ(fixture.terminal.attributeRow(4).substr(0, 3), "BB ");
}

// An area stays kept until something is written over any part of it.
TEST(ScreenLayout, KeptAreaIsForgottenWhenWrittenOver) {
    struct Case {
        const char* what;
        std::function<void()> after;
        bool kept;
    };
    const auto text = [](int row, int column, const char* s) {
        return [=] { writeText(Brightness::Normal, Colour::White, s, row, column); };
    };
    const Case cases[] = {
        {"nothing", [] {}, true},
        {"beside it", text(5, 0, "abcd"), true},
        {"above it", text(2, 10, "abcd"), true},
        {"its first cell", text(3, 7, "abcd"), false},
        {"its last cell", text(6, 20, "abcd"), false},
        {"from far left",
         [] { writeText(Brightness::Normal, Colour::White, std::string(200, 'x'), 4, -150); },
         false},
        {"glyphs over it",
         [] {
             writeGlyphs(std::vector<Glyph>(3, Glyph{'g', Colour::Red, Brightness::Normal}), 4, 9);
         },
         false},
        {"a box around it", [] { drawBox(Brightness::Normal, Colour::Red, 0, 0, 10, 40); }, false},
        {"cleared", [] { clearScreen(); }, false},
    };
    for (const Case& c : cases) {
        ScreenFixture fixture;
        keepArea(KeptArea::Map, 3, 10, 6, 20);
        keepArea(KeptArea::MessageBox, 20, 0, 20, 5);
        c.after();
        EXPECT_EQ(isKept(KeptArea::Map), c.kept) << c.what;
        EXPECT_EQ(isKept(KeptArea::MessageBox), std::string(c.what) != "cleared") << c.what;
    }
    ScreenFixture other;
    EXPECT_FALSE(isKept(KeptArea::Map)) << "another terminal keeps nothing";
}

TEST(ScreenLayout, NoColoursMeansPlainCells) {
    ScreenFixture fixture;
    fixture.terminal.colours = false;
    writeText(Brightness::Bright, Colour::Red, "a b", 0, 0);
    EXPECT_EQ(fixture.terminal.attributeRow(0).substr(0, 3), "- -");
    const Glyph glyphs[] = {{'c', Colour::Blue, Brightness::Bright},
                            {'d', Colour::Green, Brightness::Normal}};
    writeGlyphs(glyphs, 1, 0);
    EXPECT_EQ(fixture.terminal.attributeRow(1).substr(0, 2), "--");
}

TEST(ScreenLayout, TerminalSizeCheck) {
    EXPECT_EQ(terminalSizeProblem(24, 79), "");
    EXPECT_EQ(terminalSizeProblem(50, 200), "");
    EXPECT_EQ(terminalSizeProblem(20, 100),
              "dunvale needs a terminal of at least 79 x 24 characters; this one is 100 x 20.");
    EXPECT_NE(terminalSizeProblem(24, 78), "");
}

} // namespace
} // namespace dunvale
