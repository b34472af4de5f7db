// The turns of one command: how many run, what stops a rest, the wandering
// spawn's chance, and the view stamped before the creatures act. Every draw
// is scripted; in an empty world the only draw of a turn is the spawn's.
#include "app/game.h"
#include "test_support.h"

#include <gtest/gtest.h>

namespace dunvale {
namespace {

using testing::ScreenFixture;

size_t creatureCount(SectorTable& table) {
    size_t count = 0;
    for (SectorCoord c : slotCoords(table))
        count += findSector(table, c)->creatures.size();
    return count;
}

TEST(TurnLoop, TurnsRunAndWhatStopsARest) {
    const SectorCoord home{0, 0, 0};
    struct Case {
        const char* what;
        int32_t budget;
        int32_t draw;   // every draw repeats this one for the first thirty-two
        int32_t energy; // 9 and less warn at the end of each turn
        bool spider;    // a giant spider three squares east, in view
        int32_t turns;
        size_t creatures;
    };
    const Case cases[] = {
        {"a wait", 1, 1, 100, false, 1, 0},
        {"armour taking four turns", 4, 1, 100, false, 4, 0},
        {"an undisturbed rest", -1, 1, 100, false, 99, 0},
        {"a warning at a turn's end stops the rest a turn later", -1, 1, 5, false, 2, 0},
        {"a creature in view stops the rest at once", -1, 7, 100, true, 1, 1},
        {"the wandering spawn on a draw of 0", 1, 0, 100, false, 1, 1},
        {"no spawn on 50", 1, 50, 100, false, 1, 0},
        {"no spawn on 99", 1, 99, 100, false, 1, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        testing::RandomGuard guard;
        ScreenFixture screen;
        auto level = testing::worldAround({home});
        Player player = newPlayer();
        player.energy = c.energy;
        std::shared_ptr<Creature> spider;
        if (c.spider)
            spider = testing::addCreature(level->sectors, Position{home, 8, 5},
                                          CreatureKind::GiantSpider, 10);
        testing::scriptDraws({c.draw});
        const int32_t firstTurn = level->turn;
        runTurns(c.budget, player, *level);
        EXPECT_EQ(level->turn - firstTurn, c.turns);
        EXPECT_EQ(creatureCount(level->sectors), c.creatures);
        // Seen this turn, the spider chases: it never steps away from the
        // player, as its out-of-view wander would on this draw.
        if (spider) {
            EXPECT_EQ(spider->position.x, 7);
        }
    }
}

} // namespace
} // namespace dunvale
