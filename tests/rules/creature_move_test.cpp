// Creature moves: which squares a move may choose, in which order, and the
// ground each kind may cross.
#include "rules/creature_scenes.h"
#include "rules/store.h"

#include <gtest/gtest.h>

#include <functional>
#include <vector>

namespace dunvale {
namespace {

using namespace dunvale::creature_scenes;
using namespace dunvale::testing;

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
    // lies in the store when the bat looks up. The opening east of the bat
    // is judged after the square above, so on the level just loaded: two
    // candidates, the rise first.
    const SectorCoord below{1, 0, -1};
    const SectorCoord above{1, 0, 0};
    const Position hole = at(above, 5, 5);
    const Position opening = at(below, 6, 5);
    for (const Position end : {hole, opening}) {
        SCOPED_TRACE(end == hole ? "rises" : "steps onto the opening");
        TempStore store;
        Scene s;
        s.level->sectors.store = store.store();
        s.walled(below);
        s.cell(opening).elevation = 3;
        addSector(s.level->sectors, above);
        s.cell(hole).elevation = -3;
        storeSector(s.level->sectors, above);
        ASSERT_FALSE(isInMemory(s.level->sectors, above));
        s.watch(at(below, 5, 5), CreatureKind::Bat, 2);
        s.run({end == hole ? 0 : 1, 0});
        EXPECT_TRUE(isInMemory(s.level->sectors, above));
        EXPECT_EQ(s.creature->position, end);
        EXPECT_TRUE(s.holds(end.sector, s.creature->id));
    }
}

} // namespace
} // namespace dunvale
