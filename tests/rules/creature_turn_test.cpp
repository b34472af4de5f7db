#include "rules/creature_turn.h"

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

using namespace dunvale::testing;

constexpr int32_t now = 20; // the turn counter in these scenes
const SectorCoord home{0, 0, 0};
const SectorCoord up{0, 0, 1};
const SectorCoord down{0, 0, -1};
const SectorCoord east{1, 0, 0};

Position at(SectorCoord c, int32_t x, int32_t y) {
    return Position{c, x, y};
}

// A level at turn `now` with open floor sectors at `coords`, the player at
// the start square and at most one creature under watch.
struct Scene {
    std::unique_ptr<LevelRecord> level;
    Player player;
    std::shared_ptr<Creature> creature;

    explicit Scene(const std::vector<SectorCoord>& coords = {home}) : level(levelWith(coords)) {
        level->turn = now;
    }
    Cell& cell(Position p) { return cellAt(level->sectors, p); }
    void walled(SectorCoord c) { addSector(level->sectors, c, Terrain::Wall); }
    std::shared_ptr<Creature> add(Position p, CreatureKind kind, int32_t lvl, int32_t id = 1000) {
        return addCreature(level->sectors, p, kind, lvl, id);
    }
    void watch(Position p, CreatureKind kind, int32_t lvl) { creature = add(p, kind, lvl); }
    bool holds(SectorCoord c, int32_t id) {
        Sector* sector = findSector(level->sectors, c);
        return sector != nullptr && std::any_of(sector->creatures.begin(), sector->creatures.end(),
                                                [&](const auto& other) { return other->id == id; });
    }
    // One pass of creature turns on the given draws; the draws it made.
    int run(const std::vector<int32_t>& draws) {
        scriptDraws(draws);
        return drawsDuring([&] { creatureTurns(player, *level); });
    }
};

class CreatureTurn : public ::testing::Test {
  protected:
    ScreenFixture screen;
    RandomGuard guard;
};

TEST_F(CreatureTurn, ScriptedDrawsComeBackInOrder) {
    const std::vector<int32_t> values{5, 3, 0, 2147483646, 7};
    scriptDraws(values);
    for (int32_t value : values)
        EXPECT_EQ(nextRandom(), value);
}

// A creature in a walled sector with one trap of each kind next to it.
Scene amongTraps(CreatureKind kind, int32_t lvl, bool inView) {
    Scene s(std::vector<SectorCoord>{});
    s.walled(home);
    s.player.position = at(home, 1, 5);
    s.cell(at(home, 4, 4)).terrain = Terrain::Trapdoor;
    s.cell(at(home, 4, 5)).terrain = Terrain::GasTrap;
    s.cell(at(home, 4, 6)).terrain = Terrain::TeleportTrap;
    s.cell(at(home, 6, 5)).terrain = Terrain::SmokeTrap;
    if (inView) stampSector(s.level->sectors, home, now);
    s.watch(at(home, 5, 5), kind, lvl);
    return s;
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

// A giant rat out of view on a square last seen at `ownStamp`.
Scene ratOnTrail(int32_t ownStamp, SectorCoord playerSector) {
    Scene s({home, up});
    s.player.position = at(playerSector, 1, 1);
    const std::pair<std::array<int32_t, 2>, int32_t> stamps[] = {
        {{5, 5}, ownStamp}, {{4, 4}, 11}, {{4, 5}, 12}, {{4, 6}, 13}, {{5, 4}, -1},
        {{5, 6}, 19},       {{6, 4}, 0},  {{6, 5}, 12}, {{6, 6}, 15}};
    for (auto [square, stamp] : stamps)
        s.cell(at(home, square[0], square[1])).lastSeen = stamp;
    s.cell(at(home, 6, 6)).terrain = Terrain::Wall;
    s.watch(at(home, 5, 5), CreatureKind::GiantRat, 6);
    return s;
}

// Every square a creature's move may pick, in the order of the pick: pick i
// (after the `before` draws) must land on the i-th, and one pick more must
// wrap to the first, which pins the number of candidates exactly.
TEST_F(CreatureTurn, CandidateSquaresInOrder) {
    struct Case {
        const char* what;
        std::function<Scene()> build;
        std::vector<int32_t> before;
        std::vector<Position> expected;
        Case(const char* what, std::vector<int32_t> before, std::vector<Position> expected,
             std::function<Scene()> build)
            : what(what), build(build), before(before), expected(expected) {}
    };
    auto row = [](std::vector<std::array<int32_t, 2>> squares) {
        std::vector<Position> positions;
        for (auto [x, y] : squares)
            positions.push_back(at(home, x, y));
        return positions;
    };
    const auto allButWall =
        row({{4, 4}, {4, 5}, {4, 6}, {5, 4}, {5, 6}, {6, 4}, {6, 5}}); // (6,6) is wall
    const Case cases[] = {
        // In view, but with every neighbour seen long ago: a chase would find
        // no square on the trail, the plain wander finds all eight.
        Case("creature on the player's square wanders instead of attacking", {},
             row({{4, 4}, {4, 5}, {4, 6}, {5, 4}, {5, 6}, {6, 4}, {6, 5}, {6, 6}}),
             [] {
                 Scene s;
                 stampSector(s.level->sectors, home, 5);
                 s.cell(s.player.position).lastSeen = now;
                 s.watch(s.player.position, CreatureKind::GiantRat, 5);
                 return s;
             }),
        Case("rat out of view keeps to the trail", {}, row({{4, 5}, {4, 6}, {5, 6}, {6, 5}}),
             [] { return ratOnTrail(12, home); }),
        Case("rat on a never-seen square may step anywhere", {}, allButWall,
             [] { return ratOnTrail(-1, home); }),
        Case("trail is only followed on the player's level", {}, allButWall,
             [] { return ratOnTrail(12, up); }),
        Case("skeleton crosses only the gas trap", {}, row({{4, 5}}),
             [] { return amongTraps(CreatureKind::Skeleton, 15, false); }),
        Case("bat crosses all four traps", {}, row({{4, 4}, {4, 5}, {4, 6}, {6, 5}}),
             [] { return amongTraps(CreatureKind::Bat, 2, false); }),
        // Chasing toward the player in the west: only the three western squares.
        Case("chasing skeleton", {}, row({{4, 5}}),
             [] { return amongTraps(CreatureKind::Skeleton, 15, true); }),
        Case("chasing bat", {}, row({{4, 4}, {4, 5}, {4, 6}}),
             [] { return amongTraps(CreatureKind::Bat, 2, true); }),
        // The other kinds out of view: a mummy walks undead after its roll of
        // 2, a vampire flies (its trail is never seen, so all of it counts).
        Case("mummy crosses only the gas trap", {1}, row({{4, 5}}),
             [] { return amongTraps(CreatureKind::Mummy, 25, false); }),
        Case("vampire crosses all four traps", {}, row({{4, 4}, {4, 5}, {4, 6}, {6, 5}}),
             [] { return amongTraps(CreatureKind::Vampire, 30, false); }),
        // Openings are judged on the level they lead to: only (6,6) has floor
        // above it, and no level lies below (4,6).
        Case("walker next to openings", {}, row({{4, 5}, {5, 4}, {5, 6}, {6, 4}, {6, 5}, {6, 6}}),
             [] {
                 Scene s({home, up});
                 s.player.position = at(home, 1, 1);
                 s.cell(at(home, 4, 4)).elevation = 3;
                 s.cell(at(up, 4, 4)).terrain = Terrain::Wall;
                 s.cell(at(home, 6, 6)).elevation = 3;
                 s.cell(at(home, 4, 6)).elevation = -3;
                 s.watch(at(home, 5, 5), CreatureKind::Skeleton, 15);
                 return s;
             }),
        Case("wraith in line spreads on the other axis", {1}, row({{4, 7}, {5, 7}, {6, 7}}),
             [] {
                 Scene s;
                 s.watch(at(home, 5, 8), CreatureKind::Wraith, 20);
                 return s;
             }),
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        const int count = static_cast<int>(c.expected.size());
        for (int pick = 0; pick <= count; ++pick) {
            Scene scene = c.build();
            std::vector<int32_t> draws = c.before;
            draws.push_back(pick);
            draws.push_back(0);
            scene.run(draws);
            EXPECT_EQ(scene.creature->position, c.expected[static_cast<size_t>(pick % count)])
                << "pick " << pick;
        }
        EXPECT_TRUE(messageQueue().empty());
    }
}

TEST_F(CreatureTurn, GroundEachMoverMayEnter) {
    struct Case {
        Terrain terrain;
        bool walker, undead, flyer; // (0,0), (0,1), (1,0) as the kinds have them
    };
    const Case cases[] = {
        {Terrain::Wall, false, false, false},        {Terrain::Floor, true, true, true},
        {Terrain::Trapdoor, false, false, true},     {Terrain::GasTrap, false, true, true},
        {Terrain::TeleportTrap, false, false, true}, {Terrain::SmokeTrap, false, false, true},
    };
    for (const Case& c : cases) {
        Scene s;
        SectorTable& table = s.level->sectors;
        Position t = at(home, 3, 3);
        s.cell(t).terrain = c.terrain;
        SCOPED_TRACE(static_cast<int>(c.terrain));
        EXPECT_EQ(creatureMayEnter(table, t, false, false), c.walker);
        EXPECT_EQ(creatureMayEnter(table, t, false, true), c.undead);
        EXPECT_EQ(creatureMayEnter(table, t, true, false), c.flyer);
        EXPECT_EQ(creatureMayEnter(table, t, true, true), c.flyer);
        s.add(t, CreatureKind::Bat, 1);
        EXPECT_FALSE(creatureMayEnter(table, t, true, true));
    }
}

TEST_F(CreatureTurn, OpeningsToOtherLevelsAreJudgedThereAsIfAlive) {
    Scene s({home, up, down});
    SectorTable& table = s.level->sectors;
    Position hole = at(home, 3, 3);
    Position opening = at(home, 6, 6);
    s.cell(hole).elevation = -3;
    s.cell(opening).elevation = 3;
    s.cell(at(down, 3, 3)).terrain = Terrain::GasTrap;
    s.cell(at(up, 6, 6)).terrain = Terrain::GasTrap;
    // The undead may cross gas, but not through an opening: there they count
    // as living walkers. Flyers pass.
    EXPECT_FALSE(creatureMayEnter(table, hole, false, true));
    EXPECT_FALSE(creatureMayEnter(table, opening, false, true));
    EXPECT_TRUE(creatureMayEnter(table, hole, true, false));
    EXPECT_TRUE(creatureMayEnter(table, opening, true, false));
    s.cell(at(down, 3, 3)).terrain = Terrain::Floor;
    EXPECT_TRUE(creatureMayEnter(table, hole, false, false));
    // A creature on the square of the other level blocks; one on the opening
    // itself does not count, only the other level's list is read.
    s.add(at(down, 3, 3), CreatureKind::Bat, 1, 7);
    EXPECT_FALSE(creatureMayEnter(table, hole, true, false));
    // Only doctored files put an opening over an opening: the square there is
    // judged by its ground all the same, and the test ends.
    s.cell(at(up, 6, 6)).elevation = -3;
    EXPECT_TRUE(creatureMayEnter(table, opening, true, false));
    s.cell(at(up, 6, 6)).elevation = 0;
    s.add(opening, CreatureKind::Bat, 1, 8);
    s.cell(at(up, 6, 6)).terrain = Terrain::Wall;
    EXPECT_FALSE(creatureMayEnter(table, opening, true, true));
    // No level above held in memory: nothing to enter.
    markStored(table, up);
    EXPECT_FALSE(creatureMayEnter(table, opening, true, true));
}

TEST_F(CreatureTurn, SectorMustBeHeldInMemory) {
    Scene s;
    SectorTable& table = s.level->sectors;
    EXPECT_FALSE(creatureMayEnter(table, at(east, 0, 0), true, true));
    addSector(table, east);
    EXPECT_TRUE(creatureMayEnter(table, at(east, 0, 0), false, false));
    markStored(table, east);
    EXPECT_FALSE(creatureMayEnter(table, at(east, 0, 0), true, true));
    EXPECT_FALSE(isInMemory(table, east)) << "the test does not load it";
}

// A wraith two squares east and two north of the player steps onto (6,6).
TEST_F(CreatureTurn, WraithChasesDirectlyThroughWallsButNotUpOrDownSteps) {
    struct Case {
        const char* what;
        std::function<void(Scene&, Cell&)> shape;
        bool moves;
    };
    auto height = [](int32_t h) { return [=](Scene&, Cell& t) { t.elevation = h; }; };
    const Case cases[] = {
        {"floor", [](Scene&, Cell&) {}, true},
        {"wall", [](Scene&, Cell& t) { t.terrain = Terrain::Wall; }, true},
        {"teleport trap", [](Scene&, Cell& t) { t.terrain = Terrain::TeleportTrap; }, true},
        {"step 1", height(1), true},
        {"step -1", height(-1), true},
        {"step 2", height(2), false},
        {"step -2", height(-2), false},
        {"opening", height(3), false},
        {"creature",
         [](Scene& s, Cell&) { s.add(at(home, 6, 6), CreatureKind::Bat, 1, 99)->lastActed = now; },
         false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        Scene s({home, up});
        c.shape(s, s.cell(at(home, 6, 6)));
        s.watch(at(home, 7, 7), CreatureKind::Wraith, 20);
        EXPECT_EQ(s.run({1, 0}), c.moves ? 2 : 1); // roll 2, then the one candidate
        EXPECT_EQ(s.creature->position, c.moves ? at(home, 6, 6) : at(home, 7, 7));
    }
}

TEST_F(CreatureTurn, RisingLoadsAStoredSectorAbove) {
    // The bat's sector is processed before the one above it, which still
    // lies in the store when the bat looks up.
    TempStore store;
    const SectorCoord below{1, 0, -1};
    const SectorCoord above{1, 0, 0};
    Scene s;
    s.level->sectors.store = store.store();
    s.walled(below);
    addSector(s.level->sectors, above);
    s.cell(at(above, 5, 5)).elevation = -3;
    storeSector(s.level->sectors, above);
    ASSERT_FALSE(isInMemory(s.level->sectors, above));
    s.watch(at(below, 5, 5), CreatureKind::Bat, 2);
    s.run({0, 0});
    EXPECT_TRUE(isInMemory(s.level->sectors, above));
    EXPECT_EQ(s.creature->position, at(above, 5, 5));
    EXPECT_TRUE(s.holds(above, s.creature->id));
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
