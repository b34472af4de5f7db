#pragma once
// The map model: squares and sectors.
#include "world/creature.h"
#include "world/item.h"
#include "world/position.h"

#include <array>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace dunvale {

// Ordinals are stored in sector files.
enum class Terrain : int32_t { Wall, Floor, Trapdoor, GasTrap, TeleportTrap, SmokeTrap };
// How many kinds of terrain there are: ordinals from 0 to one less.
constexpr uint32_t terrainKindCount = static_cast<uint32_t>(Terrain::SmokeTrap) + 1;

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

bool isOpenSquare(const Cell& cell);
// The first item lying on (x, y), if any.
std::optional<Item> itemInSector(const Sector& sector, int32_t x, int32_t y);
// The first creature standing on p, if any.
std::shared_ptr<Creature> creatureInSector(const Sector& sector, Position p);

} // namespace dunvale
