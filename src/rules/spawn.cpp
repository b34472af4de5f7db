// Creatures come into being when a sector is filled, at random near the
// player, and when a vampire calls up a wraith.
#include "rules/spawn.h"

#include "support/errors.h"
#include "support/random.h"
#include "support/wrap.h"

#include <memory>
#include <string>

namespace dunvale {

namespace {

CreatureKind kindForLevel(int32_t level) {
    if (level < 5) return CreatureKind::Bat;
    if (level < 10) return CreatureKind::GiantRat;
    if (level < 15) return CreatureKind::GiantSpider;
    if (level < 20) return CreatureKind::Skeleton;
    if (level < 25) return CreatureKind::Wraith;
    if (level < 30) return CreatureKind::Mummy;
    return CreatureKind::Vampire;
}

void addNewCreature(Sector& sector, Position square, int32_t level, CreatureKind kind) {
    int32_t& counter = creatureCounter();
    sector.creatures.push_back(std::make_shared<Creature>(
        Creature{counter, square, level, wrapMul(level, level), 0, kind}));
    counter = wrapAdd(counter, 1);
}

} // namespace

int32_t& creatureCounter() {
    static int32_t counter = 0;
    return counter;
}

void spawnCreature(int32_t depth, Sector& sector, SectorCoord c) {
    int32_t m = randomIn(1, wholeDiv(wrapMul(3, depth), 2));
    int32_t level = wrapAdd(m, 1);
    // Far from the entrance the strongest draws are pulled back toward d + 5.
    if (level > wrapAdd(depth, 5)) {
        int32_t k = randomIn(1, wholeDiv(depth, 2));
        level = wrapSub(level, k);
    }
    CreatureKind kind = kindForLevel(level);
    Position square = randomOpenSquare(sector, c);
    addNewCreature(sector, square, level, kind);
}

void wanderingSpawn(Player& player, LevelRecord& level) {
    SectorCoord home = player.position.sector;
    int32_t dx = randomIn(-1, 1);
    int32_t sx = wrapAdd(home.sx, dx);
    int32_t dy = randomIn(-1, 1);
    int32_t sy = wrapAdd(home.sy, dy);
    SectorCoord c{sx, sy, home.sz};
    Sector& sector = sectorAt(level.sectors, c);
    spawnCreature(depthOf(c), sector, c);
}

void summonWraith(SectorCoord c, SectorTable& table) {
    Sector& sector = sectorAt(table, c);
    int32_t level = randomIn(20, 24);
    Position square = randomOpenSquare(sector, c);
    addNewCreature(sector, square, level, CreatureKind::Wraith);
}

} // namespace dunvale
