// The game: one run plays one game on the terminal, or plays a recording back.
#include "app/launch.h"
#include "terminal/curses_screen.h"

#include <ctime>
#include <iostream>
#include <sys/ioctl.h>
#include <unistd.h>

int main(int argc, char** argv) {
    std::string wrongArgument;
    auto options = dunvale::parseProgramArguments({argv + 1, argv + argc}, wrongArgument);
    if (!options) {
        std::cerr << "dunvale: " << wrongArgument << "\n" << dunvale::programUsage;
        return 2;
    }
    if (options->help) {
        std::cout << dunvale::programUsage;
        return 0;
    }
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
    dunvale::ProgramIo io{terminal, [&](int wait) { return terminal.readKeyWithin(wait); },
                          std::cout, std::cerr};
    return dunvale::runGame(*options, io, static_cast<int32_t>(std::time(nullptr)));
}
