#include "rules/player_turn.h"
#include "test_support.h"
#include "world/player.h"

#include <gtest/gtest.h>

#include <set>
#include <vector>

namespace dunvale {
namespace {

using namespace dunvale::testing;

TEST(PlayerRecord, NewPlayerStartsAtTheEntrance) {
    Player player = newPlayer();
    EXPECT_EQ(player.position, (Position{SectorCoord{0, 0, 0}, 5, 5}));
    EXPECT_EQ(player.playing, 1);
    EXPECT_EQ(player.escaped, 0);
    EXPECT_EQ(player.energy, 100);
    EXPECT_EQ(player.skills.exploration, 0);
    EXPECT_EQ(player.skills.combat, 0);
    EXPECT_EQ(player.panels[0], Panel::Controls);
    EXPECT_EQ(player.panels[1], Panel::CurrentStatus);
    for (const auto& slot : player.inventory)
        EXPECT_FALSE(slot);
    EXPECT_FALSE(player.equipment.weapon);
    EXPECT_FALSE(player.equipment.armour);
    EXPECT_EQ(player.treasure, 0);
    EXPECT_TRUE(player.effects.empty());
}

// The one message queued, with flag 1; none when `text` is empty.
void expectMessage(const std::string& text) {
    if (text.empty()) {
        EXPECT_TRUE(messageQueue().empty());
        return;
    }
    ASSERT_EQ(messageQueue().size(), 1u);
    EXPECT_EQ(messageQueue()[0].text, text);
    EXPECT_EQ(messageQueue()[0].flag, 1);
}

TEST(PlayerRecord, EndOfTurnEnergyRules) {
    struct Case {
        int32_t energy;
        std::vector<TimedEffect> effects;
        int32_t expected;
        bool warned;
        Case(int32_t energy, std::vector<TimedEffect> effects, int32_t expected, bool warned)
            : energy(energy), effects(effects), expected(expected), warned(warned) {}
    };
    const TimedEffect regeneration{EffectKind::Regeneration, 5};
    const TimedEffect poison{EffectKind::Poison, 5};
    const Case cases[] = {
        Case(1, {}, 2, true), Case(9, {}, 10, true), Case(10, {}, 11, false),
        Case(99, {}, 100, false), Case(100, {}, 100, false), Case(100, {regeneration}, 100, false),
        Case(98, {regeneration}, 100, false), Case(50, {regeneration, regeneration}, 59, false),
        // Warned before the poison bites, not after.
        Case(10, {poison, poison}, 9, false), Case(9, {poison}, 9, true),
        Case(100, {{EffectKind::Protection, 5}, {EffectKind::Might, 5}}, 100, false)};
    for (const Case& c : cases) {
        ScreenFixture fixture;
        auto level = levelWith({});
        Player player = newPlayer();
        player.energy = c.energy;
        player.effects = c.effects;
        endOfTurnUpdate(player, *level);
        SCOPED_TRACE(c.energy);
        EXPECT_EQ(player.energy, c.expected);
        EXPECT_EQ(player.playing, 1);
        EXPECT_EQ(level->turn, 2);
        expectMessage(c.warned ? "LOW ENERGY WARNING!" : "");
    }
}

TEST(PlayerRecord, DeathEndsTheUpdateAtOnce) {
    for (int32_t energy : {0, -7}) {
        ScreenFixture fixture;
        auto level = levelWith({});
        level->turn = 30;
        Player player = newPlayer();
        player.energy = energy;
        player.effects = {{EffectKind::Regeneration, 3}, {EffectKind::Poison, 1}};
        const auto effects = player.effects;
        endOfTurnUpdate(player, *level);
        EXPECT_EQ(player.playing, 0);
        EXPECT_EQ(player.energy, energy);
        EXPECT_EQ(player.effects, effects);
        EXPECT_EQ(level->turn, 30);
        expectMessage("You die...");
    }
}

TEST(PlayerRecord, EffectsActOnTheirLastTurnThenGo) {
    ScreenFixture fixture;
    auto level = levelWith({});
    Player player = newPlayer();
    player.energy = 50;
    player.effects = {{EffectKind::Poison, 1},
                      {EffectKind::Might, 3},
                      {EffectKind::Poison, 0},
                      {EffectKind::Protection, 2}};
    endOfTurnUpdate(player, *level);
    // 50 + 1, then both poison entries bite.
    EXPECT_EQ(player.energy, 49);
    EXPECT_EQ(player.effects,
              (std::vector<TimedEffect>{{EffectKind::Might, 2}, {EffectKind::Protection, 1}}));
    endOfTurnUpdate(player, *level);
    EXPECT_EQ(player.effects, (std::vector<TimedEffect>{{EffectKind::Might, 1}}));
    EXPECT_EQ(level->turn, 3);
}

TEST(PlayerRecord, FirstVisitFarOutMayTeachExploration) {
    const SectorCoord target{1, -2, 0};
    std::set<bool> outcomes;
    for (int32_t seed = 1; seed <= 12; ++seed) {
        ScreenFixture fixture;
        auto level = levelWith(blockAround(target));
        Player player = newPlayer();
        player.skills.exploration = 1;
        // T = 3: one draw in [1, 3]; 2 and 3 beat exploration 1.
        seedRandom(seed);
        int32_t r = randomIn(1, 3);
        RandomState afterOneDraw = randomGenerator;
        seedRandom(seed);
        enterSector(*level, player, Position{target, 4, 4});
        EXPECT_EQ(randomGenerator.write, afterOneDraw.write) << "exactly one draw";
        EXPECT_EQ(findSector(level->sectors, target)->visited, 1);
        outcomes.insert(r >= 2);
        EXPECT_EQ(player.skills.exploration, r >= 2 ? 2 : 1);
        expectMessage(r >= 2 ? "You gain an exploration skill level!" : "");
    }
    EXPECT_EQ(outcomes.size(), 2u) << "the seeds should show both outcomes";
}

TEST(PlayerRecord, VisitedSectorsAndTheEntranceNeverTeach) {
    ScreenFixture fixture;
    TempStore store;
    auto level = levelWith(blockAround(SectorCoord{3, 3, 0}), store.store());
    for (SectorCoord c : blockAround(SectorCoord{0, 0, 0}))
        addSector(level->sectors, c);
    findSector(level->sectors, SectorCoord{3, 3, 0})->visited = 1;
    Player player = newPlayer();
    seedRandom(5);
    const RandomState before = randomGenerator;
    enterSector(*level, player, Position{SectorCoord{3, 3, 0}, 1, 1});
    enterSector(*level, player, Position{SectorCoord{0, 0, 0}, 1, 1});
    EXPECT_EQ(findSector(level->sectors, SectorCoord{0, 0, 0})->visited, 1);
    EXPECT_EQ(randomGenerator.write, before.write) << "no draw";
    EXPECT_EQ(player.skills.exploration, 0);
    EXPECT_TRUE(messageQueue().empty());
}

TEST(PlayerRecord, SightRadiusWidensWithExploration) {
    const std::vector<std::pair<int32_t, int32_t>> table{{0, 3}, {1, 3},  {2, 4},  {7, 4},
                                                         {8, 5}, {17, 5}, {18, 6}, {60, 6}};
    for (auto [exploration, radius] : table) {
        Player player = newPlayer();
        player.skills.exploration = exploration;
        EXPECT_EQ(sightRadius(player), radius) << exploration;
    }
}

TEST(PlayerRecord, SkillTotalAndLowestEmptySlot) {
    Player player = newPlayer();
    player.skills = Skills{4, 7};
    EXPECT_EQ(totalSkillLevels(player), 11);
    EXPECT_EQ(lowestEmptySlot(player), 0);
    player.inventory[0] = Item{ItemClass::Weapon, 1};
    player.inventory[1] = Item{ItemClass::Potion, 0};
    player.inventory[3] = Item{ItemClass::Scroll, 2};
    EXPECT_EQ(lowestEmptySlot(player), 2);
    for (auto& slot : player.inventory)
        slot = Item{ItemClass::Armour, 0};
    EXPECT_FALSE(lowestEmptySlot(player));
}

} // namespace
} // namespace dunvale
