#include "app/game.h"
#include "presentation/message_box.h"
#include "rules/player_turn.h"

#include "app/commands.h"
#include "app/end_of_game.h"
#include "presentation/draw_map.h"
#include "presentation/panels.h"
#include "rules/creature_turn.h"
#include "rules/fov.h"
#include "rules/generate.h"
#include "rules/spawn.h"
#include "rules/store.h"
#include "support/errors.h"
#include "support/random.h"
#include "world/messages.h"

#include <memory>
#include <ostream>

namespace dunvale {

namespace {

// Tells the watch that the game closes, also when an error unwinds it.
struct ClosingWatch {
    const GameWatch& watch;
    const Player& player;
    const LevelRecord& level;
    ~ClosingWatch() {
        if (watch.closing) watch.closing(player, level);
    }
};

void updateViewAround(const Player& player, LevelRecord& level) {
    updateView(level.turn, sightRadius(player), player.position, level.sectors);
}

} // namespace

void runTurns(int32_t budget, Player& player, LevelRecord& level) {
    while (budget != 0 && budget != -100) {
        updateViewAround(player, level);
        creatureTurns(player, level);
        int32_t r = randomBelow(100);
        if (r == 0) wanderingSpawn(player, level);
        budget -= 1;
        bool creatureInView = drawView(player, level);
        if (budget < 0 && (creatureInView || messagesPending())) budget = 0;
        drawBothPanels(player, level);
        endOfTurnUpdate(player, level);
        refreshScreen();
    }
}

namespace {

// The process-wide screen is the terminal for as long as this lives.
struct ScreenInUse {
    explicit ScreenInUse(Terminal& terminal) { setScreen(&terminal); }
    ~ScreenInUse() { setScreen(nullptr); }
    ScreenInUse(const ScreenInUse&) = delete;
    ScreenInUse& operator=(const ScreenInUse&) = delete;
};

void gameMain(Terminal& terminal, GameStore& store, int32_t seed, bool seedChosen,
              const GameWatch& watch) {
    seedRandom(seed);
    ScreenInUse screenInUse(terminal);
    try {
        terminal.start();
        clearScreen();
        Outcome outcome = playOneGame(store, watch);
        endOfGameSummary(outcome, store, seedChosen ? std::optional<int32_t>(seed) : std::nullopt);
        terminal.end();
    } catch (const RuntimeError&) {
        try {
            discardTypedAhead();
            waitForKey();
        } catch (const RuntimeError&) {
            // The terminal is restored all the same.
        }
        terminal.end();
        throw;
    } catch (...) {
        // Not the game's own error (no memory left, say): nothing to show the
        // player, but the terminal is restored before anything reports it.
        terminal.end();
        throw;
    }
}

} // namespace

Outcome playOneGame(GameStore& store, const GameWatch& watch) {
    drawScreenFrame();
    LevelRecord level = newLabyrinth(store);
    Player player = newPlayer();
    ClosingWatch closing{watch, player, level};
    if (watch.started) watch.started(player, level);
    postMessage(0, "Welcome to the endless maze.");
    postMessage(0, "It is rumoured that somewhere in the deepest part of this maze is a");
    postMessage(0, "means of escape, if you can stay alive long enough to find it...");
    postMessage(0, "Good luck!");
    postMessage(0, "Use F1 or ? to view the help at any time");
    updateViewAround(player, level);
    drawView(player, level);
    showPendingMessages();
    drawBothPanels(player, level);
    player.panels[0] = Panel::Location;

    for (;;) {
        refreshScreen();
        if (player.playing == 0 || player.escaped != 0) break;
        int32_t budget = readAndPerformCommand(player, level);
        if (budget == 0)
            drawBothPanels(player, level);
        else
            runTurns(budget, player, level);
        showPendingMessages();
    }
    waitForKey();
    return Outcome{totalSkillLevels(player), player.escaped, player.treasure};
}

int runProgram(Terminal& terminal, std::ostream& report, int32_t seed, bool seedChosen,
               const GameWatch& watch) {
    // What a fresh process starts with, also when one process plays many
    // games (tests, the soak).
    creatureCounter() = 0;
    messageQueue().clear();
    int status = 0;
    try {
        // The store is made ready before the screen is taken, so that a store
        // the game cannot use is reported at once, not turns into the game.
        const std::string directory = storeDirectory();
        std::unique_ptr<GameStore> store = openGameStore(directory);
        if (store) {
            gameMain(terminal, *store, seed, seedChosen, watch);
        } else {
            report << storeInUseMessage(directory) << "\n";
            status = 1;
        }
    } catch (const RuntimeError& error) {
        report << formatReport(error);
    }
    report.flush();
    return status;
}

} // namespace dunvale
