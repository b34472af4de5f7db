#include "rules/map.h"

#include "rules/store.h"
#include "support/errors.h"
#include "support/random.h"
#include "support/wrap.h"

#include <algorithm>

namespace dunvale {

Sector* detail::loadStoredSector(SectorTable& table, SectorCoord c) {
    // No slot: never made. A slot not in memory: the sector is in the store.
    if (!hasSlot(table, c)) return nullptr;
    return loadSector(table, c);
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

std::shared_ptr<Creature> creatureAt(SectorTable& table, Position p) {
    Sector* sector = findSector(table, p.sector);
    if (sector == nullptr) return nullptr;
    return creatureInSector(*sector, p);
}

} // namespace dunvale
