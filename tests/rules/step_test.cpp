#include "presentation/item_prompts.h"
#include "rules/magic.h"
#include "rules/player_turn.h"
#include "rules/step.h"
#include "test_support.h"

#include <gtest/gtest.h>

#include <vector>

namespace dunvale {
namespace {

using namespace dunvale::testing;
using Texts = std::vector<std::string>;

const SectorCoord home{0, 0, 0};
const SectorCoord below{0, 0, -1};
const SectorCoord above{0, 0, 1};
const std::string gained = "You gain an exploration skill level!";
const std::string hissing = "You step on a loose stone. You hear a hissing sound!";

// The player at (5,5) of the home sector in open floor all around.
class PlayerStep : public ::testing::Test {
  protected:
    ScreenFixture fixture;
    std::unique_ptr<LevelRecord> level = worldAround({home});
    Player player = newPlayer();

    void world(const std::vector<SectorCoord>& centres, GameStore* store = nullptr) {
        level = worldAround(centres, store);
    }
    Cell& at(SectorCoord c, int32_t x, int32_t y) {
        return cellAt(level->sectors, Position{c, x, y});
    }
    int32_t go(int32_t dx, int32_t dy) { return finishAction(step(*level, player, dx, dy, 0)); }
    // Where the player stands, its energy, the messages queued and, when
    // given, the line shown at once.
    void expectState(Position end, int32_t energy, const Texts& messages,
                     const std::string& shown = "") {
        EXPECT_EQ(player.position, end);
        EXPECT_EQ(player.energy, energy);
        EXPECT_EQ(fixture.messageTexts(), messages);
        if (!shown.empty()) {
            EXPECT_EQ(fixture.terminal.row(17), "  " + shown);
        }
    }
};

TEST_F(PlayerStep, ClimbsTwoButNotThree) {
    at(home, 6, 5).elevation = 2;
    at(home, 4, 5).elevation = 3;
    EXPECT_EQ(go(-1, 0), 0);
    expectState({home, 5, 5}, 100, {}, "You can't climb that.");
    EXPECT_EQ(go(1, 0), 1);
    expectState({home, 6, 5}, 100, {});
}

TEST_F(PlayerStep, WalksUpOntoTheLevelAbove) {
    world({home, above});
    at(home, 5, 5).elevation = 1;
    at(home, 5, 6).elevation = 3;
    EXPECT_EQ(go(0, 1), 1);
    // A new level one out always teaches at first.
    expectState({above, 5, 6}, 100, {gained});
    EXPECT_EQ(findSector(level->sectors, above)->visited, 1);
}

TEST_F(PlayerStep, JumpsDownAHoleUnlessOnTheLastStairs) {
    for (auto [standing, jumped] : {std::pair{0, true}, {1, true}, {-2, false}, {-3, false}}) {
        SCOPED_TRACE(standing);
        messageQueue().clear();
        world({home, below});
        player = newPlayer();
        at(home, 5, 5).elevation = standing;
        at(home, 6, 6).elevation = -3;
        EXPECT_EQ(go(1, 1), 1);
        expectState({below, 6, 6}, jumped ? 99 : 100,
                    jumped ? Texts{"You jump down.", gained} : Texts{gained});
    }
}

TEST_F(PlayerStep, JumpingDownSpringsNoTrap) {
    world({home, below});
    at(home, 6, 5).elevation = -3;
    at(below, 6, 5).terrain = Terrain::GasTrap;
    EXPECT_EQ(go(1, 0), 1);
    EXPECT_EQ(player.position, (Position{below, 6, 5}));
    EXPECT_EQ(at(below, 6, 5).terrain, Terrain::GasTrap);
    EXPECT_TRUE(player.effects.empty());
}

TEST_F(PlayerStep, CreatureBelowAHoleIsOutOfReach) {
    world({home, below});
    at(home, 6, 5).elevation = -3;
    addCreature(level->sectors, Position{below, 6, 5}, CreatureKind::GiantRat, 3);
    EXPECT_EQ(go(1, 0), 0);
    expectState({home, 5, 5}, 100, {}, "It's too far below you to attack.");
}

// A trapdoor north of the player opens into a hole whatever lies below.
TEST_F(PlayerStep, TrapdoorOpensUnderThePlayer) {
    struct Case {
        const char* what;
        Terrain ground; // below the trapdoor
        bool creature;  // below the trapdoor
        int32_t used;   // turns
        Position end;
        Texts messages;
        std::string shown;
        Case(const char* what, Terrain ground, bool creature, int32_t used, Position end,
             Texts messages, std::string shown)
            : what(what), ground(ground), creature(creature), used(used), end(end),
              messages(messages), shown(shown) {}
    };
    const std::string gives = "The floor gives way beneath you!";
    const Case cases[] = {
        Case("drops the player a level, no jump-down cost on top of the fall", Terrain::Floor,
             false, 1, {below, 5, 4}, {gives, gained}, ""),
        Case("a creature below keeps the player up", Terrain::Floor, true, 1, {home, 5, 5}, {},
             gives + " You jump back just in time!"),
        Case("a wall below uses no turn", Terrain::Wall, false, 0, {home, 5, 5}, {gives}, ""),
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        messageQueue().clear();
        world({home, below});
        player = newPlayer();
        at(home, 5, 4).terrain = Terrain::Trapdoor;
        at(below, 5, 4).terrain = c.ground;
        if (c.creature) addCreature(level->sectors, {below, 5, 4}, CreatureKind::Skeleton, 5);
        EXPECT_EQ(go(0, -1), c.used);
        expectState(c.end, 90, c.messages, c.shown);
        EXPECT_EQ(at(home, 5, 4).terrain, Terrain::Floor);
        EXPECT_EQ(at(home, 5, 4).elevation, -3);
    }
}

TEST_F(PlayerStep, WallsCostNothing) {
    at(home, 5, 6).terrain = Terrain::Wall;
    seedRandom(3);
    EXPECT_EQ(drawsDuring([&] { EXPECT_EQ(go(0, 1), 0); }), 0);
    expectState({home, 5, 5}, 100, {});
}

TEST_F(PlayerStep, GasAtTheEntranceGivesDosesOfNoTurns) {
    for (int32_t seed : {1, 2, 3, 4, 5, 6}) {
        messageQueue().clear();
        world({home});
        player = newPlayer();
        at(home, 4, 4).terrain = Terrain::GasTrap;
        seedRandom(seed);
        const int32_t doses = randomIn(1, 3);
        seedRandom(seed);
        // T = 0: each dose is random in [5, 0], no draw.
        EXPECT_EQ(drawsDuring([&] { EXPECT_EQ(go(-1, -1), 1); }), 1);
        EXPECT_EQ(at(home, 4, 4).terrain, Terrain::Floor);
        expectState({home, 4, 4}, 100, {hissing, "You choke on the fumes!"});
        EXPECT_EQ(player.effects,
                  std::vector<TimedEffect>(static_cast<size_t>(doses), {EffectKind::Poison, 0}));
        endOfTurnUpdate(player, *level);
        EXPECT_EQ(player.energy, 100 - doses);
        EXPECT_TRUE(player.effects.empty());
    }
}

TEST_F(PlayerStep, GasDosesGrowWithTheDistanceOfTheSquareLeft) {
    // From (3, 4, 0), T = 7, into a trap lying in (2, 4, 0), T = 6: the
    // square left decides.
    const SectorCoord far{3, 4, 0};
    const SectorCoord west{2, 4, 0};
    for (int32_t seed : {11, 12, 13, 14}) {
        TempStore store;
        world({far, west}, store.store());
        player.position = Position{far, 0, 2};
        at(west, 9, 2).terrain = Terrain::GasTrap;
        seedRandom(seed);
        const int32_t doses = randomIn(1, 3);
        std::vector<TimedEffect> expected;
        for (int32_t i = 0; i < doses; ++i) {
            int32_t turns = randomIn(5, 7);
            expected.push_back({EffectKind::Poison, turns});
        }
        seedRandom(seed);
        player.effects.clear();
        EXPECT_EQ(go(-1, 0), 1);
        EXPECT_EQ(player.position, (Position{west, 9, 2}));
        EXPECT_EQ(player.effects, expected);
    }
}

TEST_F(PlayerStep, SmokeFillsOnlySeenFloor) {
    level->turn = 50;
    const Position trap{home, 6, 5};
    // Everything around is seen this turn, except the marked squares.
    for (int32_t ox = -5; ox <= 5; ++ox)
        for (int32_t oy = -5; oy <= 5; ++oy)
            cellAtOffset(level->sectors, trap, ox, oy).lastSeen = 50;
    at(home, 6, 5).terrain = Terrain::SmokeTrap;
    at(home, 7, 5).terrain = Terrain::Wall;
    at(home, 8, 5).terrain = Terrain::TeleportTrap;
    at(home, 6, 6).lastSeen = 49; // the turn before: still smoked
    at(home, 6, 7).lastSeen = 48; // too old
    at(home, 6, 8).lastSeen = neverSeen;
    // The column four squares east of the trap lies in the sector (1, 0, 0).
    seedRandom(21);
    std::vector<int32_t> lengths;
    for (int i = 0; i < 81 - 4; ++i)
        lengths.push_back(randomIn(10, 20));
    seedRandom(21);
    EXPECT_EQ(go(1, 0), 1);
    EXPECT_EQ(fixture.messageTexts(), (Texts{hissing, "Smoke fills the air..."}));
    size_t next = 0;
    for (int32_t ox = -4; ox <= 4; ++ox)
        for (int32_t oy = -4; oy <= 4; ++oy) {
            const Cell& cell = cellAtOffset(level->sectors, trap, ox, oy);
            bool skipped = (ox == 1 && oy == 0) || (ox == 2 && oy == 0) || (ox == 0 && oy == 2) ||
                           (ox == 0 && oy == 3);
            SCOPED_TRACE(std::to_string(ox) + "," + std::to_string(oy));
            if (skipped) {
                EXPECT_TRUE(cell.entries.empty());
                continue;
            }
            ASSERT_EQ(cell.entries.size(), 1u);
            EXPECT_EQ(cell.entries[0], (TempEntry{TempKind::Smoke, 50 + lengths[next]}));
            ++next;
        }
    EXPECT_EQ(next, lengths.size());
    EXPECT_EQ(at(home, 6, 5).terrain, Terrain::Floor);
    EXPECT_EQ(cellAtOffset(level->sectors, trap, 5, 0).entries.size(), 0u);
}

TEST_F(PlayerStep, SmokeSkipsSectorsNotYetBuilt) {
    level = levelWith({home});
    stampSector(level->sectors, home, 1);
    seedRandom(8);
    // On the west edge: 5 of the 9 columns lie in this sector.
    EXPECT_EQ(drawsDuring([&] { EXPECT_NO_THROW(putSmokeAround(*level, {home, 0, 4})); }), 5 * 9);
    EXPECT_FALSE(hasSlot(level->sectors, SectorCoord{-1, 0, 0}));
    EXPECT_EQ(at(home, 4, 0).entries.size(), 1u);
}

TEST_F(PlayerStep, SmokeTrapAcrossALevelLinkRaisesNothing) {
    // Only the sector below itself exists on the lower level.
    addSector(level->sectors, below);
    at(home, 5, 5).elevation = -2;
    at(home, 5, 6).elevation = -3;
    at(below, 5, 6).terrain = Terrain::SmokeTrap;
    at(below, 5, 6).lastSeen = 1;
    EXPECT_NO_THROW(EXPECT_EQ(go(0, 1), 1));
    EXPECT_EQ(player.position, (Position{below, 5, 6}));
    EXPECT_EQ(at(below, 5, 6).entries.size(), 1u);
}

TEST_F(PlayerStep, TeleportTrapIsSpentBeforeThePlayerMoves) {
    fillTerrain(level->sectors, Terrain::Wall);
    at(home, 5, 5).terrain = Terrain::Floor;
    at(home, 6, 5).terrain = Terrain::TeleportTrap;
    // With the player's own square taken, the spent trap is the only free square.
    addCreature(level->sectors, Position{home, 5, 5}, CreatureKind::Bat, 1);
    EXPECT_EQ(go(1, 0), 1);
    EXPECT_EQ(at(home, 6, 5).terrain, Terrain::Floor);
    expectState({home, 6, 5}, 100, {"There is a sudden flash of magical energy!"});
}

TEST_F(PlayerStep, TellsWhatLiesOnTheSquare) {
    putItem(level->sectors, Position{home, 6, 5}, Item{ItemClass::Weapon, 1});
    putItem(level->sectors, Position{home, 6, 5}, Item{ItemClass::Treasure, 12});
    putItem(level->sectors, Position{home, 7, 5}, Item{ItemClass::Treasure, 12});
    EXPECT_EQ(go(1, 0), 1);
    expectState({home, 6, 5}, 100, {"There is a dagger here."});
    messageQueue().clear();
    EXPECT_EQ(go(1, 0), 1);
    expectState({home, 7, 5}, 100, {"There is some treasure here."});
}

TEST_F(PlayerStep, StandingStillRepeatsTheNoticeAndUsesTheTurn) {
    putItem(level->sectors, player.position, Item{ItemClass::Potion, 4});
    EXPECT_EQ(go(0, 0), 1);
    EXPECT_EQ(go(0, 0), 1);
    expectState({home, 5, 5}, 100, {"There is a might potion here. There is a might potion here."});
}

TEST_F(PlayerStep, CrossingIntoAnotherSectorStoresTheFarOnes) {
    TempStore store;
    const SectorCoord east{1, 0, 0};
    world({home, east}, store.store());
    player.position = Position{home, 9, 3};
    EXPECT_EQ(go(1, 0), 1);
    expectState({east, 0, 3}, 100, {gained});
    EXPECT_EQ(findSector(level->sectors, east)->visited, 1);
    for (int32_t sy = -1; sy <= 1; ++sy) {
        SectorCoord west{-1, sy, 0};
        EXPECT_TRUE(hasSlot(level->sectors, west));
        EXPECT_FALSE(isInMemory(level->sectors, west));
        EXPECT_TRUE(isInMemory(level->sectors, SectorCoord{0, sy, 0}));
        EXPECT_TRUE(isInMemory(level->sectors, SectorCoord{2, sy, 0}));
    }
}

TEST_F(PlayerStep, SteppingIntoACreatureAttacksIt) {
    auto rat = addCreature(level->sectors, Position{home, 4, 5}, CreatureKind::GiantRat, 0);
    rat->health = 1000;
    // Level 0 cannot dodge: one point of damage at combat 0 unarmed.
    EXPECT_EQ(go(-1, 0), 1);
    expectState({home, 5, 5}, 100, {"You hit the giant rat."});
    EXPECT_EQ(rat->health, 999);
}

} // namespace
} // namespace dunvale
