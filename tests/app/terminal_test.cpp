// The real game in a real terminal (tmux): a terminal too small, a resize
// during play, and signals all leave the terminal clean; recordings made and
// played back there.
#include "test_support.h"

#include <gtest/gtest.h>

#include <array>
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
    // temporary files in home/tmp.
    explicit TmuxGame(int columns, int rows, const std::string& arguments = "") {
        char pattern[] = "/tmp/dunvale-tmux-XXXXXX";
        home = mkdtemp(pattern);
        // After the game: its exit status and whether the terminal is back in
        // line mode with echo.
        std::string script = home + "/play.sh";
        FILE* out = fopen(script.c_str(), "w");
        if (out != nullptr) {
            fprintf(out,
                    "trap true INT\necho $$ > %s/shell.pid\ncd %s\nmkdir tmp\n"
                    "HOME=$PWD TMPDIR=$PWD/tmp %s %s\necho EXIT=$?\n"
                    "stty -a | grep -o -e ' icanon' -e ' echo ' | tr -d '\\n'\n"
                    "echo\necho DONE\nsleep 60\n",
                    home.c_str(), home.c_str(), DUNVALE_GAME_PATH, arguments.c_str());
            fclose(out);
        }
        run(tmuxCommand + " new-session -d -s game -x " + std::to_string(columns) + " -y " +
            std::to_string(rows) + " 'bash " + script + "'");
        pause(600);
    }
    ~TmuxGame() {
        run(tmuxCommand + " kill-server");
        std::filesystem::remove_all(home);
    }
    std::string screen() { return run(tmuxCommand + " capture-pane -p -t game"); }
    void keys(const std::string& keys) { run(tmuxCommand + " send-keys -t game " + keys); }
    std::string waitFor(const std::string& text) {
        for (int i = 0; i < 40; ++i) {
            std::string s = screen();
            if (s.find(text) != std::string::npos) return s;
            pause(100);
        }
        return screen();
    }
};

bool haveTmux() {
    return run("command -v tmux").find("tmux") != std::string::npos;
}

TEST(RealTerminal, TooSmallATerminalIsRefusedCleanly) {
    if (!haveTmux()) GTEST_SKIP() << "tmux is not installed";
    TmuxGame game(70, 20);
    std::string s = game.waitFor("DONE");
    EXPECT_NE(s.find("dunvale needs a terminal of at least 79 x 24 characters"), std::string::npos)
        << s;
    EXPECT_NE(s.find("EXIT=1"), std::string::npos) << s;
    EXPECT_NE(s.find(" icanon echo"), std::string::npos) << s;
}

TEST(RealTerminal, ResizeRepaintsTheWholeScreen) {
    if (!haveTmux()) GTEST_SKIP() << "tmux is not installed";
    TmuxGame game(79, 24);
    std::string before = game.waitFor("Good luck!");
    ASSERT_NE(before.find("Controls (F1)"), std::string::npos) << before;
    run(game.tmuxCommand + " resize-window -t game -x 50 -y 12");
    pause(300);
    run(game.tmuxCommand + " resize-window -t game -x 79 -y 24");
    pause(400);
    EXPECT_EQ(game.screen(), before);
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

TEST(RealTerminal, QuitAndAKeyEndTheGameCleanly) {
    if (!haveTmux()) GTEST_SKIP() << "tmux is not installed";
    TmuxGame game(79, 24);
    game.waitFor("Good luck!");
    game.keys("Q");
    game.waitFor("You quit...");
    game.keys("x");
    std::string summary = game.waitFor("You died...");
    EXPECT_NE(summary.find("You gained 0 skill levels."), std::string::npos) << summary;
    game.keys("x");
    std::string s = game.waitFor("DONE");
    EXPECT_NE(s.find("EXIT=0"), std::string::npos) << s;
    EXPECT_NE(s.find(" icanon echo"), std::string::npos) << s;
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
    // A change of size is no key of the game: it is not recorded.
    run(game.tmuxCommand + " resize-window -t game -x 60 -y 20");
    pause(200);
    run(game.tmuxCommand + " resize-window -t game -x 79 -y 24");
    game.keys("'<' F3 Up j w");
    const std::string recording = game.home + "/game.rec";
    const std::string expected = "dunvale recording 1\nseed 77 chosen\nllk<lt><F3><Up>jw";
    for (int i = 0; i < 40 && fileText(recording) != expected; ++i)
        pause(100);
    pause(300);
    std::string screen = game.screen();
    run("pkill -KILL -P $(cat " + game.home + "/shell.pid)");
    game.waitFor("EXIT=137");
    EXPECT_EQ(fileText(recording), expected);
    EXPECT_EQ(replayedScreen(recording, 24), screen);
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
