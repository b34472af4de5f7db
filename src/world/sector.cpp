#include "world/sector.h"

#include "support/wrap.h"

#include <algorithm>

namespace dunvale {

int32_t depthOf(SectorCoord c) {
    return wrapAdd(std::max(wrapAbs(c.sx), wrapAbs(c.sy)), wrapAbs(c.sz));
}

int32_t trapDistanceOf(SectorCoord c) {
    return wrapAdd(wrapAdd(wrapAbs(c.sx), wrapAbs(c.sy)), wrapAbs(c.sz));
}

bool isOpenSquare(const Cell& cell) {
    return cell.terrain != Terrain::Wall && cell.elevation != 3 && cell.elevation != -3;
}

std::optional<Item> itemInSector(const Sector& sector, int32_t x, int32_t y) {
    for (const FloorItem& floorItem : sector.items)
        if (floorItem.x == x && floorItem.y == y) return floorItem.item;
    return std::nullopt;
}

std::shared_ptr<Creature> creatureInSector(const Sector& sector, Position p) {
    for (const auto& creature : sector.creatures)
        if (creature->position == p) return creature;
    return nullptr;
}

} // namespace dunvale
