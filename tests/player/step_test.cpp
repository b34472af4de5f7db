#include "player/magic.h"
#include "player/step.h"
#include "support/errors.h"
#include "test_support.h"

#include <gtest/gtest.h>

#include <vector>

namespace dunvale {
namespace {

using testing::addCreature;
using testing::ScreenFixture;
using testing::TempDir;

const SectorCoord home{0, 0, 0};
const SectorCoord below{0, 0, -1};
const SectorCoord above{0, 0, 1};

// Open floor: every sector within one of the given centres on their levels,
// so that entering any centre builds nothing new.
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

Cell& square(LevelRecord& level, SectorCoord c, int32_t x, int32_t y) {
    return cellAt(level.sectors, Position{c, x, y});
}

Player playerAt(SectorCoord c, int32_t x, int32_t y) {
    Player player = newPlayer();
    player.position = Position{c, x, y};
    return player;
}

// Draws made since `before`, counted on the ring's write index.
int drawsSince(const RandomState& before) {
    return (randomState().write - before.write + 55) % 55;
}

TEST(PlayerStep, ClimbsTwoButNotThree) {
    ScreenFixture fixture;
    auto level = worldAround({home});
    Player player = playerAt(home, 5, 5);
    square(*level, home, 6, 5).elevation = 2;
    square(*level, home, 4, 5).elevation = 3;

    EXPECT_EQ(step(*level, player, -1, 0, 0), 0);
    EXPECT_EQ(player.position, (Position{home, 5, 5}));
    EXPECT_TRUE(messageQueue().empty()) << "shown at once";
    EXPECT_EQ(fixture.terminal.row(17), "  You can't climb that.");

    EXPECT_EQ(step(*level, player, 1, 0, 0), 1);
    EXPECT_EQ(player.position, (Position{home, 6, 5}));
    EXPECT_TRUE(messageQueue().empty());
}

TEST(PlayerStep, WalksUpOntoTheLevelAbove) {
    ScreenFixture fixture;
    auto level = worldAround({home, above});
    Player player = playerAt(home, 5, 5);
    square(*level, home, 5, 5).elevation = 1;
    square(*level, home, 5, 6).elevation = 3;
    EXPECT_EQ(step(*level, player, 0, 1, 0), 1);
    EXPECT_EQ(player.position, (Position{above, 5, 6}));
    EXPECT_EQ(player.energy, 100);
    EXPECT_EQ(findSector(level->sectors, above)->visited, 1);
}

TEST(PlayerStep, JumpsDownAHoleUnlessOnTheLastStairs) {
    struct Case {
        int32_t standing;
        int32_t energy;
        bool jumped;
    };
    for (Case c :
         {Case{0, 99, true}, Case{1, 99, true}, Case{-2, 100, false}, Case{-3, 100, false}}) {
        ScreenFixture fixture;
        auto level = worldAround({home, below});
        Player player = playerAt(home, 5, 5);
        square(*level, home, 5, 5).elevation = c.standing;
        square(*level, home, 6, 6).elevation = -3;
        EXPECT_EQ(step(*level, player, 1, 1, 0), 1);
        EXPECT_EQ(player.position, (Position{below, 6, 6}));
        EXPECT_EQ(player.energy, c.energy) << c.standing;
        // The level below is new, and one level out always teaches at first.
        std::vector<std::string> expected{"You gain an exploration skill level!"};
        if (c.jumped) expected.insert(expected.begin(), "You jump down.");
        EXPECT_EQ(fixture.messageTexts(), expected);
    }
}

TEST(PlayerStep, JumpingDownSpringsNoTrap) {
    ScreenFixture fixture;
    auto level = worldAround({home, below});
    Player player = playerAt(home, 5, 5);
    square(*level, home, 6, 5).elevation = -3;
    square(*level, below, 6, 5).terrain = Terrain::GasTrap;
    EXPECT_EQ(step(*level, player, 1, 0, 0), 1);
    EXPECT_EQ(player.position, (Position{below, 6, 5}));
    EXPECT_EQ(square(*level, below, 6, 5).terrain, Terrain::GasTrap);
    EXPECT_TRUE(player.effects.empty());
}

TEST(PlayerStep, CreatureBelowAHoleIsOutOfReach) {
    ScreenFixture fixture;
    auto level = worldAround({home, below});
    Player player = playerAt(home, 5, 5);
    square(*level, home, 6, 5).elevation = -3;
    addCreature(level->sectors, Position{below, 6, 5}, CreatureKind::GiantRat, 3);
    EXPECT_EQ(step(*level, player, 1, 0, 0), 0);
    EXPECT_EQ(player.position, (Position{home, 5, 5}));
    EXPECT_EQ(player.energy, 100);
    EXPECT_TRUE(messageQueue().empty());
    EXPECT_EQ(fixture.terminal.row(17), "  It's too far below you to attack.");
}

TEST(PlayerStep, TrapdoorDropsThePlayerALevel) {
    ScreenFixture fixture;
    auto level = worldAround({home, below});
    Player player = playerAt(home, 5, 5);
    square(*level, home, 5, 4).terrain = Terrain::Trapdoor;
    EXPECT_EQ(step(*level, player, 0, -1, 0), 1);
    EXPECT_EQ(player.position, (Position{below, 5, 4}));
    EXPECT_EQ(player.energy, 90) << "no jump-down cost on top of the fall";
    EXPECT_EQ(fixture.messageTexts(),
              (std::vector<std::string>{"The floor gives way beneath you!",
                                        "You gain an exploration skill level!"}));
    const Cell& hole = square(*level, home, 5, 4);
    EXPECT_EQ(hole.terrain, Terrain::Floor);
    EXPECT_EQ(hole.elevation, -3);
}

TEST(PlayerStep, CreatureBelowATrapdoorKeepsThePlayerUp) {
    ScreenFixture fixture;
    auto level = worldAround({home, below});
    Player player = playerAt(home, 5, 5);
    square(*level, home, 5, 4).terrain = Terrain::Trapdoor;
    addCreature(level->sectors, Position{below, 5, 4}, CreatureKind::Skeleton, 5);
    EXPECT_EQ(step(*level, player, 0, -1, 0), 1);
    EXPECT_EQ(player.position, (Position{home, 5, 5}));
    EXPECT_EQ(player.energy, 90);
    EXPECT_EQ(square(*level, home, 5, 4).elevation, -3);
    EXPECT_TRUE(messageQueue().empty());
    EXPECT_EQ(fixture.terminal.row(17),
              "  The floor gives way beneath you! You jump back just in time!");
}

TEST(PlayerStep, WallBelowATrapdoorUsesNoTurn) {
    ScreenFixture fixture;
    auto level = worldAround({home, below});
    Player player = playerAt(home, 5, 5);
    square(*level, home, 5, 4).terrain = Terrain::Trapdoor;
    square(*level, below, 5, 4).terrain = Terrain::Wall;
    EXPECT_EQ(step(*level, player, 0, -1, 0), 0);
    EXPECT_EQ(player.position, (Position{home, 5, 5}));
    EXPECT_EQ(player.energy, 90);
    EXPECT_EQ(square(*level, home, 5, 4).elevation, -3);
    EXPECT_EQ(square(*level, home, 5, 4).terrain, Terrain::Floor);
    EXPECT_EQ(fixture.messageTexts(), std::vector<std::string>{"The floor gives way beneath you!"});
}

TEST(PlayerStep, WallsCostNothing) {
    ScreenFixture fixture;
    auto level = worldAround({home});
    Player player = playerAt(home, 5, 5);
    square(*level, home, 5, 6).terrain = Terrain::Wall;
    seedRandom(3);
    const RandomState before = randomState();
    EXPECT_EQ(step(*level, player, 0, 1, 0), 0);
    EXPECT_EQ(player.position, (Position{home, 5, 5}));
    EXPECT_TRUE(messageQueue().empty());
    EXPECT_EQ(drawsSince(before), 0);
}

TEST(PlayerStep, GasAtTheEntranceGivesDosesOfNoTurns) {
    for (int32_t seed : {1, 2, 3, 4, 5, 6}) {
        ScreenFixture fixture;
        auto level = worldAround({home});
        Player player = playerAt(home, 5, 5);
        square(*level, home, 4, 4).terrain = Terrain::GasTrap;
        seedRandom(seed);
        const int32_t doses = randomIn(1, 3);
        seedRandom(seed);
        const RandomState before = randomState();
        EXPECT_EQ(step(*level, player, -1, -1, 0), 1);
        // T = 0: each dose is random in [5, 0], no draw.
        EXPECT_EQ(drawsSince(before), 1);
        EXPECT_EQ(square(*level, home, 4, 4).terrain, Terrain::Floor);
        EXPECT_EQ(player.position, (Position{home, 4, 4}));
        EXPECT_EQ(player.effects,
                  std::vector<TimedEffect>(static_cast<size_t>(doses), {EffectKind::Poison, 0}));
        EXPECT_EQ(fixture.messageTexts(),
                  (std::vector<std::string>{"You step on a loose stone. You hear a hissing sound!",
                                            "You choke on the fumes!"}));
        endOfTurnUpdate(player, *level);
        EXPECT_EQ(player.energy, 100 - doses);
        EXPECT_TRUE(player.effects.empty());
    }
}

TEST(PlayerStep, GasDosesGrowWithTheDistanceOfTheSquareLeft) {
    // From (3, 4, 0), T = 7, into a trap lying in (2, 4, 0), T = 6: the
    // square left decides.
    const SectorCoord far{3, 4, 0};
    const SectorCoord west{2, 4, 0};
    for (int32_t seed : {11, 12, 13, 14}) {
        ScreenFixture fixture;
        TempDir store;
        auto level = worldAround({far, west}, store.slash());
        Player player = playerAt(far, 0, 2);
        square(*level, west, 9, 2).terrain = Terrain::GasTrap;
        seedRandom(seed);
        const int32_t doses = randomIn(1, 3);
        std::vector<TimedEffect> expected;
        for (int32_t i = 0; i < doses; ++i) {
            int32_t turns = randomIn(5, 7);
            expected.push_back({EffectKind::Poison, turns});
        }
        seedRandom(seed);
        EXPECT_EQ(step(*level, player, -1, 0, 0), 1);
        EXPECT_EQ(player.position, (Position{west, 9, 2}));
        EXPECT_EQ(player.effects, expected);
    }
}

TEST(PlayerStep, SmokeFillsOnlySeenFloor) {
    ScreenFixture fixture;
    auto level = worldAround({home});
    level->turn = 50;
    Player player = playerAt(home, 5, 5);
    const Position trap{home, 6, 5};
    // Everything around is seen this turn, except the marked squares.
    for (int32_t ox = -5; ox <= 5; ++ox)
        for (int32_t oy = -5; oy <= 5; ++oy)
            cellAtOffset(level->sectors, trap, ox, oy).lastSeen = 50;
    square(*level, home, 6, 5).terrain = Terrain::SmokeTrap;
    square(*level, home, 7, 5).terrain = Terrain::Wall;
    square(*level, home, 8, 5).terrain = Terrain::TeleportTrap;
    square(*level, home, 6, 6).lastSeen = 49; // the turn before: still smoked
    square(*level, home, 6, 7).lastSeen = 48; // too old
    square(*level, home, 6, 8).lastSeen = neverSeen;
    // The column four squares east of the trap lies in the sector (1, 0, 0).
    seedRandom(21);
    std::vector<int32_t> lengths;
    for (int i = 0; i < 81 - 4; ++i)
        lengths.push_back(randomIn(10, 20));
    seedRandom(21);
    EXPECT_EQ(step(*level, player, 1, 0, 0), 1);
    EXPECT_EQ(fixture.messageTexts(),
              (std::vector<std::string>{"You step on a loose stone. You hear a hissing sound!",
                                        "Smoke fills the air..."}));
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
    EXPECT_EQ(square(*level, home, 6, 5).terrain, Terrain::Floor);
    EXPECT_EQ(cellAtOffset(level->sectors, trap, 5, 0).entries.size(), 0u);
}

TEST(PlayerStep, SmokeSkipsSectorsNotYetBuilt) {
    ScreenFixture fixture;
    auto level = testing::levelWith({home});
    for (auto& column : findSector(level->sectors, home)->cells)
        for (Cell& cell : column)
            cell.lastSeen = 1;
    seedRandom(8);
    const RandomState before = randomState();
    // On the west edge: 5 of the 9 columns lie in this sector.
    EXPECT_NO_THROW(putSmokeAround(*level, Position{home, 0, 4}));
    EXPECT_EQ(drawsSince(before), 5 * 9);
    EXPECT_FALSE(hasSlot(level->sectors, SectorCoord{-1, 0, 0}));
    EXPECT_EQ(square(*level, home, 4, 0).entries.size(), 1u);
}

TEST(PlayerStep, SmokeTrapAcrossALevelLinkRaisesNothing) {
    ScreenFixture fixture;
    auto level = worldAround({home});
    // Only the sector below itself exists on the lower level.
    testing::addSector(level->sectors, below);
    Player player = playerAt(home, 5, 5);
    square(*level, home, 5, 5).elevation = -2;
    square(*level, home, 5, 6).elevation = -3;
    square(*level, below, 5, 6).terrain = Terrain::SmokeTrap;
    square(*level, below, 5, 6).lastSeen = 1;
    EXPECT_NO_THROW(EXPECT_EQ(step(*level, player, 0, 1, 0), 1));
    EXPECT_EQ(player.position, (Position{below, 5, 6}));
    EXPECT_EQ(square(*level, below, 5, 6).entries.size(), 1u);
}

TEST(PlayerStep, TeleportTrapIsSpentBeforeThePlayerMoves) {
    ScreenFixture fixture;
    auto level = worldAround({home});
    for (SectorCoord c : slotCoords(level->sectors))
        for (auto& column : findSector(level->sectors, c)->cells)
            for (Cell& cell : column)
                cell.terrain = Terrain::Wall;
    Player player = playerAt(home, 5, 5);
    square(*level, home, 5, 5).terrain = Terrain::Floor;
    square(*level, home, 6, 5).terrain = Terrain::TeleportTrap;
    // With the player's own square taken, the spent trap is the only free square.
    addCreature(level->sectors, Position{home, 5, 5}, CreatureKind::Bat, 1);
    EXPECT_EQ(step(*level, player, 1, 0, 0), 1);
    EXPECT_EQ(square(*level, home, 6, 5).terrain, Terrain::Floor);
    EXPECT_EQ(player.position, (Position{home, 6, 5}));
    EXPECT_EQ(fixture.messageTexts(),
              std::vector<std::string>{"There is a sudden flash of magical energy!"});
}

TEST(PlayerStep, TellsWhatLiesOnTheSquare) {
    ScreenFixture fixture;
    auto level = worldAround({home});
    Player player = playerAt(home, 5, 5);
    putItem(level->sectors, Position{home, 6, 5}, Item{ItemClass::Weapon, 1});
    putItem(level->sectors, Position{home, 6, 5}, Item{ItemClass::Treasure, 12});
    putItem(level->sectors, Position{home, 7, 5}, Item{ItemClass::Treasure, 12});
    EXPECT_EQ(step(*level, player, 1, 0, 0), 1);
    EXPECT_EQ(fixture.messageTexts(), std::vector<std::string>{"There is a dagger here."});
    messageQueue().clear();
    EXPECT_EQ(step(*level, player, 1, 0, 0), 1);
    EXPECT_EQ(fixture.messageTexts(), std::vector<std::string>{"There is some treasure here."});
}

TEST(PlayerStep, StandingStillRepeatsTheNoticeAndUsesTheTurn) {
    ScreenFixture fixture;
    auto level = worldAround({home});
    Player player = playerAt(home, 5, 5);
    putItem(level->sectors, player.position, Item{ItemClass::Potion, 4});
    EXPECT_EQ(step(*level, player, 0, 0, 0), 1);
    EXPECT_EQ(step(*level, player, 0, 0, 0), 1);
    EXPECT_EQ(player.position, (Position{home, 5, 5}));
    EXPECT_EQ(
        fixture.messageTexts(),
        std::vector<std::string>{"There is a might potion here. There is a might potion here."});
}

TEST(PlayerStep, CrossingIntoAnotherSectorStoresTheFarOnes) {
    ScreenFixture fixture;
    TempDir store;
    const SectorCoord east{1, 0, 0};
    auto level = worldAround({home, east}, store.slash());
    Player player = playerAt(home, 9, 3);
    EXPECT_EQ(step(*level, player, 1, 0, 0), 1);
    EXPECT_EQ(player.position, (Position{east, 0, 3}));
    EXPECT_EQ(findSector(level->sectors, east)->visited, 1);
    for (int32_t sy = -1; sy <= 1; ++sy) {
        SectorCoord west{-1, sy, 0};
        EXPECT_TRUE(hasSlot(level->sectors, west));
        EXPECT_FALSE(isInMemory(level->sectors, west));
        EXPECT_TRUE(isInMemory(level->sectors, SectorCoord{0, sy, 0}));
        EXPECT_TRUE(isInMemory(level->sectors, SectorCoord{2, sy, 0}));
    }
}

TEST(PlayerStep, SteppingIntoACreatureAttacksIt) {
    ScreenFixture fixture;
    auto level = worldAround({home});
    Player player = playerAt(home, 5, 5);
    auto rat = addCreature(level->sectors, Position{home, 4, 5}, CreatureKind::GiantRat, 0);
    rat->health = 1000;
    // Level 0 cannot dodge: one point of damage at combat 0 unarmed.
    EXPECT_EQ(step(*level, player, -1, 0, 0), 1);
    EXPECT_EQ(player.position, (Position{home, 5, 5}));
    EXPECT_EQ(rat->health, 999);
}

} // namespace
} // namespace dunvale
