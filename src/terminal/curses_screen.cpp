#include "terminal/curses_screen.h"

#include "support/errors.h"

#include <algorithm>
#include <cerrno>
#include <csignal>
#include <cstdlib>
#include <curses.h>
#include <string>
#include <termios.h>
#include <unistd.h>

namespace dunvale {

namespace {

volatile std::sig_atomic_t cursesActive = 0;
SCREEN* cursesScreen = nullptr;

// Long enough for a sequence to arrive whole, short enough that Escape
// cancels a prompt at once.
constexpr int escapeDelayMilliseconds = 25;
constexpr int escapeCharacter = 27;

// Keypad keys are bound to codes of the game's own, each meaning a character
// the key carries, so that the digits move as the key table says and no
// keypad key ever arrives as a letter.
constexpr int keypadCodeBase = 0x2000;

int keypadCode(char carried) {
    return keypadCodeBase + carried;
}

struct KeypadSequence {
    const char* sequence;
    char carried;
};

// Bound whatever the terminal description says: tmux and screen leave the
// application keypad (ESC O p to ESC O y for 0 to 9, and the keys around
// them) out, and a terminal inside another sends the outer one's Home, End,
// Page Up and Page Down, which carry 7, 1, 9 and 3 on the keypad. ESC [ E is
// the middle key with Num Lock off.
constexpr KeypadSequence keypadSequences[] = {
    {"\033Op", '0'},  {"\033Oq", '1'},  {"\033Or", '2'},  {"\033Os", '3'},  {"\033Ot", '4'},
    {"\033Ou", '5'},  {"\033Ov", '6'},  {"\033Ow", '7'},  {"\033Ox", '8'},  {"\033Oy", '9'},
    {"\033OE", '5'},  {"\033[E", '5'},  {"\033On", '.'},  {"\033Ok", '+'},  {"\033Om", '-'},
    {"\033Oj", '*'},  {"\033Oo", '/'},  {"\033Ol", ','},  {"\033OX", '='},  {"\033OM", '\n'},
    {"\033[1~", '7'}, {"\033[H", '7'},  {"\033OH", '7'},  {"\033[4~", '1'}, {"\033[F", '1'},
    {"\033OF", '1'},  {"\033[5~", '9'}, {"\033[6~", '3'},
};

void check(int result) {
    if (result == ERR) raiseError("Curses error", errorCode::cursesError);
}

std::string unusableTerminalMessage() {
    const char* type = std::getenv("TERM");
    if (type == nullptr || *type == '\0') return "Curses error: TERM is not set";
    return std::string("Curses error: unknown terminal type \"").append(type).append("\"");
}

short pairOf(Colour colour) {
    return colour == Colour::Black ? 8 : static_cast<short>(colour);
}

void installSignalHandlers() {
    for (int signal : {SIGINT, SIGTERM, SIGHUP, SIGQUIT})
        std::signal(signal, restoreTerminalOnSignal);
}

// Ctrl-S would freeze the display while keys are still obeyed blind: with
// flow control off, Ctrl-S and Ctrl-Q are ordinary keys. Signals stay on, so
// Ctrl-C still ends the game cleanly.
void stopFlowControl() {
    termios settings{};
    if (tcgetattr(STDIN_FILENO, &settings) != 0) return;
    settings.c_iflag &= ~static_cast<tcflag_t>(IXON);
    // Saved as the game's terminal mode, so that curses restores it too.
    if (tcsetattr(STDIN_FILENO, TCSANOW, &settings) == 0) def_prog_mode();
}

// Until a screen has once been left and taken back, curses flushes its
// output at every cursor movement: a screen goes out in dozens of writes of
// a line each. Leaving it once at the start (nothing is shown yet; the first
// refresh takes it back) lets every refresh, the first screen included, go
// out in as few writes as its output buffer allows.
void sendWholeRefreshes() {
    endwin();
}

void bindKeypadSequences() {
    // A sequence that cannot be bound still never acts as a letter: it is
    // read as an unknown escape sequence.
    for (const KeypadSequence& key : keypadSequences)
        define_key(key.sequence, keypadCode(key.carried));
}

// The next key, waiting for ever. A signal interrupts the wait; anything else
// (the terminal is gone) must not spin here for ever.
int nextKey() {
    for (int failures = 0;; ++failures) {
        errno = 0;
        int k = getch();
        if (k != ERR) return k;
        if (errno != EINTR || failures >= 1000) raiseError("Curses error", errorCode::cursesError);
    }
}

// A key already sent, or ERR when none comes within the wait.
int keyWithin(int milliseconds) {
    timeout(milliseconds);
    int k = getch();
    timeout(-1);
    return k;
}

// An Escape that curses did not recognise as the start of a known key: alone
// it is the Escape key; followed at once by more, it begins a sequence that is
// read whole and ignored, so that none of its characters acts as a key.
int readAfterEscape() {
    int next = keyWithin(0);
    if (next == ERR) return escapeCharacter;
    if (next != '[' && next != 'O') return key::Unknown;
    // Parameters and intermediates (0x20 to 0x3f) up to a final character.
    for (int length = 0; length < 32; ++length) {
        int k = keyWithin(escapeDelayMilliseconds);
        if (k == ERR || (k >= 0x40 && k <= 0x7e)) break;
        if (k < 0x20 || k > 0x3f) {
            ungetch(k);
            break;
        }
    }
    return key::Unknown;
}

int translateKey(int k) {
    if (k >= keypadCodeBase && k < keypadCodeBase + 128) return k - keypadCodeBase;
    switch (k) {
    case KEY_UP: return key::Up;
    case KEY_DOWN: return key::Down;
    case KEY_LEFT: return key::Left;
    case KEY_RIGHT: return key::Right;
    // The keypad's corners and middle, as the terminal description names them.
    case KEY_A1:
    case KEY_HOME: return '7';
    case KEY_A3:
    case KEY_PPAGE: return '9';
    case KEY_B2: return '5';
    case KEY_C1:
    case KEY_END: return '1';
    case KEY_C3:
    case KEY_NPAGE: return '3';
    case KEY_ENTER: return '\n';
    default: break;
    }
    for (int f = 1; f <= 5; ++f)
        if (k == KEY_F(f)) return key::F1 + (f - 1);
    return k < KEY_MIN ? k : key::Unknown;
}

// Where the 79 x 24 screen sits: in the middle of a larger terminal.
int topRow() {
    return LINES > screenRows ? (LINES - screenRows) / 2 : 0;
}
int leftColumn() {
    return COLS > screenColumns ? (COLS - screenColumns) / 2 : 0;
}

bool tooSmall() {
    return !terminalSizeProblem(LINES, COLS).empty();
}

// The size notice, wrapped at spaces to the terminal's width. Its writes are
// not checked: one that ends in the last cell is reported as a failure.
void showSizeNotice() {
    erase();
    const std::string notice = terminalSizeProblem(LINES, COLS);
    std::string_view text = notice;
    const size_t width = COLS > 0 ? static_cast<size_t>(COLS) : 1;
    for (int row = 0; row < LINES && !text.empty(); ++row) {
        size_t cut = text.size() <= width ? text.size() : text.rfind(' ', width);
        if (cut == std::string_view::npos || cut == 0) cut = std::min(width, text.size());
        mvaddnstr(row, 0, text.data(), static_cast<int>(cut));
        text.remove_prefix(cut);
        while (!text.empty() && text.front() == ' ')
            text.remove_prefix(1);
    }
    ::refresh();
}

} // namespace

// The leak checker of the sanitizer builds: ncurses 6.4 drops the screen it
// prepares when it finds no description of the terminal, just before the
// program reports that and exits. The game's own leaks are still reported.
extern "C" const char* __lsan_default_suppressions() {
    return "leak:new_prescr\n";
}

void restoreTerminalOnSignal(int signal) {
    if (cursesActive) {
        cursesActive = 0;
        endwin();
    }
    std::signal(signal, SIG_DFL);
    std::raise(signal);
}

void CursesScreen::start() {
    // Unlike initscr, newterm leaves a terminal it cannot use to the game's
    // own report instead of ending the program.
    cursesScreen = newterm(nullptr, stdout, stdin);
    if (cursesScreen == nullptr) raiseError(unusableTerminalMessage(), errorCode::cursesError);
    active = true;
    cursesActive = 1;
    installSignalHandlers();
    check(cbreak());
    check(noecho());
    stopFlowControl();
    set_escdelay(escapeDelayMilliseconds);
    setUpColours();
    check(keypad(stdscr, TRUE));
    bindKeypadSequences();
    sendWholeRefreshes();
}

void CursesScreen::setUpColours() {
    // Where there are no colours starting them may fail; the game draws plainly.
    int started = start_color();
    colours = has_colors();
    if (!colours) return;
    check(started);
    static const short foregrounds[8] = {COLOR_RED,     COLOR_GREEN, COLOR_YELLOW, COLOR_BLUE,
                                         COLOR_MAGENTA, COLOR_CYAN,  COLOR_WHITE,  COLOR_BLACK};
    for (short pair = 1; pair <= 8; ++pair)
        check(init_pair(pair, foregrounds[pair - 1], COLOR_BLACK));
    // Many terminals draw bold in a heavier font but not brighter: where the
    // bright colours exist, Bright uses them as well as bold, so that Black,
    // Bright is dark grey rather than black on black.
    brightColours = COLORS >= 16 && COLOR_PAIRS > 16;
    if (brightColours)
        for (short pair = 9; pair <= 16; ++pair)
            check(init_pair(pair, static_cast<short>(foregrounds[pair - 9] + 8), COLOR_BLACK));
}

void CursesScreen::end() {
    if (!active) return;
    active = false;
    cursesActive = 0;
    nocbreak();
    echo();
    check(endwin());
    delscreen(cursesScreen);
    cursesScreen = nullptr;
}

void CursesScreen::put(Brightness brightness, Colour colour, std::string_view text, int row,
                       int column) {
    row += topRow();
    column += leftColumn();
    if (row < 0 || row >= LINES || column < 0 || column >= COLS || text.empty()) return;
    int room = COLS - column;
    int length = static_cast<int>(text.size()) < room ? static_cast<int>(text.size()) : room;
    attr_t attributes = 0;
    if (colours) {
        bool bright = brightness == Brightness::Bright;
        short pair = pairOf(colour);
        if (bright && brightColours) pair = static_cast<short>(pair + 8);
        attributes = COLOR_PAIR(pair) | (bright ? A_BOLD : 0);
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
    // The terminal shrank while turns ran: the notice stays until it grows.
    if (tooSmall()) return showSizeNotice();
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

// While the terminal is too small for the screen, the notice says so and keys
// are read and dropped; once it is large enough the whole screen is repainted.
void CursesScreen::waitUntilLargeEnough() {
    while (tooSmall()) {
        showSizeNotice();
        while (nextKey() != KEY_RESIZE) {
        }
    }
    repaint();
}

int CursesScreen::readKey() {
    // The error report's key wait when curses never started: nothing to read.
    if (!active) raiseError("Curses error", errorCode::cursesError);
    int k = nextKey();
    if (k == KEY_RESIZE) {
        waitUntilLargeEnough();
        return key::Resize;
    }
    if (k == escapeCharacter) return readAfterEscape();
    return translateKey(k);
}

void CursesScreen::discardTypedAhead() {
    if (active) flushinp();
}

std::optional<int> CursesScreen::readKeyWithin(int milliseconds) {
    int k = keyWithin(milliseconds);
    if (k == ERR) return std::nullopt;
    // Handed back, so that readKey turns it into the game's key as ever.
    check(ungetch(k));
    return readKey();
}

} // namespace dunvale
