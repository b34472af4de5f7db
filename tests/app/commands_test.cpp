// The whole key table: which keys step where, which take time, which read on.
#include "app/commands.h"
#include "test_support.h"

#include <gtest/gtest.h>

namespace dunvale {
namespace {

using testing::ScreenFixture;

TEST(KeyTable, EveryKeyAndWhatItDoes) {
    const SectorCoord home{0, 0, 0};
    // Keys that leave the command unfinished are followed by a wait ("."),
    // so that every row ends in a budget. dy = +1 is north.
    struct Row {
        std::vector<int> keys;
        int32_t budget;
        int32_t dx, dy;
        int keysRead;
    };
    const Row rows[] = {
        {{'h'}, 1, -1, 0, 1},          {{'4'}, 1, -1, 0, 1},         {{key::Left}, 1, -1, 0, 1},
        {{'j'}, 1, 0, -1, 1},          {{'2'}, 1, 0, -1, 1},         {{key::Down}, 1, 0, -1, 1},
        {{'k'}, 1, 0, 1, 1},           {{'8'}, 1, 0, 1, 1},          {{key::Up}, 1, 0, 1, 1},
        {{'l'}, 1, 1, 0, 1},           {{'6'}, 1, 1, 0, 1},          {{key::Right}, 1, 1, 0, 1},
        {{'y'}, 1, -1, 1, 1},          {{'7'}, 1, -1, 1, 1},         {{'u'}, 1, 1, 1, 1},
        {{'9'}, 1, 1, 1, 1},           {{'b'}, 1, -1, -1, 1},        {{'1'}, 1, -1, -1, 1},
        {{'n'}, 1, 1, -1, 1},          {{'3'}, 1, 1, -1, 1},         {{'.'}, 1, 0, 0, 1},
        {{'5'}, 1, 0, 0, 1},           {{'w'}, -1, 0, 0, 1},         {{'-'}, 0, 0, 0, 1},
        {{'+'}, 0, 0, 0, 1},           {{'Q'}, 1, 0, 0, 1},          {{key::F1, '.'}, 1, 0, 0, 2},
        {{'?', '.'}, 1, 0, 0, 2},      {{key::F5, '.'}, 1, 0, 0, 2}, {{'q', '.'}, 1, 0, 0, 2},
        {{'x', 'H', '.'}, 1, 0, 0, 3}, {{',', '.'}, 1, 0, 0, 2},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.keys[0]);
        ScreenFixture screen;
        screen.terminal.keys.assign(row.keys.begin(), row.keys.end());
        auto level = testing::worldAround({home});
        Player player = newPlayer();
        const Position start = player.position;
        EXPECT_EQ(readAndPerformCommand(player, *level), row.budget);
        EXPECT_EQ(player.position, (Position{home, start.x + row.dx, start.y + row.dy}));
        EXPECT_EQ(screen.terminal.keysRead, row.keysRead);
        EXPECT_EQ(player.playing, row.keys[0] == 'Q' ? 0 : 1);
        const Panel first = row.keys[0] == '-' ? Panel::Location : Panel::Controls;
        const Panel second = row.keys[0] == '+' ? Panel::Inventory : Panel::CurrentStatus;
        EXPECT_EQ(player.panels, (std::array<Panel, 2>{first, second}));
    }
}

} // namespace
} // namespace dunvale
