#include "rules/generation_replay.h"
#include "rules/map.h"
#include "rules/spawn.h"
#include "support/errors.h"
#include "support/random.h"
#include "test_support.h"
#include "world/player.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <map>
#include <set>

namespace dunvale {
namespace {

using namespace dunvale::testing;

// Kinds by level band, five levels to a band, vampires from 30 on.
CreatureKind expectedKind(int level) {
    const CreatureKind bands[] = {CreatureKind::Bat,         CreatureKind::GiantRat,
                                  CreatureKind::GiantSpider, CreatureKind::Skeleton,
                                  CreatureKind::Wraith,      CreatureKind::Mummy};
    return level >= 30 ? CreatureKind::Vampire : bands[level / 5];
}

// Open floor only on row y = 4 and column x = 6.
std::unique_ptr<Sector> crossSector() {
    auto sector = filledSector(Terrain::Wall);
    for (int i = 0; i < 10; ++i) {
        sector->cells[static_cast<size_t>(i)][4].terrain = Terrain::Floor;
        sector->cells[6][static_cast<size_t>(i)].terrain = Terrain::Floor;
    }
    sector->cells[6][4].elevation = 3; // a stair head is not open
    return sector;
}

bool onCross(Position p) {
    return (p.y == 4 || p.x == 6) && !(p.x == 6 && p.y == 4);
}

TEST(CreatureSpawning, LevelsByDepthFollowTheDrawsAndThePullBack) {
    struct Case {
        int depth, lowest, highest;
    };
    const Case cases[] = {{0, 1, 1}, {1, 2, 2}, {2, 2, 4}, {10, 2, 15}, {20, 2, 30}, {40, 2, 60}};
    for (const Case& k : cases) {
        std::set<int> levels;
        bool pulledBack = false;
        for (int seed = 1; seed <= 400; ++seed) {
            seedRandom(seed);
            auto sector = crossSector();
            SectorCoord c{k.depth, 0, 0};
            RandomState after = runThenRewind([&] { spawnCreature(k.depth, *sector, c); });
            int level = replayCreatureLevel(k.depth, &pulledBack);
            ASSERT_EQ(sector->creatures.size(), 1u);
            const Creature& made = *sector->creatures[0];
            EXPECT_EQ(made.level, level);
            EXPECT_EQ(made.health, level * level);
            EXPECT_EQ(made.kind, expectedKind(level));
            EXPECT_EQ(made.lastActed, 0);
            EXPECT_EQ(made.position.sector, c);
            EXPECT_TRUE(onCross(made.position)) << made.position.x << "," << made.position.y;
            EXPECT_GE(made.level, k.lowest);
            EXPECT_LE(made.level, k.highest);
            levels.insert(made.level);
            randomGenerator = after;
        }
        EXPECT_EQ(*levels.begin(), k.lowest) << "depth " << k.depth;
        EXPECT_EQ(pulledBack, k.depth >= 10) << "depth " << k.depth;
    }
}

TEST(CreatureSpawning, ShallowDepthsMakeNoLevelDraw) {
    // Depth 0 draws nothing for the level: the next draws place it.
    seedRandom(8);
    Sector sector;
    for (auto& column : sector.cells)
        for (Cell& cell : column)
            cell.terrain = Terrain::Floor;
    RandomState after = runThenRewind([&] { spawnCreature(0, sector, {0, 0, 0}); });
    int x = randomIn(0, 9);
    int y = randomIn(0, 9);
    EXPECT_EQ(sector.creatures[0]->position, (Position{{0, 0, 0}, x, y}));
    EXPECT_EQ(after.write, randomGenerator.write);
    EXPECT_EQ(sector.creatures[0]->kind, CreatureKind::Bat);
    EXPECT_EQ(sector.creatures[0]->health, 1);
}

TEST(CreatureSpawning, PullBackAtDepthTenAndTwenty) {
    // Depth 10: only level 16 exceeds 15, and it comes back to 11..15.
    // Depth 20: levels above 25 lose 1 to 10, so a vampire needs 31 and a loss of 1.
    std::map<int, std::set<int>> levelsSeen;
    for (int depth : {10, 20}) {
        seedRandom(100 + depth);
        for (int i = 0; i < 6000; ++i) {
            auto sector = crossSector();
            spawnCreature(depth, *sector, {0, 0, depth});
            levelsSeen[depth].insert(sector->creatures[0]->level);
        }
    }
    EXPECT_EQ(*levelsSeen[10].rbegin(), 15);
    EXPECT_EQ(levelsSeen[10].size(), 14u) << "2 to 15";
    EXPECT_EQ(*levelsSeen[20].rbegin(), 30);
    EXPECT_TRUE(levelsSeen[20].count(25));
}

TEST(CreatureSpawning, KindsFollowTheLevelBands) {
    std::set<CreatureKind> kinds;
    seedRandom(55);
    for (int i = 0; i < 3000; ++i) {
        auto sector = crossSector();
        spawnCreature(30, *sector, {30, 0, 0});
        const Creature& made = *sector->creatures[0];
        EXPECT_EQ(made.kind, expectedKind(made.level)) << made.level;
        kinds.insert(made.kind);
    }
    EXPECT_EQ(kinds.size(), 7u);
}

TEST(CreatureSpawning, CounterGivesEveryCreatureTheNextId) {
    seedRandom(2);
    SectorTable table;
    Sector& sector = putSector(table, {1, 1, 1}, crossSector());
    sector.creatures.push_back(std::make_shared<Creature>(Creature{-5, {}, 1, 1, 0, {}}));
    int32_t first = creatureCounter();
    spawnCreature(3, sector, {1, 1, 1});
    summonWraith({1, 1, 1}, table);
    spawnCreature(0, sector, {1, 1, 1});
    ASSERT_EQ(sector.creatures.size(), 4u);
    EXPECT_EQ(sector.creatures[0]->id, -5) << "new creatures go to the end";
    for (int i = 1; i <= 3; ++i)
        EXPECT_EQ(sector.creatures[static_cast<size_t>(i)]->id, first + i - 1);
    EXPECT_EQ(creatureCounter(), first + 3);
}

TEST(CreatureSpawning, SummonedWraithsAreLevelTwentyToTwentyFour) {
    std::set<int> levels;
    for (int seed = 1; seed <= 300; ++seed) {
        seedRandom(seed);
        SectorTable table;
        putSector(table, {-2, 4, 1}, crossSector());
        Sector& other = putSector(table, {0, 0, 0}, crossSector());
        summonWraith({-2, 4, 1}, table);
        const Sector* home = findSector(table, {-2, 4, 1});
        ASSERT_EQ(home->creatures.size(), 1u);
        EXPECT_TRUE(other.creatures.empty());
        const Creature& wraith = *home->creatures[0];
        EXPECT_EQ(wraith.kind, CreatureKind::Wraith);
        EXPECT_GE(wraith.level, 20);
        EXPECT_LE(wraith.level, 24);
        EXPECT_EQ(wraith.health, wraith.level * wraith.level);
        EXPECT_EQ(wraith.lastActed, 0);
        EXPECT_EQ(wraith.position.sector, (SectorCoord{-2, 4, 1}));
        EXPECT_TRUE(onCross(wraith.position));
        levels.insert(wraith.level);
    }
    EXPECT_EQ(levels.size(), 5u);
}

TEST(CreatureSpawning, WanderingSpawnPicksANeighbourSectorXThenY) {
    std::set<std::pair<int, int>> offsets;
    for (int seed = 1; seed <= 200; ++seed) {
        seedRandom(seed);
        const std::vector<SectorCoord> around = blockAround({7, -1, 2});
        auto level = levelWith(around);
        Player player = newPlayer();
        player.position = Position{{7, -1, 2}, 3, 3};
        RandomState after = runThenRewind([&] { wanderingSpawn(player, *level); });
        int dx = randomIn(-1, 1);
        int dy = randomIn(-1, 1);
        SectorCoord target{7 + dx, -1 + dy, 2};
        int expectedLevel =
            replayCreatureLevel(std::max(std::abs(target.sx), std::abs(target.sy)) + 2);
        randomGenerator = after;
        offsets.insert({dx, dy});
        for (SectorCoord c : around) {
            const Sector* sector = findSector(level->sectors, c);
            EXPECT_EQ(sector->creatures.size(), c == target ? 1u : 0u);
        }
        const Creature& made = *findSector(level->sectors, target)->creatures[0];
        EXPECT_EQ(made.position.sector, target);
        EXPECT_EQ(made.level, expectedLevel);
    }
    EXPECT_EQ(offsets.size(), 9u);
}

TEST(CreatureSpawning, SummoningIntoAMissingSectorCannotFindIt) {
    SectorTable table;
    EXPECT_EQ(raisedBy([&] {
                  summonWraith({3, -1, 0}, table);
              }),
              (Raised{"Couldn't find 3,-1,0", errorCode::couldntFind}));
}

} // namespace
} // namespace dunvale
