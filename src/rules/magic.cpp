#include "rules/magic.h"
#include "rules/player_turn.h"

#include "rules/creature_turn.h"
#include "rules/store.h"
#include "support/errors.h"
#include "support/random.h"
#include "support/wrap.h"
#include "world/messages.h"

#include <algorithm>

namespace dunvale {

void addEffect(Player& player, EffectKind kind, int32_t turns) {
    // Effects never merge: each entry acts on its own.
    player.effects.push_back(TimedEffect{kind, turns});
}

void addPoison(Player& player, int32_t turns) {
    addEffect(player, EffectKind::Poison, turns);
}

int32_t curePoison(Player& player, int32_t strength) {
    int32_t found = 0;
    for (TimedEffect& effect : player.effects) {
        if (effect.kind != EffectKind::Poison) continue;
        // The entry stays until the end of the turn and bites once more.
        effect.turnsLeft = wrapSub(effect.turnsLeft, strength);
        found = 1;
    }
    return found;
}

void readScroll(Item item, Player& player, LevelRecord& level) {
    switch (item.grade) {
    case 0:
        postMessage(0, "Your surroundings change...");
        teleport(level, player);
        return;
    case 1: magicMap(player, level); return;
    case 2: {
        int32_t turns = randomIn(30, 60);
        addEffect(player, EffectKind::Protection, turns);
        postMessage(0, "A shimmering shield covers your skin.");
        return;
    }
    case 3: {
        int32_t turns = randomIn(30, 60);
        addEffect(player, EffectKind::Might, turns);
        postMessage(0, "You feel very strong.");
        return;
    }
    case 4:
        player.escaped = 1;
        postMessage(1, "The labyrinth fades away around you.");
        return;
    default: raiseMissingCase();
    }
}

void drinkPotion(Item item, Player& player, LevelRecord&) {
    postMessage(0, "You drink the " + itemName(item) + ".");
    switch (item.grade) {
    case 0:
        player.energy = std::min(wrapAdd(player.energy, 30), 100);
        if (curePoison(player, 20) == 1) postMessage(0, "You feel a bit healthier");
        return;
    case 1: {
        int32_t turns = randomIn(10, 20);
        addEffect(player, EffectKind::Regeneration, turns);
        return;
    }
    case 2:
        // Also brings an energy above 100 back down.
        player.energy = 100;
        if (curePoison(player, 100) == 1) postMessage(0, "You feel healthier");
        return;
    case 3: {
        int32_t gain = randomIn(1, 5);
        player.skills.exploration = wrapAdd(player.skills.exploration, gain);
        return;
    }
    case 4: {
        int32_t gain = randomIn(1, 5);
        player.skills.combat = wrapAdd(player.skills.combat, gain);
        return;
    }
    default: raiseMissingCase();
    }
}

void magicMap(Player& player, LevelRecord& level) {
    const SectorCoord centre = player.position.sector;
    for (int32_t a = -1; a <= 1; ++a)
        for (int32_t b = -1; b <= 1; ++b)
            revealSector(level.sectors,
                         SectorCoord{wrapAdd(centre.sx, a), wrapAdd(centre.sy, b), centre.sz});
}

namespace {

// A square opening onto another level stands for the same square there; the
// whole standing test is then made on that level.
Position throughLevelLink(SectorTable& table, Position p) {
    // Only a sector held in memory is looked at: reading one from the store
    // would change what is kept in memory, and such a square is not free.
    if (!isInMemory(table, p.sector)) return p;
    const Cell& cell = findSector(table, p.sector)->cells[p.x][p.y];
    if (cell.elevation == 3) return movePosition(p, 0, 0, 1);
    if (cell.elevation == -3) return movePosition(p, 0, 0, -1);
    return p;
}

} // namespace

void teleport(LevelRecord& level, Player& player) {
    SectorTable& table = level.sectors;
    Position landing;
    // No limit on tries: around the player there is always open floor.
    for (;;) {
        int32_t ox = randomIn(-10, 10);
        int32_t oy = randomIn(-10, 10);
        landing = throughLevelLink(table, movePosition(player.position, ox, oy, 0));
        if (creatureMayEnter(table, landing, false, false)) break;
    }
    player.position = landing;
    evictFarSectors(table, landing.sector);
    enterSector(level, player, landing);
}

} // namespace dunvale
