// Micro-benchmarks of the hot paths of a turn.
#include "app/game.h"
#include "presentation/draw_map.h"
#include "rules/creature_turn.h"
#include "rules/fov.h"
#include "rules/generate.h"
#include "rules/store.h"
#include "test_support.h"
#include "world/player.h"

#include <benchmark/benchmark.h>

namespace dunvale {
namespace {

using testing::ScreenFixture;
using testing::TempStore;

std::vector<SectorCoord> block(int radius) {
    std::vector<SectorCoord> coords;
    for (int sx = -radius; sx <= radius; ++sx)
        for (int sy = -radius; sy <= radius; ++sy)
            for (int sz = -radius; sz <= radius; ++sz)
                coords.push_back({sx, sy, sz});
    return coords;
}

void BM_UpdateView(benchmark::State& state) {
    auto level = testing::levelWith(block(1));
    int32_t radius = static_cast<int32_t>(state.range(0));
    // Two squares in turn: a view from the square of the turn before would
    // not be worked out again.
    const Position squares[] = {Position{{0, 0, 0}, 5, 5}, Position{{0, 0, 0}, 5, 6}};
    for (auto _ : state) {
        updateView(level->turn, radius, squares[level->turn % 2], level->sectors);
        ++level->turn;
    }
}
BENCHMARK(BM_UpdateView)->DenseRange(3, 6);

void BM_DrawView(benchmark::State& state) {
    ScreenFixture screen;
    auto level = testing::levelWith(block(1));
    Player player = newPlayer();
    updateView(level->turn, 3, player.position, level->sectors);
    for (auto _ : state)
        benchmark::DoNotOptimize(drawView(player, *level));
}
BENCHMARK(BM_DrawView);

void BM_CreatureTurns(benchmark::State& state) {
    ScreenFixture screen;
    auto level = testing::levelWith(block(1));
    int32_t id = 0;
    for (SectorCoord c : block(1))
        for (int i = 0; i < 4; ++i)
            testing::addCreature(level->sectors, Position{c, 2 * i + 1, 2 * i + 1},
                                 static_cast<CreatureKind>(i), 5 * i + 2, id++);
    Player player = newPlayer();
    player.position = Position{{0, 0, 0}, 0, 9}; // keep clear of the creatures
    seedRandom(7);
    for (auto _ : state) {
        creatureTurns(player, *level);
        ++level->turn;
        messageQueue().clear();
    }
}
BENCHMARK(BM_CreatureTurns);

void BM_BuildSector(benchmark::State& state) {
    ScreenFixture screen;
    TempStore dir;
    auto level = testing::levelWith({}, dir.store());
    seedRandom(11);
    int32_t x = 0;
    for (auto _ : state) {
        ensureSector(level->sectors, SectorCoord{x, 0, 0}, Generator::MazeChooser);
        ++x;
        // A fresh table now and then keeps memory flat without writing a
        // sector file per iteration: this measures building alone.
        if (x % 64 == 0) {
            state.PauseTiming();
            level = testing::levelWith({}, dir.store());
            state.ResumeTiming();
        }
    }
}
BENCHMARK(BM_BuildSector);

void BM_StoreAndLoad(benchmark::State& state) {
    ScreenFixture screen;
    TempStore dir;
    auto level = testing::levelWith({}, dir.store());
    seedRandom(5);
    buildSector(level->sectors, SectorCoord{0, 0, 0}, 4, Generator::Entrance);
    for (auto _ : state) {
        storeSector(level->sectors, SectorCoord{0, 0, 0});
        benchmark::DoNotOptimize(findSector(level->sectors, SectorCoord{0, 0, 0}));
    }
}
BENCHMARK(BM_StoreAndLoad);

// The world's side of a turn (view, creatures, map, panels, end of turn)
// while the adventurer waits. Wandering creatures gather as turns pass, so
// the labyrinth is made afresh every so many turns: the figure is the mean
// over the same stretch of a young game, not a crowd that grows with the
// number of iterations.
void BM_WholeTurn(benchmark::State& state) {
    constexpr int turnsPerGame = 200;
    ScreenFixture screen;
    TempStore dir;
    auto freshGame = [&](LevelRecord& level, Player& player) {
        clearStore(*dir.store());
        seedRandom(3);
        level = newLabyrinth(*dir.store());
        player = newPlayer();
    };
    LevelRecord level;
    Player player;
    freshGame(level, player);
    int turns = 0;
    for (auto _ : state) {
        runTurns(1, player, level);
        messageQueue().clear();
        if (++turns == turnsPerGame || player.playing == 0) {
            state.PauseTiming();
            freshGame(level, player);
            turns = 0;
            state.ResumeTiming();
        }
    }
}
BENCHMARK(BM_WholeTurn);

} // namespace
} // namespace dunvale

BENCHMARK_MAIN();
