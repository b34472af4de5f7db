// Melee: one blow at a time, each side rolling to hit against the other's
// level or skill. Damage has no upper bound (Might grows with the square of
// its turns), so every sum and product wraps like the machine's.
#include "rules/combat.h"

#include "rules/magic.h"
#include "rules/map.h"
#include "support/random.h"
#include "support/wrap.h"
#include "world/messages.h"

#include <algorithm>
#include <cstdint>
#include <memory>

namespace dunvale {

namespace {

// The dead leave their sector's list; one already gone leaves nothing to do.
void removeCreature(SectorTable& table, const Creature& creature) {
    Sector* sector = findSector(table, creature.position.sector);
    if (sector == nullptr) return;
    const int32_t id = creature.id;
    auto& list = sector->creatures;
    auto found =
        std::find_if(list.begin(), list.end(), [&](const auto& other) { return other->id == id; });
    if (found != list.end()) list.erase(found);
}

// Armour cuts the blow down round by round; true when it stopped the blow.
bool armourAbsorbs(int32_t& damage, int32_t grade) {
    const int64_t rounds = static_cast<int64_t>(grade) + 1;
    for (int64_t round = 0; round < rounds; ++round) {
        int32_t cut = randomIn(wholeDiv(wrapMul(damage, 2), 3), damage);
        damage = wrapSub(cut, 1);
        if (damage < 1) {
            postMessage(0, "Your armour absorbs the blow.");
            return true;
        }
    }
    return false;
}

// Each Protection entry takes its turns off the blow and wears by one; the
// first that brings the blow below 1 stops it and spares the later ones.
bool protectionStops(int32_t& damage, Player& player) {
    for (TimedEffect& effect : player.effects) {
        if (effect.kind != EffectKind::Protection) continue;
        damage = wrapSub(damage, effect.turnsLeft);
        effect.turnsLeft = wrapSub(effect.turnsLeft, 1);
        if (damage < 1) {
            postMessage(0, "The attack doesn't break your skin.");
            return true;
        }
    }
    return false;
}

} // namespace

void playerAttacks(Creature& creature, Player& player, LevelRecord& level) {
    const int32_t combat = player.skills.combat;
    const int32_t creatureLevel = creature.level;
    const std::string name = creatureName(creature);

    int32_t attack = randomBelow(wrapAdd(combat, 2));
    int32_t defence = randomBelow(wrapAdd(creatureLevel, 1));
    if (attack < defence) {
        postMessage(0, "You miss the " + name + ".");
        return;
    }

    int32_t base = randomIn(combat, wrapMul(combat, combat));
    int32_t damage = wrapAdd(base, 1);
    if (player.equipment.weapon) {
        const int32_t w = wrapAdd(player.equipment.weapon->grade, 1);
        int32_t rolls = randomIn(w, wrapMul(w, w));
        for (int32_t i = 0; i < rolls; ++i) {
            int32_t roll = randomIn(1, wrapAdd(w, combat));
            damage = wrapAdd(damage, wrapAdd(roll, 1));
        }
    }
    for (TimedEffect& effect : player.effects) {
        if (effect.kind != EffectKind::Might) continue;
        damage = wrapAdd(damage, wrapMul(effect.turnsLeft, effect.turnsLeft));
        effect.turnsLeft = wrapSub(effect.turnsLeft, 1);
    }

    creature.health = wrapSub(creature.health, damage);
    if (creature.health >= 1) {
        postMessage(0, "You hit the " + name + ".");
        return;
    }
    postMessage(0, "You kill the " + name + "!");
    // The draw is made even when the creature is so far above the player
    // that the level is certain.
    int32_t roll = randomIn(1, creatureLevel);
    if (combat < roll || combat <= wrapSub(creatureLevel, 10)) {
        player.skills.combat = wrapAdd(player.skills.combat, 1);
        postMessage(1, "You gain a combat skill level!");
    }
    removeCreature(level.sectors, creature);
}

void creatureAttacks(Creature& creature, Player& player) {
    // Nobody strikes a player who has died (or left) this turn.
    if (player.playing == 0 || player.escaped != 0) return;
    const int32_t combat = player.skills.combat;
    const int32_t creatureLevel = creature.level;
    const std::string& name = creatureName(creature);

    int32_t dodge = randomBelow(wrapAdd(combat, 1));
    int32_t strike = randomBelow(wrapAdd(creatureLevel, 2));
    if (strike < dodge) {
        postMessage(0, "The " + name + " misses you!");
        return;
    }
    postMessage(0, "The " + name + " " + attackVerb(creature) + " you!");

    int32_t damage =
        diceRoll(Dice{1, wholeDiv(wrapMul(3, creatureLevel), 2), wholeDiv(creatureLevel, 3)});
    switch (creature.kind) {
    case CreatureKind::Mummy: damage = wrapMul(damage, 2); break;
    case CreatureKind::Bat: damage = wholeDiv(damage, 2); break;
    case CreatureKind::GiantSpider: damage = wholeDiv(wrapMul(damage, 4), 5); break;
    default: break;
    }

    if (creature.kind == CreatureKind::Wraith) {
        damage = wholeDiv(damage, 3); // a wraith's touch goes through armour
    } else if (player.equipment.armour) {
        if (armourAbsorbs(damage, player.equipment.armour->grade)) return;
    }
    if (protectionStops(damage, player)) return;

    player.energy = wrapSub(player.energy, damage);
    if (player.energy < 1) {
        player.playing = 0;
    } else if (player.energy < 20) {
        postMessage(1, "LOW ENERGY WARNING!");
    }

    // The touch of some kinds lingers even on a killing blow.
    switch (creature.kind) {
    case CreatureKind::GiantSpider: {
        int32_t chance = randomIn(1, 6);
        if (chance <= 2) {
            int32_t turns = randomIn(5, 15);
            addPoison(player, turns);
            postMessage(0, "The wound burns!");
        }
        break;
    }
    case CreatureKind::Mummy: {
        int32_t turns = randomIn(10, 20);
        addPoison(player, turns);
        postMessage(0, "The wound feels infected.");
        break;
    }
    case CreatureKind::Vampire: creature.health = wrapAdd(creature.health, damage); break;
    default: break;
    }
}

} // namespace dunvale
