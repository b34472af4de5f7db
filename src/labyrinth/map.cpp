#include "labyrinth/sector.h"

#include "labyrinth/store.h"
#include "support/errors.h"
#include "support/random.h"
#include "support/wrap.h"

#include <algorithm>

namespace dunvale {

int32_t depthOf(SectorCoord c) {
    return wrapAdd(std::max(wrapAbs(c.sx), wrapAbs(c.sy)), wrapAbs(c.sz));
}

int32_t trapDistanceOf(SectorCoord c) {
    return wrapAdd(wrapAdd(wrapAbs(c.sx), wrapAbs(c.sy)), wrapAbs(c.sz));
}

namespace {

size_t bucketOf(SectorCoord c) {
    int32_t bucket = sectorHash(c) % sectorTableBuckets;
    if (bucket < 0) bucket += sectorTableBuckets;
    return static_cast<size_t>(bucket);
}

// The slot for c in a table or a const table.
template <typename Table> auto slotIn(Table& table, SectorCoord c) {
    auto& bucket = table.buckets[bucketOf(c)];
    auto found = std::find_if(bucket.begin(), bucket.end(),
                              [&](const SectorSlot& slot) { return slot.coord == c; });
    return found == bucket.end() ? nullptr : &*found;
}

void remember(SectorTable& table, SectorCoord c, Sector* sector) {
    table.recent[detail::recentIndex(c)] = RecentSector{c, sector};
}

} // namespace

bool sameSector(const Sector& a, const Sector& b) {
    if (a.cells != b.cells || a.visited != b.visited || a.kind != b.kind || a.upLink != b.upLink ||
        a.downLink != b.downLink || a.items != b.items || a.creatures.size() != b.creatures.size())
        return false;
    for (size_t i = 0; i < a.creatures.size(); ++i) {
        const Creature& x = *a.creatures[i];
        const Creature& y = *b.creatures[i];
        if (x.id != y.id || x.position != y.position || x.level != y.level ||
            x.health != y.health || x.lastActed != y.lastActed || x.kind != y.kind)
            return false;
    }
    return true;
}

int32_t sectorHash(SectorCoord c) {
    return wrapAdd(wrapAdd(wrapMul(c.sz, 1721), wrapMul(c.sx, 1009)), c.sy);
}

SectorSlot* findSlot(SectorTable& table, SectorCoord c) {
    return slotIn(table, c);
}

const SectorSlot* findSlot(const SectorTable& table, SectorCoord c) {
    return slotIn(table, c);
}

bool hasSlot(const SectorTable& table, SectorCoord c) {
    return findSlot(table, c) != nullptr;
}

bool isInMemory(const SectorTable& table, SectorCoord c) {
    if (detail::recentSector(table, c) != nullptr) return true;
    const SectorSlot* slot = findSlot(table, c);
    return slot != nullptr && slot->sector != nullptr;
}

Sector* detail::sectorInMemoryFromSlots(SectorTable& table, SectorCoord c) {
    SectorSlot* slot = findSlot(table, c);
    if (slot == nullptr || !slot->sector) return nullptr;
    remember(table, c, slot->sector.get());
    return slot->sector.get();
}

Sector* detail::findSectorInSlots(SectorTable& table, SectorCoord c) {
    SectorSlot* slot = findSlot(table, c);
    if (slot == nullptr) return nullptr;
    if (slot->sector) {
        remember(table, c, slot->sector.get());
        return slot->sector.get();
    }
    // Loading puts the sector, which remembers it.
    return loadSector(table, c);
}

Sector& putSector(SectorTable& table, SectorCoord c, std::unique_ptr<Sector> sector) {
    Sector& placed = *sector;
    if (SectorSlot* slot = findSlot(table, c)) {
        slot->sector = std::move(sector);
    } else {
        table.buckets[bucketOf(c)].push_back(SectorSlot{c, std::move(sector)});
    }
    remember(table, c, &placed);
    return placed;
}

void markStored(SectorTable& table, SectorCoord c) {
    if (detail::recentSector(table, c) != nullptr) remember(table, c, nullptr);
    if (SectorSlot* slot = findSlot(table, c)) {
        slot->sector.reset();
    } else {
        table.buckets[bucketOf(c)].push_back(SectorSlot{c, nullptr});
    }
}

std::vector<SectorCoord> slotCoords(const SectorTable& table) {
    std::vector<SectorCoord> coords;
    for (const auto& bucket : table.buckets)
        for (const SectorSlot& slot : bucket)
            coords.push_back(slot.coord);
    return coords;
}

Cell* findCell(SectorTable& table, Position p) {
    Sector* sector = findSector(table, p.sector);
    if (sector == nullptr) return nullptr;
    return &sector->cells[p.x][p.y];
}

std::string couldntFindMessage(SectorCoord c) {
    return "Couldn't find " + std::to_string(c.sx) + "," + std::to_string(c.sy) + "," +
           std::to_string(c.sz);
}

Sector& sectorAt(SectorTable& table, SectorCoord c) {
    Sector* sector = findSector(table, c);
    if (sector == nullptr) raiseError(couldntFindMessage(c), errorCode::couldntFind);
    return *sector;
}

Cell& cellAtOffset(SectorTable& table, Position p, int32_t dx, int32_t dy) {
    Position target = movePosition(p, dx, dy, 0);
    return sectorAt(table, target.sector).cells[target.x][target.y];
}

Cell& cellAt(SectorTable& table, Position p) {
    return cellAtOffset(table, p, 0, 0);
}

int32_t markVisited(SectorTable& table, SectorCoord c) {
    Sector* sector = findSector(table, c);
    if (sector == nullptr || sector->visited != 0) return 0;
    sector->visited = 1;
    return 1;
}

bool isOpenSquare(const Cell& cell) {
    return cell.terrain != Terrain::Wall && cell.elevation != 3 && cell.elevation != -3;
}

Position randomOpenSquare(const Sector& sector, SectorCoord c) {
    Position p{c, 0, 0};
    for (int draws = 0; draws < 300; ++draws) {
        int32_t x = randomIn(0, 9);
        int32_t y = randomIn(0, 9);
        p.x = x;
        p.y = y;
        if (isOpenSquare(sector.cells[x][y])) break;
    }
    return p;
}

void revealSector(SectorTable& table, SectorCoord c) {
    Sector* sector = findSector(table, c);
    if (sector == nullptr) return;
    for (auto& column : sector->cells)
        for (Cell& cell : column)
            if (cell.lastSeen == neverSeen) cell.lastSeen = seenOnMagicMap;
}

std::optional<Item> itemInSector(const Sector& sector, int32_t x, int32_t y) {
    for (const FloorItem& floorItem : sector.items)
        if (floorItem.x == x && floorItem.y == y) return floorItem.item;
    return std::nullopt;
}

std::optional<Item> itemAt(SectorTable& table, Position p) {
    Sector* sector = findSector(table, p.sector);
    if (sector == nullptr) return std::nullopt;
    return itemInSector(*sector, p.x, p.y);
}

void putItem(SectorTable& table, Position p, Item item) {
    Sector* sector = findSector(table, p.sector);
    if (sector == nullptr) return;
    sector->items.push_back(FloorItem{item, p.x, p.y});
}

void removeItemAt(SectorTable& table, Position p) {
    Sector* sector = findSector(table, p.sector);
    if (sector == nullptr) return;
    auto found = std::find_if(sector->items.begin(), sector->items.end(),
                              [&](const FloorItem& f) { return f.x == p.x && f.y == p.y; });
    if (found != sector->items.end()) sector->items.erase(found);
}

std::shared_ptr<Creature> creatureInSector(const Sector& sector, Position p) {
    for (const auto& creature : sector.creatures)
        if (creature->position == p) return creature;
    return nullptr;
}

std::shared_ptr<Creature> creatureAt(SectorTable& table, Position p) {
    Sector* sector = findSector(table, p.sector);
    if (sector == nullptr) return nullptr;
    return creatureInSector(*sector, p);
}

} // namespace dunvale
