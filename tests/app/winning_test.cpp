#include "app/game.h"
#include "replay_helpers.h"

#include <gtest/gtest.h>

namespace dunvale {
namespace {

using testing::lines;
using testing::replay;
using testing::stateField;

const Item escapeScroll{ItemClass::Scroll, 4};

// Puts an item into the adventurer's pack when the game starts.
std::function<void(Player&, LevelRecord&)> carrying(Item item, int slot) {
    return [item, slot](Player& player, LevelRecord&) {
        player.inventory[static_cast<size_t>(slot)] = item;
    };
}

TEST(WinningGame, ReadingTheEscapeScrollWins) {
    // Use, slot 3; the turn runs; a key after the last screen; the summary.
    std::string out = replay(21, "a3x", true, false, "", carrying(escapeScroll, 3));
    auto screen = lines(out);
    EXPECT_EQ(screen[11].substr(11, 12), "You escaped!");
    EXPECT_EQ(stateField(out, "flags"), "1 1");
    EXPECT_EQ(stateField(out, "inventory"), "- - - - - - - - - -") << "the scroll is used up";
    EXPECT_EQ(stateField(out, "turn"), "2") << "reading takes its turn in full";
}

TEST(WinningGame, TheLastScreenShowsTheFarewellBeforeTheSummary) {
    auto screen = lines(replay(21, "a0", false, false, "", carrying(escapeScroll, 0)));
    EXPECT_NE(screen[17].find("The labyrinth fades away around you."), std::string::npos);
    EXPECT_EQ(screen[11].find("You escaped!"), std::string::npos) << "summary not yet drawn";
}

TEST(WinningGame, CancellingTheUsePromptKeepsTheScroll) {
    std::string out = replay(21, "ax", true, false, "", carrying(escapeScroll, 0));
    EXPECT_EQ(stateField(out, "flags"), "1 0");
    EXPECT_EQ(stateField(out, "inventory"), "2.4 - - - - - - - - -");
    EXPECT_EQ(stateField(out, "turn"), "1");
}

TEST(ReplayState, LinesDescribeTheAdventurer) {
    auto equip = [](Player& player, LevelRecord&) {
        player.inventory[0] = Item{ItemClass::Weapon, 1};
        player.inventory[2] = Item{ItemClass::Potion, 1};
        player.equipment.armour = Item{ItemClass::Armour, 3};
        player.effects.push_back(TimedEffect{EffectKind::Poison, 4});
    };
    // Drink the regeneration potion: one turn passes.
    std::string out = replay(9, "a2", true, false, "", equip);
    EXPECT_EQ(stateField(out, "inventory"), "0.1 - - - - - - - - -");
    EXPECT_EQ(stateField(out, "equipment"), "- 3");
    std::string effects = stateField(out, "effects");
    EXPECT_EQ(effects.rfind("Poison:3 Regeneration:", 0), 0u) << effects;
    EXPECT_EQ(stateField(out, "turn"), "2");
    EXPECT_EQ(stateField(out, "position"), "0 0 0 5 5");
}

} // namespace
} // namespace dunvale
