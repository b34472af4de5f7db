#pragma once
// Small builders shared by the tests.
#include "display/messages.h"
#include "display/screen.h"
#include "display/virtual_screen.h"
#include "labyrinth/sector.h"
#include "support/random.h"

#include <filesystem>
#include <memory>
#include <string>
#include <vector>

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

// A sector whose every square has the given terrain (elevation 0, never seen).
std::unique_ptr<Sector> filledSector(Terrain terrain, SectorKind kind = SectorKind::Maze);

// Puts a filled sector into the table and returns it.
Sector& addSector(SectorTable& table, SectorCoord c, Terrain terrain = Terrain::Floor);

// A level record whose store lies in `store` (may be empty for tests that
// never touch the disk), holding open floor sectors at the given places.
std::unique_ptr<LevelRecord> levelWith(const std::vector<SectorCoord>& coords,
                                       const std::string& store = "");

// A creature put into the sector that holds `at`.
std::shared_ptr<Creature> addCreature(SectorTable& table, Position at, CreatureKind kind,
                                      int32_t level, int32_t id = 1000);

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
