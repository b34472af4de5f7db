#include "rules/fov.h"

#include "rules/sector_window.h"
#include "rules/view_grid.h"
#include "support/errors.h"
#include "support/wrap.h"

#include <algorithm>
#include <array>
#include <cstring>
#include <type_traits>
#include <vector>

namespace dunvale {

namespace {

static_assert(std::is_trivially_copyable_v<ViewSquare> && static_cast<int>(ViewState::Unknown) == 0,
              "a ViewSquare with all bits clear is an Unknown square");

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

// Radii up to this have their evaluation order and square intervals worked
// out once; larger ones (no player sees that far) as they come.
constexpr int32_t tabledRadius = 10;

struct Offset {
    int32_t dx = 0;
    int32_t dy = 0;
};

// The squares a view of radius r evaluates, in the order their evaluation
// finishes: the edge of the region traced by the midpoint circle, each square
// after the nearer squares it depends on (along an axis the one before it,
// off the axes the one nearer in x, then the one nearer in y). Nothing but r
// decides the order, and so which Cells are looked up when.
std::vector<Offset> evaluationOrder(int32_t radius) {
    const int32_t side = 2 * radius + 1;
    std::vector<bool> done(static_cast<size_t>(side) * static_cast<size_t>(side), false);
    const auto index = [&](int32_t dx, int32_t dy) {
        return static_cast<size_t>(radius + dy) * static_cast<size_t>(side) +
               static_cast<size_t>(radius + dx);
    };
    done[index(0, 0)] = true; // the viewer
    std::vector<Offset> order;
    const auto visit = [&](const auto& self, int32_t dx, int32_t dy) -> void {
        if (done[index(dx, dy)]) return;
        done[index(dx, dy)] = true;
        if (dx == 0 || dy == 0) {
            self(self, dx - sgn(dx), dy - sgn(dy));
        } else {
            self(self, dx - sgn(dx), dy);
            self(self, dx, dy - sgn(dy));
        }
        order.push_back(Offset{dx, dy});
    };
    int32_t x = 0;
    int32_t y = radius;
    int32_t d = 1 - radius;
    while (x <= y) {
        for (Offset o : {Offset{x, y}, Offset{x, -y}, Offset{-x, y}, Offset{-x, -y}, Offset{y, x},
                         Offset{y, -x}, Offset{-y, x}, Offset{-y, -x}})
            visit(visit, o.dx, o.dy);
        if (d < 0) {
            d = d + 2 * x + 3;
        } else {
            d = d + 2 * (x - y) + 5;
            y = y - 1;
        }
        x = x + 1;
    }
    return order;
}

// One square of the evaluation order, with what evaluating it needs: where
// it and the squares it depends on lie in the grid, and the intervals used.
struct Step {
    int32_t dx = 0;
    int32_t dy = 0;
    bool onAxis = false;
    size_t at = 0;
    size_t nearerX = 0; // on an axis: the square before it
    size_t nearerY = 0; // off the axes only
    SlopeInterval whole;
    SlopeInterval nearerXWhole; // off the axes only
};

std::vector<Step> evaluationSteps(int32_t radius) {
    ViewGrid shape;
    shape.radius = radius;
    const auto at = [&shape](int32_t dx, int32_t dy) { return shape.indexOf(dx, dy); };
    std::vector<Step> steps;
    for (Offset o : evaluationOrder(radius)) {
        Step step{o.dx, o.dy, o.dx == 0 || o.dy == 0,     at(o.dx, o.dy),
                  0,    0,    squareInterval(o.dx, o.dy), {}};
        if (step.onAxis) {
            step.nearerX = at(o.dx - sgn(o.dx), o.dy - sgn(o.dy));
        } else {
            step.nearerX = at(o.dx - sgn(o.dx), o.dy);
            step.nearerY = at(o.dx, o.dy - sgn(o.dy));
            step.nearerXWhole = squareInterval(o.dx - sgn(o.dx), o.dy);
        }
        steps.push_back(step);
    }
    return steps;
}

// Worked out the first time a radius is asked for.
const std::vector<Step>& tabledSteps(int32_t radius) {
    static std::array<std::vector<Step>, tabledRadius + 1> orders;
    std::vector<Step>& steps = orders[static_cast<size_t>(radius)];
    if (steps.empty()) steps = evaluationSteps(radius);
    return steps;
}

// Works out each square from the nearer squares it depends on, which are
// always worked out before it.
// A Cell the view looked up, and whether it blocked sight.
struct LookUp {
    const Cell* cell = nullptr;
    bool blocks = false;
};

// What an evaluation looked up: each Cell in order, and the Cell of each
// square of the grid that was looked up (the others are left as they were).
struct LookUpNotes {
    std::vector<LookUp> lookUps;
    std::vector<Cell*> cells;
};

struct Evaluation {
    ViewGrid& grid;
    Position origin;
    SectorWindow& sectors;
    LookUpNotes* notes = nullptr; // where the look-ups are noted, if anywhere

    bool cellBlocks(const Step& step) {
        Cell& cell = sectors.cell(origin.x, origin.y, step.dx, step.dy);
        const bool blocks = blocksSight(cell);
        if (notes != nullptr) {
            notes->lookUps.push_back(LookUp{&cell, blocks});
            notes->cells[step.at] = &cell;
        }
        return blocks;
    }

    void evaluate(const Step& step) {
        grid.squares[step.at] = step.onAxis ? onAxis(step) : offAxis(step);
    }

    // Along an axis nothing but a blocking square in between stops sight.
    ViewSquare onAxis(const Step& step) {
        const ViewSquare& parent = grid.squares[step.nearerX];
        if (parent.state != ViewState::ClearSeen && parent.state != ViewState::Viewer)
            return ViewSquare{ViewState::Hidden, {}};
        const bool blocks = cellBlocks(step);
        return ViewSquare{blocks ? ViewState::OpaqueSeen : ViewState::ClearSeen, step.whole};
    }

    ViewSquare offAxis(const Step& step) {
        const ViewSquare& p1 = grid.squares[step.nearerX];
        const ViewSquare& p2 = grid.squares[step.nearerY];
        const SlopeInterval whole = step.whole;
        std::optional<SlopeInterval> accumulated;
        int32_t walls = 0;
        if (p1.state == ViewState::ClearSeen) {
            accumulated = throughClear(p1.seen, whole, accumulated);
        } else if (p1.state == ViewState::OpaqueSeen) {
            accumulated = alongWall(step.nearerXWhole, p1.seen, whole, accumulated);
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
        if (!cellBlocks(step)) return ViewSquare{ViewState::ClearSeen, *accumulated};
        if (walls == 2) return ViewSquare{ViewState::Corner, {}};
        return ViewSquare{ViewState::OpaqueSeen, *accumulated};
    }
};

[[gnu::flatten]] void evaluateAll(ViewGrid& grid, int32_t radius, Position p, SectorWindow& sectors,
                                  LookUpNotes* notes) {
    if (radius < 0) raiseError("Value out of range", errorCode::valueOutOfRange);
    grid.radius = radius;
    size_t side = static_cast<size_t>(2 * radius + 1);
    // Every square Unknown: all bits clear.
    grid.squares.resize(side * side);
    std::memset(static_cast<void*>(grid.squares.data()), 0,
                grid.squares.size() * sizeof(ViewSquare));
    grid.at(0, 0).state = ViewState::Viewer;
    if (notes != nullptr) {
        notes->lookUps.clear();
        notes->cells.resize(grid.squares.size());
    }
    Evaluation evaluation{grid, p, sectors, notes};
    if (radius <= tabledRadius) {
        for (const Step& step : tabledSteps(radius))
            evaluation.evaluate(step);
    } else {
        for (const Step& step : evaluationSteps(radius))
            evaluation.evaluate(step);
    }
}

// A visible square and its Cell on the player's level.
struct SeenSquare {
    Cell* cell = nullptr;
    int32_t dx = 0;
    int32_t dy = 0;
};

// The view updateView worked out last, with every Cell it looked up in
// order. While the player looks from the same square as far, and those Cells
// are all held in memory and block sight as they did, working the view out
// again would look up the same Cells, load nothing and come to the same grid:
// so it is not worked out again. Resting turns see the same view.
struct RememberedView {
    int32_t radius = -1;
    Position origin;
    LookUpNotes notes;
    ViewGrid grid;
    // The visible squares in the order they are stamped.
    std::vector<SeenSquare> visible;
    // The sectors on the player's level that the Cells above lie in (null
    // where none does), as levelSlot places them. While each still holds the
    // same sector, the Cells are where they were.
    std::array<Sector*, 9> sectors{};
};

RememberedView remembered;

// The window slot of the i-th sector of the player's level, i = 3 * (sx + 1)
// + sy + 1.
size_t levelSlot(size_t i) {
    return i * 3 + 1;
}

bool stillHolds(const RememberedView& view, int32_t radius, Position p, SectorTable& table) {
    if (view.radius != radius || view.origin != p) return false;
    SectorWindow sectors(table, p.sector);
    for (size_t i = 0; i < view.sectors.size(); ++i)
        if (view.sectors[i] != nullptr && sectors.heldSector(levelSlot(i)) != view.sectors[i])
            return false;
    for (const LookUp& lookUp : view.notes.lookUps)
        if (blocksSight(*lookUp.cell) != lookUp.blocks) return false;
    return true;
}

} // namespace

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
    ViewGrid grid;
    SectorWindow sectors(table, p.sector);
    evaluateAll(grid, radius, p, sectors, nullptr);
    return grid;
}

namespace {

// An opening to another level shows the same square there too.
[[gnu::noinline]] void stampOtherLevel(SectorWindow& sectors, int32_t turn, Position p,
                                       const SeenSquare& square) {
    const int32_t dz = square.cell->elevation == 3 ? 1 : -1;
    sectors.cell(p.x, p.y, square.dx, square.dy, dz).lastSeen = turn;
}

// Stamps a square seen from p with the turn, and the square on the other
// level under an opening.
void stampSquare(SectorWindow& sectors, int32_t turn, Position p, const SeenSquare& square) {
    Cell& cell = *square.cell;
    cell.lastSeen = turn;
    if (cell.elevation == 3 || cell.elevation == -3) stampOtherLevel(sectors, turn, p, square);
}

// Stamps every visible square of the grid, column by column from the west,
// each from north to south, and notes them in `seen` in that order. The
// Cells are those the evaluation noted, when it did.
void stampVisible(const ViewGrid& grid, int32_t turn, Position p, SectorWindow& sectors,
                  const LookUpNotes* notes, std::vector<SeenSquare>& seen) {
    seen.clear();
    const int32_t r = grid.radius;
    const auto side = static_cast<size_t>(2 * r + 1);
    const size_t viewer = grid.indexOf(0, 0);
    for (size_t at = 0; at < grid.squares.size(); ++at) {
        if (!isVisible(grid.squares[at].state)) continue;
        const int32_t dx = static_cast<int32_t>(at / side) - r;
        const int32_t dy = static_cast<int32_t>(at % side) - r;
        Cell* cell =
            notes != nullptr && at != viewer ? notes->cells[at] : &sectors.cell(p.x, p.y, dx, dy);
        seen.push_back(SeenSquare{cell, dx, dy});
        stampSquare(sectors, turn, p, seen.back());
    }
}

} // namespace

void stampViewGrid(const ViewGrid& grid, int32_t turn, Position p, SectorTable& table) {
    SectorWindow sectors(table, p.sector);
    std::vector<SeenSquare> seen;
    stampVisible(grid, turn, p, sectors, nullptr, seen);
}

void updateView(int32_t turn, int32_t radius, Position p, SectorTable& table) {
    if (stillHolds(remembered, radius, p, table)) {
        // The Cells on the player's level are in hand; a look-up to another
        // level under an opening is made as it comes.
        SectorWindow sectors(table, p.sector);
        for (const SeenSquare& square : remembered.visible)
            stampSquare(sectors, turn, p, square);
        return;
    }
    // Forgotten first: a look-up that raises leaves nothing half noted. The
    // stamps share the evaluation's sectors: held since, none evicted.
    remembered.radius = -1;
    SectorWindow sectors(table, p.sector);
    evaluateAll(remembered.grid, radius, p, sectors, &remembered.notes);
    stampVisible(remembered.grid, turn, p, sectors, &remembered.notes, remembered.visible);
    for (size_t i = 0; i < remembered.sectors.size(); ++i)
        remembered.sectors[i] = sectors.foundSector(levelSlot(i));
    remembered.radius = radius;
    remembered.origin = p;
}

} // namespace dunvale
