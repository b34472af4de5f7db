// Whole games worked out from the rules of the game, independently of this
// code: each tests/golden/NAME.keys played with the seed at the end of NAME,
// in a fresh home, must print NAME.out byte for byte.
#include "test_support.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cstdio>
#include <filesystem>
#include <sstream>
#include <string>
#include <vector>

namespace {

namespace fs = std::filesystem;

std::string commandOutput(const std::string& command) {
    std::string output;
    FILE* pipe = popen(command.c_str(), "r");
    if (pipe == nullptr) return output;
    std::array<char, 8192> buffer{};
    while (size_t n = fread(buffer.data(), 1, buffer.size(), pipe))
        output.append(buffer.data(), n);
    pclose(pipe);
    return output;
}

// "line N: expected ... / got ..." for the first line that differs.
std::string firstDifference(const std::string& expected, const std::string& actual) {
    std::istringstream e(expected);
    std::istringstream a(actual);
    std::string want;
    std::string got;
    for (int line = 1;; ++line) {
        bool haveWant = static_cast<bool>(std::getline(e, want));
        bool haveGot = static_cast<bool>(std::getline(a, got));
        if (!haveWant && !haveGot) return "same lines, different line ends";
        if (!haveWant || !haveGot || want != got)
            return "line " + std::to_string(line) +
                   ":\n  expected: " + (haveWant ? want : "<end>") +
                   "\n  printed:  " + (haveGot ? got : "<end>");
    }
}

TEST(GoldenGames, EveryGamePlaysExactlyAsWorkedOut) {
    const fs::path folder = fs::path(DUNVALE_SOURCE_DIR) / "tests" / "golden";
    std::vector<fs::path> scripts;
    for (const auto& entry : fs::directory_iterator(folder))
        if (entry.path().extension() == ".keys") scripts.push_back(entry.path());
    std::sort(scripts.begin(), scripts.end());
    ASSERT_EQ(scripts.size(), 20u) << "games in " << folder;

    for (const fs::path& keys : scripts) {
        const std::string name = keys.stem().string();
        const std::string seed = name.substr(name.rfind('-') + 1);
        dunvale::testing::TempDir home;
        const std::string printed =
            commandOutput(std::string(DUNVALE_REPLAY_PATH) + " --seed " + seed + " --home " +
                          home.path.string() + " --attrs --state --keys-file " + keys.string());
        const std::string expected =
            dunvale::testing::readFile(fs::path(keys).replace_extension(".out"));
        EXPECT_TRUE(printed == expected)
            << name << " differs at " << firstDifference(expected, printed);
    }
}

} // namespace
