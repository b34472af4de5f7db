#pragma once
// Making sectors: borders matched to the neighbours, a generator lays out the
// squares, then the contents are filled in.
#include "rules/map.h"

namespace dunvale {

// Who lays out a new sector. The chooser picks among the kinds of maze and
// staircase; UnstableBase is the 4-exit maze below unstable tunnels.
enum class Generator { Entrance, MazeChooser, StairsUp, StairsDown, SpiralStaircase, UnstableBase };

// The level record with the entrance sector and its eight neighbours; far
// sectors go to `store`, which stays open while the level is played.
LevelRecord newLabyrinth(GameStore& store);
// Builds the sector at c unless it has a slot already.
void ensureSector(SectorTable& table, SectorCoord c, Generator generator);
void buildSector(SectorTable& table, SectorCoord c, int32_t exits, Generator generator);
// 1 to 4 sides with openings.
int32_t drawExits();

} // namespace dunvale
