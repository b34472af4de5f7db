#include "replay_script.h"

#include "app/game.h"

#include <random>
#include <sstream>

namespace dunvale {

std::string describeGameState(const Player& playerRecord, const LevelRecord& levelRecord) {
    const Player* player = &playerRecord;
    const LevelRecord* level = &levelRecord;
    std::ostringstream out;
    const Position& p = player->position;
    out << "turn " << level->turn << "\n";
    out << "position " << p.sector.sx << " " << p.sector.sy << " " << p.sector.sz << " " << p.x
        << " " << p.y << "\n";
    out << "energy " << player->energy << "\n";
    out << "skills " << player->skills.exploration << " " << player->skills.combat << "\n";
    out << "treasure " << player->treasure << "\n";
    out << "flags " << player->playing << " " << player->escaped << "\n";
    out << "effects";
    static const char* const effectNames[] = {"Protection", "Might", "Regeneration", "Poison"};
    for (const TimedEffect& effect : player->effects)
        out << " " << effectNames[static_cast<size_t>(effect.kind)] << ":" << effect.turnsLeft;
    out << "\ninventory";
    for (const auto& slot : player->inventory) {
        if (slot)
            out << " " << static_cast<int>(slot->itemClass) << "." << slot->grade;
        else
            out << " -";
    }
    out << "\nequipment ";
    const Equipment& equipment = player->equipment;
    out << (equipment.weapon ? std::to_string(equipment.weapon->grade) : "-") << " "
        << (equipment.armour ? std::to_string(equipment.armour->grade) : "-") << "\n";
    return out.str();
}

namespace {

// The screen, with --attrs its colour codes, with --state the state lines
// and any report.
std::string replayOutput(const VirtualScreen& terminal, const ReplayOptions& options,
                         const std::string& state, const std::string& report) {
    std::ostringstream out;
    out << terminal.text();
    if (options.attrs) {
        out << "--\n";
        for (int r = 0; r < screenRows; ++r)
            out << terminal.attributeRow(r) << "\n";
    }
    if (options.state) out << "--\n" << state << report;
    return out.str();
}

} // namespace

std::string runReplay(const ReplayOptions& options) {
    VirtualScreen terminal;
    terminal.keys.assign(options.keys.begin(), options.keys.end());
    // The state is taken each time the game asks for a key: the last one read
    // before the end, or the moment the script runs out.
    std::string state;
    ReplayStats stats;
    // The game being played, between its start and its close.
    const Player* player = nullptr;
    const LevelRecord* level = nullptr;
    GameWatch watch;
    watch.started = [&](Player& startPlayer, LevelRecord& startLevel) {
        player = &startPlayer;
        level = &startLevel;
        if (options.onStart) options.onStart(startPlayer, startLevel);
    };
    watch.closing = [&](const Player& closePlayer, const LevelRecord& closeLevel) {
        if (state.empty() && options.state) state = describeGameState(closePlayer, closeLevel);
        if (stats.turns == 0) stats.turns = closeLevel.turn;
        player = nullptr;
        level = nullptr;
    };
    std::optional<SectorCoord> lastSector;
    if (options.stats != nullptr) {
        terminal.onKeyWanted = [&] {
            if (player == nullptr) return;
            if (lastSector && !(*lastSector == player->position.sector)) ++stats.sectorChanges;
            lastSector = player->position.sector;
        };
    }
    terminal.onKeysExhausted = [&] {
        if (player == nullptr) return;
        if (options.state) state = describeGameState(*player, *level);
        stats.turns = level->turn;
    };
    std::ostringstream report;
    try {
        stats.status = runProgram(terminal, report, options.seed, options.showSeed, watch);
    } catch (const KeysExhausted&) {
        // The script ran out while the game waited for a key.
    }
    if (options.stats != nullptr) {
        stats.keysRead = terminal.keysRead;
        stats.report = report.str();
        stats.reported = !stats.report.empty();
        *options.stats = stats;
    }
    if (stats.status != 0) return report.str();
    return replayOutput(terminal, options, state, report.str());
}

} // namespace dunvale

namespace dunvale {

std::vector<int> randomKeys(uint32_t seed, int count) {
    static const std::vector<int> commands{
        'h',     'j',     'k',     'l',     'y',     'u',     'b',       'n',       '1',       '2',
        '3',     '4',     '6',     '7',     '8',     '9',     '.',       '5',       'w',       '-',
        '+',     '?',     ',',     'd',     'a',     'e',     'r',       '0',       'x',       'q',
        key::F1, key::F2, key::F3, key::F4, key::F5, key::Up, key::Down, key::Left, key::Right};
    // Movement is weighted up so that the adventurer gets somewhere.
    static const std::vector<int> moves{'h', 'j', 'k', 'l', 'y', 'u', 'b', 'n'};
    std::mt19937 generator(seed);
    std::uniform_int_distribution<int> percent(0, 999);
    std::vector<int> keys;
    keys.reserve(static_cast<size_t>(count));
    for (int i = 0; i < count; ++i) {
        int roll = percent(generator);
        if (roll == 0)
            keys.push_back('Q');
        else if (roll < 500)
            keys.push_back(moves[generator() % moves.size()]);
        else
            keys.push_back(commands[generator() % commands.size()]);
    }
    return keys;
}

} // namespace dunvale
