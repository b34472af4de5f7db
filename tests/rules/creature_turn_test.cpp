#include "rules/creature_turn.h"

#include "rules/creature_scenes.h"
#include "rules/spawn.h"
#include "rules/store.h"
#include "test_support.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <set>
#include <tuple>

namespace dunvale {
namespace {

using namespace dunvale::creature_scenes;
using namespace dunvale::testing;

TEST_F(CreatureTurn, ScriptedDrawsComeBackInOrder) {
    const std::vector<int32_t> values{5, 3, 0, 2147483646, 7};
    scriptDraws(values);
    for (int32_t value : values)
        EXPECT_EQ(nextRandom(), value);
}

// One creature, one pass: the draws it makes and where it ends. Whatever
// happens it has acted this turn, only its own sector's list holds it, and
// nobody is attacked.
TEST_F(CreatureTurn, OnePassOfOneCreature) {
    struct Case {
        const char* what;
        std::function<void(Scene&)> build;
        std::vector<int32_t> draws;
        int drawsMade;
        Position end;
        Case(const char* what, std::vector<int32_t> draws, int drawsMade, Position end,
             std::function<void(Scene&)> build)
            : what(what), build(build), draws(draws), drawsMade(drawsMade), end(end) {}
    };
    auto bat = [](Scene& s) {
        s.player.position = at(home, 0, 9);
        s.watch(at(home, 5, 5), CreatureKind::Bat, 2);
    };
    auto mummy = [](Scene& s) {
        s.player.position = at(home, 0, 0);
        s.watch(at(home, 5, 5), CreatureKind::Mummy, 25);
    };
    // A bat in a walled sector below the player's level, under (5,5) of up.
    auto batUnderHole = [](CreatureKind kind, int32_t above, Position player) {
        return [=](Scene& s) {
            addSector(s.level->sectors, up);
            s.walled(home);
            s.cell(at(up, 5, 5)).elevation = above;
            s.player.position = player;
            s.watch(at(home, 5, 5), kind, 2);
        };
    };
    // A bat on the eastern edge of a walled sector next to a stored one
    // (beyond the sectors that act, so nothing loads it) stays put.
    auto batBeside = [](bool stored) {
        return [=](Scene& s) {
            s.walled(east);
            addSector(s.level->sectors, {2, 0, 0});
            if (stored) markStored(s.level->sectors, {2, 0, 0});
            s.watch(at(east, 9, 5), CreatureKind::Bat, 2);
        };
    };
    const Position centre = at(home, 5, 5);
    const Case cases[] = {
        // The sector to the west is processed first; the skeleton walks east
        // into the player's sector, whose snapshot is taken afterwards.
        Case("crossing into a later sector acts once", {1}, 1, at(home, 0, 2),
             [](Scene& s) {
                 s.walled({-1, 0, 0});
                 s.watch(at({-1, 0, 0}, 9, 2), CreatureKind::Skeleton, 15);
             }),
        Case("acted this turn already", {}, 0, at(home, 2, 2),
             [](Scene& s) {
                 s.watch(at(home, 2, 2), CreatureKind::GiantRat, 5);
                 s.creature->lastActed = now;
             }),
        Case(
            "never onto another creature, one candidate still drawn for", {0}, 1, at(home, 3, 3),
            [](Scene& s) {
                s.watch(at(home, 2, 2), CreatureKind::GiantSpider, 10);
                int32_t id = 2;
                for (int32_t dx = -1; dx <= 1; ++dx)
                    for (int32_t dy = -1; dy <= 1; ++dy)
                        if ((dx != 0 || dy != 0) && (dx != 1 || dy != 1))
                            s.add(at(home, 2 + dx, 2 + dy), CreatureKind::Bat, 1, id++)->lastActed =
                                now; // they stand still this turn
            }),
        Case("wraith rests on a roll of 1 even next to the player", {0, 0, 0}, 1, at(home, 6, 6),
             [](Scene& s) { s.watch(at(home, 6, 6), CreatureKind::Wraith, 20); }),
        // Candidate 0 of a plain wander is the square to the south-west.
        Case("mummy rolls 1", {0, 0}, 1, centre, mummy),
        Case("mummy rolls 2", {1, 0}, 2, at(home, 4, 4), mummy),
        Case("mummy rolls 3", {2, 0}, 2, at(home, 4, 4), mummy),
        Case("mummy rolls 4", {3, 0}, 2, at(home, 4, 4), mummy),
        Case("bat's coin 0", {0, 0, 0}, 2, at(home, 4, 4), bat),
        Case("bat's coin 1 steps again", {0, 1, 0}, 3, at(home, 3, 3), bat),
        Case("bat rises into a hole when the player is a level up", {0, 0}, 2, at(up, 5, 5),
             batUnderHole(CreatureKind::Bat, -3, at(up, 2, 2))),
        Case("walkers do not rise", {0, 0}, 0, centre,
             batUnderHole(CreatureKind::GiantRat, -3, at(up, 2, 2))),
        Case("no hole above", {0, 0}, 1, centre, batUnderHole(CreatureKind::Bat, 0, at(up, 2, 2))),
        Case("player on the hole", {0, 0}, 1, centre,
             batUnderHole(CreatureKind::Bat, -3, at(up, 5, 5))),
        Case("player on the same level", {0, 0}, 1, centre,
             batUnderHole(CreatureKind::Bat, -3, at(home, 1, 1))),
        Case("rising finds nothing where no sector was made", {0, 0}, 1, centre,
             [](Scene& s) {
                 s.walled(home);
                 s.player.position = at(up, 5, 5); // its sector was never made
                 s.watch(at(home, 5, 5), CreatureKind::Bat, 2);
             }),
        Case("stored sector is not entered, only the second-step draw", {1, 0}, 1, at(east, 9, 5),
             batBeside(true)),
        Case("sector in memory is entered", {1, 0}, 2, at({2, 0, 0}, 0, 5), batBeside(false)),
        Case("a spider walks: no trap to cross, no draw", {}, 0, centre,
             [](Scene& s) { s = amongTraps(CreatureKind::GiantSpider, 10, false); }),
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        Scene s;
        c.build(s);
        int made = 0;
        ASSERT_NO_THROW(made = s.run(c.draws));
        EXPECT_EQ(made, c.drawsMade);
        EXPECT_EQ(s.creature->position, c.end);
        EXPECT_EQ(s.creature->lastActed, now);
        for (SectorCoord sc : slotCoords(s.level->sectors))
            if (isInMemory(s.level->sectors, sc)) {
                EXPECT_EQ(s.holds(sc, s.creature->id), sc == c.end.sector);
            }
        EXPECT_EQ(s.player.energy, 100);
        EXPECT_TRUE(messageQueue().empty());
    }
}

TEST_F(CreatureTurn, CrowdOverManyTurnsKeepsItsListsAndSquaresApart) {
    const std::vector<SectorCoord> coords = blockAround(home);
    Scene s(coords);
    s.player.energy = 1000000;
    seedRandom(4242);
    // Some walls and traps, then 30 creatures of six kinds on distinct squares.
    for (SectorCoord c : coords) {
        Sector& sector = *findSector(s.level->sectors, c);
        for (int32_t x = 0; x < 10; ++x)
            for (int32_t y = 0; y < 10; ++y) {
                int32_t roll = randomIn(0, 9);
                if (roll == 0) sector.cells[x][y].terrain = Terrain::Wall;
                if (roll == 1) sector.cells[x][y].terrain = Terrain::GasTrap;
                if (roll == 2) sector.cells[x][y].elevation = 2;
            }
    }
    std::set<std::tuple<int32_t, int32_t, int32_t, int32_t>> used;
    for (int32_t id = 0; id < 30; ++id) {
        SectorCoord c = coords[static_cast<size_t>(id) % coords.size()];
        int32_t x = randomIn(0, 9);
        int32_t y = randomIn(0, 9);
        if (!used.insert({c.sx, c.sy, x, y}).second || at(c, x, y) == s.player.position) continue;
        s.add(at(c, x, y), static_cast<CreatureKind>(id % 6), 2 + id, id);
    }
    // And a throng of 40 in the player's sector: a list longer than most.
    for (int32_t id = 100; findSector(s.level->sectors, home)->creatures.size() < 40; ++id) {
        int32_t x = randomIn(0, 9);
        int32_t y = randomIn(0, 9);
        if (!used.insert({home.sx, home.sy, x, y}).second || at(home, x, y) == s.player.position)
            continue;
        s.add(at(home, x, y), static_cast<CreatureKind>(id % 6), 2, id);
    }
    size_t total = 0;
    for (SectorCoord c : coords)
        total += findSector(s.level->sectors, c)->creatures.size();

    for (int32_t turn = 1; turn <= 60; ++turn) {
        s.level->turn = turn;
        // The player sees its own sector this turn, so those creatures chase.
        stampSector(s.level->sectors, home, turn);
        creatureTurns(s.player, *s.level);
        messageQueue().clear();
        size_t count = 0;
        for (SectorCoord c : coords) {
            std::set<std::pair<int32_t, int32_t>> squares;
            for (const auto& creature : findSector(s.level->sectors, c)->creatures) {
                ++count;
                EXPECT_EQ(creature->position.sector, c) << "creature " << creature->id;
                EXPECT_TRUE(squares.insert({creature->position.x, creature->position.y}).second)
                    << "two creatures on one square, turn " << turn;
                EXPECT_NE(creature->position, s.player.position);
                EXPECT_EQ(creature->lastActed, turn);
            }
        }
        ASSERT_EQ(count, total);
    }
}

TEST_F(CreatureTurn, WhoAttacksFromWhere) {
    struct Case {
        const char* what;
        Position rat;
        int32_t elevation; // of the rat's square
        Position player;
        bool attacks;
    };
    const Position rat = at(home, 6, 6);
    const Case cases[] = {
        {"next to it, never seen", rat, 0, at(home, 5, 5), true},
        {"next to it across a sector corner", at(home, 9, 9), 0, at({1, 1, 0}, 0, 0), true},
        {"diagonal a level up", rat, 0, at(up, 5, 5), false},
        {"a level up from a high step", rat, 2, at(up, 5, 5), true},
        {"a level down from a low step", rat, -2, at(down, 7, 7), true},
        {"a level down from a high step", rat, 2, at(down, 5, 5), false},
        {"a level up from a low step", rat, -2, at(up, 5, 5), false},
        {"two squares away", rat, 0, at(home, 4, 4), false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        messageQueue().clear();
        Scene s({home, up, down, {1, 1, 0}});
        s.player.position = c.player;
        s.watch(c.rat, CreatureKind::GiantRat, 5);
        s.cell(c.rat).elevation = c.elevation;
        creatureTurns(s.player, *s.level);
        if (c.attacks) {
            EXPECT_EQ(s.creature->position, c.rat);
            ASSERT_FALSE(messageQueue().empty());
            EXPECT_EQ(messageQueue().front().text.rfind("The giant rat bites you!", 0), 0u);
            EXPECT_LT(s.player.energy, 100) << "combat 0 is never missed";
        } else {
            EXPECT_TRUE(messageQueue().empty());
            EXPECT_EQ(s.player.energy, 100);
        }
    }
}

TEST_F(CreatureTurn, NobodyStrikesAPlayerWhoFellThisTurn) {
    Scene s;
    s.player.energy = 1;
    s.add(at(home, 4, 4), CreatureKind::GiantRat, 5, 1);
    s.add(at(home, 6, 6), CreatureKind::GiantRat, 5, 2);
    EXPECT_EQ(s.run({0, 0, 0}), 3) << "hit roll pair and damage of the first rat only";
    EXPECT_EQ(s.player.playing, 0);
    ASSERT_EQ(messageQueue().size(), 1u);
    EXPECT_EQ(messageQueue().front().text, "The giant rat bites you!");
}

// A vampire east of the player on the sector edge; its chase leads west, its
// trail is fresh everywhere.
Scene vampireInView(bool inView) {
    Scene s({home, east});
    s.player.position = at(home, 2, 5);
    for (SectorCoord c : {home, east})
        stampSector(s.level->sectors, c, inView ? now : 3);
    s.watch(at(east, 0, 5), CreatureKind::Vampire, 30);
    return s;
}

TEST_F(CreatureTurn, VampireInViewSummonsIntoTheSectorItMovedTo) {
    Scene s = vampireInView(true);
    creatureCounter() = 500;
    // Chase west: candidates (9,4), (9,5), (9,6) of the home sector, then
    // (0,4) and (0,6) of its own; pick 1 is (9,5). Then a roll of 2, then
    // the wraith's level 22 and square (3, 7).
    s.run({1, 1, 2, 3, 7});
    EXPECT_EQ(s.creature->position, at(home, 9, 5));
    ASSERT_FALSE(messageQueue().empty());
    EXPECT_EQ(messageQueue().front().text, "The vampire's eyes glow blue.");
    const auto& list = findSector(s.level->sectors, home)->creatures;
    ASSERT_EQ(list.size(), 2u);
    EXPECT_EQ(list[0]->id, s.creature->id);
    EXPECT_EQ(list[1]->kind, CreatureKind::Wraith);
    EXPECT_EQ(list[1]->level, 22);
    EXPECT_EQ(list[1]->position, at(home, 3, 7));
    EXPECT_TRUE(findSector(s.level->sectors, east)->creatures.empty());
}

TEST_F(CreatureTurn, ASummonedWraithIsInTheWayOfCreaturesActingAfterIt) {
    // The vampire stays in its sector and summons a wraith onto (7,7), the
    // one square a rat acting after it could chase onto.
    Scene s({home, east});
    s.player.position = at(home, 2, 5);
    stampSector(s.level->sectors, home, now);
    stampSector(s.level->sectors, east, now);
    s.cell(at(east, 7, 6)).terrain = Terrain::Wall;
    s.cell(at(east, 8, 6)).terrain = Terrain::Wall;
    s.add(at(east, 5, 5), CreatureKind::Vampire, 30, 1);
    s.watch(at(east, 8, 7), CreatureKind::GiantRat, 5);
    // The vampire's pick, its roll of 2, the wraith's level, its square.
    EXPECT_EQ(s.run({0, 1, 0, 7, 7}), 5) << "the rat has nowhere to go: no draw";
    EXPECT_EQ(s.creature->position, at(east, 8, 7));
    const auto& list = findSector(s.level->sectors, east)->creatures;
    ASSERT_EQ(list.size(), 3u);
    EXPECT_EQ(list[2]->position, at(east, 7, 7));
}

TEST_F(CreatureTurn, VampireSummonsOnlyOnATwoAndOnlyInView) {
    for (int32_t roll : {1, 3, 4, 5}) {
        Scene s = vampireInView(true);
        EXPECT_EQ(s.run({0, roll - 1}), 2) << roll;
        EXPECT_TRUE(messageQueue().empty()) << roll;
    }
    // Out of view it wanders on the trail and never rolls.
    Scene s = vampireInView(false);
    EXPECT_EQ(s.run({1, 1, 1}), 1);
    EXPECT_TRUE(messageQueue().empty());
}

} // namespace
} // namespace dunvale
