// The creatures' turns: who acts, how each kind moves, and what ground it may
// cross. A creature knows nothing of the player beyond what the map tells it:
// whether its own square is seen this turn and how recently its neighbours
// were seen.
#include "rules/creature_turn.h"

#include "rules/combat.h"
#include "rules/neighbourhood.h"
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

// One pass of creature turns: the player, the level and the sectors around.
struct CreaturePass {
    Player& player;
    LevelRecord& level;
    Neighbourhood nearby;
};

// Moves the creature between sector lists when it crosses an edge; a
// creature that is not in its old list stays out of both. `own` is its old
// sector among those around the player, if it is one.
void relocate(CreaturePass& pass, Creature& creature, Position from, Position to,
              NearbySector* own) {
    SectorTable& table = pass.level.sectors;
    if (to.sector == from.sector) {
        // A creature always stands in the list of its own sector.
        if (own != nullptr) {
            --own->counts[static_cast<size_t>(from.x * sectorSize + from.y)];
            ++own->counts[static_cast<size_t>(to.x * sectorSize + to.y)];
        }
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
    pass.nearby.leave(from.sector, from);
    pass.nearby.join(to.sector, to);
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
// no better than the living on it.
bool mayEnterCell(SectorTable& table, const Cell& cell, const Position& t, bool occupied,
                  bool flying, bool undead) {
    if (cell.elevation == 3 || cell.elevation == -3)
        return mayEnterThroughOpening(table, t, cell.elevation, flying);
    return groundAllows(cell.terrain, flying, undead) && !occupied;
}

// What a move needs besides the rules: where the creature and the player
// stand, and the creature's own sector among those around the player.
struct MoveSite {
    Position from;
    SectorStep home;
    NearbySector* own = nullptr;
    bool playerHere = false;
    bool mayRise = false;
};

MoveSite siteOf(CreaturePass& pass, const Position& from) {
    MoveSite site;
    site.from = from;
    site.home = pass.nearby.stepTo(from.sector);
    site.own = pass.nearby.at(site.home);
    site.playerHere = from.sector == pass.player.position.sector;
    return site;
}

// The Cell the creature stands on.
const Cell& cellOf(CreaturePass& pass, const MoveSite& site) {
    const Position& p = site.from;
    if (site.own != nullptr) return site.own->sector->cells[p.x][p.y];
    return cellAt(pass.level.sectors, p);
}

// What a move tests every candidate square against: the rules of the
// creature's kind, and its trail.
struct MoveTest {
    bool flying = false;
    bool undead = false;
    bool wraith = false;
    // groundAllows by terrain ordinal, for this kind.
    std::array<bool, 6> ground{};
    bool followTrail = false;
    int32_t startSeen = 0;
};

constexpr size_t creatureKinds = 7;

// The rules of every kind, worked out once.
const std::array<MoveTest, creatureKinds>& kindRules() {
    static const std::array<MoveTest, creatureKinds> rules = [] {
        std::array<MoveTest, creatureKinds> all;
        for (size_t kind = 0; kind < creatureKinds; ++kind) {
            MoveTest& test = all[kind];
            const MoveFlags flags = moveFlagsOf(static_cast<CreatureKind>(kind));
            test.flying = flags.flying;
            test.undead = flags.undead;
            test.wraith = static_cast<CreatureKind>(kind) == CreatureKind::Wraith;
            for (size_t terrain = 0; terrain < test.ground.size(); ++terrain)
                test.ground[terrain] =
                    groundAllows(static_cast<Terrain>(terrain), flags.flying, flags.undead);
        }
        return all;
    }();
    return rules;
}

MoveTest moveTestOf(CreaturePass& pass, const Creature& creature, const MoveSite& site,
                    bool trail) {
    const auto kind = static_cast<size_t>(creature.kind);
    if (kind >= creatureKinds) raiseMissingCase();
    MoveTest test = kindRules()[kind];
    test.followTrail = trail && creature.position.sector.sz == pass.player.position.sector.sz;
    if (trail) test.startSeen = cellOf(pass, site).lastSeen;
    return test;
}

// A square next to the creature's: its Cell (none when its sector is not
// held in memory), whether a creature of its sector's list stands there, and
// whether the player does.
struct Around {
    const Cell* cell = nullptr;
    bool occupied = false;
    bool isPlayer = false;
};

// A square next to the creature's that lies in another sector: around the
// player that sector is one among those already found; beyond them it is
// looked up and its list searched.
[[gnu::noinline]] Around aroundAcrossEdge(CreaturePass& pass, const Position& from, SectorStep home,
                                          int32_t dx, int32_t dy) {
    const int32_t movedX = from.x + dx;
    const int32_t movedY = from.y + dy;
    const int32_t stepX = movedX < 0 ? -1 : (movedX >= sectorSize ? 1 : 0);
    const int32_t stepY = movedY < 0 ? -1 : (movedY >= sectorSize ? 1 : 0);
    const int32_t x = movedX - stepX * sectorSize;
    const int32_t y = movedY - stepY * sectorSize;
    const SectorStep step{home.x + stepX, home.y + stepY, home.z};
    if (NearbySector* nearby = pass.nearby.at(step)) {
        const Position& player = pass.player.position;
        const bool playerSector = step.x == 0 && step.y == 0 && step.z == 0;
        return {&nearby->sector->cells[x][y],
                nearby->counts[static_cast<size_t>(x * sectorSize + y)] != 0,
                playerSector && player.x == x && player.y == y};
    }
    if (step.near()) return {};
    const Position t = movePosition(from, dx, dy, 0);
    const Sector* sector = sectorInMemory(pass.level.sectors, t.sector);
    if (sector == nullptr) return {};
    return {&sector->cells[t.x][t.y], creatureOnSquare(*sector, t), t == pass.player.position};
}

// Whether the creature may step onto the square (dx, dy) from its own, whose
// Cell is `cell`; `occupied` says whether a creature of that square's
// sector's list stands there, `isPlayer` whether the player does.
[[gnu::always_inline]] inline bool candidateFits(SectorTable& table, const MoveTest& test,
                                                 const Cell& cell, bool occupied, bool isPlayer,
                                                 const Position& from, int32_t dx, int32_t dy) {
    const int32_t elevation = cell.elevation;
    if (test.wraith) {
        // Only level ground is offered, so the openings a wraith may pass
        // (elevation 3 or -3) never count here.
        return wrapAbs(elevation) <= 1 && !occupied && !isPlayer;
    }
    if (elevation == 3 || elevation == -3) [[unlikely]] {
        const Position t = movePosition(from, dx, dy, 0);
        if (!mayEnterThroughOpening(table, t, elevation, test.flying)) return false;
    } else {
        const auto terrain = static_cast<uint32_t>(cell.terrain);
        const bool ground = terrain < test.ground.size()
                                ? test.ground[terrain]
                                : groundAllows(cell.terrain, test.flying, test.undead);
        if (!ground || occupied) return false;
    }
    // The trail keeps a creature on squares seen at least as recently as its
    // own.
    if (test.followTrail) return test.startSeen <= cell.lastSeen;
    return !isPlayer;
}

// Flyers below the player may rise through a hole above them.
bool mayRise(CreaturePass& pass, const Position& from) {
    const Position t = movePosition(from, 0, 0, 1);
    const Cell* above = findCell(pass.level.sectors, t);
    return above != nullptr && above->elevation == -3 && t != pass.player.position;
}

// At most the eight squares around and the one above, in the order of the
// pick: (dx + 1) * 3 + dy + 1 for a square around, `rising` for the one above.
struct Candidates {
    static constexpr uint8_t rising = 9;
    std::array<uint8_t, 10> squares;
    int32_t count = 0;
    void add(int32_t dx, int32_t dy) {
        squares[static_cast<size_t>(count++)] = static_cast<uint8_t>((dx + 1) * 3 + dy + 1);
    }
    void addRising() { squares[static_cast<size_t>(count++)] = rising; }
    Position picked(const Position& from, int32_t pick) const {
        const uint8_t square = squares[static_cast<size_t>(pick)];
        if (square == rising) return movePosition(from, 0, 0, 1);
        return movePosition(from, square / 3 - 1, square % 3 - 1, 0);
    }
};

// The usual case: every square around lies in the creature's own sector, so
// a square is two indices.
void inlandCandidates(CreaturePass& pass, const MoveTest& test, const MoveSite& site, Range xs,
                      Range ys, Candidates& out) {
    SectorTable& table = pass.level.sectors;
    const Position& player = pass.player.position;
    const NearbySector& own = *site.own;
    for (int32_t dx = xs.lo; dx <= xs.hi; ++dx) {
        const int32_t x = site.from.x + dx;
        const auto& cells = own.sector->cells[static_cast<size_t>(x)];
        const uint16_t* counts = &own.counts[static_cast<size_t>(x * sectorSize)];
        const bool playerColumn = site.playerHere && player.x == x;
        for (int32_t dy = ys.lo; dy <= ys.hi; ++dy) {
            if (dx == 0 && dy == 0) {
                if (site.mayRise && mayRise(pass, site.from)) out.addRising();
                continue;
            }
            const int32_t y = site.from.y + dy;
            if (candidateFits(table, test, cells[static_cast<size_t>(y)], counts[y] != 0,
                              playerColumn && player.y == y, site.from, dx, dy))
                out.add(dx, dy);
        }
    }
}

// Near an edge some squares lie in other sectors.
void edgeCandidates(CreaturePass& pass, const MoveTest& test, const MoveSite& site, Range xs,
                    Range ys, Candidates& out) {
    SectorTable& table = pass.level.sectors;
    const Position& player = pass.player.position;
    const NearbySector* own = site.own;
    for (int32_t dx = xs.lo; dx <= xs.hi; ++dx) {
        const int32_t x = site.from.x + dx;
        for (int32_t dy = ys.lo; dy <= ys.hi; ++dy) {
            if (dx == 0 && dy == 0) {
                if (site.mayRise && mayRise(pass, site.from)) out.addRising();
                continue;
            }
            const int32_t y = site.from.y + dy;
            Around square;
            if (own != nullptr && x >= 0 && x < sectorSize && y >= 0 && y < sectorSize)
                square = {&own->sector->cells[x][y],
                          own->counts[static_cast<size_t>(x * sectorSize + y)] != 0,
                          site.playerHere && player.x == x && player.y == y};
            else
                square = aroundAcrossEdge(pass, site.from, site.home, dx, dy);
            if (square.cell != nullptr && candidateFits(table, test, *square.cell, square.occupied,
                                                        square.isPlayer, site.from, dx, dy))
                out.add(dx, dy);
        }
    }
}

void moveCreature(CreaturePass& pass, Creature& creature, MoveSite site, Range xs, Range ys,
                  bool trail) {
    const MoveTest test = moveTestOf(pass, creature, site, trail);
    site.mayRise = test.flying && site.from.sector.sz < pass.player.position.sector.sz;
    const Position& from = site.from;
    const bool inland = site.own != nullptr && from.x > 0 && from.x < sectorSize - 1 &&
                        from.y > 0 && from.y < sectorSize - 1;
    Candidates candidates;
    if (inland)
        inlandCandidates(pass, test, site, xs, ys, candidates);
    else
        edgeCandidates(pass, test, site, xs, ys, candidates);
    if (candidates.count == 0) return;
    int32_t pick = randomBelow(candidates.count);
    const Position to = candidates.picked(from, pick);
    relocate(pass, creature, from, to, site.own);
    creature.position = to;
}

void applyRule(CreaturePass& pass, Creature& creature, const MoveSite& site, MoveRule rule) {
    const Position p = pass.player.position;
    const Position c = creature.position;
    switch (rule) {
    case MoveRule::PlainWander: moveCreature(pass, creature, site, {-1, 1}, {-1, 1}, false); return;
    case MoveRule::TrailWander: moveCreature(pass, creature, site, {-1, 1}, {-1, 1}, true); return;
    case MoveRule::Chase:
        moveCreature(pass, creature, site, chaseRange(globalX(p), globalX(c)),
                     chaseRange(globalY(p), globalY(c)), true);
        return;
    case MoveRule::DirectChase:
        moveCreature(pass, creature, site, directRange(globalX(p), globalX(c)),
                     directRange(globalY(p), globalY(c)), false);
        return;
    case MoveRule::VampireChase: {
        moveCreature(pass, creature, site, chaseRange(globalX(p), globalX(c)),
                     chaseRange(globalY(p), globalY(c)), true);
        int32_t roll = randomIn(1, 5);
        if (roll == 2) {
            postMessage(0, "The vampire's eyes glow blue.");
            summonWraith(creature.position.sector, pass.level.sectors);
            pass.nearby.forget(creature.position.sector);
        }
        return;
    }
    }
    raiseMissingCase();
}

// One action: a creature on the player's square shuffles off it, one next to
// the player (or on a staircase step just below or above it) attacks, the
// rest move by whether the player sees them.
[[gnu::flatten]] void creatureStep(CreaturePass& pass, Creature& creature, MoveRule inView,
                                   MoveRule outOfView) {
    Player& player = pass.player;
    const MoveSite site = siteOf(pass, creature.position);
    if (creature.position == player.position) {
        applyRule(pass, creature, site, MoveRule::PlainWander);
        return;
    }
    if (adjacent(creature.position, player.position)) {
        creatureAttacks(creature, player);
        return;
    }
    const Cell& here = cellOf(pass, site);
    const int32_t elevation = here.elevation;
    const int32_t lastSeen = here.lastSeen;
    if ((elevation == 2 && adjacent(movePosition(creature.position, 0, 0, 1), player.position)) ||
        (elevation == -2 && adjacent(movePosition(creature.position, 0, 0, -1), player.position))) {
        creatureAttacks(creature, player);
        return;
    }
    applyRule(pass, creature, site, lastSeen == pass.level.turn ? inView : outOfView);
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
    CreaturePass pass{player, level, Neighbourhood(level.sectors, p)};
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
