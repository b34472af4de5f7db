#include "rules/combat.h"

#include "test_support.h"

#include <gtest/gtest.h>

#include <optional>
#include <set>
#include <string>
#include <tuple>

namespace dunvale {
namespace {

using namespace dunvale::testing;
using Effects = std::vector<TimedEffect>;

const SectorCoord home{0, 0, 0};
constexpr EffectKind might = EffectKind::Might;
constexpr EffectKind protection = EffectKind::Protection;
constexpr EffectKind poison = EffectKind::Poison;
constexpr EffectKind regeneration = EffectKind::Regeneration;

class Combat : public ::testing::Test {
  protected:
    ScreenFixture screen;
    RandomGuard guard;
    std::unique_ptr<LevelRecord> level = levelWith({home, {1, 0, 0}});
    Player player;

    std::shared_ptr<Creature> creature(CreatureKind kind, int32_t creatureLevel,
                                       int32_t health = -1, int32_t id = 1000) {
        auto made = addCreature(level->sectors, Position{home, 6, 5}, kind, creatureLevel, id);
        if (health >= 0) made->health = health;
        return made;
    }

    // Every message text in order, as one line.
    static std::string said() {
        std::string all;
        for (const Message& m : messageQueue())
            all += (all.empty() ? "" : " ") + m.text;
        return all;
    }
    static int32_t flagOf(const std::string& text) {
        for (const Message& m : messageQueue())
            if (m.text.find(text) != std::string::npos) return m.flag;
        return -1;
    }
};

TEST_F(Combat, AtCombatZeroEveryHitDoesExactlyOne) {
    seedRandom(2024);
    auto bat = creature(CreatureKind::Bat, 2);
    ASSERT_EQ(bat->health, 4);
    int hits = 0;
    for (int blows = 0; blows < 200 && !findSector(level->sectors, home)->creatures.empty();
         ++blows) {
        messageQueue().clear();
        int32_t before = bat->health;
        playerAttacks(*bat, player, *level);
        int32_t lost = before - bat->health;
        ASSERT_TRUE(lost == 0 || lost == 1) << lost;
        if (lost == 0) {
            EXPECT_EQ(said(), "You miss the bat.");
        } else {
            ++hits;
        }
    }
    EXPECT_EQ(hits, 4);
    EXPECT_EQ(said(), "You kill the bat! You gain a combat skill level!")
        << "a level-2 kill at combat 0 always teaches (r is 1 or 2)";
    EXPECT_EQ(player.skills.combat, 1);
}

TEST_F(Combat, BaseDamageGrowsWithCombat) {
    const std::pair<int32_t, std::set<int32_t>> cases[] = {
        {0, {1}}, {1, {2}}, {3, {4, 5, 6, 7, 8, 9, 10}}};
    for (const auto& [combat, damages] : cases) {
        std::set<int32_t> seen;
        for (int32_t seed = 1; seed <= 400; ++seed) {
            seedRandom(seed);
            player.skills.combat = combat;
            auto target = creature(CreatureKind::Bat, 1, 100000, seed);
            int made = drawsDuring([&] { playerAttacks(*target, player, *level); });
            int32_t lost = 100000 - target->health;
            if (made == 2) {
                EXPECT_EQ(lost, 0) << "a miss";
                continue;
            }
            EXPECT_EQ(made, 3);
            seen.insert(lost);
        }
        EXPECT_EQ(seen, damages) << "combat " << combat;
    }
}

// The player's blow on scripted draws: attack roll, defence roll, base, then
// the weapon's count of rolls and each roll. Effects stay as they were unless
// the case says otherwise.
TEST_F(Combat, PlayerBlows) {
    struct Case {
        const char* what;
        CreatureKind kind;
        int32_t level;
        std::vector<int32_t> draws;
        int drawsMade;
        int32_t healthAfter;
        std::string said;
        Effects effects = {};
        std::optional<Effects> effectsAfter = {};
        int32_t weapon = -1;
        int32_t combat = 0;
        int32_t health = -1; // level squared
        Case(const char* what, CreatureKind kind, int32_t level, std::vector<int32_t> draws,
             int drawsMade, int32_t healthAfter, std::string said, Effects effects = {},
             std::optional<Effects> effectsAfter = {}, int32_t weapon = -1, int32_t combat = 0,
             int32_t health = -1)
            : what(what), kind(kind), level(level), draws(draws), drawsMade(drawsMade),
              healthAfter(healthAfter), said(said), effects(effects), effectsAfter(effectsAfter),
              weapon(weapon), combat(combat), health(health) {}
    };
    std::vector<Case> cases = {
        // Hit (3 against 0); base 2 + 2 = 4; one roll; that roll 1 + 2 = 3.
        Case("knife adds one roll of 1 to 1 + combat", CreatureKind::GiantRat, 6, {3, 0, 2, 0, 2},
             5, 100 - (4 + 1) - (3 + 1), "You hit the giant rat.", {}, {}, 0, 2, 100),
        Case("a miss leaves might alone", CreatureKind::GiantRat, 6, {0, 1}, 2, 36,
             "You miss the giant rat.", {{might, 3}}),
        // 50000 squared does not fit: 2500000000 wraps to -1794967296, so the
        // blow is -1794967295 and the creature's health rises by that much.
        Case("huge might wraps around", CreatureKind::Bat, 2, {1, 0, 0}, 3, 1794967299,
             "You hit the bat.", {{might, 50000}}, Effects{{might, 49999}}),
    };
    // A great sword at combat 0: base 1, then 5 to 25 rolls in [1, 5] + 1.
    for (auto [countDraw, rollDraw, rolls, damage] :
         {std::array{0, 0, 5, 1 + 5 * 2}, std::array{0, 4, 5, 1 + 5 * 6},
          std::array{20, 0, 25, 1 + 25 * 2}, std::array{20, 4, 25, 1 + 25 * 6}}) {
        std::vector<int32_t> draws{1, 0, 0, countDraw};
        draws.insert(draws.end(), static_cast<size_t>(rolls), rollDraw);
        draws.push_back(17); // the next draw, not to be made
        cases.push_back(Case("great sword", CreatureKind::Vampire, 30, draws, 4 + rolls,
                             900 - damage, "You hit the vampire.", {}, {}, 4));
    }
    // Might adds the square of its turns and wears by one a blow.
    const std::tuple<Effects, int32_t, Effects> mights[] = {
        {{{might, 3}}, 1 + 9, {{might, 2}}},
        {{{might, 30}}, 1 + 900, {{might, 29}}},
        {{{might, 3}, {protection, 40}, {might, 2}},
         1 + 9 + 4,
         {{might, 2}, {protection, 40}, {might, 1}}},
        {{{poison, 5}, {regeneration, 7}}, 1, {{poison, 5}, {regeneration, 7}}},
    };
    for (const auto& [effects, damage, after] : mights)
        cases.push_back(Case("might", CreatureKind::Vampire, 30, {1, 0, 0}, 3, 5000 - damage,
                             "You hit the vampire.", effects, after, -1, 0, 5000));
    int32_t id = 1;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        messageQueue().clear();
        player = Player{};
        player.skills.combat = c.combat;
        if (c.weapon >= 0) player.equipment.weapon = Item{ItemClass::Weapon, c.weapon};
        player.effects = c.effects;
        auto target = creature(c.kind, c.level, c.health, id++);
        scriptDraws(c.draws);
        EXPECT_EQ(drawsDuring([&] { playerAttacks(*target, player, *level); }), c.drawsMade);
        EXPECT_EQ(target->health, c.healthAfter);
        EXPECT_EQ(said(), c.said);
        EXPECT_EQ(player.effects, c.effectsAfter.value_or(c.effects));
    }
}

TEST_F(Combat, WhenAKillTeachesACombatLevel) {
    struct Case {
        int32_t combat, creatureLevel, roll;
        bool gains;
    };
    const Case cases[] = {
        {15, 25, 1, true},   {15, 25, 25, true}, // 15 <= 25 - 10 whatever the roll
        {16, 25, 16, false}, {16, 25, 17, true}, {3, 5, 3, false}, {3, 5, 4, true}, {0, 1, 1, true},
    };
    for (const Case& c : cases) {
        messageQueue().clear();
        player.skills.combat = c.combat;
        auto target = creature(CreatureKind::Mummy, c.creatureLevel, 1, 7);
        auto bystander = creature(CreatureKind::Bat, 1, 1, 8);
        // The player's roll is the highest it can be; the creature's 0.
        scriptDraws({c.combat + 1, 0, 0, c.roll - 1});
        EXPECT_EQ(drawsDuring([&] { playerAttacks(*target, player, *level); }), 4);
        EXPECT_EQ(player.skills.combat, c.combat + (c.gains ? 1 : 0));
        EXPECT_EQ(messageQueue().front().text, "You kill the mummy!");
        EXPECT_EQ(flagOf("You gain a combat skill level!"), c.gains ? 1 : -1);
        // Only the dead one leaves its sector's list.
        auto& list = findSector(level->sectors, home)->creatures;
        ASSERT_EQ(list.size(), 1u);
        EXPECT_EQ(list.front(), bystander);
        list.clear();
    }
}

TEST_F(Combat, TheDeadLeaveTheListOfTheirOwnSector) {
    auto east = addCreature(level->sectors, Position{{1, 0, 0}, 0, 5}, CreatureKind::Bat, 2, 3);
    east->health = 1;
    auto same = addCreature(level->sectors, Position{{1, 0, 0}, 0, 5}, CreatureKind::Bat, 2, 4);
    scriptDraws({1, 0, 0, 0});
    playerAttacks(*east, player, *level);
    const auto& list = findSector(level->sectors, {1, 0, 0})->creatures;
    ASSERT_EQ(list.size(), 1u);
    EXPECT_EQ(list.front(), same);
}

// A creature's blow on scripted draws: dodge roll, strike roll, damage die,
// armour rounds, then a lingering touch. Always checked besides: the low
// energy warning comes exactly when the blow leaves 1 to 19, the game ends
// below 1, and only a vampire gains what got through.
TEST_F(Combat, CreatureBlows) {
    struct Case {
        const char* what;
        CreatureKind kind;
        int32_t level;
        std::vector<int32_t> draws;
        int drawsMade;
        int32_t energyAfter;
        std::string said;
        Effects effects = {};
        std::optional<Effects> effectsAfter = {};
        int32_t armour = -1;
        int32_t combat = 0;
        int32_t energy = 100;
        Case(const char* what, CreatureKind kind, int32_t level, std::vector<int32_t> draws,
             int drawsMade, int32_t energyAfter, std::string said, Effects effects = {},
             std::optional<Effects> effectsAfter = {}, int32_t armour = -1, int32_t combat = 0,
             int32_t energy = 100)
            : what(what), kind(kind), level(level), draws(draws), drawsMade(drawsMade),
              energyAfter(energyAfter), said(said), effects(effects), effectsAfter(effectsAfter),
              armour(armour), combat(combat), energy(energy) {}
    };
    using K = CreatureKind;
    std::vector<Case> cases = {
        Case("a miss", K::GiantRat, 5, {3, 0}, 2, 100, "The giant rat misses you!", {}, {}, -1, 3),
        Case("a tie hits", K::Skeleton, 15, {3, 3, 0}, 3, 100 - (5 + 1), "The skeleton hits you!",
             {}, {}, -1, 3),
        // Level 10: 1d15 + 3, highest 18, lowest 4.
        Case("rat", K::GiantRat, 10, {0, 0, 14}, 3, 100 - 18, "The giant rat bites you!"),
        Case("mummy doubles", K::Mummy, 10, {0, 0, 14, 5}, 4, 100 - 36,
             "The mummy bites you! The wound feels infected.", {}, Effects{{poison, 15}}),
        Case("bat halves", K::Bat, 10, {0, 0, 14}, 3, 100 - 9, "The bat bites you!"),
        // The spider's poison roll is a 6: no poison.
        Case("spider takes four fifths", K::GiantSpider, 10, {0, 0, 14, 5}, 4, 100 - 18 * 4 / 5,
             "The giant spider bites you!"),
        Case("skeleton", K::Skeleton, 10, {0, 0, 0}, 3, 100 - 4, "The skeleton bites you!"),
        Case("wraith takes a third", K::Wraith, 10, {0, 0, 0}, 3, 100 - 4 / 3,
             "The wraith bites you!"),
        Case("1d1 + 0 halves to nothing, still taken", K::Bat, 1, {0, 0, 0}, 3, 100,
             "The bat bites you!"),
        // 1d30 + 6 rolled at its highest: 36; no armour rounds.
        Case("wraith ignores armour but strikes at a third", K::Wraith, 20, {0, 0, 29, 0, 0}, 3,
             100 - 12, "The wraith hits you!", {}, {}, 3),
        // 1d24 + 5 at its highest: 29. Cuts: [19, 29] -> 29 - 1 = 28;
        // [18, 28] -> 28 - 1 = 27; [18, 27] -> 18 - 1 = 17.
        Case("chain mail cuts three times", K::Skeleton, 16, {0, 0, 23, 10, 10, 0, 9}, 6, 100 - 17,
             "The skeleton hits you!", {}, {}, 2),
        // 1d3 at its highest: 3. Cut [2, 3] -> 1; cut [0, 1] -> -1: absorbed,
        // the third round is not rolled and protection is not reached.
        Case("armour absorbs as soon as the blow falls below 1", K::GiantRat, 2, {0, 0, 2, 0, 0, 9},
             5, 100, "The giant rat bites you! Your armour absorbs the blow.", {{protection, 5}},
             {}, 2),
        // 1d9 + 2 = 10; padded clothes: [6, 10] -> 10 - 1 = 9; protection 5 -> 4.
        Case("armour comes before protection", K::GiantRat, 6, {0, 0, 7, 4}, 4, 96,
             "The giant rat bites you!", {{protection, 5}}, Effects{{protection, 4}}, 0),
        // A skeleton below level 15 bites; 1d9 + 2 = 10.
        Case("protection stops at the first entry that is enough", K::Skeleton, 6, {0, 0, 7}, 3,
             100, "The skeleton bites you! The attack doesn't break your skin.",
             {{protection, 40}, {protection, 35}}, Effects{{protection, 39}, {protection, 35}}),
        Case("protection entries each take their share: 10 - 3 - 2", K::GiantRat, 6, {0, 0, 7}, 3,
             95, "The giant rat bites you!", {{protection, 3}, {poison, 5}, {protection, 2}},
             Effects{{protection, 2}, {poison, 5}, {protection, 1}}),
        // 1d37 + 8 at its lowest: 9, doubled 18; poison for 10 + 5 turns.
        Case("mummy infects even with a killing blow", K::Mummy, 25, {0, 0, 0, 5}, 4, -8,
             "The mummy hits you! The wound feels infected.", {}, Effects{{poison, 15}}, -1, 0, 10),
        // 1d45 + 10 at its lowest: 11, less 4; the vampire gains 7.
        Case("vampire gains the damage that got through", K::Vampire, 30, {0, 0, 0}, 3, 93,
             "The vampire hits you!", {{protection, 4}}, Effects{{protection, 3}}),
    };
    // Energy after a 1d6 + 1 blow of 6: warned below 20, ended below 1.
    for (int32_t energy : {25, 26, 7, 6, -50}) {
        const bool low = energy - 6 >= 1 && energy - 6 < 20;
        cases.push_back(
            Case("energy after a blow", K::GiantRat, 4, {0, 0, 4}, 3, energy - 6,
                 low ? "The giant rat bites you! LOW ENERGY WARNING!" : "The giant rat bites you!",
                 {}, {}, -1, 0, energy));
    }
    // A level-10 spider (1d15 + 3 at its lowest: 4, four fifths 3) poisons
    // on a roll of 1 or 2, for 5 + 10 turns.
    for (int32_t roll = 1; roll <= 6; ++roll) {
        const bool poisoned = roll <= 2;
        cases.push_back(Case("spider's poison roll", K::GiantSpider, 10, {0, 0, 0, roll - 1, 10},
                             poisoned ? 5 : 4, 97,
                             poisoned ? "The giant spider bites you! The wound burns!"
                                      : "The giant spider bites you!",
                             {}, poisoned ? Effects{{poison, 15}} : Effects{}));
    }
    int32_t id = 1;
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.what) + " from " + std::to_string(c.energy));
        messageQueue().clear();
        player = Player{};
        player.skills.combat = c.combat;
        if (c.armour >= 0) player.equipment.armour = Item{ItemClass::Armour, c.armour};
        player.energy = c.energy;
        player.effects = c.effects;
        auto attacker = creature(c.kind, c.level, -1, id++);
        const int32_t health = attacker->health;
        scriptDraws(c.draws);
        EXPECT_EQ(drawsDuring([&] { creatureAttacks(*attacker, player); }), c.drawsMade);
        EXPECT_EQ(player.energy, c.energyAfter);
        EXPECT_EQ(said(), c.said);
        EXPECT_EQ(player.effects, c.effectsAfter.value_or(c.effects));
        const bool warned = c.energyAfter >= 1 && c.energyAfter < 20 && c.energyAfter != c.energy;
        EXPECT_EQ(flagOf("LOW ENERGY WARNING!"), warned ? 1 : -1);
        EXPECT_EQ(player.playing, c.energyAfter >= 1 ? 1 : 0);
        const int32_t gained = c.kind == K::Vampire ? c.energy - c.energyAfter : 0;
        EXPECT_EQ(attacker->health, health + gained);
    }
}

TEST_F(Combat, NoBlowAfterTheGameIsOver) {
    auto vampire = creature(CreatureKind::Vampire, 30);
    for (auto [playing, escaped] : {std::pair{0, 0}, std::pair{1, 1}}) {
        player.playing = playing;
        player.escaped = escaped;
        player.energy = 0;
        EXPECT_EQ(drawsDuring([&] { creatureAttacks(*vampire, player); }), 0);
        EXPECT_TRUE(messageQueue().empty());
        EXPECT_EQ(player.energy, 0);
        EXPECT_EQ(vampire->health, 900);
    }
}

} // namespace
} // namespace dunvale
