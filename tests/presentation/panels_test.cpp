// What the side panels reveal, on both sides of every threshold.
#include "presentation/panels.h"
#include "test_support.h"

#include <gtest/gtest.h>

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

} // namespace
} // namespace dunvale
