#pragma once
// The view grid of one field-of-view update: what each square around the
// player lets through, worked out from the player outwards.
#include "rules/map.h"

#include <cstdint>
#include <optional>
#include <vector>

namespace dunvale {

// Slopes dy/dx of lines from the centre of the player's square, times 500.
// When first >= second the interval wraps through the vertical: every slope
// >= first together with every slope <= second.
struct SlopeInterval {
    int32_t first = 0;
    int32_t second = 0;
    friend bool operator==(const SlopeInterval&, const SlopeInterval&) = default;
};

enum class ViewState : int32_t { Unknown, Hidden, Corner, OpaqueSeen, ClearSeen, Viewer };

struct ViewSquare {
    ViewState state = ViewState::Unknown;
    SlopeInterval seen; // only for OpaqueSeen and ClearSeen
};

// (2r + 1) x (2r + 1) squares, column r + dx, row r + dy, kept column after
// column: the order in which the visible squares are stamped.
struct ViewGrid {
    int32_t radius = 0;
    std::vector<ViewSquare> squares;

    ViewSquare& at(int32_t dx, int32_t dy) { return squares[indexOf(dx, dy)]; }
    const ViewSquare& at(int32_t dx, int32_t dy) const { return squares[indexOf(dx, dy)]; }
    size_t indexOf(int32_t dx, int32_t dy) const {
        const auto side = static_cast<size_t>(2 * radius + 1);
        return static_cast<size_t>(radius + dx) * side + static_cast<size_t>(radius + dy);
    }
};

// Corner, OpaqueSeen, ClearSeen and Viewer squares are stamped as seen.
bool isVisible(ViewState state);

// The whole interval a square at (dx, dy) != (0, 0) covers.
SlopeInterval squareInterval(int32_t dx, int32_t dy);

// The part of `square` seen through a visible clear parent whose seen part is
// `seen`, merged into the accumulated interval.
std::optional<SlopeInterval> throughClear(SlopeInterval seen, SlopeInterval square,
                                          std::optional<SlopeInterval> accumulated);

// The face of a seen wall (`full` its whole interval, `seen` the part seen)
// lights the point of `square` at the wall's visible edge.
std::optional<SlopeInterval> alongWall(SlopeInterval full, SlopeInterval seen, SlopeInterval square,
                                       std::optional<SlopeInterval> accumulated);

// Evaluates the boundary of the view region of radius r around p and,
// through their parents, everything nearer. A Cell is looked up only where a
// rule needs its terrain, since a look-up may load a stored sector.
ViewGrid computeViewGrid(int32_t radius, Position p, SectorTable& table);

// Stamps every visible square of the grid (and the square on the other level
// under an opening of elevation 3 or -3) with the turn.
void stampViewGrid(const ViewGrid& grid, int32_t turn, Position p, SectorTable& table);

} // namespace dunvale
