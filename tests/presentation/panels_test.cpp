// What the side panels reveal, on both sides of every threshold.
#include "presentation/draw_map.h"
#include "presentation/panels.h"
#include "test_support.h"

#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <utility>
#include <vector>

namespace dunvale {
namespace {

TEST(SidePanels, ThresholdsOfWhatIsShown) {
    const SectorCoord here{1, -2, 3};
    using K = SectorKind;
    struct Case {
        Panel panel;
        SectorKind kind;
        int32_t exploration;
        size_t effects;
        int row;
        const char* text; // what the row holds from the panel's left column
    };
    const Case cases[] = {
        {Panel::Location, K::Entrance, 0, 0, 2, "You're a bit lost."},
        {Panel::Location, K::Entrance, 1, 0, 2, "The labyrinth entrance"},
        {Panel::Location, K::Maze, 2, 0, 3, ""},
        {Panel::Location, K::Maze, 3, 0, 3, "Sector: 1,-2,3"},
        {Panel::Location, K::Maze, 6, 0, 4, ""},
        {Panel::Location, K::Maze, 7, 0, 4, "Co-ordinates: 4,6"},
        {Panel::Location, K::ChamberMaze, 1, 0, 2, "The labyrinth"},
        {Panel::Location, K::StairsUp, 3, 0, 2, "The labyrinth"},
        {Panel::Location, K::StairsUp, 4, 0, 2, "Stairs upwards"},
        {Panel::Location, K::StairsDown, 3, 0, 2, "The labyrinth"},
        {Panel::Location, K::StairsDown, 4, 0, 2, "Stairs downwards"},
        {Panel::Location, K::SpiralStaircase, 3, 0, 2, "The labyrinth"},
        {Panel::Location, K::SpiralStaircase, 4, 0, 2, "A spiral staircase"},
        {Panel::Location, K::UnstableTunnels, 5, 0, 2, "The labyrinth"},
        {Panel::Location, K::UnstableTunnels, 6, 0, 2, "Unstable-looking tunnels"},
        {Panel::Effects, K::Maze, 0, 0, 2, "No active effects"},
        {Panel::Effects, K::Maze, 0, 10, 12, ""},
        {Panel::Effects, K::Maze, 0, 11, 12, "...and more"},
        {Panel::CurrentStatus, K::Maze, 0, 0, 11, ""},
        {Panel::CurrentStatus, K::Maze, 0, 1, 11, "1 temp effects."},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.text) + " / exploration " + std::to_string(c.exploration) +
                     ", effects " + std::to_string(c.effects));
        testing::ScreenFixture screen;
        auto level = testing::levelWith({});
        testing::addSector(level->sectors, here).kind = c.kind;
        Player player = newPlayer();
        player.position = Position{here, 4, 6};
        player.skills.exploration = c.exploration;
        player.effects.assign(c.effects, TimedEffect{EffectKind::Poison, 5});
        drawPanel(secondPanelColumn, c.panel, player, *level);
        const std::string row = screen.terminal.row(c.row);
        const size_t from = secondPanelColumn;
        const size_t width = 25;
        std::string shown = row.size() > from ? row.substr(from, width) : "";
        shown.erase(shown.find_last_not_of(' ') + 1);
        EXPECT_EQ(shown, c.text);
    }
}

// The map window and the panels are left standing while the screen shows
// them: drawn again after any change, they show what a fresh screen shows.
TEST(SidePanels, DrawnAgainTheyShowWhatAFreshScreenShows) {
    using Change = std::function<void(Player&, LevelRecord&)>;
    const auto junk = [](int row, int column) {
        return [=](Player&, LevelRecord&) {
            writeText(Brightness::Bright, Colour::Green, "#####", row, column);
        };
    };
    const SectorCoord far{123456789, -123456789, 5}; // its name runs over the map
    const auto farOut = [&](Player& p, LevelRecord&) { p.position.sector = far; };
    struct Case {
        const char* what;
        Change change;
        Change before = [](Player&, LevelRecord&) {};
    };
    const Case cases[] = {
        {"nothing", [](Player&, LevelRecord&) {}},
        {"energy", [](Player& p, LevelRecord&) { p.energy = 7; }},
        {"more to show", [](Player& p, LevelRecord&) { p.skills.exploration = 8; }},
        {"panels swapped", [](Player& p, LevelRecord&) { std::swap(p.panels[0], p.panels[1]); }},
        {"inventory asked for",
         [](Player& p, LevelRecord&) { drawInventoryPanel(firstPanelColumn, p, {}); }},
        {"over the first panel", junk(5, 3)},
        {"over the second panel's edge", junk(9, 75)},
        {"over the map", junk(8, 36)},
        {"a step", [](Player& p, LevelRecord&) { p.position = movePosition(p.position, 1, 0, 0); }},
        {"a creature in view",
         [](Player& p, LevelRecord& level) {
             testing::addCreature(level.sectors, movePosition(p.position, 2, 1, 0),
                                  CreatureKind::Vampire, 5);
         }},
        {"far out", farOut},
        {"standing far out", [](Player&, LevelRecord&) {}, farOut},
    };
    for (const auto& [what, change, before] : cases) {
        SCOPED_TRACE(what);
        std::vector<SectorCoord> coords = testing::blockAround({0, 0, 0});
        for (SectorCoord c : testing::blockAround(far))
            coords.push_back(c);
        // The same level and player for both screens, changed alike.
        auto level = testing::levelWith(coords);
        auto freshLevel = testing::levelWith(coords);
        for (LevelRecord* l : {level.get(), freshLevel.get()}) {
            l->turn = 4;
            testing::stampSector(l->sectors, {0, 0, 0}, 4);
            testing::stampSector(l->sectors, far, 4);
        }
        Player player = newPlayer();
        player.skills.exploration = 3;
        player.energy = 123456;
        player.panels = {Panel::Location, Panel::CurrentStatus};
        before(player, *level);
        Player freshPlayer = player;
        const auto draw = [](Player& p, LevelRecord& l) {
            drawView(p, l);
            drawBothPanels(p, l);
        };
        // The map window and both panels: rows 1 to 15, columns 1 to 77, each
        // with its looks.
        const auto shown = [](const VirtualScreen& terminal) {
            std::vector<std::string> rows;
            for (int row = 1; row <= 15; ++row) {
                std::string text = terminal.row(row);
                text.resize(screenColumns, ' ');
                rows.push_back(text.substr(1, 77) + terminal.attributeRow(row).substr(1, 77));
            }
            return rows;
        };
        std::vector<std::string> again;
        {
            testing::ScreenFixture screen;
            draw(player, *level);
            change(player, *level);
            draw(player, *level);
            again = shown(screen.terminal);
        }
        testing::ScreenFixture fresh;
        change(freshPlayer, *freshLevel);
        draw(freshPlayer, *freshLevel);
        EXPECT_EQ(again, shown(fresh.terminal));
    }
}

} // namespace
} // namespace dunvale
