#include "creatures/creature_turn.h"

#include "creatures/scripted_draws.h"
#include "creatures/spawn.h"
#include "labyrinth/store.h"
#include "test_support.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <ostream>
#include <set>
#include <tuple>

namespace dunvale {

// Readable failures for squares; internal so that it clashes with nobody.
[[maybe_unused]] static void PrintTo(const Position& p, std::ostream* os) {
    *os << "(" << p.sector.sx << "," << p.sector.sy << "," << p.sector.sz << ")[" << p.x << ","
        << p.y << "]";
}

namespace {

using testing::addCreature;
using testing::addSector;
using testing::drawsSince;
using testing::levelWith;
using testing::RandomGuard;
using testing::scriptDraws;

constexpr int32_t now = 20; // the turn counter in these scenes

Position at(SectorCoord c, int32_t x, int32_t y) {
    return Position{c, x, y};
}
const SectorCoord home{0, 0, 0};

Cell& cell(LevelRecord& level, Position p) {
    return cellAt(level.sectors, p);
}

bool listHolds(LevelRecord& level, SectorCoord c, int32_t id) {
    Sector* sector = findSector(level.sectors, c);
    if (sector == nullptr) return false;
    return std::any_of(sector->creatures.begin(), sector->creatures.end(),
                       [&](const auto& creature) { return creature->id == id; });
}

// A sector whose every square is wall but the listed ones.
Sector& walledSector(LevelRecord& level, SectorCoord c) {
    return addSector(level.sectors, c, Terrain::Wall);
}

struct Scene {
    std::unique_ptr<LevelRecord> level;
    Player player;
    std::shared_ptr<Creature> creature;
};

// Runs one pass of creature turns for each pick i of the candidate draw
// (after `before`, followed by draws of 0) and returns where the creature
// ends up. One pick more than `count` must wrap to the first candidate, which
// pins the number of candidates exactly.
std::vector<Position> destinations(const std::function<Scene()>& build,
                                   const std::vector<int32_t>& before, int count) {
    std::vector<Position> ends;
    for (int pick = 0; pick <= count; ++pick) {
        Scene scene = build();
        std::vector<int32_t> draws = before;
        draws.push_back(pick);
        draws.push_back(0);
        scriptDraws(draws);
        creatureTurns(scene.player, *scene.level);
        if (pick < count) {
            ends.push_back(scene.creature->position);
        } else {
            EXPECT_FALSE(ends.empty());
            if (!ends.empty()) {
                EXPECT_EQ(scene.creature->position, ends.front()) << "more candidates";
            }
        }
    }
    return ends;
}

class CreatureTurn : public ::testing::Test {
  protected:
    testing::ScreenFixture screen;
    RandomGuard guard;
};

TEST_F(CreatureTurn, ScriptedDrawsComeBackInOrder) {
    scriptDraws({5, 3, 0, 2147483646, 7});
    EXPECT_EQ(nextRandom(), 5);
    EXPECT_EQ(nextRandom(), 3);
    EXPECT_EQ(nextRandom(), 0);
    EXPECT_EQ(nextRandom(), 2147483646);
    EXPECT_EQ(nextRandom(), 7);
}

TEST_F(CreatureTurn, CreatureCrossingIntoALaterSectorActsOnce) {
    // The sector to the west is processed first; the skeleton walks east
    // into the player's sector, whose snapshot is taken afterwards.
    auto level = levelWith({home});
    level->turn = now;
    walledSector(*level, {-1, 0, 0});
    Player player;
    auto skeleton = addCreature(level->sectors, at({-1, 0, 0}, 9, 2), CreatureKind::Skeleton, 15);
    scriptDraws({1});
    RandomState before = randomState();
    creatureTurns(player, *level);
    EXPECT_EQ(drawsSince(before), 1);
    EXPECT_EQ(skeleton->position, at(home, 0, 2));
    EXPECT_EQ(skeleton->lastActed, now);
    EXPECT_TRUE(listHolds(*level, home, skeleton->id));
    EXPECT_FALSE(listHolds(*level, {-1, 0, 0}, skeleton->id));
}

TEST_F(CreatureTurn, CreatureThatActedThisTurnWaits) {
    auto level = levelWith({home});
    level->turn = now;
    Player player;
    auto rat = addCreature(level->sectors, at(home, 2, 2), CreatureKind::GiantRat, 5);
    rat->lastActed = now;
    RandomState before = randomState();
    creatureTurns(player, *level);
    EXPECT_EQ(drawsSince(before), 0);
    EXPECT_EQ(rat->position, at(home, 2, 2));
}

TEST_F(CreatureTurn, MoveNeverEndsOnAnotherCreature) {
    auto level = levelWith({home});
    level->turn = now;
    Player player;
    auto spider = addCreature(level->sectors, at(home, 2, 2), CreatureKind::GiantSpider, 10, 1);
    int32_t id = 2;
    for (int32_t dx = -1; dx <= 1; ++dx)
        for (int32_t dy = -1; dy <= 1; ++dy) {
            if ((dx == 0 && dy == 0) || (dx == 1 && dy == 1)) continue;
            auto other =
                addCreature(level->sectors, at(home, 2 + dx, 2 + dy), CreatureKind::Bat, 1, id++);
            other->lastActed = now; // they stand still this turn
        }
    scriptDraws({0});
    RandomState before = randomState();
    creatureTurns(player, *level);
    EXPECT_EQ(drawsSince(before), 1) << "one candidate, still drawn for";
    EXPECT_EQ(spider->position, at(home, 3, 3));
}

TEST_F(CreatureTurn, CrowdOverManyTurnsKeepsItsListsAndSquaresApart) {
    std::vector<SectorCoord> coords;
    for (int32_t sx = -1; sx <= 1; ++sx)
        for (int32_t sy = -1; sy <= 1; ++sy)
            coords.push_back({sx, sy, 0});
    auto level = levelWith(coords);
    Player player;
    player.energy = 1000000;
    seedRandom(4242);
    // Some walls and traps, then 30 creatures of six kinds on distinct squares.
    for (SectorCoord c : coords) {
        Sector& sector = *findSector(level->sectors, c);
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
        if (!used.insert({c.sx, c.sy, x, y}).second || Position{c, x, y} == player.position)
            continue;
        addCreature(level->sectors, at(c, x, y), static_cast<CreatureKind>(id % 6), 2 + id, id);
    }
    size_t total = 0;
    for (SectorCoord c : coords)
        total += findSector(level->sectors, c)->creatures.size();

    for (int32_t turn = 1; turn <= 60; ++turn) {
        level->turn = turn;
        // The player sees its own sector this turn, so those creatures chase.
        for (auto& column : findSector(level->sectors, home)->cells)
            for (Cell& c : column)
                c.lastSeen = turn;
        creatureTurns(player, *level);
        messageQueue().clear();
        size_t count = 0;
        for (SectorCoord c : coords) {
            std::set<std::pair<int32_t, int32_t>> squares;
            for (const auto& creature : findSector(level->sectors, c)->creatures) {
                ++count;
                EXPECT_EQ(creature->position.sector, c) << "creature " << creature->id;
                EXPECT_TRUE(squares.insert({creature->position.x, creature->position.y}).second)
                    << "two creatures on one square, turn " << turn;
                EXPECT_NE(creature->position, player.position);
                EXPECT_EQ(creature->lastActed, turn);
            }
        }
        ASSERT_EQ(count, total);
    }
}

TEST_F(CreatureTurn, CreatureOnThePlayersSquareWandersInsteadOfAttacking) {
    // In view, but with every neighbour seen long ago: a chase would find no
    // square on the trail, the plain wander finds all eight.
    auto build = [] {
        Scene s{levelWith({home}), Player{}, nullptr};
        s.level->turn = now;
        for (auto& column : findSector(s.level->sectors, home)->cells)
            for (Cell& c : column)
                c.lastSeen = 5;
        cell(*s.level, s.player.position).lastSeen = now;
        s.creature = addCreature(s.level->sectors, s.player.position, CreatureKind::GiantRat, 5);
        return s;
    };
    std::vector<Position> expected{at(home, 4, 4), at(home, 4, 5), at(home, 4, 6), at(home, 5, 4),
                                   at(home, 5, 6), at(home, 6, 4), at(home, 6, 5), at(home, 6, 6)};
    EXPECT_EQ(destinations(build, {}, 8), expected);
    EXPECT_TRUE(messageQueue().empty());
}

// A giant rat out of view on a square last seen at 12.
Scene ratOnTrail(int32_t ownStamp, SectorCoord playerSector) {
    Scene s{levelWith({home, {0, 0, 1}}), Player{}, nullptr};
    s.level->turn = now;
    s.player.position = at(playerSector, 1, 1);
    LevelRecord& level = *s.level;
    cell(level, at(home, 5, 5)).lastSeen = ownStamp;
    cell(level, at(home, 4, 4)).lastSeen = 11;
    cell(level, at(home, 4, 5)).lastSeen = 12;
    cell(level, at(home, 4, 6)).lastSeen = 13;
    cell(level, at(home, 5, 4)).lastSeen = -1;
    cell(level, at(home, 5, 6)).lastSeen = 19;
    cell(level, at(home, 6, 4)).lastSeen = 0;
    cell(level, at(home, 6, 5)).lastSeen = 12;
    cell(level, at(home, 6, 6)).lastSeen = 15;
    cell(level, at(home, 6, 6)).terrain = Terrain::Wall;
    s.creature = addCreature(level.sectors, at(home, 5, 5), CreatureKind::GiantRat, 6);
    return s;
}

TEST_F(CreatureTurn, RatOutOfViewKeepsToTheTrail) {
    std::vector<Position> expected{at(home, 4, 5), at(home, 4, 6), at(home, 5, 6), at(home, 6, 5)};
    EXPECT_EQ(destinations([] { return ratOnTrail(12, home); }, {}, 4), expected);
}

TEST_F(CreatureTurn, RatOnANeverSeenSquareMayStepAnywhere) {
    std::vector<Position> expected{at(home, 4, 4), at(home, 4, 5), at(home, 4, 6), at(home, 5, 4),
                                   at(home, 5, 6), at(home, 6, 4), at(home, 6, 5)};
    EXPECT_EQ(destinations([] { return ratOnTrail(-1, home); }, {}, 7), expected);
}

TEST_F(CreatureTurn, TrailIsOnlyFollowedOnThePlayersLevel) {
    std::vector<Position> expected{at(home, 4, 4), at(home, 4, 5), at(home, 4, 6), at(home, 5, 4),
                                   at(home, 5, 6), at(home, 6, 4), at(home, 6, 5)};
    EXPECT_EQ(destinations([] { return ratOnTrail(12, {0, 0, 1}); }, {}, 7), expected);
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
        auto level = levelWith({home});
        Position t = at(home, 3, 3);
        cell(*level, t).terrain = c.terrain;
        SCOPED_TRACE(static_cast<int>(c.terrain));
        EXPECT_EQ(creatureMayEnter(level->sectors, t, false, false), c.walker);
        EXPECT_EQ(creatureMayEnter(level->sectors, t, false, true), c.undead);
        EXPECT_EQ(creatureMayEnter(level->sectors, t, true, false), c.flyer);
        EXPECT_EQ(creatureMayEnter(level->sectors, t, true, true), c.flyer);
        // A wraith does not look at the ground at all.
        EXPECT_TRUE(wraithMayEnter(t, level->sectors));
        addCreature(level->sectors, at(home, 3, 3), CreatureKind::Bat, 1);
        EXPECT_FALSE(creatureMayEnter(level->sectors, t, true, true));
        EXPECT_FALSE(wraithMayEnter(t, level->sectors));
    }
}

// A creature in a walled sector with one trap of each kind next to it.
Scene amongTraps(CreatureKind kind, int32_t level, bool inView) {
    Scene s{levelWith({}), Player{}, nullptr};
    s.level->turn = now;
    walledSector(*s.level, home);
    s.player.position = at(home, 1, 5);
    LevelRecord& l = *s.level;
    cell(l, at(home, 4, 4)).terrain = Terrain::Trapdoor;
    cell(l, at(home, 4, 5)).terrain = Terrain::GasTrap;
    cell(l, at(home, 4, 6)).terrain = Terrain::TeleportTrap;
    cell(l, at(home, 6, 5)).terrain = Terrain::SmokeTrap;
    if (inView)
        for (auto& column : findSector(l.sectors, home)->cells)
            for (Cell& c : column)
                c.lastSeen = now;
    s.creature = addCreature(l.sectors, at(home, 5, 5), kind, level);
    return s;
}

TEST_F(CreatureTurn, SkeletonCrossesOnlyTheGasTrapBatCrossesAllFour) {
    EXPECT_EQ(destinations([] { return amongTraps(CreatureKind::Skeleton, 15, false); }, {}, 1),
              std::vector<Position>{at(home, 4, 5)});
    std::vector<Position> all{at(home, 4, 4), at(home, 4, 5), at(home, 4, 6), at(home, 6, 5)};
    EXPECT_EQ(destinations([] { return amongTraps(CreatureKind::Bat, 2, false); }, {}, 4), all);
    // Chasing toward the player in the west: only the three western squares.
    EXPECT_EQ(destinations([] { return amongTraps(CreatureKind::Skeleton, 15, true); }, {}, 1),
              std::vector<Position>{at(home, 4, 5)});
    std::vector<Position> west{at(home, 4, 4), at(home, 4, 5), at(home, 4, 6)};
    EXPECT_EQ(destinations([] { return amongTraps(CreatureKind::Bat, 2, true); }, {}, 3), west);
}

TEST_F(CreatureTurn, OpeningsToOtherLevelsAreJudgedThereAsIfAlive) {
    const SectorCoord up{0, 0, 1};
    const SectorCoord down{0, 0, -1};
    auto level = levelWith({home, up, down});
    Position hole = at(home, 3, 3);
    Position opening = at(home, 6, 6);
    cell(*level, hole).elevation = -3;
    cell(*level, opening).elevation = 3;
    cell(*level, at(down, 3, 3)).terrain = Terrain::GasTrap;
    cell(*level, at(up, 6, 6)).terrain = Terrain::GasTrap;
    // The undead may cross gas, but not through an opening: there they count
    // as living walkers. Flyers pass.
    EXPECT_FALSE(creatureMayEnter(level->sectors, hole, false, true));
    EXPECT_FALSE(creatureMayEnter(level->sectors, opening, false, true));
    EXPECT_TRUE(creatureMayEnter(level->sectors, hole, true, false));
    EXPECT_TRUE(creatureMayEnter(level->sectors, opening, true, false));
    cell(*level, at(down, 3, 3)).terrain = Terrain::Floor;
    EXPECT_TRUE(creatureMayEnter(level->sectors, hole, false, false));
    // A creature on the square of the other level blocks; one on the opening
    // itself does not count, only the other level's list is read.
    addCreature(level->sectors, at(down, 3, 3), CreatureKind::Bat, 1, 7);
    EXPECT_FALSE(creatureMayEnter(level->sectors, hole, true, false));
    EXPECT_FALSE(wraithMayEnter(hole, level->sectors));
    addCreature(level->sectors, opening, CreatureKind::Bat, 1, 8);
    cell(*level, at(up, 6, 6)).terrain = Terrain::Wall;
    EXPECT_TRUE(wraithMayEnter(opening, level->sectors));
    EXPECT_FALSE(creatureMayEnter(level->sectors, opening, true, true));
    // No level above held in memory: nothing to enter.
    markStored(level->sectors, up);
    EXPECT_FALSE(creatureMayEnter(level->sectors, opening, true, true));
    EXPECT_FALSE(wraithMayEnter(opening, level->sectors));
}

TEST_F(CreatureTurn, SectorMustBeHeldInMemory) {
    auto level = levelWith({home});
    const SectorCoord east{1, 0, 0};
    EXPECT_FALSE(creatureMayEnter(level->sectors, at(east, 0, 0), true, true));
    EXPECT_FALSE(wraithMayEnter(at(east, 0, 0), level->sectors));
    addSector(level->sectors, east);
    EXPECT_TRUE(creatureMayEnter(level->sectors, at(east, 0, 0), false, false));
    markStored(level->sectors, east);
    EXPECT_FALSE(creatureMayEnter(level->sectors, at(east, 0, 0), true, true));
    EXPECT_FALSE(wraithMayEnter(at(east, 0, 0), level->sectors));
    EXPECT_FALSE(isInMemory(level->sectors, east)) << "the test does not load it";

    // In play: a bat on the eastern edge of a walled sector next to a stored
    // one (beyond the sectors that act, so nothing loads it) stays put.
    for (bool stored : {true, false}) {
        auto play = levelWith({home});
        play->turn = now;
        walledSector(*play, east);
        addSector(play->sectors, {2, 0, 0});
        if (stored) markStored(play->sectors, {2, 0, 0});
        Player player;
        auto bat = addCreature(play->sectors, at(east, 9, 5), CreatureKind::Bat, 2);
        scriptDraws({1, 0});
        RandomState before = randomState();
        creatureTurns(player, *play);
        if (stored) {
            EXPECT_EQ(drawsSince(before), 1) << "only the second-step draw";
            EXPECT_EQ(bat->position, at(east, 9, 5));
        } else {
            EXPECT_EQ(drawsSince(before), 2);
            EXPECT_EQ(bat->position, at({2, 0, 0}, 0, 5));
            EXPECT_TRUE(listHolds(*play, {2, 0, 0}, bat->id));
        }
    }
}

// A wraith two squares east and two north of the player; `target` is the
// square one west and one south of it.
Scene wraithAhead(const std::function<void(LevelRecord&, Position)>& shape) {
    Scene s{levelWith({home, {0, 0, 1}}), Player{}, nullptr};
    s.level->turn = now;
    shape(*s.level, at(home, 6, 6));
    s.creature = addCreature(s.level->sectors, at(home, 7, 7), CreatureKind::Wraith, 20);
    return s;
}

TEST_F(CreatureTurn, WraithChasesDirectlyThroughWallsButNotUpOrDownSteps) {
    struct Case {
        const char* what;
        std::function<void(LevelRecord&, Position)> shape;
        bool moves;
    };
    const Case cases[] = {
        {"floor", [](LevelRecord&, Position) {}, true},
        {"wall", [](LevelRecord& l, Position t) { cell(l, t).terrain = Terrain::Wall; }, true},
        {"teleport trap",
         [](LevelRecord& l, Position t) { cell(l, t).terrain = Terrain::TeleportTrap; }, true},
        {"step 1", [](LevelRecord& l, Position t) { cell(l, t).elevation = 1; }, true},
        {"step -1", [](LevelRecord& l, Position t) { cell(l, t).elevation = -1; }, true},
        {"step 2", [](LevelRecord& l, Position t) { cell(l, t).elevation = 2; }, false},
        {"step -2", [](LevelRecord& l, Position t) { cell(l, t).elevation = -2; }, false},
        {"opening", [](LevelRecord& l, Position t) { cell(l, t).elevation = 3; }, false},
        {"creature",
         [](LevelRecord& l, Position t) {
             addCreature(l.sectors, t, CreatureKind::Bat, 1, 99)->lastActed = now;
         },
         false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        Scene s = wraithAhead(c.shape);
        scriptDraws({1, 0}); // roll 2, then the one candidate
        RandomState before = randomState();
        creatureTurns(s.player, *s.level);
        EXPECT_EQ(s.creature->position, c.moves ? at(home, 6, 6) : at(home, 7, 7));
        EXPECT_EQ(drawsSince(before), c.moves ? 2 : 1);
    }
}

TEST_F(CreatureTurn, WraithInLineSpreadsOnTheOtherAxis) {
    auto build = [] {
        Scene s{levelWith({home}), Player{}, nullptr};
        s.level->turn = now;
        s.creature = addCreature(s.level->sectors, at(home, 5, 8), CreatureKind::Wraith, 20);
        return s;
    };
    std::vector<Position> expected{at(home, 4, 7), at(home, 5, 7), at(home, 6, 7)};
    EXPECT_EQ(destinations(build, {1}, 3), expected);
}

TEST_F(CreatureTurn, WraithRestsOnARollOfOneEvenNextToThePlayer) {
    auto level = levelWith({home});
    level->turn = now;
    Player player;
    auto wraith = addCreature(level->sectors, at(home, 6, 6), CreatureKind::Wraith, 20);
    scriptDraws({0, 0, 0});
    RandomState before = randomState();
    creatureTurns(player, *level);
    EXPECT_EQ(drawsSince(before), 1);
    EXPECT_EQ(player.energy, 100);
    EXPECT_TRUE(messageQueue().empty());
}

TEST_F(CreatureTurn, MummyDoesNothingOnARollOfOne) {
    for (int32_t roll = 1; roll <= 4; ++roll) {
        auto level = levelWith({home});
        level->turn = now;
        Player player;
        player.position = at(home, 0, 0);
        auto mummy = addCreature(level->sectors, at(home, 5, 5), CreatureKind::Mummy, 25);
        scriptDraws({roll - 1, 0});
        RandomState before = randomState();
        creatureTurns(player, *level);
        EXPECT_EQ(drawsSince(before), roll == 1 ? 1 : 2) << roll;
        EXPECT_EQ(mummy->position == at(home, 5, 5), roll == 1) << roll;
    }
}

TEST_F(CreatureTurn, BatStepsAgainWhenItsCoinGivesOne) {
    for (int32_t coin : {0, 1}) {
        auto level = levelWith({home});
        level->turn = now;
        Player player;
        player.position = at(home, 0, 9);
        auto bat = addCreature(level->sectors, at(home, 5, 5), CreatureKind::Bat, 2);
        scriptDraws({0, coin, 0});
        RandomState before = randomState();
        creatureTurns(player, *level);
        // Candidate 0 of a plain wander is the square to the south-west.
        EXPECT_EQ(bat->position, coin == 1 ? at(home, 3, 3) : at(home, 4, 4));
        EXPECT_EQ(drawsSince(before), coin == 1 ? 3 : 2);
    }
}

Scene batUnderHole(CreatureKind kind, int32_t aboveElevation, Position player) {
    const SectorCoord up{0, 0, 1};
    Scene s{levelWith({up}), Player{}, nullptr};
    s.level->turn = now;
    walledSector(*s.level, home);
    cell(*s.level, at(up, 5, 5)).elevation = aboveElevation;
    s.player.position = player;
    s.creature = addCreature(s.level->sectors, at(home, 5, 5), kind, 2);
    return s;
}

TEST_F(CreatureTurn, BatRisesIntoAHoleWhenThePlayerIsALevelUp) {
    const SectorCoord up{0, 0, 1};
    Scene s = batUnderHole(CreatureKind::Bat, -3, at(up, 2, 2));
    scriptDraws({0, 0});
    creatureTurns(s.player, *s.level);
    EXPECT_EQ(s.creature->position, at(up, 5, 5));
    EXPECT_TRUE(listHolds(*s.level, up, s.creature->id));
    EXPECT_FALSE(listHolds(*s.level, home, s.creature->id));

    struct Case {
        const char* what;
        CreatureKind kind;
        int32_t elevation;
        Position player;
    };
    const Case stays[] = {
        {"walker", CreatureKind::GiantRat, -3, at(up, 2, 2)},
        {"no hole", CreatureKind::Bat, 0, at(up, 2, 2)},
        {"player on the hole", CreatureKind::Bat, -3, at(up, 5, 5)},
        {"player on the same level", CreatureKind::Bat, -3, at(home, 1, 1)},
    };
    for (const Case& c : stays) {
        SCOPED_TRACE(c.what);
        Scene still = batUnderHole(c.kind, c.elevation, c.player);
        scriptDraws({0, 0});
        creatureTurns(still.player, *still.level);
        EXPECT_EQ(still.creature->position, at(home, 5, 5));
    }
}

TEST_F(CreatureTurn, RisingFindsNothingWhereNoSectorWasMade) {
    auto level = levelWith({});
    level->turn = now;
    walledSector(*level, home);
    Player player;
    player.position = at({0, 0, 1}, 5, 5); // its sector was never made
    auto bat = addCreature(level->sectors, at(home, 5, 5), CreatureKind::Bat, 2);
    scriptDraws({0, 0});
    RandomState before = randomState();
    EXPECT_NO_THROW(creatureTurns(player, *level));
    EXPECT_EQ(bat->position, at(home, 5, 5));
    EXPECT_EQ(drawsSince(before), 1);
}

TEST_F(CreatureTurn, RisingLoadsAStoredSectorAbove) {
    // The bat's sector is processed before the one above it, which still
    // lies in the store when the bat looks up.
    testing::TempDir store;
    const SectorCoord below{1, 0, -1};
    const SectorCoord above{1, 0, 0};
    auto level = levelWith({home}, store.slash());
    level->turn = now;
    walledSector(*level, below);
    addSector(level->sectors, above);
    cell(*level, at(above, 5, 5)).elevation = -3;
    storeSector(level->sectors, above);
    ASSERT_FALSE(isInMemory(level->sectors, above));
    Player player;
    auto bat = addCreature(level->sectors, at(below, 5, 5), CreatureKind::Bat, 2);
    scriptDraws({0, 0});
    creatureTurns(player, *level);
    EXPECT_TRUE(isInMemory(level->sectors, above));
    EXPECT_EQ(bat->position, at(above, 5, 5));
    EXPECT_TRUE(listHolds(*level, above, bat->id));
}

TEST_F(CreatureTurn, WhoAttacksFromWhere) {
    struct Case {
        const char* what;
        Position rat;
        int32_t elevation; // of the rat's square
        Position player;
        bool attacks;
    };
    const SectorCoord up{0, 0, 1};
    const SectorCoord down{0, 0, -1};
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
        auto level = levelWith({home, up, down, {1, 1, 0}});
        level->turn = now;
        Player player;
        player.position = c.player;
        auto creature = addCreature(level->sectors, c.rat, CreatureKind::GiantRat, 5);
        cell(*level, c.rat).elevation = c.elevation;
        creatureTurns(player, *level);
        if (c.attacks) {
            EXPECT_EQ(creature->position, c.rat);
            ASSERT_FALSE(messageQueue().empty());
            EXPECT_EQ(messageQueue().front().text.rfind("The giant rat bites you!", 0), 0u);
            EXPECT_LT(player.energy, 100) << "combat 0 is never missed";
        } else {
            EXPECT_TRUE(messageQueue().empty());
            EXPECT_EQ(player.energy, 100);
        }
    }
}

TEST_F(CreatureTurn, NobodyStrikesAPlayerWhoFellThisTurn) {
    auto level = levelWith({home});
    level->turn = now;
    Player player;
    player.energy = 1;
    addCreature(level->sectors, at(home, 4, 4), CreatureKind::GiantRat, 5, 1);
    addCreature(level->sectors, at(home, 6, 6), CreatureKind::GiantRat, 5, 2);
    scriptDraws({0, 0, 0});
    RandomState before = randomState();
    creatureTurns(player, *level);
    EXPECT_EQ(player.playing, 0);
    EXPECT_EQ(drawsSince(before), 3) << "hit roll pair and damage of the first rat only";
    ASSERT_EQ(messageQueue().size(), 1u);
    EXPECT_EQ(messageQueue().front().text, "The giant rat bites you!");
}

Scene vampireInView(bool inView) {
    Scene s{levelWith({home, {1, 0, 0}}), Player{}, nullptr};
    s.level->turn = now;
    s.player.position = at(home, 2, 5);
    // East of the player on the sector edge; its chase leads west, its trail
    // is fresh everywhere.
    for (SectorCoord c : {home, SectorCoord{1, 0, 0}})
        for (auto& column : findSector(s.level->sectors, c)->cells)
            for (Cell& cell : column)
                cell.lastSeen = inView ? now : 3;
    s.creature = addCreature(s.level->sectors, at({1, 0, 0}, 0, 5), CreatureKind::Vampire, 30);
    return s;
}

TEST_F(CreatureTurn, VampireInViewSummonsIntoTheSectorItMovedTo) {
    Scene s = vampireInView(true);
    creatureCounter() = 500;
    // Chase west: candidates (9,4), (9,5), (9,6) of the home sector, then
    // (0,4) and (0,6) of its own; pick 1 is (9,5). Then a roll of 2, then
    // the wraith's level 22 and square (3, 7).
    scriptDraws({1, 1, 2, 3, 7});
    creatureTurns(s.player, *s.level);
    EXPECT_EQ(s.creature->position, at(home, 9, 5));
    ASSERT_FALSE(messageQueue().empty());
    EXPECT_EQ(messageQueue().front().text, "The vampire's eyes glow blue.");
    const auto& list = findSector(s.level->sectors, home)->creatures;
    ASSERT_EQ(list.size(), 2u);
    EXPECT_EQ(list[0]->id, s.creature->id);
    EXPECT_EQ(list[1]->kind, CreatureKind::Wraith);
    EXPECT_EQ(list[1]->level, 22);
    EXPECT_EQ(list[1]->position, at(home, 3, 7));
    EXPECT_TRUE(findSector(s.level->sectors, {1, 0, 0})->creatures.empty());
}

TEST_F(CreatureTurn, VampireSummonsOnlyOnATwoAndOnlyInView) {
    for (int32_t roll = 1; roll <= 5; ++roll) {
        if (roll == 2) continue;
        messageQueue().clear();
        Scene s = vampireInView(true);
        scriptDraws({0, roll - 1});
        RandomState before = randomState();
        creatureTurns(s.player, *s.level);
        EXPECT_EQ(drawsSince(before), 2) << roll;
        EXPECT_TRUE(messageQueue().empty()) << roll;
    }
    // Out of view it wanders on the trail and never rolls.
    Scene s = vampireInView(false);
    scriptDraws({1, 1, 1});
    RandomState before = randomState();
    creatureTurns(s.player, *s.level);
    EXPECT_EQ(drawsSince(before), 1);
    EXPECT_TRUE(messageQueue().empty());
}

} // namespace
} // namespace dunvale
