#pragma once
// Small builders shared by the tests.
#include "presentation/screen.h"
#include "rules/map.h"
#include "rules/store_files.h"
#include "support/errors.h"
#include "support/random.h"
#include "terminal/virtual_screen.h"
#include "world/messages.h"

#include <climits>
#include <filesystem>
#include <memory>
#include <ostream>
#include <string>
#include <vector>

namespace dunvale {
// Readable failures for squares.
inline void PrintTo(const Position& p, std::ostream* os) {
    *os << "(" << p.sector.sx << "," << p.sector.sy << "," << p.sector.sz << ")[" << p.x << ","
        << p.y << "]";
}
} // namespace dunvale

namespace dunvale::testing {

// A fresh directory under /tmp, removed with everything in it afterwards.
struct TempDir {
    std::filesystem::path path;
    TempDir();
    ~TempDir();
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;
    // The path with a trailing "/", as a store directory is written.
    std::string slash() const { return path.string() + "/"; }
};

// A fresh directory opened and locked as a game's store, for the time of a
// test; a table given store() keeps its far sectors there.
struct TempStore {
    TempDir dir;
    std::unique_ptr<GameStore> opened;
    TempStore();
    GameStore* store() const { return opened.get(); }
    std::string slash() const { return dir.slash(); }
};

// The whole content of a file, and a file made to hold `content`.
std::string readFile(const std::filesystem::path& path);
void writeFile(const std::filesystem::path& path, const std::string& content);

// A sector whose every square has the given terrain (elevation 0, never seen).
std::unique_ptr<Sector> filledSector(Terrain terrain, SectorKind kind = SectorKind::Maze);

// A sector that sets every field to something other than its starting value;
// its creatures stand in the sector `home`.
std::unique_ptr<Sector> richSector(SectorCoord home = {-4, 7, INT32_MIN});

// Puts a filled sector into the table and returns it.
Sector& addSector(SectorTable& table, SectorCoord c, Terrain terrain = Terrain::Floor);

// A level record that keeps its far sectors in `store` (none for tests that
// never touch the disk), holding open floor sectors at the given places.
std::unique_ptr<LevelRecord> levelWith(const std::vector<SectorCoord>& coords,
                                       GameStore* store = nullptr);

// A creature put into the sector that holds `at`.
std::shared_ptr<Creature> addCreature(SectorTable& table, Position at, CreatureKind kind,
                                      int32_t level, int32_t id = 1000);

// The sector at c and its eight neighbours on the same level.
std::vector<SectorCoord> blockAround(SectorCoord c);

// Open floor: every sector within one of the given centres on their levels,
// so that entering any centre builds nothing new.
std::unique_ptr<LevelRecord> worldAround(const std::vector<SectorCoord>& centres,
                                         GameStore* store = nullptr);

// Every square of the sector at c last seen at `turn`.
void stampSector(SectorTable& table, SectorCoord c, int32_t turn);

// Every square of every sector in memory given the terrain.
void fillTerrain(SectorTable& table, Terrain terrain);

// Restores the generator when a test ends, so tests do not leak draws.
struct RandomGuard {
    RandomState saved = randomGenerator;
    ~RandomGuard() { randomGenerator = saved; }
};

// Lays chosen values into the generator's ring so that a test decides every
// draw: each raw value v makes randomBelow(n) give v % n and randomIn(lo, hi)
// give lo + v % (hi - lo + 1). Up to 31 values; the draws after them repeat
// the last one for a while.
void scriptDraws(const std::vector<int32_t>& values);

// How many draws were made since `before` was taken (fewer than 55).
int drawsSince(const RandomState& before);

// How many draws `action` makes (fewer than 55).
template <typename Action> int drawsDuring(Action&& action) {
    const RandomState before = randomGenerator;
    action();
    return drawsSince(before);
}

// What an action raised, to be compared in one expectation.
struct Raised {
    std::string message;
    int32_t code = 0;
    bool operator==(const Raised&) const = default;
};
std::ostream& operator<<(std::ostream& os, const Raised& raised);

template <typename Action> Raised raisedBy(Action&& action) {
    try {
        action();
    } catch (const RuntimeError& error) {
        return Raised{error.message, error.code};
    }
    return Raised{"(nothing raised)", 0};
}

// Installs a virtual screen for the time of a test and empties the message
// queue before and after.
struct ScreenFixture {
    VirtualScreen terminal;
    ScreenFixture();
    ~ScreenFixture();
    ScreenFixture(const ScreenFixture&) = delete;
    ScreenFixture& operator=(const ScreenFixture&) = delete;
    std::vector<std::string> messageTexts() const;
};

} // namespace dunvale::testing
