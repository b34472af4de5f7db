#pragma once
#include "world/player.h"

#include <vector>

namespace dunvale {

constexpr int firstPanelColumn = 2;
constexpr int secondPanelColumn = 52;

void drawPanel(int x, Panel panel, const Player& player, LevelRecord& level);
void drawInventoryPanel(int x, const Player& player, const std::vector<ItemClass>& marked);
// Both boxes from the player's panel slots, then a refresh.
void drawBothPanels(const Player& player, LevelRecord& level);
void showPanelBriefly(Panel panel, const Player& player, LevelRecord& level);
Panel nextPanel(Panel panel);

} // namespace dunvale
