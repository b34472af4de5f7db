#pragma once
// The 27 sectors around the player while the creatures take their turns.
// Each is looked up once it is held in memory, and the creatures of its list
// are counted square by square the first time a square of it is asked about;
// the counts then follow every move, so that whether a creature stands on a
// square is one look-up, not a walk along the list.
#include "support/wrap.h"
#include "world/sector_table.h"

#include <array>
#include <cstdint>

namespace dunvale {

struct NearbySector {
    Sector* sector = nullptr; // null: not looked up yet
    // How many creatures of the sector's list stand on each square, x * 10 + y.
    std::array<uint16_t, sectorSize * sectorSize> counts;
};

// A square next to a creature's: its Cell (none when its sector is not held
// in memory), and whether a creature of its sector's list stands there.
struct SquareAround {
    const Cell* cell = nullptr;
    bool occupied = false;
};

// Whether a creature of the sector's list stands on t's square.
bool creatureOnSquare(const Sector& sector, Position t);

// Where a sector lies from the player's; one of the 27 when it is -1, 0 or 1
// on each axis.
struct SectorStep {
    int32_t x = 0;
    int32_t y = 0;
    int32_t z = 0;
    bool near() const { return nearAxis(x) && nearAxis(y) && nearAxis(z); }
    // -1 <= step <= 1, in one comparison.
    static bool nearAxis(int32_t step) { return static_cast<uint32_t>(step) + 1u <= 2u; }
};

class Neighbourhood {
  public:
    Neighbourhood(SectorTable& table, SectorCoord centre) : table(table), centre(centre) {}

    SectorStep stepTo(SectorCoord c) const {
        return SectorStep{wrapSub(c.sx, centre.sx), wrapSub(c.sy, centre.sy),
                          wrapSub(c.sz, centre.sz)};
    }
    // The sector `step` away from the player's, looked up and counted; null
    // when it lies beyond the 27 or is not held in memory. Inline: a creature
    // asks this for every square it might step on.
    NearbySector* at(SectorStep step) {
        if (step.x == lastStep.x && step.y == lastStep.y && step.z == lastStep.z) return last;
        if (!step.near()) return nullptr;
        NearbySector& nearby = sectors[indexOf(step)];
        if (nearby.sector == nullptr && lookUp(nearby, step) == nullptr) return nullptr;
        lastStep = step;
        last = &nearby;
        return &nearby;
    }
    // The same for the sector at c.
    NearbySector* find(SectorCoord c) { return at(stepTo(c)); }
    // The square (dx, dy) from `from`, each -1, 0 or 1, where `from` lies in
    // the sector `home` away from the player's. Inline: creatures ask it for
    // the squares across their sector's edges.
    SquareAround around(const Position& from, SectorStep home, int32_t dx, int32_t dy) {
        const int32_t movedX = from.x + dx;
        const int32_t movedY = from.y + dy;
        const int32_t stepX = movedX < 0 ? -1 : (movedX >= sectorSize ? 1 : 0);
        const int32_t stepY = movedY < 0 ? -1 : (movedY >= sectorSize ? 1 : 0);
        const int32_t x = movedX - stepX * sectorSize;
        const int32_t y = movedY - stepY * sectorSize;
        const SectorStep step{home.x + stepX, home.y + stepY, home.z};
        if (const NearbySector* nearby = at(step))
            return {&nearby->sector->cells[x][y],
                    nearby->counts[static_cast<size_t>(x * sectorSize + y)] != 0};
        if (step.near()) return {};
        return farAway(movePosition(from, dx, dy, 0));
    }

    // A creature of the list of the sector at c left the square p, or came
    // onto it.
    void leave(SectorCoord c, Position p) { adjust(c, p, -1); }
    void join(SectorCoord c, Position p) { adjust(c, p, 1); }
    // The list of the sector at c changed some other way: read it again.
    void forget(SectorCoord c);
    // The sector at c may have been loaded from the store just now.
    void mayHaveLoaded(SectorCoord c) {
        if (farKnown && farCoord == c) farKnown = false;
    }

  private:
    SectorTable& table;
    SectorCoord centre;
    // Only the sector pointers start out set: counts are filled when a sector
    // is first looked up.
    std::array<NearbySector, 27> sectors;
    // The sector at() found last: the creatures of one sector act one after
    // another and look across the same edges. None before the first.
    static constexpr SectorStep noStep{2, 2, 2};
    SectorStep lastStep = noStep;
    NearbySector* last = nullptr;

    static size_t indexOf(SectorStep step) {
        return static_cast<size_t>((step.x + 1) * 9 + (step.y + 1) * 3 + step.z + 1);
    }
    NearbySector* lookUp(NearbySector& nearby, SectorStep step);
    // A square beyond the sectors around the player: looked up, and its
    // sector's list searched.
    SquareAround farAway(const Position& t);
    // The sector farAway looked up last: the squares across an edge mostly
    // lie in one sector. Whatever may load a sector during the pass says so
    // through mayHaveLoaded.
    SectorCoord farCoord;
    Sector* farSector = nullptr;
    bool farKnown = false;
    void adjust(SectorCoord c, Position p, int delta);
};

} // namespace dunvale
