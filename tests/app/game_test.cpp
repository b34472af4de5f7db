#include "app/game.h"
#include "replay_helpers.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

namespace dunvale {
namespace {

using testing::lines;
using testing::replay;
using testing::stateField;

TEST(GameFlow, FirstScreenShowsBoxesHelpStatusAndWelcome) {
    for (int32_t seed : {1, 77, 20261208}) {
        auto screen = lines(replay(seed, ""));
        ASSERT_EQ(screen.size(), 24u);
        EXPECT_EQ(screen[0], "+" + std::string(77, '-') + "+");
        EXPECT_EQ(screen[23], "+" + std::string(77, '-') + "+");
        EXPECT_EQ(screen[1].substr(0, 9), "|+------C");
        EXPECT_NE(screen[1].find("Controls (F1)"), std::string::npos);
        EXPECT_NE(screen[1].find("Current status (F3)"), std::string::npos);
        EXPECT_EQ(screen[2].substr(2, 11), "...Movement");
        EXPECT_EQ(screen[12].substr(2, 6), "use: a");
        EXPECT_EQ(screen[2].substr(52, 14), "Exploration: 0");
        EXPECT_EQ(screen[4].substr(52, 18), "Energy     : 100  ");
        EXPECT_EQ(screen[7].substr(54, 10), "unarmoured");
        EXPECT_EQ(screen[9].substr(54, 7), "unarmed");
        EXPECT_EQ(screen[8][39], '@');
        EXPECT_EQ(screen[17].substr(2),
                  "Welcome to the endless maze." + std::string(47, ' ') + "||");
        EXPECT_NE(screen[18].find("It is rumoured that somewhere"), std::string::npos);
        EXPECT_NE(screen[19].find("means of escape"), std::string::npos);
        EXPECT_NE(screen[20].find("Good luck! Use F1 or ? to view the help at any time"),
                  std::string::npos);
        EXPECT_EQ(screen[21], "||" + std::string(75, ' ') + "||");
    }
}

TEST(GameFlow, FirstScreenColours) {
    auto out = lines(replay(5, "", false, true));
    ASSERT_EQ(out.size(), 49u);
    const std::string& frameRow = out[25];
    EXPECT_EQ(frameRow[0], 'A') << "frame Black Bright";
    EXPECT_EQ(out[25 + 8][39], 'G') << "the player Cyan Bright";
    EXPECT_EQ(out[25 + 2][2], 'D') << "help headings Yellow Bright";
    EXPECT_EQ(out[25 + 3][3], '3') << "help lines Yellow Normal";
    EXPECT_EQ(out[25 + 2][52], '1') << "status Red Normal";
    EXPECT_EQ(out[25 + 17][2], '2') << "welcome Green Normal";
    for (const std::string& row : std::vector<std::string>(out.begin() + 25, out.end()))
        EXPECT_EQ(row.size(), 79u);
}

TEST(GameFlow, QuitRunsOneMoreTurnThenShowsTheSummary) {
    std::string out = replay(3, "Qx", true);
    auto screen = lines(out);
    EXPECT_NE(screen[17].find("You quit..."), std::string::npos);
    EXPECT_EQ(screen[10].substr(10, 51), "+" + std::string(49, '-') + "+");
    EXPECT_EQ(screen[11].substr(11, 11), "You died...");
    EXPECT_EQ(screen[12].substr(11, 26), "You gained 0 skill levels.");
    EXPECT_EQ(screen[13].substr(11, 25), "You found $0 in treasure.");
    EXPECT_EQ(stateField(out, "flags"), "0 0");
    EXPECT_EQ(stateField(out, "turn"), "2") << "the quit turn ran in full";
}

// The key after the summary clears every "S" entry of the store, whether
// this game wrote it or not, and nothing else; before that key, nothing.
TEST(GameFlow, TheEndOfAGameClearsOnlyTheSectorFiles) {
    namespace fs = std::filesystem;
    for (bool keyAfterSummary : {false, true}) {
        testing::TempDir home;
        const fs::path store = home.path / ".dunvale";
        fs::create_directory(store);
        fs::permissions(store, fs::perms::owner_all);
        for (const char* name : {"S9_9_9", "Save1", "notes", "s1_0_0"})
            std::ofstream(store / name) << "x";
        replay(3, keyAfterSummary ? "Qxx" : "Qx", false, false, home.path.string());
        for (const char* name : {"S9_9_9", "Save1"})
            EXPECT_EQ(fs::exists(store / name), !keyAfterSummary) << name;
        for (const char* name : {"notes", "s1_0_0"})
            EXPECT_TRUE(fs::exists(store / name)) << name;
    }
}

TEST(GameFlow, SmallQDoesNotQuitAndUnknownKeysDoNothing) {
    std::string out = replay(3, "qxZ", true);
    EXPECT_EQ(stateField(out, "flags"), "1 0");
    EXPECT_EQ(stateField(out, "turn"), "1");
}

TEST(GameFlow, PanelKeysTakeNoTime) {
    std::string out = replay(8, "+++++", true);
    EXPECT_EQ(stateField(out, "turn"), "1");
    auto screen = lines(out);
    // Five presses bring the second slot round to the status panel again.
    EXPECT_NE(screen[1].find("Current status (F3)"), std::string::npos);
    // The first redraw of the panels replaces the help by the location panel.
    EXPECT_NE(screen[1].find("Location (F2)"), std::string::npos);
    EXPECT_EQ(screen[2].substr(2, 18), "You're a bit lost.");
}

TEST(GameFlow, BriefPanelStaysUntilTheNextCommand) {
    auto shown = lines(replay(8, "<F3>"));
    EXPECT_EQ(shown[1].substr(2, 24).find("Current status (F3)") != std::string::npos, true);
    auto after = lines(replay(8, "<F3>."));
    EXPECT_NE(after[1].substr(0, 28).find("Location (F2)"), std::string::npos);
}

} // namespace
} // namespace dunvale
