// The real game in a real terminal (tmux): a terminal too small, a resize
// during play, and signals all leave the terminal clean.
#include <gtest/gtest.h>

#include <array>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <thread>

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
    explicit TmuxGame(int columns, int rows) {
        char pattern[] = "/tmp/dunvale-tmux-XXXXXX";
        home = mkdtemp(pattern);
        // After the game: its exit status and whether the terminal is back in
        // line mode with echo.
        std::string script = home + "/play.sh";
        FILE* out = fopen(script.c_str(), "w");
        if (out != nullptr) {
            fprintf(out,
                    "trap true INT\necho $$ > %s/shell.pid\nHOME=%s %s\necho EXIT=$?\n"
                    "stty -a | grep -o -e ' icanon' -e ' echo ' | tr -d '\\n'\n"
                    "echo\necho DONE\nsleep 60\n",
                    home.c_str(), home.c_str(), DUNVALE_GAME_PATH);
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

} // namespace
