#pragma once
// Scenes for the creature turn tests: a level at a fixed turn with open floor
// sectors, the player, and one creature under watch.
#include "rules/creature_turn.h"
#include "rules/map.h"
#include "test_support.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <vector>

namespace dunvale::creature_scenes {

using namespace dunvale::testing;

inline constexpr int32_t now = 20; // the turn counter in these scenes
inline const SectorCoord home{0, 0, 0};
inline const SectorCoord up{0, 0, 1};
inline const SectorCoord down{0, 0, -1};
inline const SectorCoord east{1, 0, 0};

inline Position at(SectorCoord c, int32_t x, int32_t y) {
    return Position{c, x, y};
}

// A level at turn `now` with open floor sectors at `coords`, the player at
// the start square and at most one creature under watch.
struct Scene {
    std::unique_ptr<LevelRecord> level;
    Player player;
    std::shared_ptr<Creature> creature;

    explicit Scene(const std::vector<SectorCoord>& coords = {home}) : level(levelWith(coords)) {
        level->turn = now;
    }
    Cell& cell(Position p) { return cellAt(level->sectors, p); }
    void walled(SectorCoord c) { addSector(level->sectors, c, Terrain::Wall); }
    std::shared_ptr<Creature> add(Position p, CreatureKind kind, int32_t lvl, int32_t id = 1000) {
        return addCreature(level->sectors, p, kind, lvl, id);
    }
    void watch(Position p, CreatureKind kind, int32_t lvl) { creature = add(p, kind, lvl); }
    bool holds(SectorCoord c, int32_t id) {
        Sector* sector = findSector(level->sectors, c);
        return sector != nullptr && std::any_of(sector->creatures.begin(), sector->creatures.end(),
                                                [&](const auto& other) { return other->id == id; });
    }
    // One pass of creature turns on the given draws; the draws it made.
    int run(const std::vector<int32_t>& draws) {
        scriptDraws(draws);
        return drawsDuring([&] { creatureTurns(player, *level); });
    }
};

class CreatureTurn : public ::testing::Test {
  protected:
    ScreenFixture screen;
    RandomGuard guard;
};

// A creature in a walled sector with one trap of each kind next to it.
inline Scene amongTraps(CreatureKind kind, int32_t lvl, bool inView) {
    Scene s(std::vector<SectorCoord>{});
    s.walled(home);
    s.player.position = at(home, 1, 5);
    s.cell(at(home, 4, 4)).terrain = Terrain::Trapdoor;
    s.cell(at(home, 4, 5)).terrain = Terrain::GasTrap;
    s.cell(at(home, 4, 6)).terrain = Terrain::TeleportTrap;
    s.cell(at(home, 6, 5)).terrain = Terrain::SmokeTrap;
    if (inView) stampSector(s.level->sectors, home, now);
    s.watch(at(home, 5, 5), kind, lvl);
    return s;
}

} // namespace dunvale::creature_scenes
