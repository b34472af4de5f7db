// The creatures' turns: who acts and how each kind moves (the ground each
// may cross is creature_ground's). A creature knows nothing of the player beyond what the map tells
// it: whether its own square is seen this turn and how recently its neighbours were seen.
#include "rules/creature_turn.h"

#include "rules/combat.h"
#include "rules/creature_ground.h"
#include "rules/neighbourhood.h"
#include "rules/spawn.h"
#include "support/errors.h"
#include "support/random.h"
#include "support/wrap.h"
#include "world/messages.h"

#include <algorithm>
#include <array>
#include <bit>
#include <limits>
#include <memory>
#include <span>
#include <vector>

namespace dunvale {

namespace {

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

// Moves the creature between sector lists as it crosses an edge; a
// creature that is not in its old list stays out of both.
[[gnu::noinline]] void crossEdge(CreaturePass& pass, const Creature& creature, const Position& from,
                                 const Position& to) {
    SectorTable& table = pass.level.sectors;
    Sector* oldSector = findSector(table, from.sector);
    Sector* newSector = findSector(table, to.sector);
    pass.nearby.mayHaveLoaded(from.sector);
    pass.nearby.mayHaveLoaded(to.sector);
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

// What a move needs besides the rules: where the creature stands, and its
// own sector among those around the player.
struct MoveSite {
    Position from;
    SectorStep home;
    NearbySector* own;
    // The squares around it that lie in its own sector, when that is one of
    // those around the player: their Cells and counts lie at fixed distances
    // from its own.
    SquareSet inSector = 0;
    OwnSquare square; // set with inSector
    uint16_t* count = nullptr;
};

MoveSite siteOf(CreaturePass& pass, const Position& from) {
    MoveSite site;
    site.from = from;
    site.home = pass.nearby.stepTo(from.sector);
    site.own = pass.nearby.at(site.home);
    if (site.own != nullptr) {
        site.inSector = squaresInSector(from.x, from.y);
        site.count = &site.own->counts[static_cast<size_t>(from.x * sectorSize + from.y)];
        site.square = OwnSquare{&site.own->sector->cells[static_cast<size_t>(from.x)], from.y};
    }
    return site;
}

// The Cell the creature stands on.
const Cell& cellOf(CreaturePass& pass, const MoveSite& site) {
    if (site.square.column != nullptr)
        return (*site.square.column)[static_cast<size_t>(site.square.y)];
    return cellAt(pass.level.sectors, site.from);
}

constexpr std::array<MoveTest, 7> kindMoveTests{
    kindMoveTest(CreatureKind::Bat),         kindMoveTest(CreatureKind::GiantRat),
    kindMoveTest(CreatureKind::GiantSpider), kindMoveTest(CreatureKind::Skeleton),
    kindMoveTest(CreatureKind::Wraith),      kindMoveTest(CreatureKind::Mummy),
    kindMoveTest(CreatureKind::Vampire)};

MoveTest moveTestOf(CreaturePass& pass, const Creature& creature, const MoveSite& site,
                    bool trail) {
    const auto kind = static_cast<size_t>(creature.kind);
    if (kind >= kindMoveTests.size()) raiseMissingCase();
    MoveTest test = kindMoveTests[kind];
    // Set here, so that a move without a trail skips the test altogether.
    test.startSeen = std::numeric_limits<int32_t>::min();
    if (trail && creature.position.sector.sz == pass.player.position.sector.sz)
        test.startSeen = cellOf(pass, site).lastSeen;
    return test;
}

SquareSet squaresIn(Range xs, Range ys) {
    const SquareSet column = (2u << (ys.hi + 1)) - (1u << (ys.lo + 1));
    SquareSet squares = 0;
    for (int32_t dx = xs.lo; dx <= xs.hi; ++dx)
        squares |= column << (3 * (dx + 1));
    return squares;
}

// Flyers below the player may rise through a hole above them.
bool mayRise(CreaturePass& pass, const Position& from) {
    const Position t = movePosition(from, 0, 0, 1);
    const Cell* above = findCell(pass.level.sectors, t);
    pass.nearby.mayHaveLoaded(t.sector);
    return above != nullptr && above->elevation == -3 && t != pass.player.position;
}

// Which of `squares` the creature may step on, each found through the
// sectors around the player: those in other sectors, those around a
// creature whose own sector is not counted, and the unusual ones.
Candidates fitsAround(CreaturePass& pass, const MoveTest& test, const MoveSite& site,
                      SquareSet squares) {
    Candidates found;
    for (SquareSet left = squares; left != 0; left &= left - 1) {
        const int square = std::countr_zero(left);
        const int32_t dx = squareDx[static_cast<size_t>(square)];
        const int32_t dy = squareDy[static_cast<size_t>(square)];
        const SquareAround around = pass.nearby.around(site.from, site.home, dx, dy);
        found.add(around.cell != nullptr && squareFits(pass.level.sectors, test, *around.cell,
                                                       around.occupied, site.from, dx, dy),
                  square);
    }
    return found;
}

// Which of `squares` on the creature's own level it may step on. Nothing
// these tests read changes while they run, so their order does not matter.
Candidates groundFits(CreaturePass& pass, const MoveTest& test, const MoveSite& site,
                      SquareSet squares) {
    Candidates found;
    const SquareSet own = squares & site.inSector;
    if (own != 0) {
        const OwnSectorSquares inOwn = fitsInOwnSector(test, site.square, site.count, own);
        found.add(inOwn.usual);
        if (inOwn.unusual != 0) found.add(fitsAround(pass, test, site, inOwn.unusual));
    }
    if ((squares & ~site.inSector) != 0)
        found.add(fitsAround(pass, test, site, squares & ~site.inSector));
    return found;
}

// Which of the squares the creature may move to, counted in the order of the
// bits. The player stands on none of them: a creature next to the player
// attacks instead of moving, and one on the player's square does not count
// its own.
Candidates candidatesAmong(CreaturePass& pass, const MoveTest& test, const MoveSite& site,
                           SquareSet squares) {
    constexpr SquareSet middle = SquareSet{1} << middleSquare;
    if ((squares & middle) == 0) return groundFits(pass, test, site, squares);
    // Rising may load the sector above, where an opening among the later
    // squares may lead: the squares are judged in their order around it.
    constexpr SquareSet before = middle - 1;
    Candidates found = groundFits(pass, test, site, squares & before);
    found.add(mayRise(pass, site.from), middleSquare);
    found.add(groundFits(pass, test, site, squares & ~before & ~middle));
    return found;
}

void moveCreature(CreaturePass& pass, Creature& creature, const MoveSite& site, Range xs, Range ys,
                  bool trail) {
    const MoveTest test = moveTestOf(pass, creature, site, trail);
    SquareSet squares = squaresIn(xs, ys);
    if (!test.flying || site.from.sector.sz >= pass.player.position.sector.sz)
        squares &= ~(SquareSet{1} << middleSquare);
    const Candidates candidates = candidatesAmong(pass, test, site, squares);
    if (candidates.count == 0) return;
    int32_t pick = randomBelow(candidates.count);
    const int square = pickedSquare(candidates.squares, pick);
    const auto index = static_cast<size_t>(square);
    if (((site.inSector >> square) & 1u) != 0) {
        // Within its own sector: no edge to wrap over, and the counts move with it.
        --*site.count;
        ++site.count[squareDx[index] * sectorSize + squareDy[index]];
        creature.position.x = site.from.x + squareDx[index];
        creature.position.y = site.from.y + squareDy[index];
        return;
    }
    const Position to = square == middleSquare
                            ? movePosition(site.from, 0, 0, 1)
                            : movePosition(site.from, squareDx[index], squareDy[index], 0);
    // A step within a sector that is not counted changes no list.
    if (to.sector != site.from.sector) crossEdge(pass, creature, site.from, to);
    creature.position = to;
}

// The ranges of a chase toward the player on each axis; a direct one.
std::array<Range, 2> chaseRanges(const CreaturePass& pass, const Creature& creature, bool direct) {
    const Position& p = pass.player.position;
    const Position& c = creature.position;
    if (direct) return {directRange(globalX(p), globalX(c)), directRange(globalY(p), globalY(c))};
    return {chaseRange(globalX(p), globalX(c)), chaseRange(globalY(p), globalY(c))};
}

void applyRule(CreaturePass& pass, Creature& creature, const MoveSite& site, MoveRule rule) {
    switch (rule) {
    case MoveRule::PlainWander: moveCreature(pass, creature, site, {-1, 1}, {-1, 1}, false); return;
    case MoveRule::TrailWander: moveCreature(pass, creature, site, {-1, 1}, {-1, 1}, true); return;
    case MoveRule::Chase: {
        const auto [xs, ys] = chaseRanges(pass, creature, false);
        moveCreature(pass, creature, site, xs, ys, true);
        return;
    }
    case MoveRule::DirectChase: {
        const auto [xs, ys] = chaseRanges(pass, creature, true);
        moveCreature(pass, creature, site, xs, ys, false);
        return;
    }
    case MoveRule::VampireChase: {
        const auto [xs, ys] = chaseRanges(pass, creature, false);
        moveCreature(pass, creature, site, xs, ys, true);
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
    // A snapshot of each list: creatures walking in or out during the pass
    // do not change who acts from a sector. Nobody dies during the pass, so
    // the list's own pointers keep every creature alive. Lists rarely hold
    // more than `few`; longer ones are copied to the heap.
    constexpr size_t few = 32;
    std::array<Creature*, few> inPlace;
    std::vector<Creature*> onHeap;
    for (int32_t dx = -1; dx <= 1; ++dx) {
        for (int32_t dy = -1; dy <= 1; ++dy) {
            for (int32_t dz = -1; dz <= 1; ++dz) {
                SectorCoord c{wrapAdd(p.sx, dx), wrapAdd(p.sy, dy), wrapAdd(p.sz, dz)};
                Sector* sector = findSector(level.sectors, c);
                if (sector == nullptr) continue;
                const auto& list = sector->creatures;
                std::span<Creature*> snapshot;
                if (list.size() <= few) {
                    snapshot = std::span<Creature*>(inPlace.data(), list.size());
                } else {
                    onHeap.resize(list.size());
                    snapshot = onHeap;
                }
                std::transform(list.begin(), list.end(), snapshot.begin(),
                               [](const auto& creature) { return creature.get(); });
                for (Creature* creature : snapshot)
                    creatureAct(pass, *creature);
            }
        }
    }
}

} // namespace dunvale
