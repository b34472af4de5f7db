// The real game in a real terminal (tmux): terminals it cannot use, resizes
// during play, colours, keypad and other keys, signals and the ending, the
// terminal left clean every time; recordings made and played back there.
#include "test_support.h"

#include <gtest/gtest.h>

#include <array>
#include <cctype>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

namespace {

// A private tmux server for each game.
std::string newTmuxCommand() {
    static int games = 0;
    return "tmux -L dunvale-test-" + std::to_string(getpid()) + "-" + std::to_string(++games);
}

std::string run(const std::string& command) {
    std::string output;
    FILE* pipe = popen((command + " 2>&1").c_str(), "r");
    if (pipe == nullptr) return output;
    std::array<char, 4096> buffer{};
    while (size_t n = fread(buffer.data(), 1, buffer.size(), pipe))
        output.append(buffer.data(), n);
    pclose(pipe);
    return output;
}

void pause(int milliseconds) {
    std::this_thread::sleep_for(std::chrono::milliseconds(milliseconds));
}

struct TmuxGame {
    std::string tmuxCommand = newTmuxCommand();
    std::string home;
    // The game runs in `home` (also its HOME) with `arguments`, and keeps its
    // temporary files in home/tmp. `environment`: words before the game's
    // command, such as "TERM=screen".
    explicit TmuxGame(int columns, int rows, const std::string& arguments = "",
                      const std::string& environment = "") {
        char pattern[] = "/tmp/dunvale-tmux-XXXXXX";
        home = mkdtemp(pattern);
        // After the game: its exit status and whether the terminal is back in
        // line mode with echo and flow control.
        std::string script = home + "/play.sh";
        FILE* out = fopen(script.c_str(), "w");
        if (out != nullptr) {
            fprintf(out,
                    "trap true INT\necho $$ > %s/shell.pid\ncd %s\nmkdir tmp\n"
                    "%s HOME=$PWD TMPDIR=$PWD/tmp %s %s\necho EXIT=$?\n"
                    "stty -a | grep -o -e ' ixon' -e ' icanon' -e ' echo ' | tr -d '\\n'\n"
                    "echo\necho DONE\nsleep 60\n",
                    home.c_str(), home.c_str(), environment.c_str(), DUNVALE_GAME_PATH,
                    arguments.c_str());
            fclose(out);
        }
        run(tmuxCommand + " new-session -d -s game -x " + std::to_string(columns) + " -y " +
            std::to_string(rows) + " 'bash " + script + "'");
    }
    ~TmuxGame() {
        run(tmuxCommand + " kill-server");
        std::filesystem::remove_all(home);
    }
    std::string screen(const std::string& options = "") {
        return run(tmuxCommand + " capture-pane -p " + options + " -t game");
    }
    // Keys as tmux names them ("KP7", "C-s"), or "-H 1b 4f 77" for raw bytes.
    void keys(const std::string& keys) { run(tmuxCommand + " send-keys -t game " + keys); }
    void resize(int columns, int rows) {
        run(tmuxCommand + " resize-window -t game -x " + std::to_string(columns) + " -y " +
            std::to_string(rows));
    }
    template <typename Ready> std::string waitUntil(Ready ready) {
        for (int i = 0; i < 200; ++i) {
            std::string s = screen();
            if (ready(s)) return s;
            pause(20);
        }
        return screen();
    }
    std::string waitFor(const std::string& text) {
        return waitUntil([&](const std::string& s) { return s.find(text) != std::string::npos; });
    }
};

// The captured pane as 24 lines of 79 characters.
std::vector<std::string> paneLines(const std::string& pane) {
    std::vector<std::string> lines;
    std::istringstream in(pane);
    for (std::string line; std::getline(in, line) && lines.size() < 24;)
        lines.push_back(line);
    lines.resize(24);
    for (std::string& line : lines)
        line.resize(79, ' ');
    return lines;
}

// Everything but the left panel, whose title the tests use as a marker.
std::vector<std::string> outsideLeftPanel(std::vector<std::string> lines) {
    for (int row = 1; row <= 15; ++row)
        lines[row].replace(1, 27, 27, ' ');
    return lines;
}

// After a step by (dx, dy) every wall of the map window (rows 2 to 14,
// columns 30 to 48) has moved the other way, and the window has changed.
bool wallsFollowStep(const std::vector<std::string>& before, const std::vector<std::string>& after,
                     int dx, int dy) {
    bool changed = false;
    for (int row = 2; row <= 14; ++row)
        for (int column = 30; column <= 48; ++column) {
            changed = changed || before[row][column] != after[row][column];
            int movedRow = row + dy;
            int movedColumn = column - dx;
            if (before[row][column] == '#' && movedRow >= 2 && movedRow <= 14 &&
                movedColumn >= 30 && movedColumn <= 48 && after[movedRow][movedColumn] != '#')
                return false;
        }
    return changed;
}

bool haveTmux() {
    return run("command -v tmux").find("tmux") != std::string::npos;
}

TEST(RealTerminal, AnUnusableTerminalIsRefusedCleanly) {
    if (!haveTmux()) GTEST_SKIP() << "tmux is not installed";
    struct Case {
        const char* environment;
        int columns, rows;
        const char* report;
        const char* status;
    };
    for (const Case& c : {
             Case{"", 70, 20, "dunvale needs a terminal of at least 79 x 24 characters", "EXIT=1"},
             Case{"env -u TERM", 79, 24, "Curses error: TERM is not set", "EXIT=0"},
             Case{"TERM=nonsense", 79, 24, "Curses error: unknown terminal type \"nonsense\"",
                  "EXIT=0"},
         }) {
        TmuxGame game(c.columns, c.rows, "", c.environment);
        std::string s = game.waitFor("DONE");
        EXPECT_NE(s.find(c.report), std::string::npos) << c.environment << "\n" << s;
        EXPECT_NE(s.find(c.status), std::string::npos) << c.environment << "\n" << s;
        EXPECT_NE(s.find(" ixon icanon echo"), std::string::npos) << c.environment << "\n" << s;
    }
}

// Too small: the notice, and keys are not obeyed; large enough again: the
// whole screen; larger: the screen in the middle.
TEST(RealTerminal, ResizeShowsTheNoticeRepaintsAndCentres) {
    if (!haveTmux()) GTEST_SKIP() << "tmux is not installed";
    TmuxGame game(79, 24);
    game.waitFor("Good luck!");
    pause(200); // the whole first screen, not a capture taken while it is written
    const std::string before = game.screen();
    ASSERT_NE(before.find("Controls (F1)"), std::string::npos) << before;
    game.resize(50, 12);
    std::string notice = game.waitFor("dunvale needs a terminal of at least 79 x 24");
    EXPECT_NE(notice.find("this one is 50 x 12."), std::string::npos) << notice;
    game.keys("Q");
    game.resize(79, 24);
    EXPECT_EQ(game.waitUntil([&](const std::string& s) { return s == before; }), before);
    game.resize(101, 30);
    // Every line of the screen, 3 rows down and 11 columns in.
    const std::vector<std::string> beforeLines = paneLines(before);
    auto centredLines = [&](const std::string& pane) {
        std::vector<std::string> lines;
        std::istringstream in(pane);
        for (std::string line; std::getline(in, line);) {
            line.resize(11 + 79, ' ');
            lines.push_back(line);
        }
        return lines;
    };
    auto centred = [&](const std::string& pane) {
        const std::vector<std::string> lines = centredLines(pane);
        if (lines.size() < 3 + beforeLines.size()) return false;
        for (size_t row = 0; row < beforeLines.size(); ++row)
            if (lines[3 + row] != std::string(11, ' ') + beforeLines[row]) return false;
        return true;
    };
    const std::string pane = game.waitUntil(centred);
    EXPECT_TRUE(centred(pane)) << pane;
}

// Bright is bold, and also the bright colour where the terminal has 16.
TEST(RealTerminal, BrightColoursAreBrightWhereTheTerminalHasThem) {
    if (!haveTmux()) GTEST_SKIP() << "tmux is not installed";
    struct Case {
        const char* environment;
        const char* frame; // how the pane draws the Black, Bright screen frame
    };
    for (const Case& c :
         {Case{"TERM=xterm-256color", "\033[1m\033[90m"}, Case{"TERM=screen", "\033[1m\033[30m"}}) {
        TmuxGame game(79, 24, "", c.environment);
        game.waitFor("Good luck!");
        std::string s = game.screen("-e");
        EXPECT_EQ(s.rfind(c.frame, 0), 0u) << c.environment << "\n" << s.substr(0, 40);
    }
}

TEST(RealTerminal, SignalsRestoreTheTerminal) {
    if (!haveTmux()) GTEST_SKIP() << "tmux is not installed";
    struct Case {
        const char* how;
        const char* status;
    };
    for (const Case& c : {Case{"C-c", "EXIT=130"}, Case{"TERM", "EXIT=143"}}) {
        TmuxGame game(79, 24);
        game.waitFor("Good luck!");
        if (std::string(c.how) == "C-c")
            game.keys("C-c");
        else
            // The game is the child of the pane's shell.
            run("pkill -TERM -P $(cat " + game.home + "/shell.pid)");
        std::string s = game.waitFor("DONE");
        EXPECT_NE(s.find(c.status), std::string::npos) << c.how << "\n" << s;
        EXPECT_NE(s.find(" icanon echo"), std::string::npos) << c.how << "\n" << s;
    }
}

// Keypad keys move as their digits, whatever the terminal description says;
// sequences the game does not know do nothing at all, nor do Ctrl-S and
// Ctrl-Q. Keys typed ahead of the ending do not skip it.
TEST(RealTerminal, KeypadKeysMoveAndOtherSequencesDoNothing) {
    if (!haveTmux()) GTEST_SKIP() << "tmux is not installed";
    struct Case {
        const char* keys;
        bool steps;
        int dx, dy;
    };
    static const Case cases[] = {
        {"KP4", true, -1, 0},         {"KP6", true, 1, 0},
        {"KP8", true, 0, 1},          {"KP2", true, 0, -1},
        {"KP7", true, -1, 1},         {"KP3", true, 1, -1},
        {"KP9", true, 1, 1},          {"KP1", true, -1, -1},
        {"-H 1b 4f 77", true, -1, 1}, {"-H 1b 4f 73", true, 1, -1},
        {"Home", true, -1, 1},        {"NPage", true, 1, -1},
        {"PPage", true, 1, 1},        {"End", true, -1, -1},
        {"-H 1b 4f 7a", false, 0, 0}, {"-H 1b 5b 39 39 7e", false, 0, 0},
        {"-H 1b 6c", false, 0, 0},    {"KPEnter", false, 0, 0},
        {"C-s", false, 0, 0},         {"C-q", false, 0, 0},
    };
    for (const char* environment : {"TERM=tmux-256color", "TERM=xterm-256color"}) {
        // Recorded, so that keys pass through the recording as well.
        TmuxGame game(79, 24, "--record game.rec", environment);
        game.waitFor("Good luck!");
        int shown = 0;
        for (const Case& c : cases) {
            std::vector<std::string> before = paneLines(game.screen());
            game.keys(c.keys);
            // A panel shown briefly marks that the key before it was read; it
            // takes no turn and keeps the messages.
            const char* marker = ++shown % 2 != 0 ? "Current status (F3)" : "Inventory (F4)";
            game.keys(shown % 2 != 0 ? "F3" : "F4");
            auto markerShown = [&](const std::string& s) {
                return paneLines(s)[1].find(marker) < 28;
            };
            std::string pane = game.waitUntil(markerShown);
            std::string where = std::string(environment) + " " + c.keys;
            ASSERT_TRUE(markerShown(pane)) << where << ": the game reads no keys\n" << pane;
            std::vector<std::string> after = paneLines(pane);
            char target = before[8 - c.dy][39 + c.dx];
            if (!c.steps || target == '#')
                EXPECT_EQ(outsideLeftPanel(after), outsideLeftPanel(before)) << where;
            else if (std::isalpha(static_cast<unsigned char>(target)))
                EXPECT_NE(after[17].find("You "), std::string::npos) << where << "\n" << after[17];
            else
                EXPECT_TRUE(wallsFollowStep(before, after, c.dx, c.dy)) << where;
        }
        game.keys("KP+");
        // The inventory is already up in the first panel: wait for it in the second.
        auto inSecondPanel = [](const std::string& s) {
            return paneLines(s)[1].find("Inventory (F4)", 28) != std::string::npos;
        };
        EXPECT_TRUE(inSecondPanel(game.waitUntil(inSecondPanel)));
        game.keys("lllQll");
        game.waitFor("You died...");
        pause(300);
        std::string s = game.screen();
        EXPECT_NE(s.find("You died..."), std::string::npos) << environment << "\n" << s;
        EXPECT_NE(s.find("You quit..."), std::string::npos) << environment << "\n" << s;
    }
}

// Escape acts at once; after the summary a key ends the game cleanly.
TEST(RealTerminal, EscapeActsAtOnceAndTheGameEndsCleanly) {
    if (!haveTmux()) GTEST_SKIP() << "tmux is not installed";
    TmuxGame game(79, 24);
    game.waitFor("Good luck!");
    game.keys("Q");
    game.waitFor("You quit...");
    auto pressed = std::chrono::steady_clock::now();
    game.keys("Escape");
    std::string summary = game.waitFor("You died...");
    auto waited = std::chrono::steady_clock::now() - pressed;
    EXPECT_LT(waited, std::chrono::milliseconds(200));
    EXPECT_NE(summary.find("You gained 0 skill levels."), std::string::npos) << summary;
    game.keys("x");
    std::string s = game.waitFor("DONE");
    EXPECT_NE(s.find("EXIT=0"), std::string::npos) << s;
    EXPECT_NE(s.find(" ixon icanon echo"), std::string::npos) << s;
}

std::string fileText(const std::string& path) {
    std::ifstream in(path);
    std::ostringstream content;
    content << in.rdbuf();
    return content.str();
}

// The first `rows` lines of a text.
std::string firstRows(const std::string& text, int rows) {
    size_t at = 0;
    for (int row = 0; row < rows && at < text.size(); ++row) {
        size_t end = text.find('\n', at);
        at = end == std::string::npos ? text.size() : end + 1;
    }
    return text.substr(0, at);
}

// The screen rows the replay tool prints for a recording.
std::string replayedScreen(const std::string& recording, int rows) {
    return firstRows(run(std::string(DUNVALE_REPLAY_PATH) + " --recording " + recording), rows);
}

TEST(RealTerminal, AKilledRecordedGameReplaysToItsLastKey) {
    if (!haveTmux()) GTEST_SKIP() << "tmux is not installed";
    TmuxGame game(79, 24, "--seed 77 --record game.rec");
    game.waitFor("Good luck!");
    game.keys("l l k");
    const std::string recording = game.home + "/game.rec";
    const std::string expected = "dunvale recording 1\nseed 77 chosen\nllk<lt><F3><Up>jw";
    // Keys typed while the terminal is too small are not obeyed: the first
    // ones are read before the terminal shrinks.
    for (int i = 0; i < 40 && fileText(recording).find("llk") == std::string::npos; ++i)
        pause(100);
    // A change of size is no key of the game: it is not recorded. The next
    // keys wait for the whole screen.
    game.resize(60, 20);
    game.waitFor("dunvale needs a terminal");
    game.resize(79, 24);
    game.waitFor("Current status (F3)");
    game.keys("'<' F3 Up j w");
    for (int i = 0; i < 40 && fileText(recording) != expected; ++i)
        pause(100);
    // The last key is recorded before it is played: the screen is taken once
    // it shows what the recording replays to, or after a few seconds.
    const std::string replayed = replayedScreen(recording, 24);
    std::string screen = game.waitUntil([&](const std::string& s) { return s == replayed; });
    run("pkill -KILL -P $(cat " + game.home + "/shell.pid)");
    game.waitFor("EXIT=137");
    EXPECT_EQ(fileText(recording), expected);
    EXPECT_EQ(replayed, screen);
}

TEST(RealTerminal, PlaybackShowsTheGameAndStops) {
    if (!haveTmux()) GTEST_SKIP() << "tmux is not installed";
    struct Case {
        const char* delay;
        std::vector<std::string> steps; // keys to send, or "=TEXT" to wait for TEXT
        const char* status;
    };
    const Case cases[] = {
        {"0", {"=End of recording", "x"}, "EXIT=0"},
        {"5000", {"=Good luck!", "Space", "=Paused", "q"}, "EXIT=0"},
        {"5000", {"=Good luck!", "C-c"}, "EXIT=130"},
    };
    dunvale::testing::TempDir folder;
    const std::string recording = folder.path.string() + "/game.rec";
    std::ofstream(recording) << "dunvale recording 1\nseed 77 chosen\nllkj\nQxx\n";
    for (const Case& c : cases) {
        TmuxGame game(79, 24, std::string("--replay ") + recording + " --delay " + c.delay);
        std::string screen;
        for (const std::string& step : c.steps)
            if (step[0] == '=')
                screen = game.waitFor(step.substr(1));
            else
                game.keys(step);
        if (std::string(c.delay) == "0") {
            // Row 24 holds the notice.
            EXPECT_EQ(firstRows(screen, 23), replayedScreen(recording, 23)) << screen;
            EXPECT_NE(screen.find("+-Seed 77---"), std::string::npos) << screen;
        }
        std::string after = game.waitFor("DONE");
        EXPECT_NE(after.find(c.status), std::string::npos) << c.status << "\n" << after;
        EXPECT_NE(after.find(" icanon echo"), std::string::npos) << after;
        EXPECT_TRUE(std::filesystem::is_empty(game.home + "/tmp")) << "temporary store left";
        EXPECT_FALSE(std::filesystem::exists(game.home + "/.dunvale")) << "the player's store used";
    }
}

} // namespace
