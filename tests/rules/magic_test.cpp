#include "rules/magic.h"
#include "rules/player_turn.h"
#include "rules/step.h"
#include "test_support.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <vector>

namespace dunvale {
namespace {

using namespace dunvale::testing;
using Effects = std::vector<TimedEffect>;
using Texts = std::vector<std::string>;

const SectorCoord home{0, 0, 0};
const Item protectionScroll{ItemClass::Scroll, 2};
const Item healingPotion{ItemClass::Potion, 0};
const Item curingPotion{ItemClass::Potion, 2};
constexpr EffectKind poison = EffectKind::Poison;

class PlayerMagic : public ::testing::Test {
  protected:
    ScreenFixture fixture;
    std::unique_ptr<LevelRecord> level = worldAround({home});
    Player player = newPlayer();
};

TEST_F(PlayerMagic, CurePoisonShortensOnlyPoison) {
    EXPECT_EQ(curePoison(player, 20), 0);
    addEffect(player, EffectKind::Might, 12);
    addPoison(player, 12);
    addEffect(player, EffectKind::Regeneration, 4);
    addPoison(player, 3);
    EXPECT_EQ(curePoison(player, 20), 1);
    EXPECT_EQ(
        player.effects,
        (Effects{
            {EffectKind::Might, 12}, {poison, -8}, {EffectKind::Regeneration, 4}, {poison, -17}}));
}

TEST_F(PlayerMagic, ScrollsOfProtectionAndPowerDrawTheirTurns) {
    seedRandom(17);
    int32_t first = randomIn(30, 60);
    int32_t second = randomIn(30, 60);
    seedRandom(9);
    int32_t might = randomIn(30, 60);
    seedRandom(17);
    readScroll(protectionScroll, player, *level);
    readScroll(protectionScroll, player, *level);
    seedRandom(9);
    readScroll(Item{ItemClass::Scroll, 3}, player, *level);
    EXPECT_EQ(player.effects, (Effects{{EffectKind::Protection, first},
                                       {EffectKind::Protection, second},
                                       {EffectKind::Might, might}}));
    // Messages that fit share a line.
    EXPECT_EQ(fixture.messageTexts(),
              (Texts{"A shimmering shield covers your skin.",
                     "A shimmering shield covers your skin. You feel very strong."}));
}

TEST_F(PlayerMagic, PowerScrollWearsWithBlowsAndTime) {
    player.effects = {{EffectKind::Might, 30}};
    // A level-0 creature is always hit, for 1 at combat 0 unarmed.
    auto rat = addCreature(level->sectors, Position{home, 6, 5}, CreatureKind::GiantRat, 0);
    rat->health = 5000;
    EXPECT_EQ(step(*level, player, 1, 0, 0).turns, 1);
    EXPECT_EQ(rat->health, 5000 - 1 - 900);
    EXPECT_EQ(player.effects, (Effects{{EffectKind::Might, 29}}));
    endOfTurnUpdate(player, *level);
    EXPECT_EQ(player.effects, (Effects{{EffectKind::Might, 28}}));
    EXPECT_EQ(step(*level, player, 1, 0, 0).turns, 1);
    EXPECT_EQ(rat->health, 5000 - 901 - 1 - 784);
}

TEST_F(PlayerMagic, HealingAndCuringPotions) {
    struct Case {
        Item potion;
        int32_t energy;
        Effects poisons, after;
        int32_t expected;
        std::string said;
        Case(Item potion, int32_t energy, Effects poisons, Effects after, int32_t expected,
             std::string said)
            : potion(potion), energy(energy), poisons(poisons), after(after), expected(expected),
              said(said) {}
    };
    const Case cases[] = {
        // Not poisoned: the drinking is all there is to tell.
        Case(healingPotion, 95, {}, {}, 100, "You drink the healing potion."),
        Case(healingPotion, 40, {}, {}, 70, "You drink the healing potion."),
        Case(curingPotion, 120, {}, {}, 100, "You drink the curing potion."),
        Case(curingPotion, 3, {}, {}, 100, "You drink the curing potion."),
        Case(healingPotion, 50, {{poison, 12}, {poison, 3}}, {{poison, -8}, {poison, -17}}, 80,
             "You drink the healing potion. You feel a bit healthier"),
        Case(curingPotion, 60, {{poison, 90}}, {{poison, -10}}, 100,
             "You drink the curing potion. You feel healthier"),
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.said + " at " + std::to_string(c.energy));
        messageQueue().clear();
        player.energy = c.energy;
        player.effects = c.poisons;
        drinkPotion(c.potion, player, *level);
        EXPECT_EQ(player.energy, c.expected);
        EXPECT_EQ(player.effects, c.after);
        EXPECT_EQ(fixture.messageTexts(), Texts{c.said});
    }
    // The weakened poison bites once more, then goes.
    player.energy = 80;
    player.effects = {{poison, -8}, {poison, -17}};
    endOfTurnUpdate(player, *level);
    EXPECT_EQ(player.energy, 80 + 1 - 2);
    EXPECT_TRUE(player.effects.empty());
}

TEST_F(PlayerMagic, PotionsThatDrawTheirStrength) {
    for (int32_t seed : {2, 3, 4}) {
        messageQueue().clear();
        player = newPlayer();
        player.skills = Skills{6, 2};
        seedRandom(seed);
        int32_t regeneration = randomIn(10, 20);
        int32_t perception = randomIn(1, 5);
        int32_t might = randomIn(1, 5);
        seedRandom(seed);
        for (int32_t grade : {1, 3, 4})
            drinkPotion(Item{ItemClass::Potion, grade}, player, *level);
        EXPECT_EQ(player.effects, (Effects{{EffectKind::Regeneration, regeneration}}));
        EXPECT_EQ(player.skills.exploration, 6 + perception);
        EXPECT_EQ(player.skills.combat, 2 + might);
        EXPECT_EQ(player.energy, 100);
        EXPECT_EQ(fixture.messageTexts(),
                  (Texts{"You drink the regeneration potion. You drink the perception potion.",
                         "You drink the might potion."}));
    }
}

TEST_F(PlayerMagic, MagicMapRevealsTheNineSectorsAround) {
    // (1, 1, 0) was never made and stays unmade; (2, 0, 0) and the level
    // above lie outside the map.
    const SectorCoord missing{1, 1, 0};
    std::vector<SectorCoord> coords{{2, 0, 0}, {0, 0, 1}};
    for (SectorCoord c : blockAround(home))
        if (c != missing) coords.push_back(c);
    level = levelWith(coords);
    cellAt(level->sectors, Position{home, 3, 3}).lastSeen = 40;
    readScroll(Item{ItemClass::Scroll, 1}, player, *level);
    EXPECT_TRUE(messageQueue().empty());
    EXPECT_FALSE(hasSlot(level->sectors, missing));
    for (SectorCoord c : slotCoords(level->sectors)) {
        bool near = std::abs(c.sx) <= 1 && std::abs(c.sy) <= 1 && c.sz == 0;
        for (int32_t x = 0; x < sectorSize; ++x)
            for (int32_t y = 0; y < sectorSize; ++y) {
                int32_t expected = near ? seenOnMagicMap : neverSeen;
                if (c == home && x == 3 && y == 3) expected = 40;
                EXPECT_EQ(cellAt(level->sectors, Position{c, x, y}).lastSeen, expected);
            }
    }
}

TEST_F(PlayerMagic, EscapeScrollEndsTheGame) {
    postMessage(0, "You hit the bat.");
    readScroll(Item{ItemClass::Scroll, 4}, player, *level);
    EXPECT_EQ(player.escaped, 1);
    EXPECT_EQ(player.playing, 1);
    ASSERT_EQ(messageQueue().size(), 2u);
    EXPECT_EQ(messageQueue()[1].text, "The labyrinth fades away around you.");
    EXPECT_EQ(messageQueue()[1].flag, 1);
}

TEST_F(PlayerMagic, TeleportLandsOnFreeFloorNearby) {
    for (int32_t seed = 1; seed <= 20; ++seed) {
        messageQueue().clear();
        TempStore store;
        level = worldAround({home}, store.store());
        // A scattering of walls, traps and creatures to avoid.
        seedRandom(1000 + seed);
        for (SectorCoord c : slotCoords(level->sectors)) {
            Sector& sector = *findSector(level->sectors, c);
            for (int32_t x = 0; x < sectorSize; ++x)
                for (int32_t y = 0; y < sectorSize; ++y) {
                    int32_t roll = randomIn(0, 9);
                    if (roll < 6) sector.cells[x][y].terrain = Terrain::Wall;
                    if (roll == 6) sector.cells[x][y].terrain = Terrain::GasTrap;
                    if (roll == 7)
                        addCreature(level->sectors, Position{c, x, y}, CreatureKind::Bat, 1);
                }
        }
        player.position = Position{home, 3, 7};
        seedRandom(seed);
        readScroll(Item{ItemClass::Scroll, 0}, player, *level);
        ASSERT_FALSE(messageQueue().empty());
        EXPECT_EQ(messageQueue()[0].text, "Your surroundings change...");
        const Position p = player.position;
        EXPECT_EQ(p.sector.sz, 0);
        EXPECT_LE(std::abs(10 * p.sector.sx + p.x - 3), 10);
        EXPECT_LE(std::abs(10 * p.sector.sy + p.y - 7), 10);
        EXPECT_EQ(cellAt(level->sectors, p).terrain, Terrain::Floor);
        EXPECT_EQ(creatureAt(level->sectors, p), nullptr);
        EXPECT_EQ(findSector(level->sectors, p.sector)->visited, 1);
    }
}

// The first draw moves along x, the second along y.
TEST_F(PlayerMagic, TeleportDrawsTheEastWestOffsetFirst) {
    TempStore store;
    level = worldAround({home}, store.store());
    RandomGuard guard;
    scriptDraws({13, 8}); // randomIn(-10, 10) gives 3, then -2
    teleport(*level, player);
    EXPECT_EQ(player.position, (Position{home, 8, 3}));
}

TEST_F(PlayerMagic, TeleportThroughALevelLinkTestsTheSquareThere) {
    const SectorCoord above{0, 0, 1};
    const SectorCoord below{0, 0, -1};
    TempStore store;
    level = worldAround({home, above, below}, store.store());
    fillTerrain(level->sectors, Terrain::Wall);
    // The player's own square is taken, so only the two links are candidates.
    addCreature(level->sectors, player.position, CreatureKind::Bat, 1);
    Cell& up = cellAt(level->sectors, Position{home, 2, 2});
    up.terrain = Terrain::Floor;
    up.elevation = 3; // above it: wall
    Cell& down = cellAt(level->sectors, Position{home, 8, 1});
    down.terrain = Terrain::Floor;
    down.elevation = -3;
    cellAt(level->sectors, Position{below, 8, 1}).terrain = Terrain::Floor;
    seedRandom(77);
    teleport(*level, player);
    EXPECT_EQ(player.position, (Position{below, 8, 1}));
    EXPECT_EQ(findSector(level->sectors, below)->visited, 1);
    // The level above is now two levels away.
    EXPECT_FALSE(isInMemory(level->sectors, above));
    EXPECT_TRUE(hasSlot(level->sectors, above));
}

} // namespace
} // namespace dunvale
