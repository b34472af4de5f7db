#pragma once
// The map model: squares, sectors, the sector table and the level record.
#include "creatures/creature.h"
#include "labyrinth/position.h"
#include "player/item.h"

#include <array>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace dunvale {

// Ordinals are stored in sector files.
enum class Terrain : int32_t { Wall, Floor, Trapdoor, GasTrap, TeleportTrap, SmokeTrap };

enum class TempKind : int32_t { Smoke };

// Something temporary on a square, gone after the turn `expiry`.
struct TempEntry {
    TempKind kind = TempKind::Smoke;
    int32_t expiry = 0;
    friend bool operator==(const TempEntry&, const TempEntry&) = default;
};

constexpr int32_t neverSeen = -1;
constexpr int32_t seenOnMagicMap = 0;

struct Cell {
    Terrain terrain = Terrain::Wall;
    int32_t lastSeen = neverSeen;
    // 3 opens onto the level above, -3 is a hole to the level below; other
    // values are steps of a staircase.
    int32_t elevation = 0;
    std::vector<TempEntry> entries; // oldest first
    friend bool operator==(const Cell&, const Cell&) = default;
};

enum class SectorKind : int32_t {
    Entrance,
    Maze,
    ChamberMaze,
    StairsUp,
    StairsDown,
    UnstableTunnels,
    SpiralStaircase
};

// The way a staircase runs: its run vector is (0, -1), (0, +1), (-1, 0),
// (+1, 0) for ordinals 0 to 3.
enum class Direction : int32_t { South, North, West, East };

struct StairLink {
    Direction direction = Direction::South;
    int32_t x = 0;
    int32_t y = 0;
    friend bool operator==(const StairLink&, const StairLink&) = default;
};

struct FloorItem {
    Item item;
    int32_t x = 0;
    int32_t y = 0;
    friend bool operator==(const FloorItem&, const FloorItem&) = default;
};

using CellGrid = std::array<std::array<Cell, sectorSize>, sectorSize>; // [x][y]

struct Sector {
    CellGrid cells;
    int32_t visited = 0;
    // Shared so that a snapshot of the list still reaches a creature that
    // walks on into another sector.
    std::vector<std::shared_ptr<Creature>> creatures;
    SectorKind kind = SectorKind::Entrance;
    std::optional<StairLink> upLink;
    std::optional<StairLink> downLink;
    std::vector<FloorItem> items;

    Sector() {
        creatures.reserve(20);
        items.reserve(5);
    }
    // A copy would share its creatures with the original: a sector is only
    // ever moved.
    Sector(const Sector&) = delete;
    Sector& operator=(const Sector&) = delete;
    Sector(Sector&&) = default;
    Sector& operator=(Sector&&) = default;
};

// Field by field, creatures compared by value.
bool sameSector(const Sector& a, const Sector& b);

// Hash table from SectorCoord to a slot that holds the Sector in memory or
// says that it lies in the sector store.
struct SectorSlot {
    SectorCoord coord;
    std::unique_ptr<Sector> sector; // empty: the sector is in the store
};

constexpr int sectorTableBuckets = 349;

// A sector held in memory that was looked up lately. Creatures and the map
// ask for the same few sectors again and again; only putSector and
// markStored change what a slot holds, and they keep these right.
struct RecentSector {
    SectorCoord coord;
    Sector* sector = nullptr; // null: nothing remembered
};

// Room for a whole 3x3x3 block of sectors.
constexpr uint32_t recentSectorCount = 32;

struct SectorTable {
    std::array<std::vector<SectorSlot>, sectorTableBuckets> buckets;
    std::string storeDirectory; // ends in "/"
    std::array<RecentSector, recentSectorCount> recent;
};

struct LevelRecord {
    SectorTable sectors;
    int32_t turn = 1;
};

int32_t sectorHash(SectorCoord c);

SectorSlot* findSlot(SectorTable& table, SectorCoord c);
const SectorSlot* findSlot(const SectorTable& table, SectorCoord c);
bool hasSlot(const SectorTable& table, SectorCoord c);
bool isInMemory(const SectorTable& table, SectorCoord c);
namespace detail {
// x + 3y + 9z differs for every pair of sectors in a 3x3x3 block, and 27
// neighbouring values stay apart modulo 32: the sectors around the player
// never push each other out.
inline size_t recentIndex(SectorCoord c) {
    const uint32_t mixed = static_cast<uint32_t>(c.sx) + 3u * static_cast<uint32_t>(c.sy) +
                           9u * static_cast<uint32_t>(c.sz);
    return mixed % recentSectorCount;
}

// The in-memory sector at c if it was looked up lately; null otherwise.
inline Sector* recentSector(const SectorTable& table, SectorCoord c) {
    const RecentSector& entry = table.recent[recentIndex(c)];
    return entry.sector != nullptr && entry.coord == c ? entry.sector : nullptr;
}

Sector* sectorInMemoryFromSlots(SectorTable& table, SectorCoord c);
Sector* findSectorInSlots(SectorTable& table, SectorCoord c);
} // namespace detail

// The sector at c if it is held in memory; null otherwise. Never loads.
// Inline: creatures and the map ask this for nearly every square.
inline Sector* sectorInMemory(SectorTable& table, SectorCoord c) {
    if (Sector* recent = detail::recentSector(table, c)) return recent;
    return detail::sectorInMemoryFromSlots(table, c);
}

// The sector at c, loading it from the store when it lies there; null when
// it was never generated (or its file has gone).
inline Sector* findSector(SectorTable& table, SectorCoord c) {
    if (Sector* recent = detail::recentSector(table, c)) return recent;
    return detail::findSectorInSlots(table, c);
}
// Inserts the sector as held in memory, replacing any slot for c.
Sector& putSector(SectorTable& table, SectorCoord c, std::unique_ptr<Sector> sector);
// Replaces c's slot by one that says the sector lies in the store.
void markStored(SectorTable& table, SectorCoord c);
// Every coordinate that has a slot, in the table's own order.
std::vector<SectorCoord> slotCoords(const SectorTable& table);

// "Couldn't find sx,sy,sz": the error for a sector that is not there.
std::string couldntFindMessage(SectorCoord c);
// The sector at c, loading it from the store when it lies there; raises
// couldntFindMessage when it was never generated.
Sector& sectorAt(SectorTable& table, SectorCoord c);
// The Cell at p moved by (dx, dy) on p's level; raises "Couldn't find
// sx,sy,sz" when that sector does not exist.
Cell& cellAtOffset(SectorTable& table, Position p, int32_t dx, int32_t dy);
Cell& cellAt(SectorTable& table, Position p);
// Like cellAt, but null instead of an error for a missing sector.
Cell* findCell(SectorTable& table, Position p);

// Sets the visited flag; 1 only for the first visit.
int32_t markVisited(SectorTable& table, SectorCoord c);
bool isOpenSquare(const Cell& cell);
// Draws x then y until the square is open, at most 300 squares; returns the
// last square drawn.
Position randomOpenSquare(const Sector& sector, SectorCoord c);
// Magic map: never-seen squares count as seen at turn 0.
void revealSector(SectorTable& table, SectorCoord c);

std::optional<Item> itemAt(SectorTable& table, Position p);
std::optional<Item> itemInSector(const Sector& sector, int32_t x, int32_t y);
void putItem(SectorTable& table, Position p, Item item);
void removeItemAt(SectorTable& table, Position p);
std::shared_ptr<Creature> creatureAt(SectorTable& table, Position p);
std::shared_ptr<Creature> creatureInSector(const Sector& sector, Position p);

} // namespace dunvale
