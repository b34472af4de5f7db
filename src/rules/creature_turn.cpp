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

// Which squares hold a creature, for the 27 sectors around the player during
// one pass of creature turns: a count per square of the sector's list, built
// from the list the first time the pass asks about that sector and kept up to
// date as creatures move, so that a candidate square costs one look-up, not
// a walk along the list.
class Occupancy {
  public:
    explicit Occupancy(SectorCoord centre) : centre(centre) {}

    // The counts of the sector at c (held in memory as `sector`), indexed
    // x * 10 + y; null for a sector beyond the 27.
    const uint16_t* countsOf(const Sector& sector, SectorCoord c) {
        Block* block = blockOf(c);
        if (block == nullptr) return nullptr;
        if (block->sector != &sector) build(*block, sector);
        return block->counts.data();
    }
    // A creature of the sector at c's list went from one square to another,
    // left the list (to null) or joined it (from null).
    void leave(SectorCoord c, Position from) { adjust(c, from, -1); }
    void join(SectorCoord c, Position to) { adjust(c, to, 1); }
    // The list of the sector at c changed some other way: read it again.
    void forget(SectorCoord c) {
        if (Block* block = blockOf(c)) block->sector = nullptr;
    }

  private:
    struct Block {
        const Sector* sector = nullptr; // null: not built
        std::array<uint16_t, sectorSize * sectorSize> counts;
    };
    SectorCoord centre;
    std::array<Block, 27> blocks;

    static int32_t offset(int32_t a, int32_t b) { return wrapSub(a, b); }
    Block* blockOf(SectorCoord c) {
        const int32_t dx = offset(c.sx, centre.sx);
        const int32_t dy = offset(c.sy, centre.sy);
        const int32_t dz = offset(c.sz, centre.sz);
        if (dx < -1 || dx > 1 || dy < -1 || dy > 1 || dz < -1 || dz > 1) return nullptr;
        return &blocks[static_cast<size_t>((dx + 1) * 9 + (dy + 1) * 3 + dz + 1)];
    }
    static void build(Block& block, const Sector& sector) {
        block.sector = &sector;
        block.counts.fill(0);
        for (const auto& creature : sector.creatures)
            ++block.counts[static_cast<size_t>(creature->position.x * sectorSize +
                                               creature->position.y)];
    }
    // Only a block already built follows a change: one built later reads
    // the list as it then stands.
    void adjust(SectorCoord c, Position p, int delta) {
        Block* block = blockOf(c);
        if (block == nullptr || block->sector == nullptr) return;
        uint16_t& count = block->counts[static_cast<size_t>(p.x * sectorSize + p.y)];
        count = static_cast<uint16_t>(count + delta);
    }
};

// One pass of creature turns: the player, the level and who stands where.
struct CreaturePass {
    Player& player;
    LevelRecord& level;
    Occupancy occupancy;
};

// Moves the creature between sector lists when it crosses an edge; a
// creature that is not in its old list stays out of both.
void relocate(CreaturePass& pass, Creature& creature, Position from, Position to) {
    SectorTable& table = pass.level.sectors;
    if (to.sector == from.sector) {
        // A creature always stands in the list of its own sector.
        pass.occupancy.leave(from.sector, from);
        pass.occupancy.join(to.sector, to);
        return;
    }
    Sector* oldSector = findSector(table, from.sector);
    Sector* newSector = findSector(table, to.sector);
    if (oldSector == nullptr || newSector == nullptr) return;
    auto& list = oldSector->creatures;
    auto found = std::find_if(list.begin(), list.end(),
                              [&](const auto& other) { return other->id == creature.id; });
    if (found == list.end()) return;
    std::shared_ptr<Creature> moving = std::move(*found);
    list.erase(found);
    newSector->creatures.push_back(std::move(moving));
    pass.occupancy.leave(from.sector, from);
    pass.occupancy.join(to.sector, to);
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

// The same square on the level an opening leads to, judged by its ground
// whatever its own elevation: one link is followed and no more, as the map
// window looks through an opening. The game never puts an opening over an
// opening; a doctored pair of sector files that did would otherwise send the
// test up and down for ever.
[[gnu::noinline]] bool mayEnterThroughOpening(SectorTable& table, const Position& t,
                                              int32_t elevation, bool flying) {
    const Position there = movePosition(t, 0, 0, elevation / 3);
    const Sector* sector = sectorInMemory(table, there.sector);
    return sector != nullptr &&
           groundAllows(sector->cells[there.x][there.y].terrain, flying, false) &&
           !creatureOnSquare(*sector, there);
}

// creatureMayEnter for the Cell of a square t already found, `occupied`
// telling whether a creature of its own sector stands there. Through an
// opening to another level only the ground there counts, and the dead walk
// no better than the living on it. The opening's case, which looks at
// another sector, is kept out of line so that the common case inlines.
[[gnu::always_inline]] inline bool mayEnterCell(SectorTable& table, const Cell& cell,
                                                const Position& t, bool occupied, bool flying,
                                                bool undead) {
    if (cell.elevation == 3 || cell.elevation == -3) [[unlikely]]
        return mayEnterThroughOpening(table, t, cell.elevation, flying);
    return groundAllows(cell.terrain, flying, undead) && !occupied;
}

// What a move tests every candidate square against, worked out once a move.
struct MoveTest {
    MoveFlags flags;
    bool wraith = false;
    bool followTrail = false;
    int32_t startSeen = 0;
    Position player;
    // groundAllows by terrain ordinal, for this creature.
    std::array<bool, 6> ground{};
};

MoveTest moveTestOf(CreaturePass& pass, const Creature& creature, bool trail) {
    MoveTest test;
    test.flags = moveFlagsOf(creature.kind);
    test.wraith = creature.kind == CreatureKind::Wraith;
    test.player = pass.player.position;
    test.followTrail = trail && creature.position.sector.sz == test.player.sector.sz;
    if (trail) test.startSeen = cellAt(pass.level.sectors, creature.position).lastSeen;
    for (size_t terrain = 0; terrain < test.ground.size(); ++terrain)
        test.ground[terrain] =
            groundAllows(static_cast<Terrain>(terrain), test.flags.flying, test.flags.undead);
    return test;
}

// Whether the creature may step onto the square (x, y) of the sector at c,
// whose Cell is `cell`; `occupied` says whether a creature of that sector's
// list stands there, `isPlayer` whether the player does.
[[gnu::always_inline]] inline bool candidateFits(SectorTable& table, const MoveTest& test,
                                                 const Cell& cell, SectorCoord c, int32_t x,
                                                 int32_t y, bool occupied, bool isPlayer) {
    const int32_t elevation = cell.elevation;
    if (test.wraith) {
        // Only level ground is offered, so the openings a wraith may pass
        // (elevation 3 or -3) never count here.
        return wrapAbs(elevation) <= 1 && !occupied && !isPlayer;
    }
    if (elevation == 3 || elevation == -3) [[unlikely]] {
        if (!mayEnterThroughOpening(table, Position{c, x, y}, elevation, test.flags.flying))
            return false;
    } else {
        const auto terrain = static_cast<uint32_t>(cell.terrain);
        const bool ground = terrain < test.ground.size()
                                ? test.ground[terrain]
                                : groundAllows(cell.terrain, test.flags.flying, test.flags.undead);
        if (!ground || occupied) return false;
    }
    // The trail keeps a creature on squares seen at least as recently as its
    // own.
    if (test.followTrail) return test.startSeen <= cell.lastSeen;
    return !isPlayer;
}

// Flyers below the player may rise through a hole above them.
bool mayRise(SectorTable& table, const MoveTest& test, const Position& from) {
    if (!test.flags.flying || from.sector.sz >= test.player.sector.sz) return false;
    const Position t = movePosition(from, 0, 0, 1);
    const Cell* above = findCell(table, t);
    return above != nullptr && above->elevation == -3 && t != test.player;
}

// A square a move may pick, as steps from the creature's square.
struct Step {
    int8_t dx = 0;
    int8_t dy = 0;
    int8_t dz = 0;
};

// At most the eight squares around and the one above, in the order of the
// pick.
struct Candidates {
    std::array<Step, 9> steps;
    int32_t count = 0;
    void add(int32_t dx, int32_t dy, int32_t dz) {
        steps[static_cast<size_t>(count++)] =
            Step{static_cast<int8_t>(dx), static_cast<int8_t>(dy), static_cast<int8_t>(dz)};
    }
};

// Away from its sector's edges all eight squares around a creature lie in
// its own sector: one look-up serves them all, and a square is an index.
void inlandCandidates(CreaturePass& pass, const MoveTest& test, const Sector& home,
                      const Position& from, Range xs, Range ys, Candidates& out) {
    SectorTable& table = pass.level.sectors;
    const uint16_t* counts = pass.occupancy.countsOf(home, from.sector);
    const bool playerHere = test.player.sector == from.sector;
    for (int32_t dx = xs.lo; dx <= xs.hi; ++dx) {
        const int32_t x = from.x + dx;
        for (int32_t dy = ys.lo; dy <= ys.hi; ++dy) {
            if (dx == 0 && dy == 0) {
                if (mayRise(table, test, from)) out.add(0, 0, 1);
                continue;
            }
            const int32_t y = from.y + dy;
            const bool occupied = counts != nullptr ? counts[x * sectorSize + y] != 0
                                                    : creatureOnSquare(home, Position{{}, x, y});
            const bool isPlayer = playerHere && test.player.x == x && test.player.y == y;
            if (candidateFits(table, test, home.cells[x][y], from.sector, x, y, occupied, isPlayer))
                out.add(dx, dy, 0);
        }
    }
}

// On an edge the squares around may lie in up to four sectors, each of them
// only if it is held in memory.
void edgeCandidates(CreaturePass& pass, const MoveTest& test, const Position& from, Range xs,
                    Range ys, Candidates& out) {
    SectorTable& table = pass.level.sectors;
    for (int32_t dx = xs.lo; dx <= xs.hi; ++dx) {
        for (int32_t dy = ys.lo; dy <= ys.hi; ++dy) {
            if (dx == 0 && dy == 0) {
                if (mayRise(table, test, from)) out.add(0, 0, 1);
                continue;
            }
            const Position t = movePosition(from, dx, dy, 0);
            const Sector* sector = sectorInMemory(table, t.sector);
            if (sector == nullptr) continue;
            const uint16_t* counts = pass.occupancy.countsOf(*sector, t.sector);
            const bool occupied = counts != nullptr ? counts[t.x * sectorSize + t.y] != 0
                                                    : creatureOnSquare(*sector, t);
            if (candidateFits(table, test, sector->cells[t.x][t.y], t.sector, t.x, t.y, occupied,
                              t == test.player))
                out.add(dx, dy, 0);
        }
    }
}

void moveCreature(CreaturePass& pass, Creature& creature, Range xs, Range ys, bool trail) {
    SectorTable& table = pass.level.sectors;
    const Position from = creature.position;
    const MoveTest test = moveTestOf(pass, creature, trail);
    const bool inland =
        from.x > 0 && from.x < sectorSize - 1 && from.y > 0 && from.y < sectorSize - 1;
    const Sector* home = inland ? sectorInMemory(table, from.sector) : nullptr;
    Candidates candidates;
    if (home != nullptr)
        inlandCandidates(pass, test, *home, from, xs, ys, candidates);
    else
        edgeCandidates(pass, test, from, xs, ys, candidates);
    if (candidates.count == 0) return;
    int32_t pick = randomBelow(candidates.count);
    const Step step = candidates.steps[static_cast<size_t>(pick)];
    const Position to = movePosition(from, step.dx, step.dy, step.dz);
    relocate(pass, creature, from, to);
    creature.position = to;
}

void applyRule(CreaturePass& pass, Creature& creature, MoveRule rule) {
    const Position p = pass.player.position;
    const Position c = creature.position;
    switch (rule) {
    case MoveRule::PlainWander: moveCreature(pass, creature, {-1, 1}, {-1, 1}, false); return;
    case MoveRule::TrailWander: moveCreature(pass, creature, {-1, 1}, {-1, 1}, true); return;
    case MoveRule::Chase:
        moveCreature(pass, creature, chaseRange(globalX(p), globalX(c)),
                     chaseRange(globalY(p), globalY(c)), true);
        return;
    case MoveRule::DirectChase:
        moveCreature(pass, creature, directRange(globalX(p), globalX(c)),
                     directRange(globalY(p), globalY(c)), false);
        return;
    case MoveRule::VampireChase: {
        moveCreature(pass, creature, chaseRange(globalX(p), globalX(c)),
                     chaseRange(globalY(p), globalY(c)), true);
        int32_t roll = randomIn(1, 5);
        if (roll == 2) {
            postMessage(0, "The vampire's eyes glow blue.");
            summonWraith(creature.position.sector, pass.level.sectors);
            pass.occupancy.forget(creature.position.sector);
        }
        return;
    }
    }
    raiseMissingCase();
}

// One action: a creature on the player's square shuffles off it, one next to
// the player (or on a staircase step just below or above it) attacks, the
// rest move by whether the player sees them.
void creatureStep(CreaturePass& pass, Creature& creature, MoveRule inView, MoveRule outOfView) {
    Player& player = pass.player;
    if (creature.position == player.position) {
        applyRule(pass, creature, MoveRule::PlainWander);
        return;
    }
    if (adjacent(creature.position, player.position)) {
        creatureAttacks(creature, player);
        return;
    }
    const Cell& here = cellAt(pass.level.sectors, creature.position);
    const int32_t elevation = here.elevation;
    const int32_t lastSeen = here.lastSeen;
    if ((elevation == 2 && adjacent(movePosition(creature.position, 0, 0, 1), player.position)) ||
        (elevation == -2 && adjacent(movePosition(creature.position, 0, 0, -1), player.position))) {
        creatureAttacks(creature, player);
        return;
    }
    applyRule(pass, creature, lastSeen == pass.level.turn ? inView : outOfView);
}

void creatureAct(CreaturePass& pass, Creature& creature) {
    const int32_t turn = pass.level.turn;
    if (creature.lastActed == turn) return; // already acted, maybe next door
    creature.lastActed = turn;
    switch (creature.kind) {
    case CreatureKind::Bat: {
        creatureStep(pass, creature, MoveRule::Chase, MoveRule::PlainWander);
        int32_t again = randomBelow(2);
        if (again == 1) creatureStep(pass, creature, MoveRule::Chase, MoveRule::PlainWander);
        return;
    }
    case CreatureKind::GiantRat:
        creatureStep(pass, creature, MoveRule::Chase, MoveRule::TrailWander);
        return;
    case CreatureKind::GiantSpider:
    case CreatureKind::Skeleton:
        creatureStep(pass, creature, MoveRule::Chase, MoveRule::PlainWander);
        return;
    case CreatureKind::Wraith: {
        int32_t roll = randomIn(1, 8);
        if (roll != 1) creatureStep(pass, creature, MoveRule::DirectChase, MoveRule::DirectChase);
        return;
    }
    case CreatureKind::Mummy: {
        int32_t roll = randomIn(1, 4);
        if (roll != 1) creatureStep(pass, creature, MoveRule::Chase, MoveRule::PlainWander);
        return;
    }
    case CreatureKind::Vampire:
        creatureStep(pass, creature, MoveRule::VampireChase, MoveRule::TrailWander);
        return;
    }
    raiseMissingCase();
}

} // namespace

void creatureTurns(Player& player, LevelRecord& level) {
    const SectorCoord p = player.position.sector;
    CreaturePass pass{player, level, Occupancy(p)};
    std::vector<Creature*> snapshot;
    for (int32_t dx = -1; dx <= 1; ++dx) {
        for (int32_t dy = -1; dy <= 1; ++dy) {
            for (int32_t dz = -1; dz <= 1; ++dz) {
                SectorCoord c{wrapAdd(p.sx, dx), wrapAdd(p.sy, dy), wrapAdd(p.sz, dz)};
                Sector* sector = findSector(level.sectors, c);
                if (sector == nullptr) continue;
                // A snapshot: creatures walking in or out during the pass
                // do not change who acts from this sector. Nobody dies
                // during the pass, so the list's own pointers keep every
                // creature alive.
                snapshot.clear();
                for (const auto& creature : sector->creatures)
                    snapshot.push_back(creature.get());
                for (Creature* creature : snapshot)
                    creatureAct(pass, *creature);
            }
        }
    }
}

bool creatureMayEnter(SectorTable& table, Position t, bool flying, bool undead) {
    const Sector* sector = sectorInMemory(table, t.sector);
    if (sector == nullptr) return false;
    return mayEnterCell(table, sector->cells[t.x][t.y], t, creatureOnSquare(*sector, t), flying,
                        undead);
}

} // namespace dunvale
