#include "rules/step.h"
#include "rules/player_turn.h"

#include "rules/combat.h"
#include "rules/magic.h"
#include "rules/store.h"
#include "support/errors.h"
#include "support/random.h"
#include "support/wrap.h"
#include "world/messages.h"

namespace dunvale {

namespace {

// Traps spring only when the player walks onto them, not when it jumps down
// a hole onto them. The teleport trap ends the step: returns true then.
bool springTrap(LevelRecord& level, Player& player, Cell& target, Position from, Position at) {
    switch (target.terrain) {
    case Terrain::SmokeTrap:
        target.terrain = Terrain::Floor;
        postMessage(0, "You step on a loose stone. You hear a hissing sound!");
        postMessage(0, "Smoke fills the air...");
        putSmokeAround(level, at);
        return false;
    case Terrain::GasTrap: {
        target.terrain = Terrain::Floor;
        postMessage(0, "You step on a loose stone. You hear a hissing sound!");
        // The dose depends on how far out the square the player came from lies.
        int32_t distance = trapDistanceOf(from.sector);
        int32_t doses = randomIn(1, 3);
        for (int32_t dose = 0; dose < doses; ++dose) {
            int32_t turns = randomIn(5, distance);
            addPoison(player, turns);
        }
        postMessage(0, "You choke on the fumes!");
        return false;
    }
    case Terrain::TeleportTrap:
        // The trap is spent before the player leaves, so coming back is safe.
        target.terrain = Terrain::Floor;
        postMessage(0, "There is a sudden flash of magical energy!");
        teleport(level, player);
        return true;
    case Terrain::Wall:
    case Terrain::Floor:
    case Terrain::Trapdoor: return false;
    }
    raiseMissingCase();
}

// The player reaches `to`: a new sector is made current first, and what lies
// on the square is named.
void arrive(LevelRecord& level, Player& player, Position to, bool sectorChanges) {
    if (sectorChanges) {
        evictFarSectors(level.sectors, to.sector);
        enterSector(level, player, to);
    }
    player.position = to;
    if (std::optional<Item> item = itemAt(level.sectors, to)) {
        if (item->itemClass == ItemClass::Treasure)
            postMessage(0, "There is some treasure here.");
        else
            postMessage(0, "There is a " + itemName(*item) + " here.");
    }
}

} // namespace

ActionResult step(LevelRecord& level, Player& player, int32_t dx, int32_t dy, int32_t falling) {
    SectorTable& table = level.sectors;
    const Position from = player.position;
    Position to = movePosition(from, dx, dy, 0);
    const int32_t fromElevation = cellAt(table, from).elevation;
    Cell* target = &cellAt(table, to);

    if (wrapSub(target->elevation, fromElevation) > 2) {
        postMessage(0, "You can't climb that.");
        return {0, true};
    }

    int32_t drop = 0;
    if (target->elevation == 3) {
        to = movePosition(to, 0, 0, 1);
        target = &cellAt(table, to);
    } else if (target->elevation == -3) {
        to = movePosition(to, 0, 0, -1);
        target = &cellAt(table, to);
        // Walking down the last stair steps is no jump.
        if (fromElevation != -2 && fromElevation != -3 && falling == 0) drop = 1;
    }

    const bool sectorChanges = to.sector != from.sector;

    if (std::shared_ptr<Creature> creature = creatureAt(table, to)) {
        if (falling == 1) {
            postMessage(0, "You jump back just in time!");
            return {1, true};
        }
        if (drop == 1) {
            postMessage(0, "It's too far below you to attack.");
            return {0, true};
        }
        playerAttacks(*creature, player, level);
        return {1};
    }

    if (!isOpenSquare(*target)) return {};

    if (target->terrain == Terrain::Trapdoor) {
        target->elevation = -3;
        target->terrain = Terrain::Floor;
        postMessage(0, "The floor gives way beneath you!");
        player.energy = wrapSub(player.energy, 10);
        return step(level, player, dx, dy, 1);
    }

    if (drop == 0) {
        if (springTrap(level, player, *target, from, to)) return {1};
    } else {
        postMessage(0, "You jump down.");
        player.energy = wrapSub(player.energy, 1);
    }

    arrive(level, player, to, sectorChanges);
    return {1};
}

void putSmokeAround(LevelRecord& level, Position p) {
    for (int32_t ox = -4; ox <= 4; ++ox) {
        for (int32_t oy = -4; oy <= 4; ++oy) {
            Position square = movePosition(p, ox, oy, 0);
            // A sector not built yet has never been seen: nothing to fill.
            Sector* sector = findSector(level.sectors, square.sector);
            if (sector == nullptr) continue;
            Cell& cell = sector->cells[square.x][square.y];
            if (cell.terrain != Terrain::Floor) continue;
            if (level.turn > wrapAdd(cell.lastSeen, 1)) continue;
            int32_t lasts = randomIn(10, 20);
            cell.entries.push_back(TempEntry{TempKind::Smoke, wrapAdd(level.turn, lasts)});
        }
    }
}

} // namespace dunvale
