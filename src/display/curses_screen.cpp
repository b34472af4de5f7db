#include "display/curses_screen.h"

#include "support/errors.h"

#include <cerrno>
#include <csignal>
#include <curses.h>
#include <unistd.h>

namespace dunvale {

namespace {

volatile std::sig_atomic_t cursesActive = 0;

void check(int result) {
    if (result == ERR) raiseError("Curses error", errorCode::cursesError);
}

short pairOf(Colour colour) {
    return colour == Colour::Black ? 8 : static_cast<short>(colour);
}

void installSignalHandlers() {
    for (int signal : {SIGINT, SIGTERM, SIGHUP, SIGQUIT})
        std::signal(signal, restoreTerminalOnSignal);
}

} // namespace

void restoreTerminalOnSignal(int signal) {
    if (cursesActive) {
        cursesActive = 0;
        endwin();
    }
    std::signal(signal, SIG_DFL);
    std::raise(signal);
}

void CursesScreen::start() {
    if (initscr() == nullptr) raiseError("Curses error", errorCode::cursesError);
    active = true;
    cursesActive = 1;
    installSignalHandlers();
    check(cbreak());
    check(noecho());
    check(start_color());
    colours = has_colors();
    if (colours) {
        static const short foregrounds[8] = {COLOR_RED,     COLOR_GREEN, COLOR_YELLOW, COLOR_BLUE,
                                             COLOR_MAGENTA, COLOR_CYAN,  COLOR_WHITE,  COLOR_BLACK};
        for (short pair = 1; pair <= 8; ++pair)
            check(init_pair(pair, foregrounds[pair - 1], COLOR_BLACK));
    }
    check(keypad(stdscr, TRUE));
}

void CursesScreen::end() {
    if (!active) return;
    active = false;
    cursesActive = 0;
    nocbreak();
    echo();
    check(endwin());
}

void CursesScreen::put(Brightness brightness, Colour colour, std::string_view text, int row,
                       int column) {
    if (row < 0 || row >= LINES || column < 0 || column >= COLS || text.empty()) return;
    int room = COLS - column;
    int length = static_cast<int>(text.size()) < room ? static_cast<int>(text.size()) : room;
    attr_t attributes = 0;
    if (colours) {
        attributes = COLOR_PAIR(pairOf(colour));
        if (brightness == Brightness::Bright) attributes |= A_BOLD;
        check(attron(attributes));
    }
    int result = mvaddnstr(row, column, text.data(), length);
    // Writing the screen's last cell leaves the cursor nowhere to go, and
    // curses reports that as an error although the cell is written.
    bool reachesLastCell = row == LINES - 1 && column + length == COLS;
    if (result == ERR && !reachesLastCell) raiseError("Curses error", errorCode::cursesError);
    if (colours) check(attroff(attributes));
}

void CursesScreen::writeText(Brightness brightness, Colour colour, std::string_view text, int row,
                             int column) {
    if (row >= 0 && row < screenRows)
        for (size_t i = 0; i < text.size(); ++i) {
            int c = column + static_cast<int>(i);
            if (c < 0) continue;
            if (c >= screenColumns) break;
            shadow[row][c] = ShadowCell{text[i], colour, brightness};
        }
    put(brightness, colour, text, row, column);
}

void CursesScreen::clear() {
    for (auto& line : shadow)
        line.fill(ShadowCell{});
    check(move(0, 0));
    check(clrtobot());
}

void CursesScreen::refresh() {
    check(::refresh());
}

void CursesScreen::repaint() {
    ::clear();
    for (int row = 0; row < screenRows; ++row)
        for (int column = 0; column < screenColumns; ++column) {
            const ShadowCell& cell = shadow[row][column];
            if (cell.ch != ' ')
                put(cell.brightness, cell.colour, std::string(1, cell.ch), row, column);
        }
    ::refresh();
}

int CursesScreen::readKey() {
    int failures = 0;
    for (;;) {
        errno = 0;
        int k = getch();
        if (k == ERR) {
            // A signal interrupts the wait; anything else (the terminal is
            // gone) must not spin here for ever.
            if (errno == EINTR && ++failures < 1000) continue;
            raiseError("Curses error", errorCode::cursesError);
        }
        switch (k) {
        case KEY_RESIZE: repaint(); return key::Resize;
        case KEY_UP: return key::Up;
        case KEY_DOWN: return key::Down;
        case KEY_LEFT: return key::Left;
        case KEY_RIGHT: return key::Right;
        default: break;
        }
        for (int f = 1; f <= 5; ++f)
            if (k == KEY_F(f)) return key::F1 + (f - 1);
        return k;
    }
}

std::optional<int> CursesScreen::readKeyWithin(int milliseconds) {
    timeout(milliseconds);
    int k = getch();
    timeout(-1);
    if (k == ERR) return std::nullopt;
    // Handed back, so that readKey turns it into the game's key as ever.
    check(ungetch(k));
    return readKey();
}

} // namespace dunvale
