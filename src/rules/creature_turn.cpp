// The creatures' turns: who acts, how each kind moves, and what ground it may
// cross. A creature knows nothing of the player beyond what the map tells it:
// whether its own square is seen this turn and how recently its neighbours
// were seen.
#include "rules/creature_turn.h"

#include "rules/combat.h"
#include "rules/spawn.h"
#include "support/errors.h"
#include "support/random.h"
#include "support/wrap.h"
#include "world/messages.h"

#include <algorithm>
#include <array>
#include <memory>
#include <vector>

namespace dunvale {

namespace {

struct MoveFlags {
    bool flying = false;
    bool undead = false;
};

MoveFlags moveFlagsOf(CreatureKind kind) {
    switch (kind) {
    case CreatureKind::Bat: return {true, false};
    case CreatureKind::GiantRat: return {false, false};
    case CreatureKind::GiantSpider: return {false, false};
    case CreatureKind::Skeleton: return {false, true};
    case CreatureKind::Wraith: return {true, true};
    case CreatureKind::Mummy: return {false, true};
    case CreatureKind::Vampire: return {true, true};
    }
    raiseMissingCase();
}

// How a step picks its square. The vampire's chase is a chase followed by
// its summoning roll.
enum class MoveRule { PlainWander, TrailWander, Chase, DirectChase, VampireChase };

struct Range {
    int32_t lo = 0;
    int32_t hi = 0;
};

int32_t globalX(Position p) {
    return wrapAdd(wrapMul(p.sector.sx, sectorSize), p.x);
}
int32_t globalY(Position p) {
    return wrapAdd(wrapMul(p.sector.sy, sectorSize), p.y);
}

bool adjacent(Position a, Position b) {
    return wrapAbs(wrapSub(globalX(a), globalX(b))) <= 1 &&
           wrapAbs(wrapSub(globalY(a), globalY(b))) <= 1 && a.sector.sz == b.sector.sz;
}

// A chase may keep still on an axis but never step away from the player.
Range chaseRange(int32_t player, int32_t creature) {
    if (player < creature) return {-1, 0};
    if (player > creature) return {0, 1};
    return {-1, 1};
}

// A direct chase always closes in on an axis where it can.
Range directRange(int32_t player, int32_t creature) {
    if (player < creature) return {-1, -1};
    if (player > creature) return {1, 1};
    return {-1, 1};
}

// Moves the creature between sector lists when it crosses an edge; a
// creature that is not in its old list stays out of both.
void relocate(SectorTable& table, Creature& creature, Position from, Position to) {
    if (to.sector == from.sector) return;
    Sector* oldSector = findSector(table, from.sector);
    Sector* newSector = findSector(table, to.sector);
    if (oldSector == nullptr || newSector == nullptr) return;
    auto& list = oldSector->creatures;
    auto found = std::find_if(list.begin(), list.end(),
                              [&](const auto& other) { return other->id == creature.id; });
    if (found == list.end()) return;
    std::shared_ptr<Creature> moving = *found;
    list.erase(found);
    newSector->creatures.push_back(moving);
}

bool creatureOnSquare(const Sector& sector, Position t) {
    return std::any_of(sector.creatures.begin(), sector.creatures.end(), [&](const auto& other) {
        return other->position.x == t.x && other->position.y == t.y;
    });
}

// Whether the ground of a square (not an opening) lets the creature stand.
bool groundAllows(Terrain terrain, bool flying, bool undead) {
    switch (terrain) {
    case Terrain::Wall: return false;
    case Terrain::Floor: return true;
    case Terrain::Trapdoor:
    case Terrain::TeleportTrap:
    case Terrain::SmokeTrap: return flying;
    case Terrain::GasTrap: return flying || undead;
    }
    raiseMissingCase();
}

// Whether the ground of the square t lets the creature stand there.
[[gnu::always_inline]] inline bool groundLets(const Sector& sector, const Position& t, bool flying,
                                              bool undead) {
    return groundAllows(sector.cells[t.x][t.y].terrain, flying, undead) &&
           !creatureOnSquare(sector, t);
}

// The same square on the level an opening leads to, judged by its ground
// whatever its own elevation: one link is followed and no more, as the map
// window looks through an opening. The game never puts an opening over an
// opening; a doctored pair of sector files that did would otherwise send the
// test up and down for ever.
[[gnu::noinline]] bool mayEnterThroughOpening(SectorTable& table, const Position& t,
                                              int32_t elevation, bool flying) {
    const Position there = movePosition(t, 0, 0, elevation / 3);
    const Sector* sector = sectorInMemory(table, there.sector);
    return sector != nullptr && groundLets(*sector, there, flying, false);
}

// creatureMayEnter for a square of a sector already found. Through an
// opening to another level only the ground there counts, and the dead walk
// no better than the living on it. The opening's case, which looks at
// another sector, is kept out of line so that the common case inlines.
[[gnu::always_inline]] inline bool mayEnterSquare(SectorTable& table, const Sector& sector,
                                                  const Position& t, bool flying, bool undead) {
    const int32_t elevation = sector.cells[t.x][t.y].elevation;
    if (elevation == 3 || elevation == -3) [[unlikely]]
        return mayEnterThroughOpening(table, t, elevation, flying);
    return groundLets(sector, t, flying, undead);
}

void moveCreature(LevelRecord& level, Creature& creature, Range xs, Range ys, bool trail,
                  Position player) {
    SectorTable& table = level.sectors;
    const Position from = creature.position;
    const MoveFlags flags = moveFlagsOf(creature.kind);
    const bool wraith = creature.kind == CreatureKind::Wraith;
    const bool followTrail = trail && from.sector.sz == player.sector.sz;
    int32_t startSeen = 0;
    if (trail) startSeen = cellAt(table, from).lastSeen;

    // Away from its sector's edges, all eight squares around a creature lie
    // in its own sector: one look-up then serves them all.
    const bool inland =
        from.x > 0 && from.x < sectorSize - 1 && from.y > 0 && from.y < sectorSize - 1;
    const Sector* home = inland ? sectorInMemory(table, from.sector) : nullptr;

    // At most the eight squares around and the one above.
    Position candidates[9];
    int32_t count = 0;
    for (int32_t dx = xs.lo; dx <= xs.hi; ++dx) {
        for (int32_t dy = ys.lo; dy <= ys.hi; ++dy) {
            if (dx == 0 && dy == 0) {
                // Flyers below the player may rise through a hole above them.
                if (!flags.flying || from.sector.sz >= player.sector.sz) continue;
                Position t = movePosition(from, 0, 0, 1);
                Cell* above = findCell(table, t);
                if (above != nullptr && above->elevation == -3 && t != player)
                    candidates[count++] = t;
                continue;
            }
            Position t = from;
            const Sector* sector = home;
            if (home != nullptr) {
                t.x += dx;
                t.y += dy;
            } else {
                t = movePosition(from, dx, dy, 0);
                sector = sectorInMemory(table, t.sector);
            }
            if (sector == nullptr) continue;
            const Cell& cell = sector->cells[t.x][t.y];
            if (wraith) {
                // Only level ground is offered, so the openings a wraith
                // may pass (elevation 3 or -3) never count here.
                if (wrapAbs(cell.elevation) <= 1 && !creatureOnSquare(*sector, t) && t != player)
                    candidates[count++] = t;
                continue;
            }
            if (!mayEnterSquare(table, *sector, t, flags.flying, flags.undead)) continue;
            if (followTrail) {
                // The trail keeps a creature on squares seen at least as
                // recently as its own.
                if (startSeen <= cell.lastSeen) candidates[count++] = t;
            } else if (t != player) {
                candidates[count++] = t;
            }
        }
    }
    if (count == 0) return;
    int32_t pick = randomBelow(count);
    Position to = candidates[pick];
    relocate(table, creature, from, to);
    creature.position = to;
}

void applyRule(LevelRecord& level, Creature& creature, const Player& player, MoveRule rule) {
    const Position p = player.position;
    const Position c = creature.position;
    switch (rule) {
    case MoveRule::PlainWander: moveCreature(level, creature, {-1, 1}, {-1, 1}, false, p); return;
    case MoveRule::TrailWander: moveCreature(level, creature, {-1, 1}, {-1, 1}, true, p); return;
    case MoveRule::Chase:
        moveCreature(level, creature, chaseRange(globalX(p), globalX(c)),
                     chaseRange(globalY(p), globalY(c)), true, p);
        return;
    case MoveRule::DirectChase:
        moveCreature(level, creature, directRange(globalX(p), globalX(c)),
                     directRange(globalY(p), globalY(c)), false, p);
        return;
    case MoveRule::VampireChase: {
        moveCreature(level, creature, chaseRange(globalX(p), globalX(c)),
                     chaseRange(globalY(p), globalY(c)), true, p);
        int32_t roll = randomIn(1, 5);
        if (roll == 2) {
            postMessage(0, "The vampire's eyes glow blue.");
            summonWraith(creature.position.sector, level.sectors);
        }
        return;
    }
    }
    raiseMissingCase();
}

// One action: a creature on the player's square shuffles off it, one next to
// the player (or on a staircase step just below or above it) attacks, the
// rest move by whether the player sees them.
void creatureStep(Creature& creature, LevelRecord& level, Player& player, MoveRule inView,
                  MoveRule outOfView) {
    SectorTable& table = level.sectors;
    if (creature.position == player.position) {
        applyRule(level, creature, player, MoveRule::PlainWander);
        return;
    }
    if (adjacent(creature.position, player.position)) {
        creatureAttacks(creature, player);
        return;
    }
    const Cell& here = cellAt(table, creature.position);
    const int32_t elevation = here.elevation;
    const int32_t lastSeen = here.lastSeen;
    if ((elevation == 2 && adjacent(movePosition(creature.position, 0, 0, 1), player.position)) ||
        (elevation == -2 && adjacent(movePosition(creature.position, 0, 0, -1), player.position))) {
        creatureAttacks(creature, player);
        return;
    }
    applyRule(level, creature, player, lastSeen == level.turn ? inView : outOfView);
}

void creatureAct(Player& player, LevelRecord& level, Creature& creature) {
    if (creature.lastActed == level.turn) return; // already acted, maybe next door
    creature.lastActed = level.turn;
    switch (creature.kind) {
    case CreatureKind::Bat: {
        creatureStep(creature, level, player, MoveRule::Chase, MoveRule::PlainWander);
        int32_t again = randomBelow(2);
        if (again == 1)
            creatureStep(creature, level, player, MoveRule::Chase, MoveRule::PlainWander);
        return;
    }
    case CreatureKind::GiantRat:
        creatureStep(creature, level, player, MoveRule::Chase, MoveRule::TrailWander);
        return;
    case CreatureKind::GiantSpider:
    case CreatureKind::Skeleton:
        creatureStep(creature, level, player, MoveRule::Chase, MoveRule::PlainWander);
        return;
    case CreatureKind::Wraith: {
        int32_t roll = randomIn(1, 8);
        if (roll != 1)
            creatureStep(creature, level, player, MoveRule::DirectChase, MoveRule::DirectChase);
        return;
    }
    case CreatureKind::Mummy: {
        int32_t roll = randomIn(1, 4);
        if (roll != 1)
            creatureStep(creature, level, player, MoveRule::Chase, MoveRule::PlainWander);
        return;
    }
    case CreatureKind::Vampire:
        creatureStep(creature, level, player, MoveRule::VampireChase, MoveRule::TrailWander);
        return;
    }
    raiseMissingCase();
}

} // namespace

void creatureTurns(Player& player, LevelRecord& level) {
    const SectorCoord p = player.position.sector;
    for (int32_t dx = -1; dx <= 1; ++dx) {
        for (int32_t dy = -1; dy <= 1; ++dy) {
            for (int32_t dz = -1; dz <= 1; ++dz) {
                SectorCoord c{wrapAdd(p.sx, dx), wrapAdd(p.sy, dy), wrapAdd(p.sz, dz)};
                Sector* sector = findSector(level.sectors, c);
                if (sector == nullptr) continue;
                // A snapshot: creatures walking in or out during the pass
                // do not change who acts from this sector.
                std::vector<std::shared_ptr<Creature>> snapshot = sector->creatures;
                for (const auto& creature : snapshot)
                    creatureAct(player, level, *creature);
            }
        }
    }
}

bool creatureMayEnter(SectorTable& table, Position t, bool flying, bool undead) {
    const Sector* sector = sectorInMemory(table, t.sector);
    return sector != nullptr && mayEnterSquare(table, *sector, t, flying, undead);
}

} // namespace dunvale
