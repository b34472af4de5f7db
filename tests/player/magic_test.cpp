#include "creatures/combat.h"
#include "player/magic.h"
#include "player/step.h"
#include "test_support.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <vector>

namespace dunvale {
namespace {

using testing::addCreature;
using testing::ScreenFixture;

const SectorCoord home{0, 0, 0};

std::unique_ptr<LevelRecord> worldAround(const std::vector<SectorCoord>& centres,
                                         const std::string& store = "") {
    auto level = testing::levelWith({}, store);
    for (SectorCoord c : centres)
        for (int32_t a = -1; a <= 1; ++a)
            for (int32_t b = -1; b <= 1; ++b) {
                SectorCoord n{c.sx + a, c.sy + b, c.sz};
                if (!hasSlot(level->sectors, n)) testing::addSector(level->sectors, n);
            }
    return level;
}

void fillAll(LevelRecord& level, Terrain terrain) {
    for (SectorCoord c : slotCoords(level.sectors))
        for (auto& column : findSector(level.sectors, c)->cells)
            for (Cell& cell : column)
                cell.terrain = terrain;
}

const Item protectionScroll{ItemClass::Scroll, 2};
const Item healingPotion{ItemClass::Potion, 0};
const Item curingPotion{ItemClass::Potion, 2};

TEST(PlayerMagic, CurePoisonShortensOnlyPoison) {
    Player player = newPlayer();
    EXPECT_EQ(curePoison(player, 20), 0);
    addEffect(player, EffectKind::Might, 12);
    addPoison(player, 12);
    addEffect(player, EffectKind::Regeneration, 4);
    addPoison(player, 3);
    EXPECT_EQ(curePoison(player, 20), 1);
    EXPECT_EQ(player.effects, (std::vector<TimedEffect>{{EffectKind::Might, 12},
                                                        {EffectKind::Poison, -8},
                                                        {EffectKind::Regeneration, 4},
                                                        {EffectKind::Poison, -17}}));
}

TEST(PlayerMagic, TwoProtectionScrollsGiveTwoShields) {
    ScreenFixture fixture;
    auto level = worldAround({home});
    Player player = newPlayer();
    seedRandom(17);
    int32_t first = randomIn(30, 60);
    int32_t second = randomIn(30, 60);
    seedRandom(17);
    readScroll(protectionScroll, player, *level);
    readScroll(protectionScroll, player, *level);
    EXPECT_EQ(player.effects, (std::vector<TimedEffect>{{EffectKind::Protection, first},
                                                        {EffectKind::Protection, second}}));
    EXPECT_EQ(fixture.messageTexts(),
              (std::vector<std::string>{"A shimmering shield covers your skin.",
                                        "A shimmering shield covers your skin."}));
}

TEST(PlayerMagic, OnlyTheFirstShieldWearsOnABlow) {
    ScreenFixture fixture;
    Player player = newPlayer();
    addEffect(player, EffectKind::Protection, 40);
    addEffect(player, EffectKind::Protection, 35);
    // A level-6 skeleton strikes for 3 to 11: the first shield stops it.
    Creature skeleton{1, Position{home, 5, 6}, 6, 36, 0, CreatureKind::Skeleton};
    seedRandom(4);
    creatureAttacks(skeleton, player);
    EXPECT_EQ(player.energy, 100);
    EXPECT_EQ(player.effects, (std::vector<TimedEffect>{{EffectKind::Protection, 39},
                                                        {EffectKind::Protection, 35}}));
    EXPECT_EQ(
        fixture.messageTexts(),
        std::vector<std::string>{"The skeleton bites you! The attack doesn't break your skin."});
}

TEST(PlayerMagic, PowerScrollWearsWithBlowsAndTime) {
    ScreenFixture fixture;
    auto level = worldAround({home});
    Player player = newPlayer();
    player.effects = {{EffectKind::Might, 30}};
    // A level-0 creature is always hit, for 1 at combat 0 unarmed.
    auto rat = addCreature(level->sectors, Position{home, 6, 5}, CreatureKind::GiantRat, 0);
    rat->health = 5000;
    EXPECT_EQ(step(*level, player, 1, 0, 0), 1);
    EXPECT_EQ(rat->health, 5000 - 1 - 900);
    EXPECT_EQ(player.effects, (std::vector<TimedEffect>{{EffectKind::Might, 29}}));
    endOfTurnUpdate(player, *level);
    EXPECT_EQ(player.effects, (std::vector<TimedEffect>{{EffectKind::Might, 28}}));
    EXPECT_EQ(step(*level, player, 1, 0, 0), 1);
    EXPECT_EQ(rat->health, 5000 - 901 - 1 - 784);
}

TEST(PlayerMagic, PowerScrollAddsMight) {
    ScreenFixture fixture;
    auto level = worldAround({home});
    Player player = newPlayer();
    seedRandom(9);
    int32_t turns = randomIn(30, 60);
    seedRandom(9);
    readScroll(Item{ItemClass::Scroll, 3}, player, *level);
    EXPECT_EQ(player.effects, (std::vector<TimedEffect>{{EffectKind::Might, turns}}));
    EXPECT_EQ(fixture.messageTexts(), std::vector<std::string>{"You feel very strong."});
}

TEST(PlayerMagic, HealingStopsAtFullEnergy) {
    struct Case {
        Item potion;
        int32_t energy;
        int32_t expected;
    };
    for (Case c : {Case{healingPotion, 95, 100}, Case{healingPotion, 40, 70},
                   Case{curingPotion, 120, 100}, Case{curingPotion, 3, 100}}) {
        ScreenFixture fixture;
        auto level = worldAround({home});
        Player player = newPlayer();
        player.energy = c.energy;
        drinkPotion(c.potion, player, *level);
        EXPECT_EQ(player.energy, c.expected);
        // Not poisoned: the drinking is all there is to tell.
        EXPECT_EQ(fixture.messageTexts(),
                  std::vector<std::string>{"You drink the " + itemName(c.potion) + "."});
    }
}

TEST(PlayerMagic, HealingLeavesWeakenedPoisonForOneMoreBite) {
    ScreenFixture fixture;
    auto level = worldAround({home});
    Player player = newPlayer();
    player.energy = 50;
    addPoison(player, 12);
    addPoison(player, 3);
    drinkPotion(healingPotion, player, *level);
    EXPECT_EQ(player.energy, 80);
    EXPECT_EQ(player.effects,
              (std::vector<TimedEffect>{{EffectKind::Poison, -8}, {EffectKind::Poison, -17}}));
    EXPECT_EQ(fixture.messageTexts(),
              std::vector<std::string>{"You drink the healing potion. You feel a bit healthier"});
    endOfTurnUpdate(player, *level);
    EXPECT_EQ(player.energy, 80 + 1 - 2);
    EXPECT_TRUE(player.effects.empty());
}

TEST(PlayerMagic, CuringPotionCuresHarder) {
    ScreenFixture fixture;
    auto level = worldAround({home});
    Player player = newPlayer();
    player.energy = 60;
    addPoison(player, 90);
    drinkPotion(curingPotion, player, *level);
    EXPECT_EQ(player.energy, 100);
    EXPECT_EQ(player.effects, (std::vector<TimedEffect>{{EffectKind::Poison, -10}}));
    EXPECT_EQ(fixture.messageTexts(),
              std::vector<std::string>{"You drink the curing potion. You feel healthier"});
}

TEST(PlayerMagic, PotionsThatDrawTheirStrength) {
    for (int32_t seed : {2, 3, 4}) {
        ScreenFixture fixture;
        auto level = worldAround({home});
        Player player = newPlayer();
        player.skills = Skills{6, 2};
        seedRandom(seed);
        int32_t regeneration = randomIn(10, 20);
        int32_t perception = randomIn(1, 5);
        int32_t might = randomIn(1, 5);
        seedRandom(seed);
        drinkPotion(Item{ItemClass::Potion, 1}, player, *level);
        drinkPotion(Item{ItemClass::Potion, 3}, player, *level);
        drinkPotion(Item{ItemClass::Potion, 4}, player, *level);
        EXPECT_EQ(player.effects,
                  (std::vector<TimedEffect>{{EffectKind::Regeneration, regeneration}}));
        EXPECT_EQ(player.skills.exploration, 6 + perception);
        EXPECT_EQ(player.skills.combat, 2 + might);
        EXPECT_EQ(player.energy, 100);
        EXPECT_EQ(fixture.messageTexts(),
                  (std::vector<std::string>{
                      "You drink the regeneration potion. You drink the perception potion.",
                      "You drink the might potion."}));
    }
}

TEST(PlayerMagic, MagicMapRevealsTheNineSectorsAround) {
    ScreenFixture fixture;
    // (1, 1, 0) was never made and stays unmade; (2, 0, 0) and the level
    // above lie outside the map.
    const SectorCoord missing{1, 1, 0};
    auto level = testing::levelWith({{-1, -1, 0},
                                     {-1, 0, 0},
                                     {-1, 1, 0},
                                     {0, -1, 0},
                                     {0, 0, 0},
                                     {0, 1, 0},
                                     {1, -1, 0},
                                     {1, 0, 0},
                                     {2, 0, 0},
                                     {0, 0, 1}});
    cellAt(level->sectors, Position{home, 3, 3}).lastSeen = 40;
    Player player = newPlayer();
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

TEST(PlayerMagic, EscapeScrollEndsTheGame) {
    ScreenFixture fixture;
    auto level = worldAround({home});
    Player player = newPlayer();
    postMessage(0, "You hit the bat.");
    readScroll(Item{ItemClass::Scroll, 4}, player, *level);
    EXPECT_EQ(player.escaped, 1);
    EXPECT_EQ(player.playing, 1);
    ASSERT_EQ(messageQueue().size(), 2u);
    EXPECT_EQ(messageQueue()[1].text, "The labyrinth fades away around you.");
    EXPECT_EQ(messageQueue()[1].flag, 1);
}

TEST(PlayerMagic, TeleportLandsOnFreeFloorNearby) {
    for (int32_t seed = 1; seed <= 20; ++seed) {
        ScreenFixture fixture;
        testing::TempDir store;
        auto level = worldAround({home}, store.slash());
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
        Player player = newPlayer();
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

TEST(PlayerMagic, TeleportThroughALevelLinkTestsTheSquareThere) {
    const SectorCoord above{0, 0, 1};
    const SectorCoord below{0, 0, -1};
    ScreenFixture fixture;
    testing::TempDir store;
    auto level = worldAround({home, above, below}, store.slash());
    fillAll(*level, Terrain::Wall);
    Player player = newPlayer();
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
