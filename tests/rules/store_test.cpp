#include "rules/generate.h"
#include "rules/sector_codec.h"
#include "rules/store.h"
#include "support/errors.h"
#include "support/random.h"
#include "test_support.h"

#include <gtest/gtest.h>

#include <climits>

namespace dunvale {
namespace {

using testing::raisedBy;
using testing::readFile;
using testing::richSector;
using testing::TempStore;
using testing::writeFile;
namespace fs = std::filesystem;

bool sameState(const RandomState& a, const RandomState& b) {
    return a.ring == b.ring && a.write == b.write && a.previous == b.previous && a.far == b.far;
}

TEST(SectorStore, NamesAndKeys) {
    struct Case {
        SectorCoord c;
        std::string id;
        int32_t key;
    };
    const Case cases[] = {
        {{-1, 0, 2}, "S-1_0_2", 1}, {{-3, 1, -2}, "S-3_1_-2", -4},
        {{0, 0, 0}, "S0_0_0", 0},   {{2, 0, 0}, "S2_0_0", 2},
        {{0, 2, 0}, "S0_2_0", 2},   {{INT32_MAX, 1, 0}, "S2147483647_1_0", INT32_MIN},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(objectId(c.c), c.id);
        EXPECT_EQ(storeKey(c.c), c.key) << c.id;
    }
}

TEST(SectorStore, StoredSectorComesBackWithItsChanges) {
    TempStore temp;
    auto level = testing::levelWith({}, temp.store());
    SectorTable& table = level->sectors;
    const SectorCoord c{-1, 0, 2};
    putSector(table, c, richSector(c));

    storeSector(table, c);
    EXPECT_TRUE(hasSlot(table, c));
    EXPECT_FALSE(isInMemory(table, c));
    const std::string file = temp.slash() + "S-1_0_2";
    ASSERT_TRUE(fs::exists(file));
    EXPECT_EQ(readFile(file).substr(0, 5), "[1]U[");

    Sector* loaded = findSector(table, c);
    ASSERT_NE(loaded, nullptr);
    EXPECT_TRUE(isInMemory(table, c));
    EXPECT_EQ(encodeSector(*loaded, 0), encodeSector(*richSector(c), 0));

    loaded->cells[4][4].lastSeen = 77;
    removeItemAt(table, Position{c, 3, 3});
    evict(table, c);
    EXPECT_FALSE(isInMemory(table, c));
    Sector* again = findSector(table, c);
    ASSERT_NE(again, nullptr);
    EXPECT_EQ(again->cells[4][4].lastSeen, 77);
    ASSERT_EQ(again->items.size(), 2u);
    EXPECT_EQ(again->items[0].item, (Item{ItemClass::Potion, 4}));

    // A file changed since the game wrote it is read afresh.
    evict(table, c);
    auto changed = richSector(c);
    changed->cells[4][4].lastSeen = 88;
    writeFile(file, encodeSector(*changed, storeKey(c)));
    EXPECT_EQ(findSector(table, c)->cells[4][4].lastSeen, 88);
}

TEST(SectorStore, SameKeyDifferentFiles) {
    TempStore temp;
    auto level = testing::levelWith({}, temp.store());
    SectorTable& table = level->sectors;
    const SectorCoord east{2, 0, 0};
    const SectorCoord south{0, 2, 0};
    putSector(table, east, testing::filledSector(Terrain::Floor, SectorKind::Maze));
    putSector(table, south, testing::filledSector(Terrain::Wall, SectorKind::ChamberMaze));
    storeSector(table, east);
    storeSector(table, south);
    EXPECT_EQ(findSector(table, east)->kind, SectorKind::Maze);
    EXPECT_EQ(findSector(table, south)->kind, SectorKind::ChamberMaze);
    EXPECT_EQ(findSector(table, south)->cells[5][5].terrain, Terrain::Wall);
}

TEST(SectorStore, DoctoredFilesAreRefused) {
    const SectorCoord c{1, 0, 0};
    // Lists far longer than play makes, and a creature listed by a sector it
    // does not stand in.
    auto crowd = [&](size_t creatures, size_t items, SectorCoord standing) {
        Sector sector;
        for (size_t i = 0; i < creatures; ++i)
            sector.creatures.push_back(std::make_shared<Creature>(
                Creature{1, Position{standing, 5, 5}, 1, 1, 0, CreatureKind::Bat}));
        sector.items.assign(items, FloorItem{Item{ItemClass::Treasure, 1}, 5, 5});
        return sector;
    };
    struct Case {
        Sector sector;
        int32_t key;
        std::string message; // empty: the file loads
        int32_t code;
    };
    const Case cases[] = {
        // Sector (2, 0, 0)'s file, key 2, copied under the name of (1, 0, 0).
        {Sector{}, 2, "Invalid unmarshalling id", 253},
        {crowd(1000, 1000, c), 1, "", 0},
        {crowd(1001, 0, c), 1, "Invalid value to unmarshall", 254},
        {crowd(0, 1001, c), 1, "Invalid value to unmarshall", 254},
        {crowd(1, 0, {0, 0, 0}), 1, "Invalid value to unmarshall", 254},
    };
    for (const Case& doctored : cases) {
        TempStore temp;
        auto level = testing::levelWith({}, temp.store());
        SectorTable& table = level->sectors;
        writeFile(temp.slash() + objectId(c), encodeSector(doctored.sector, doctored.key));
        markStored(table, c);
        if (doctored.message.empty()) {
            ASSERT_NE(findSector(table, c), nullptr);
            continue;
        }
        EXPECT_EQ(raisedBy([&] { findSector(table, c); }),
                  (testing::Raised{doctored.message, doctored.code}))
            << doctored.sector.creatures.size();
        EXPECT_FALSE(isInMemory(table, c));
    }
}

TEST(SectorStore, MissingFileLoadsAsNothing) {
    TempStore temp;
    auto level = testing::levelWith({}, temp.store());
    markStored(level->sectors, {5, 5, 5});
    EXPECT_EQ(loadSector(level->sectors, {5, 5, 5}), nullptr);
    EXPECT_EQ(findSector(level->sectors, {5, 5, 5}), nullptr);
}

TEST(SectorStore, FarSectorsAreEvictedAsThePlayerMoves) {
    TempStore temp;
    std::vector<SectorCoord> coords;
    for (int32_t sx = -1; sx <= 2; ++sx)
        for (int32_t sy = -1; sy <= 1; ++sy)
            coords.push_back({sx, sy, 0});
    coords.push_back({1, 0, 1});
    coords.push_back({1, 0, -2});
    auto level = testing::levelWith(coords, temp.store());
    SectorTable& table = level->sectors;

    evictFarSectors(table, {1, 0, 0});
    for (SectorCoord c : coords) {
        bool far = c.sx == -1 || c.sz == -2;
        EXPECT_EQ(isInMemory(table, c), !far) << objectId(c);
        EXPECT_TRUE(hasSlot(table, c));
        EXPECT_EQ(fs::exists(temp.slash() + objectId(c)), far) << objectId(c);
    }

    evictFarSectors(table, {2, 0, 0});
    for (SectorCoord c : coords)
        EXPECT_EQ(isInMemory(table, c), c.sx >= 1 && c.sz >= -1);
}

TEST(SectorStore, MakeCurrentEvictsAndLeavesExistingNeighboursAlone) {
    TempStore temp;
    std::vector<SectorCoord> coords;
    for (int32_t sx = 4; sx <= 7; ++sx)
        for (int32_t sy = -2; sy <= 0; ++sy)
            coords.push_back({sx, sy, 3});
    auto level = testing::levelWith(coords, temp.store());
    SectorTable& table = level->sectors;
    Sector* neighbour = findSector(table, {6, 0, 3});
    seedRandom(99);
    const RandomState before = randomGenerator;

    makeCurrent(table, {5, -1, 3});
    EXPECT_TRUE(sameState(randomGenerator, before)); // nothing was built
    EXPECT_EQ(findSector(table, {6, 0, 3}), neighbour);
    for (SectorCoord c : coords)
        EXPECT_EQ(isInMemory(table, c), c.sx != 7) << objectId(c);
}

// The neighbours are built in a fixed order, each matching the borders of
// those already there: the same game comes only from the same order.
TEST(SectorStore, MakeCurrentBuildsNeighboursInOrder) {
    TempStore temp;
    const SectorCoord centre{0, 0, 0};
    const SectorCoord order[] = {{-1, 0, 0},  {1, 0, 0},  {0, -1, 0}, {0, 1, 0},
                                 {-1, -1, 0}, {-1, 1, 0}, {1, -1, 0}, {1, 1, 0}};
    auto made = testing::levelWith({centre}, temp.store());
    seedRandom(2024);
    makeCurrent(made->sectors, centre);
    const RandomState afterMade = randomGenerator;

    auto expected = testing::levelWith({centre}, temp.store());
    seedRandom(2024);
    for (SectorCoord c : order)
        ensureSector(expected->sectors, c, Generator::MazeChooser);
    EXPECT_TRUE(sameState(randomGenerator, afterMade));
    for (SectorCoord c : order) {
        Sector* a = findSector(made->sectors, c);
        Sector* b = findSector(expected->sectors, c);
        ASSERT_NE(a, nullptr) << objectId(c);
        ASSERT_NE(b, nullptr) << objectId(c);
        // Creature ids come from a counter that runs through the whole process.
        for (Sector* s : {a, b})
            for (auto& creature : s->creatures)
                creature->id = 0;
        EXPECT_TRUE(encodeSector(*a, 0) == encodeSector(*b, 0)) << objectId(c);
    }
}

} // namespace
} // namespace dunvale
