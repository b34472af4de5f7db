#include "rules/fov.h"

#include "rules/view_grid.h"
#include "support/errors.h"
#include "support/wrap.h"

#include <algorithm>

namespace dunvale {

namespace {

int32_t sgn(int32_t n) {
    return n < 0 ? -1 : (n > 0 ? 1 : 0);
}

// Walls block sight, and so does smoke on any other ground until the map
// drawing clears it away, however old it is.
bool blocksSight(const Cell& cell) {
    if (cell.terrain == Terrain::Wall) return true;
    return std::any_of(cell.entries.begin(), cell.entries.end(),
                       [](const TempEntry& entry) { return entry.kind == TempKind::Smoke; });
}

struct Evaluation {
    ViewGrid& grid;
    Position origin;
    SectorTable& table;

    bool cellBlocks(int32_t dx, int32_t dy) {
        return blocksSight(cellAtOffset(table, origin, dx, dy));
    }

    ViewSquare evaluate(int32_t dx, int32_t dy) {
        ViewSquare& square = grid.at(dx, dy);
        if (square.state != ViewState::Unknown) return square;
        ViewSquare result = (dx == 0 || dy == 0) ? onAxis(dx, dy) : offAxis(dx, dy);
        grid.at(dx, dy) = result;
        return result;
    }

    // Along an axis nothing but a blocking square in between stops sight.
    ViewSquare onAxis(int32_t dx, int32_t dy) {
        ViewSquare parent = evaluate(dx - sgn(dx), dy - sgn(dy));
        if (parent.state != ViewState::ClearSeen && parent.state != ViewState::Viewer)
            return ViewSquare{ViewState::Hidden, {}};
        SlopeInterval full = squareInterval(dx, dy);
        ViewState state = cellBlocks(dx, dy) ? ViewState::OpaqueSeen : ViewState::ClearSeen;
        return ViewSquare{state, full};
    }

    ViewSquare offAxis(int32_t dx, int32_t dy) {
        int32_t p1x = dx - sgn(dx);
        ViewSquare p1 = evaluate(p1x, dy);
        ViewSquare p2 = evaluate(dx, dy - sgn(dy));
        SlopeInterval whole = squareInterval(dx, dy);
        std::optional<SlopeInterval> accumulated;
        int32_t walls = 0;
        if (p1.state == ViewState::ClearSeen) {
            accumulated = throughClear(p1.seen, whole, accumulated);
        } else if (p1.state == ViewState::OpaqueSeen) {
            accumulated = alongWall(squareInterval(p1x, dy), p1.seen, whole, accumulated);
            ++walls;
        }
        // A wall nearer in y only counts towards a corner; its face lights
        // nothing here.
        if (p2.state == ViewState::ClearSeen) {
            accumulated = throughClear(p2.seen, whole, accumulated);
        } else if (p2.state == ViewState::OpaqueSeen) {
            ++walls;
        }
        if (!accumulated) return ViewSquare{ViewState::Hidden, {}};
        if (!cellBlocks(dx, dy)) return ViewSquare{ViewState::ClearSeen, *accumulated};
        if (walls == 2) return ViewSquare{ViewState::Corner, {}};
        return ViewSquare{ViewState::OpaqueSeen, *accumulated};
    }
};

} // namespace

size_t ViewGrid::indexOf(int32_t dx, int32_t dy) const {
    size_t side = static_cast<size_t>(2 * radius + 1);
    return static_cast<size_t>(radius + dy) * side + static_cast<size_t>(radius + dx);
}

ViewSquare& ViewGrid::at(int32_t dx, int32_t dy) {
    return squares[indexOf(dx, dy)];
}

const ViewSquare& ViewGrid::at(int32_t dx, int32_t dy) const {
    return squares[indexOf(dx, dy)];
}

bool isVisible(ViewState state) {
    return state == ViewState::Corner || state == ViewState::OpaqueSeen ||
           state == ViewState::ClearSeen || state == ViewState::Viewer;
}

SlopeInterval squareInterval(int32_t dx, int32_t dy) {
    if (dx == 0) {
        int32_t v = wrapAbs(wrapSub(wrapMul(1000, dy), wrapMul(500, sgn(dy))));
        return SlopeInterval{v, wrapNeg(v)};
    }
    if (dy == 0) {
        int32_t e = wrapAbs(wholeDiv(500, wrapSub(wrapMul(2, dx), sgn(dx))));
        return SlopeInterval{wrapNeg(e), e};
    }
    int32_t c = (sgn(dx) == sgn(dy)) ? -500 : 500;
    int32_t s1 = wholeDiv(wrapAdd(wrapMul(1000, dy), c), wrapAdd(wrapMul(2, dx), 1));
    int32_t s2 = wholeDiv(wrapSub(wrapMul(1000, dy), c), wrapSub(wrapMul(2, dx), 1));
    return SlopeInterval{std::min(s1, s2), std::max(s1, s2)};
}

std::optional<SlopeInterval> throughClear(SlopeInterval seen, SlopeInterval square,
                                          std::optional<SlopeInterval> accumulated) {
    int32_t p = seen.first;
    int32_t q = seen.second;
    int32_t s1 = square.first;
    int32_t s2 = square.second;
    if (p < q) {
        // Touching ends count as overlapping.
        if (!(s1 <= q && p <= s2)) return accumulated;
        SlopeInterval w{std::max(p, s1), std::min(q, s2)};
        if (!accumulated) return w;
        return SlopeInterval{std::min(accumulated->first, w.first),
                             std::max(accumulated->second, w.second)};
    }
    // A parent seen across the vertical: only its edge inside the square
    // (strictly) lets anything through.
    if (s2 <= 0) {
        if (!(s1 < q && q < s2)) return accumulated;
        if (!accumulated) return SlopeInterval{s1, q};
        return SlopeInterval{s1, accumulated->second};
    }
    if (!(s1 < p && p < s2)) return accumulated;
    if (!accumulated) return SlopeInterval{p, s2};
    return SlopeInterval{accumulated->first, s2};
}

std::optional<SlopeInterval> alongWall(SlopeInterval full, SlopeInterval seen, SlopeInterval square,
                                       std::optional<SlopeInterval> accumulated) {
    if (accumulated) return accumulated;
    int32_t p = seen.first;
    int32_t q = seen.second;
    int32_t s1 = square.first;
    int32_t s2 = square.second;
    if (p < q) {
        // The first edge wins when the wall is seen up to it; the second is
        // then not tried.
        if (p == full.first) {
            if (s1 <= p && p <= s2) return SlopeInterval{p, p};
            return std::nullopt;
        }
        if (q == full.second) {
            if (s1 <= q && q <= s2) return SlopeInterval{q, q};
            return std::nullopt;
        }
        return std::nullopt;
    }
    if (s1 <= 0) {
        if (s1 < q && q < s2) return SlopeInterval{q, q};
        return std::nullopt;
    }
    if (s1 < p && p < s2) return SlopeInterval{p, p};
    return std::nullopt;
}

ViewGrid computeViewGrid(int32_t radius, Position p, SectorTable& table) {
    if (radius < 0) raiseError("Value out of range", errorCode::valueOutOfRange);
    ViewGrid grid;
    grid.radius = radius;
    size_t side = static_cast<size_t>(2 * radius + 1);
    grid.squares.assign(side * side, ViewSquare{});
    grid.at(0, 0).state = ViewState::Viewer;

    // The midpoint circle traces the edge of the region; evaluating its
    // squares evaluates every square nearer that they depend on.
    Evaluation evaluation{grid, p, table};
    int32_t x = 0;
    int32_t y = radius;
    int32_t d = 1 - radius;
    while (x <= y) {
        evaluation.evaluate(x, y);
        evaluation.evaluate(x, -y);
        evaluation.evaluate(-x, y);
        evaluation.evaluate(-x, -y);
        evaluation.evaluate(y, x);
        evaluation.evaluate(y, -x);
        evaluation.evaluate(-y, x);
        evaluation.evaluate(-y, -x);
        if (d < 0) {
            d = d + 2 * x + 3;
        } else {
            d = d + 2 * (x - y) + 5;
            y = y - 1;
        }
        x = x + 1;
    }
    return grid;
}

void stampViewGrid(const ViewGrid& grid, int32_t turn, Position p, SectorTable& table) {
    int32_t r = grid.radius;
    for (int32_t dx = -r; dx <= r; ++dx) {
        for (int32_t dy = -r; dy <= r; ++dy) {
            if (!isVisible(grid.at(dx, dy).state)) continue;
            Position square = movePosition(p, dx, dy, 0);
            Cell& cell = cellAt(table, square);
            cell.lastSeen = turn;
            // An opening to another level shows the same square there too.
            if (cell.elevation == 3) {
                cellAt(table, movePosition(square, 0, 0, 1)).lastSeen = turn;
            } else if (cell.elevation == -3) {
                cellAt(table, movePosition(square, 0, 0, -1)).lastSeen = turn;
            }
        }
    }
}

void updateView(int32_t turn, int32_t radius, Position p, SectorTable& table) {
    ViewGrid grid = computeViewGrid(radius, p, table);
    stampViewGrid(grid, turn, p, table);
}

} // namespace dunvale
