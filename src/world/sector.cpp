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
