// The game: one run plays one game on the terminal.
#include "app/game.h"
#include "display/curses_screen.h"

#include <ctime>
#include <iostream>
#include <sys/ioctl.h>
#include <unistd.h>

int main() {
    // Refuse a terminal too small for the screen before curses takes it over.
    winsize size{};
    if (isatty(STDOUT_FILENO) && ioctl(STDOUT_FILENO, TIOCGWINSZ, &size) == 0 && size.ws_row > 0) {
        std::string problem = dunvale::terminalSizeProblem(size.ws_row, size.ws_col);
        if (!problem.empty()) {
            std::cerr << problem << "\n";
            return 1;
        }
    }
    dunvale::CursesScreen terminal;
    return dunvale::runProgram(terminal, std::cout, static_cast<int32_t>(std::time(nullptr)));
}
