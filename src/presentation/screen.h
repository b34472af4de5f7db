#pragma once
// What the game asks of a terminal. Game rules draw only through this; the
// real game plugs in curses, tests and the replay tool a virtual screen.
#include <cstdint>
#include <span>
#include <string>
#include <string_view>

namespace dunvale {

enum class Colour : uint8_t { Black, Red, Green, Yellow, Blue, Magenta, Cyan, White };
enum class Brightness : uint8_t { Bright, Normal };

constexpr int screenRows = 24;
constexpr int screenColumns = 79;

// Keys arrive as their character, or as one of these codes.
namespace key {
constexpr int F1 = 0x1001;
constexpr int F2 = 0x1002;
constexpr int F3 = 0x1003;
constexpr int F4 = 0x1004;
constexpr int F5 = 0x1005;
constexpr int Up = 0x1010;
constexpr int Down = 0x1011;
constexpr int Left = 0x1012;
constexpr int Right = 0x1013;
// The terminal changed size; the screen is repainted, the game never sees it.
constexpr int Resize = 0x1020;
// A key the terminal sent that means nothing here (an unknown escape
// sequence, a curses key code the game has no use for): it is ignored.
constexpr int Unknown = 0x1021;
} // namespace key

// One character in its look. Plain, so that a row of them can be laid out
// without first being filled.
struct Glyph {
    char ch;
    Colour colour;
    Brightness brightness;
    friend bool operator==(const Glyph&, const Glyph&) = default;
};

struct Terminal {
    virtual ~Terminal() = default;
    virtual void start() = 0;
    virtual void end() = 0;
    virtual bool hasColours() const = 0;
    virtual void writeText(Brightness brightness, Colour colour, std::string_view text, int row,
                           int column) = 0;
    // A row of characters, each in its own look: the same as writing each
    // run of one look in turn, which is what it does unless the terminal
    // knows a quicker way.
    virtual void writeGlyphs(std::span<const Glyph> glyphs, int row, int column);
    virtual void clear() = 0;
    virtual void refresh() = 0;
    virtual int readKey() = 0;
    // Throws away keys typed ahead, so that a player sees what a key wait
    // shows. Scripted keys are not typed ahead: by default nothing is dropped.
    virtual void discardTypedAhead() {}
};

// Empty when a terminal of this size can hold the game, else the one-line
// explanation to give the player.
std::string terminalSizeProblem(int rows, int columns);

// The process-wide screen the game draws on.
Terminal& screen();
void setScreen(Terminal* terminal);

void writeText(Brightness brightness, Colour colour, std::string_view text, int row, int column);
void writeGlyphs(std::span<const Glyph> glyphs, int row, int column);
// "+--+" top and bottom, "|  |" between: also blanks the inside.
void drawBox(Brightness brightness, Colour colour, int top, int left, int bottom, int right);
// One inside row of such a box: "|  |".
void drawBoxRow(Brightness brightness, Colour colour, int row, int left, int right);
void drawScreenFrame();

// Parts of the screen whose drawers may leave them standing instead of
// drawing the same again. A drawer keeps an area (rows top to bottom, columns
// left to right) once it has drawn it, and the area stays kept until anything
// else is written over any part of it, the screen is cleared or another
// terminal is taken: then the drawer draws it whole again.
enum class KeptArea { Map, FirstPanel, SecondPanel, MessageBox };
void keepArea(KeptArea area, int top, int left, int bottom, int right);
bool isKept(KeptArea area);

void clearScreen();
void refreshScreen();
// Reads a key; a change of terminal size repaints and reads on.
int readKey();
void waitForKey();
void discardTypedAhead();

} // namespace dunvale
