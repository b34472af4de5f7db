#include "rules/store.h"

#include "rules/generate.h"
#include "rules/sector_codec.h"
#include "support/errors.h"
#include "support/wrap.h"

#include <algorithm>
#include <memory>
#include <optional>

namespace dunvale {

namespace {

// A table without a store has nowhere to keep a sector.
const GameStore& storeOf(const SectorTable& table) {
    if (table.store == nullptr) raiseError("File Error: no store is open", errorCode::fileError);
    return *table.store;
}

} // namespace

std::string objectId(SectorCoord c) {
    return std::string("S").append(std::to_string(c.sx)) + "_" + std::to_string(c.sy) + "_" +
           std::to_string(c.sz);
}

int32_t storeKey(SectorCoord c) {
    return wrapAdd(wrapAdd(c.sx, c.sy), c.sz);
}

namespace {

// Keeps a sector just written with its text, when the text reads back as
// this sector; the oldest kept goes first.
void keep(SectorTable& table, SectorCoord c, WrittenSector written,
          std::unique_ptr<Sector> sector) {
    auto& kept = table.kept;
    std::erase_if(kept, [&](const KeptSector& entry) { return entry.coord == c; });
    if (!written.readsBack || !sector) return;
    if (kept.size() >= keptSectorCount) kept.erase(kept.begin());
    written.text.shrink_to_fit(); // the writer's room is half as large again
    kept.push_back(KeptSector{c, std::move(written.text), std::move(sector)});
}

// The sector the text stands for: the kept one when the text is the very one
// written from it (it has not been touched since), else decoded afresh.
std::unique_ptr<Sector> sectorFromText(SectorTable& table, SectorCoord c, const std::string& text) {
    auto& kept = table.kept;
    auto found = std::find_if(kept.begin(), kept.end(),
                              [&](const KeptSector& entry) { return entry.coord == c; });
    if (found == kept.end()) return decodeSector(text, storeKey(c));
    std::unique_ptr<Sector> sector;
    if (found->text == text) sector = std::move(found->sector);
    kept.erase(found);
    return sector ? std::move(sector) : decodeSector(text, storeKey(c));
}

} // namespace

void storeSector(SectorTable& table, SectorCoord c) {
    const Sector* sector = sectorInMemory(table, c);
    if (sector == nullptr) raiseError(couldntFindMessage(c), errorCode::couldntFind);
    WrittenSector written = writeSector(*sector, storeKey(c));
    cachePut(storeOf(table), objectId(c), written.text);
    keep(table, c, std::move(written), markStored(table, c));
}

void evict(SectorTable& table, SectorCoord c) {
    if (isInMemory(table, c)) storeSector(table, c);
}

Sector* loadSector(SectorTable& table, SectorCoord c) {
    std::optional<std::string> content = cacheGet(storeOf(table), objectId(c));
    if (!content) return nullptr;
    std::unique_ptr<Sector> sector = sectorFromText(table, c, *content);
    // A creature is listed by the sector it stands in; one listed anywhere
    // else could not be seen or struck, and would still strike.
    for (const auto& creature : sector->creatures)
        if (creature->position.sector != c)
            raiseError("Invalid value to unmarshall", errorCode::invalidUnmarshall);
    return &putSector(table, c, std::move(sector));
}

void evictFarSectors(SectorTable& table, SectorCoord c) {
    auto far = [](int32_t a, int32_t b) { return wrapAbs(wrapSub(a, b)) > 1; };
    // Evicting changes the table, so the coordinates are taken first.
    for (SectorCoord other : heldCoords(table))
        if (far(other.sx, c.sx) || far(other.sy, c.sy) || far(other.sz, c.sz)) evict(table, other);
}

void makeCurrent(SectorTable& table, SectorCoord c) {
    evictFarSectors(table, c);
    const int32_t west = wrapSub(c.sx, 1);
    const int32_t east = wrapAdd(c.sx, 1);
    const int32_t north = wrapSub(c.sy, 1);
    const int32_t south = wrapAdd(c.sy, 1);
    const SectorCoord neighbours[] = {
        {west, c.sy, c.sz},  {east, c.sy, c.sz},  {c.sx, north, c.sz}, {c.sx, south, c.sz},
        {west, north, c.sz}, {west, south, c.sz}, {east, north, c.sz}, {east, south, c.sz},
    };
    for (SectorCoord neighbour : neighbours)
        ensureSector(table, neighbour, Generator::MazeChooser);
}

} // namespace dunvale
