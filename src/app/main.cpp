// The game: one run plays one game on the terminal.
#include "app/game.h"
#include "display/curses_screen.h"

#include <ctime>
#include <iostream>
#include <sys/ioctl.h>
#include <unistd.h>

int main() {
    winsize size{};
    if (isatty(STDOUT_FILENO) && ioctl(STDOUT_FILENO, TIOCGWINSZ, &size) == 0 && size.ws_row > 0 &&
        (size.ws_row < dunvale::screenRows || size.ws_col < dunvale::screenColumns)) {
        std::cerr << "dunvale needs a terminal of at least " << dunvale::screenColumns << " x "
                  << dunvale::screenRows << "; this one is " << size.ws_col << " x "
                  << size.ws_row << ".\n";
        return 1;
    }
    dunvale::CursesScreen terminal;
    return dunvale::runProgram(terminal, std::cout, static_cast<int32_t>(std::time(nullptr)));
}
