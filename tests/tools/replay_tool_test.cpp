// The replay tool and the game as programs: their arguments, exit status and
// output form.
#include <gtest/gtest.h>

#include <array>
#include <cstdio>
#include <filesystem>
#include <sstream>
#include <string>
#include <sys/wait.h>
#include <vector>

namespace {

struct Result {
    int status = -1;
    std::vector<std::string> lines;
};

Result runCommand(const std::string& program, const std::string& arguments) {
    Result result;
    std::string command = program + " " + arguments + " 2>&1 </dev/null";
    FILE* pipe = popen(command.c_str(), "r");
    if (pipe == nullptr) return result;
    std::string output;
    std::array<char, 4096> buffer{};
    while (size_t n = fread(buffer.data(), 1, buffer.size(), pipe))
        output.append(buffer.data(), n);
    int status = pclose(pipe);
    result.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    std::istringstream in(output);
    for (std::string line; std::getline(in, line);)
        result.lines.push_back(line);
    return result;
}

Result replayTool(const std::string& arguments) {
    return runCommand(DUNVALE_REPLAY_PATH, arguments);
}

TEST(ReplayTool, UsageErrorsExitWithTwo) {
    for (const char* arguments :
         {"--keys hj", "--seed 1", "--seed x --keys h", "--seed 99999999999 --keys h",
          "--seed 1 --keys '<F9>'", "--seed 1 --keys h --frobnicate",
          "--seed 1 --keys-file /nonexistent/keys", "--recording /nonexistent/game.rec",
          "--recording " DUNVALE_SOURCE_DIR "/README.md", "--recording", "--recording ''",
          "--recording /nonexistent/game.rec --seed 1", "--recording /nonexistent --keys h"}) {
        Result r = replayTool(arguments);
        EXPECT_EQ(r.status, 2) << arguments;
        ASSERT_FALSE(r.lines.empty()) << arguments;
        EXPECT_EQ(r.lines[0].rfind("dunvale-replay: ", 0), 0u) << arguments;
    }
}

TEST(GameProgram, BadArgumentsGiveAUsageError) {
    for (const char* arguments : {"--seed",
                                  "--seed x",
                                  "--seed 2147483648",
                                  "--seed -2147483649",
                                  "--seed ' 5'",
                                  "--seed 5x",
                                  "--seed=",
                                  "--seed 1 --seed 2",
                                  "--record",
                                  "--record ''",
                                  "--force",
                                  "--seed 3 --force",
                                  "--replay",
                                  "--delay 50",
                                  "--replay f --delay -1",
                                  "--replay f --delay 10001",
                                  "--replay f --delay fast",
                                  "--replay f --seed 3",
                                  "--replay f --record g",
                                  "--replay f --force",
                                  "--help=yes",
                                  "--frobnicate",
                                  "-s 5",
                                  "game.rec"}) {
        Result r = runCommand(DUNVALE_GAME_PATH, arguments);
        EXPECT_EQ(r.status, 2) << arguments;
        ASSERT_EQ(r.lines.size(), 3u) << arguments;
        EXPECT_EQ(r.lines[0].rfind("dunvale: ", 0), 0u) << arguments;
        EXPECT_EQ(r.lines[1].rfind("usage: dunvale ", 0), 0u) << arguments;
    }
}

TEST(ReplayTool, PrintsScreenAttributesAndState) {
    Result r = replayTool("--seed -5 --attrs --state --keys 'Q'");
    EXPECT_EQ(r.status, 0);
    ASSERT_EQ(r.lines.size(), 24u + 1 + 24 + 1 + 9);
    EXPECT_EQ(r.lines[24], "--");
    for (int i = 25; i < 49; ++i)
        EXPECT_EQ(r.lines[static_cast<size_t>(i)].size(), 79u);
    EXPECT_EQ(r.lines[49], "--");
    EXPECT_EQ(r.lines[50], "turn 2");
    EXPECT_EQ(r.lines[55], "flags 0 0");
    for (int i = 0; i < 24; ++i) {
        const std::string& line = r.lines[static_cast<size_t>(i)];
        EXPECT_TRUE(line.empty() || line.back() != ' ') << "trailing spaces removed: " << i;
    }
}

TEST(ReplayTool, KeepsAGivenHome) {
    char pattern[] = "/tmp/dunvale-replay-home-XXXXXX";
    std::string home = mkdtemp(pattern);
    Result r = replayTool("--seed 3 --home " + home + " --keys 'l'");
    EXPECT_EQ(r.status, 0);
    EXPECT_TRUE(std::filesystem::exists(home));
    std::filesystem::remove_all(home);
}

} // namespace
