#include "rules/player_turn.h"

#include "rules/map.h"
#include "rules/store.h"
#include "support/random.h"
#include "support/wrap.h"
#include "world/messages.h"

#include <algorithm>

namespace dunvale {

void endOfTurnUpdate(Player& player, LevelRecord& level) {
    if (player.energy < 1) {
        player.playing = 0;
        postMessage(1, "You die...");
        return;
    }
    if (player.energy <= 9) postMessage(1, "LOW ENERGY WARNING!");
    if (player.energy <= 99) player.energy += 1;
    for (const TimedEffect& effect : player.effects) {
        switch (effect.kind) {
        case EffectKind::Regeneration:
            player.energy = std::min(wrapAdd(player.energy, 4), 100);
            break;
        case EffectKind::Poison: player.energy = wrapSub(player.energy, 1); break;
        case EffectKind::Protection:
        case EffectKind::Might: break;
        }
    }
    std::vector<TimedEffect> remaining;
    remaining.reserve(player.effects.size());
    for (TimedEffect effect : player.effects) {
        effect.turnsLeft = wrapSub(effect.turnsLeft, 1);
        if (effect.turnsLeft > 0) remaining.push_back(effect);
    }
    player.effects = std::move(remaining);
    level.turn = wrapAdd(level.turn, 1);
}

void enterSector(LevelRecord& level, Player& player, Position newPosition) {
    const SectorCoord& c = newPosition.sector;
    if (markVisited(level.sectors, c) == 1) {
        int32_t r = randomIn(1, trapDistanceOf(c));
        if (r > player.skills.exploration) {
            player.skills.exploration = wrapAdd(player.skills.exploration, 1);
            postMessage(1, "You gain an exploration skill level!");
        }
    }
    makeCurrent(level.sectors, c);
}

} // namespace dunvale
