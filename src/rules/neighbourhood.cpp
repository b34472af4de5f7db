#include "rules/neighbourhood.h"

#include "support/wrap.h"

#include <algorithm>

namespace dunvale {

namespace {

void count(NearbySector& nearby) {
    nearby.counts = {};
    for (const auto& creature : nearby.sector->creatures)
        ++nearby.counts[static_cast<size_t>(creature->position.x * sectorSize +
                                            creature->position.y)];
}

} // namespace

bool creatureOnSquare(const Sector& sector, Position t) {
    return std::any_of(sector.creatures.begin(), sector.creatures.end(), [&](const auto& other) {
        return other->position.x == t.x && other->position.y == t.y;
    });
}

// A sector not held in memory is asked for again next time: the pass may
// load it meanwhile.
NearbySector* Neighbourhood::lookUp(NearbySector& nearby, SectorStep step) {
    const SectorCoord c{wrapAdd(centre.sx, step.x), wrapAdd(centre.sy, step.y),
                        wrapAdd(centre.sz, step.z)};
    nearby.sector = sectorInMemory(table, c);
    if (nearby.sector == nullptr) return nullptr;
    count(nearby);
    return &nearby;
}

SquareAround Neighbourhood::farAway(const Position& t) {
    if (!farKnown || farCoord != t.sector) {
        farCoord = t.sector;
        farSector = sectorInMemory(table, t.sector);
        farKnown = true;
    }
    const Sector* sector = farSector;
    if (sector == nullptr) return {};
    return {&sector->cells[t.x][t.y], creatureOnSquare(*sector, t)};
}

void Neighbourhood::forget(SectorCoord c) {
    const SectorStep step = stepTo(c);
    if (!step.near()) return;
    NearbySector& nearby = sectors[indexOf(step)];
    nearby.sector = nullptr;
    if (last == &nearby) {
        last = nullptr;
        lastStep = noStep;
    }
}

// Only a sector already counted follows a change: one counted later reads
// its list as it then stands.
void Neighbourhood::adjust(SectorCoord c, Position p, int delta) {
    const SectorStep step = stepTo(c);
    if (!step.near()) return;
    NearbySector& nearby = sectors[indexOf(step)];
    if (nearby.sector == nullptr) return;
    uint16_t& squareCount = nearby.counts[static_cast<size_t>(p.x * sectorSize + p.y)];
    squareCount = static_cast<uint16_t>(squareCount + delta);
}

} // namespace dunvale
