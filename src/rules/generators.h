#pragma once
// The generators behind build sector. Each lays out the squares of a new,
// all-Wall sector (its border already matched to the neighbours), sets the
// staircase links where it has any, and names the sector's kind.
#include "rules/map.h"

#include <array>
#include <optional>

namespace dunvale {

// The plain painter makes a rectangle Floor; the chamber painter also opens
// the 3 x 3 block around the rectangle's far corner.
enum class Painter { Plain, Chamber };

// Floor on x0..x1 x y0..y1, and the chamber around (x1, y1) when asked.
void paintCorridor(CellGrid& cells, Painter painter, int32_t x0, int32_t y0, int32_t x1,
                   int32_t y1);
// Opens exactly min(exits, 4) sides, each with 1 to `gaps` openings.
void openSides(CellGrid& cells, int32_t exits, int32_t gaps);
// Opens the sides, then carves a corridor inward from every non-corner
// opening of the border.
void layOutMaze(CellGrid& cells, int32_t exits, int32_t gaps, Painter painter);
// Every square with x and y in 1..8 Floor.
void openHall(CellGrid& cells);

SectorKind entranceGenerator(Sector& sector, int32_t exits);
SectorKind mazeGenerator(Sector& sector, int32_t exits, int32_t gaps, Painter painter);
SectorKind unstableTunnelsGenerator(Sector& sector, int32_t exits, SectorTable& table,
                                    SectorCoord c);
// sign +1 builds stairs up, -1 stairs down.
SectorKind stairsGenerator(Sector& sector, int32_t exits, SectorTable& table, SectorCoord c,
                           int32_t sign);
SectorKind spiralStaircaseGenerator(Sector& sector, int32_t exits, SectorTable& table,
                                    SectorCoord c);

// The squares a spiral cut walks, in order, for a link direction.
std::array<std::array<int32_t, 2>, 18> spiralSquares(Direction direction, bool upward);
// Ordinal 0 <-> 1, 2 <-> 3.
Direction reversed(Direction direction);

} // namespace dunvale
