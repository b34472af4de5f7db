#include "creatures/combat.h"

#include "creatures/scripted_draws.h"
#include "test_support.h"

#include <gtest/gtest.h>

#include <set>
#include <string>

namespace dunvale {
namespace {

using testing::addCreature;
using testing::drawsSince;
using testing::levelWith;
using testing::RandomGuard;
using testing::scriptDraws;

const SectorCoord home{0, 0, 0};

Item weapon(int32_t grade) {
    return Item{ItemClass::Weapon, grade};
}
Item armour(int32_t grade) {
    return Item{ItemClass::Armour, grade};
}

class Combat : public ::testing::Test {
  protected:
    testing::ScreenFixture screen;
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

// The damage of one blow that is scripted to hit, from the health lost.
int32_t blow(Creature& target, Player& player, LevelRecord& level) {
    int32_t before = target.health;
    playerAttacks(target, player, level);
    return before - target.health;
}

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
    struct Case {
        int32_t combat;
        std::set<int32_t> damages;
    };
    const Case cases[] = {
        {0, {1}},
        {1, {2}},
        {3, {4, 5, 6, 7, 8, 9, 10}},
    };
    for (const Case& c : cases) {
        std::set<int32_t> seen;
        for (int32_t seed = 1; seed <= 400; ++seed) {
            seedRandom(seed);
            player.skills.combat = c.combat;
            auto target = creature(CreatureKind::Bat, 1, 100000, seed);
            RandomState before = randomState();
            int32_t lost = blow(*target, player, *level);
            if (drawsSince(before) == 2) {
                EXPECT_EQ(lost, 0) << "a miss";
                continue;
            }
            EXPECT_EQ(drawsSince(before), 3);
            seen.insert(lost);
        }
        EXPECT_EQ(seen, c.damages) << "combat " << c.combat;
    }
}

TEST_F(Combat, KnifeAddsOneRollOfOneToOnePlusCombat) {
    player.skills.combat = 2;
    player.equipment.weapon = weapon(0);
    auto rat = creature(CreatureKind::GiantRat, 6, 100);
    // Hit (3 against 0); base 2 + 2 = 4; one roll; that roll 1 + 2 = 3.
    scriptDraws({3, 0, 2, 0, 2});
    RandomState before = randomState();
    playerAttacks(*rat, player, *level);
    EXPECT_EQ(drawsSince(before), 5);
    EXPECT_EQ(rat->health, 100 - (4 + 1) - (3 + 1));
    EXPECT_EQ(said(), "You hit the giant rat.");
}

TEST_F(Combat, GreatSwordAddsFiveToTwentyFiveRolls) {
    player.equipment.weapon = weapon(4);
    struct Case {
        int32_t countDraw, rollDraw;
        int rolls;
        int32_t damage;
    };
    // Combat 0: base 1; rolls in [1, 5] + 1.
    const Case cases[] = {
        {0, 0, 5, 1 + 5 * 2},
        {0, 4, 5, 1 + 5 * 6},
        {20, 0, 25, 1 + 25 * 2},
        {20, 4, 25, 1 + 25 * 6},
    };
    for (const Case& c : cases) {
        auto vampire = creature(CreatureKind::Vampire, 30);
        std::vector<int32_t> draws{1, 0, 0, c.countDraw};
        for (int i = 0; i < c.rolls; ++i)
            draws.push_back(c.rollDraw);
        draws.push_back(17); // the next draw, not to be made
        scriptDraws(draws);
        RandomState before = randomState();
        playerAttacks(*vampire, player, *level);
        EXPECT_EQ(drawsSince(before), 4 + c.rolls);
        EXPECT_EQ(vampire->health, 900 - c.damage);
    }
}

TEST_F(Combat, MightAddsTheSquareOfItsTurnsAndWearsByOneABlow) {
    struct Case {
        std::vector<TimedEffect> effects;
        int32_t damage;
        std::vector<TimedEffect> after;
    };
    const Case cases[] = {
        {{{EffectKind::Might, 3}}, 1 + 9, {{EffectKind::Might, 2}}},
        {{{EffectKind::Might, 30}}, 1 + 900, {{EffectKind::Might, 29}}},
        {{{EffectKind::Might, 3}, {EffectKind::Protection, 40}, {EffectKind::Might, 2}},
         1 + 9 + 4,
         {{EffectKind::Might, 2}, {EffectKind::Protection, 40}, {EffectKind::Might, 1}}},
        {{{EffectKind::Poison, 5}, {EffectKind::Regeneration, 7}},
         1,
         {{EffectKind::Poison, 5}, {EffectKind::Regeneration, 7}}},
    };
    for (const Case& c : cases) {
        auto vampire = creature(CreatureKind::Vampire, 30, 5000);
        player.effects = c.effects;
        scriptDraws({1, 0, 0});
        playerAttacks(*vampire, player, *level);
        EXPECT_EQ(vampire->health, 5000 - c.damage);
        EXPECT_EQ(player.effects, c.after);
    }
}

TEST_F(Combat, AMissLeavesMightAlone) {
    player.effects = {{EffectKind::Might, 3}};
    auto rat = creature(CreatureKind::GiantRat, 6);
    scriptDraws({0, 1});
    RandomState before = randomState();
    playerAttacks(*rat, player, *level);
    EXPECT_EQ(drawsSince(before), 2);
    EXPECT_EQ(rat->health, 36);
    EXPECT_EQ(player.effects.front().turnsLeft, 3);
    EXPECT_EQ(said(), "You miss the giant rat.");
}

TEST_F(Combat, HugeMightWrapsAround) {
    // 50000 squared does not fit: 2500000000 wraps to -1794967296, so the
    // blow is -1794967295 and the creature's health rises by that much.
    player.effects = {{EffectKind::Might, 50000}};
    auto bat = creature(CreatureKind::Bat, 2);
    scriptDraws({1, 0, 0});
    playerAttacks(*bat, player, *level);
    EXPECT_EQ(bat->health, 1794967299);
    EXPECT_EQ(said(), "You hit the bat.");
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
        RandomState before = randomState();
        playerAttacks(*target, player, *level);
        EXPECT_EQ(drawsSince(before), 4);
        EXPECT_EQ(player.skills.combat, c.combat + (c.gains ? 1 : 0));
        EXPECT_EQ(messageQueue().front().text, "You kill the mummy!");
        EXPECT_EQ(flagOf("You gain a combat skill level!"), c.gains ? 1 : -1);
        // Only the dead one leaves its sector's list.
        const auto& list = findSector(level->sectors, home)->creatures;
        ASSERT_EQ(list.size(), 1u);
        EXPECT_EQ(list.front(), bystander);
        findSector(level->sectors, home)->creatures.clear();
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

TEST_F(Combat, CreaturesMissAndHit) {
    player.skills.combat = 3;
    auto rat = creature(CreatureKind::GiantRat, 5);
    scriptDraws({3, 0});
    RandomState before = randomState();
    creatureAttacks(*rat, player);
    EXPECT_EQ(drawsSince(before), 2);
    EXPECT_EQ(said(), "The giant rat misses you!");
    EXPECT_EQ(player.energy, 100);

    messageQueue().clear();
    auto skeleton = creature(CreatureKind::Skeleton, 15, -1, 1001);
    scriptDraws({3, 3, 0}); // a tie hits
    creatureAttacks(*skeleton, player);
    EXPECT_EQ(said(), "The skeleton hits you!");
    EXPECT_EQ(player.energy, 100 - (5 + 1));
}

TEST_F(Combat, DamageByKind) {
    struct Case {
        CreatureKind kind;
        int32_t level, dieDraw, damage;
    };
    const Case cases[] = {
        // Level 10: 1d15 + 3.
        {CreatureKind::GiantRat, 10, 14, 18}, {CreatureKind::Mummy, 10, 14, 36},
        {CreatureKind::Bat, 10, 14, 9},       {CreatureKind::GiantSpider, 10, 14, 14}, // 18 * 4 / 5
        {CreatureKind::Skeleton, 10, 0, 4},   {CreatureKind::Wraith, 10, 0, 1},        // 4 / 3
        {CreatureKind::Bat, 1, 0, 0}, // 1d1 + 0 halves to nothing, still "taken"
    };
    for (const Case& c : cases) {
        player.energy = 100;
        player.effects.clear();
        auto attacker = creature(c.kind, c.level, 100);
        // The spider's poison roll, if any, is a 6: no poison.
        scriptDraws({0, 0, c.dieDraw, 5, 5});
        creatureAttacks(*attacker, player);
        EXPECT_EQ(player.energy, 100 - c.damage) << static_cast<int>(c.kind);
    }
}

TEST_F(Combat, WraithIgnoresArmourButStrikesAtAThird) {
    player.equipment.armour = armour(3); // plate mail
    auto wraith = creature(CreatureKind::Wraith, 20);
    // 1d30 + 6 rolled at its highest: 36.
    scriptDraws({0, 0, 29, 0, 0});
    RandomState before = randomState();
    creatureAttacks(*wraith, player);
    EXPECT_EQ(drawsSince(before), 3) << "no armour rounds";
    EXPECT_EQ(player.energy, 100 - 12);
    EXPECT_EQ(said(), "The wraith hits you!");
}

TEST_F(Combat, ChainMailCutsThreeTimes) {
    player.equipment.armour = armour(2);
    auto skeleton = creature(CreatureKind::Skeleton, 16);
    // 1d24 + 5 at its highest: 29. Cuts: [19, 29] -> 29 - 1 = 28;
    // [18, 28] -> 28 - 1 = 27; [18, 27] -> 18 - 1 = 17.
    scriptDraws({0, 0, 23, 10, 10, 0, 9});
    RandomState before = randomState();
    creatureAttacks(*skeleton, player);
    EXPECT_EQ(drawsSince(before), 6);
    EXPECT_EQ(player.energy, 100 - 17);
}

TEST_F(Combat, ArmourAbsorbsAsSoonAsTheBlowFallsBelowOne) {
    player.equipment.armour = armour(2);
    player.effects = {{EffectKind::Protection, 5}};
    auto rat = creature(CreatureKind::GiantRat, 2);
    // 1d3 at its highest: 3. Cut [2, 3] -> 1; cut [0, 1] -> -1: absorbed,
    // and the third round is not rolled.
    scriptDraws({0, 0, 2, 0, 0, 9});
    RandomState before = randomState();
    creatureAttacks(*rat, player);
    EXPECT_EQ(drawsSince(before), 5);
    EXPECT_EQ(player.energy, 100);
    EXPECT_EQ(said(), "The giant rat bites you! Your armour absorbs the blow.");
    EXPECT_EQ(player.effects.front().turnsLeft, 5) << "protection is not reached";
}

TEST_F(Combat, ArmourComesBeforeProtection) {
    player.equipment.armour = armour(0);
    player.effects = {{EffectKind::Protection, 5}};
    auto rat = creature(CreatureKind::GiantRat, 6);
    // 1d9 + 2 = 10; padded clothes: [6, 10] -> 10 - 1 = 9; protection 5 -> 4.
    scriptDraws({0, 0, 7, 4});
    creatureAttacks(*rat, player);
    EXPECT_EQ(player.energy, 96);
    EXPECT_EQ(player.effects.front().turnsLeft, 4);
}

TEST_F(Combat, ProtectionStopsAtTheFirstEntryThatIsEnough) {
    player.effects = {{EffectKind::Protection, 40}, {EffectKind::Protection, 35}};
    auto rat = creature(CreatureKind::GiantRat, 6);
    scriptDraws({0, 0, 7}); // 1d9 + 2 = 10
    creatureAttacks(*rat, player);
    EXPECT_EQ(player.energy, 100);
    EXPECT_EQ(said(), "The giant rat bites you! The attack doesn't break your skin.");
    std::vector<TimedEffect> after{{EffectKind::Protection, 39}, {EffectKind::Protection, 35}};
    EXPECT_EQ(player.effects, after);
}

TEST_F(Combat, ProtectionEntriesEachTakeTheirShare) {
    player.effects = {
        {EffectKind::Protection, 3}, {EffectKind::Poison, 5}, {EffectKind::Protection, 2}};
    auto rat = creature(CreatureKind::GiantRat, 6);
    scriptDraws({0, 0, 7}); // 10 - 3 - 2
    creatureAttacks(*rat, player);
    EXPECT_EQ(player.energy, 95);
    std::vector<TimedEffect> after{
        {EffectKind::Protection, 2}, {EffectKind::Poison, 5}, {EffectKind::Protection, 1}};
    EXPECT_EQ(player.effects, after);
}

TEST_F(Combat, EnergyAfterABlow) {
    struct Case {
        int32_t energy;
        int32_t after;
        bool warned;
        int32_t playing;
    };
    const Case cases[] = {
        {25, 19, true, 1}, {26, 20, false, 1},   {7, 1, true, 1},
        {6, 0, false, 0},  {-50, -56, false, 0},
    };
    for (const Case& c : cases) {
        messageQueue().clear();
        player.energy = c.energy;
        player.playing = 1;
        auto rat = creature(CreatureKind::GiantRat, 4);
        scriptDraws({0, 0, 4}); // 1d6 + 1 = 6
        creatureAttacks(*rat, player);
        EXPECT_EQ(player.energy, c.after);
        EXPECT_EQ(player.playing, c.playing);
        EXPECT_EQ(flagOf("LOW ENERGY WARNING!"), c.warned ? 1 : -1) << c.energy;
    }
}

TEST_F(Combat, NoBlowAfterTheGameIsOver) {
    auto vampire = creature(CreatureKind::Vampire, 30);
    for (auto [playing, escaped] : {std::pair{0, 0}, std::pair{1, 1}}) {
        player.playing = playing;
        player.escaped = escaped;
        player.energy = 0;
        RandomState before = randomState();
        creatureAttacks(*vampire, player);
        EXPECT_EQ(drawsSince(before), 0);
        EXPECT_TRUE(messageQueue().empty());
        EXPECT_EQ(player.energy, 0);
        EXPECT_EQ(vampire->health, 900);
    }
}

TEST_F(Combat, MummyInfectsEvenWithAKillingBlow) {
    player.energy = 10;
    auto mummy = creature(CreatureKind::Mummy, 25);
    // 1d37 + 8 at its lowest: 9, doubled 18; poison for 10 + 5 turns.
    scriptDraws({0, 0, 0, 5});
    RandomState before = randomState();
    creatureAttacks(*mummy, player);
    EXPECT_EQ(drawsSince(before), 4);
    EXPECT_EQ(player.energy, -8);
    EXPECT_EQ(player.playing, 0);
    EXPECT_EQ(player.effects, (std::vector<TimedEffect>{{EffectKind::Poison, 15}}));
    EXPECT_EQ(said(), "The mummy hits you! The wound feels infected.");
}

TEST_F(Combat, SpiderPoisonsOnOneOrTwo) {
    for (int32_t roll = 1; roll <= 6; ++roll) {
        messageQueue().clear();
        player.effects.clear();
        auto spider = creature(CreatureKind::GiantSpider, 10);
        scriptDraws({0, 0, 0, roll - 1, 10});
        RandomState before = randomState();
        creatureAttacks(*spider, player);
        bool poisoned = roll <= 2;
        EXPECT_EQ(drawsSince(before), poisoned ? 5 : 4);
        if (poisoned) {
            EXPECT_EQ(player.effects, (std::vector<TimedEffect>{{EffectKind::Poison, 15}}));
            EXPECT_EQ(said(), "The giant spider bites you! The wound burns!");
        } else {
            EXPECT_TRUE(player.effects.empty());
            EXPECT_EQ(said(), "The giant spider bites you!");
        }
    }
}

TEST_F(Combat, VampireGainsTheDamageThatGotThrough) {
    auto vampire = creature(CreatureKind::Vampire, 30);
    player.effects = {{EffectKind::Protection, 4}};
    scriptDraws({0, 0, 0}); // 1d45 + 10 at its lowest: 11, less 4
    creatureAttacks(*vampire, player);
    EXPECT_EQ(player.energy, 93);
    EXPECT_EQ(vampire->health, 907) << "above its starting health";
    EXPECT_EQ(said(), "The vampire hits you!");
}

} // namespace
} // namespace dunvale
