#include "rules/fov.h"
#include "rules/view_grid.h"

#include "support/errors.h"
#include "test_support.h"

#include <gtest/gtest.h>

#include <functional>
#include <optional>
#include <vector>

namespace dunvale {
namespace {

using namespace dunvale::testing;

constexpr int32_t turnNow = 7;

// Nine open floor sectors on level 0 with the player in the middle of the
// centre one.
struct OpenField {
    std::unique_ptr<LevelRecord> level;
    Position origin{SectorCoord{0, 0, 0}, 5, 5};

    OpenField() {
        std::vector<SectorCoord> coords;
        for (int32_t sx = -1; sx <= 1; ++sx)
            for (int32_t sy = -1; sy <= 1; ++sy)
                coords.push_back({sx, sy, 0});
        level = levelWith(coords);
    }
    Cell& at(int32_t dx, int32_t dy) { return cellAtOffset(level->sectors, origin, dx, dy); }
    void wall(int32_t dx, int32_t dy) { at(dx, dy).terrain = Terrain::Wall; }
    ViewGrid grid(int32_t radius) { return computeViewGrid(radius, origin, level->sectors); }
    void update(int32_t radius) { updateView(turnNow, radius, origin, level->sectors); }
    bool stamped(int32_t dx, int32_t dy) { return at(dx, dy).lastSeen == turnNow; }
};

TEST(FieldOfView, FullIntervalsOfSquares) {
    // dx, dy, then the interval. Division truncates toward zero: -2500 / 3
    // is -833, not -834.
    const int32_t cases[][4] = {{0, 1, 500, -500},   {0, -1, 500, -500},   {0, 2, 1500, -1500},
                                {1, 0, -500, 500},   {-1, 0, -500, 500},   {2, 0, -166, 166},
                                {-2, 0, -166, 166},  {1, 1, 166, 1500},    {-1, 1, -1500, -166},
                                {-1, -1, 166, 1500}, {1, -1, -1500, -166}, {2, 2, 300, 833},
                                {2, -2, -833, -300}, {3, 1, 71, 300}};
    for (const auto& c : cases) {
        SlopeInterval got = squareInterval(c[0], c[1]);
        EXPECT_EQ(got, (SlopeInterval{c[2], c[3]}))
            << "(" << c[0] << "," << c[1] << ") gave (" << got.first << "," << got.second << ")";
    }
}

using Maybe = std::optional<SlopeInterval>;
const Maybe none;
SlopeInterval S(int32_t first, int32_t second) {
    return SlopeInterval{first, second};
}

TEST(FieldOfView, ThroughClearParent) {
    struct Case {
        const char* what;
        SlopeInterval seen, square;
        Maybe accumulated, expected;
        Case(const char* what, SlopeInterval seen, SlopeInterval square, Maybe accumulated,
             Maybe expected)
            : what(what), seen(seen), square(square), accumulated(accumulated), expected(expected) {
        }
    };
    const Case cases[] = {
        Case("overlap clipped to both", S(-500, 500), S(166, 1500), none, S(166, 500)),
        Case("touching ends count", S(166, 500), S(500, 2500), none, S(500, 500)),
        Case("no overlap leaves A", S(-500, 100), S(166, 1500), none, none),
        Case("no overlap keeps A", S(-500, 100), S(166, 1500), S(1, 2), S(1, 2)),
        Case("merged with A", S(-500, 500), S(166, 1500), S(500, 700), S(166, 700)),
        Case("wrapped, square below: second edge inside", S(500, -500), S(-1500, -166), none,
             S(-1500, -500)),
        Case("wrapped, square below: keeps A's end", S(500, -500), S(-1500, -166), S(-900, -300),
             S(-1500, -300)),
        Case("wrapped, square below: edge on the end is not inside", S(500, -500), S(-1500, -500),
             none, none),
        Case("wrapped, square above: first edge inside", S(500, -500), S(166, 1500), none,
             S(500, 1500)),
        Case("wrapped, square above: keeps A's start", S(500, -500), S(166, 1500), S(200, 300),
             S(200, 1500)),
        Case("wrapped, square above: edge on the start is not inside", S(500, -500), S(500, 2500),
             none, none),
        Case("wrapped, square ending at 0 counts as below", S(500, -500), S(-1000, 0), none,
             S(-1000, -500)),
        Case("point interval counts as wrapping", S(500, 500), S(833, 3500), none, none),
        Case("point interval inside the square", S(500, 500), S(300, 833), none, S(500, 833)),
    };
    for (const Case& c : cases)
        EXPECT_EQ(throughClear(c.seen, c.square, c.accumulated), c.expected) << c.what;
}

TEST(FieldOfView, AlongWallFace) {
    struct Case {
        const char* what;
        SlopeInterval full, seen, square;
        Maybe accumulated, expected;
        Case(const char* what, SlopeInterval full, SlopeInterval seen, SlopeInterval square,
             Maybe accumulated, Maybe expected)
            : what(what), full(full), seen(seen), square(square), accumulated(accumulated),
              expected(expected) {}
    };
    const Case cases[] = {
        Case("A already lit", S(166, 1500), S(166, 500), S(100, 500), S(1, 2), S(1, 2)),
        Case("first edge inside the square", S(166, 1500), S(166, 500), S(100, 500), none,
             S(166, 166)),
        Case("first edge on the square's end", S(166, 1500), S(166, 500), S(100, 166), none,
             S(166, 166)),
        Case("first edge outside: the second is not tried", S(-833, -300), S(-833, -300),
             S(-500, -200), none, none),
        Case("second edge when the first is cut", S(166, 1500), S(300, 1500), S(1000, 2000), none,
             S(1500, 1500)),
        Case("second edge outside", S(166, 1500), S(300, 1500), S(1600, 2000), none, none),
        Case("both edges cut", S(166, 1500), S(300, 1000), S(100, 2000), none, none),
        Case("wrapped, square below uses the second edge", S(500, -500), S(500, -500),
             S(-1500, -166), none, S(-500, -500)),
        Case("wrapped, square above uses the first edge", S(500, -500), S(500, -500), S(166, 1500),
             none, S(500, 500)),
        Case("wrapped, strictly inside only", S(500, -500), S(500, -500), S(500, 2500), none, none),
        Case("wrapped, square starting at 0 counts as below", S(1500, -1500), S(1500, -1500),
             S(0, 2000), none, none),
    };
    for (const Case& c : cases)
        EXPECT_EQ(alongWall(c.full, c.seen, c.square, c.accumulated), c.expected) << c.what;
}

TEST(FieldOfView, RegionOfAnOpenField) {
    struct Case {
        int32_t radius;
        std::vector<int32_t> widths; // by |dy| = 0, 1, ...; -1 for none
        int32_t squares;
    };
    const std::vector<Case> cases = {
        {3, {3, 3, 2, 1}, 37},
        {4, {4, 4, 3, 3, 1}, 61},
        {5, {5, 5, 5, 4, 3, 2}, 97},
        {6, {6, 6, 6, 5, 4, 3, 2}, 129},
    };
    for (const Case& c : cases) {
        OpenField field;
        ViewGrid grid = field.grid(c.radius);
        int32_t evaluated = 0;
        for (int32_t dy = -c.radius; dy <= c.radius; ++dy) {
            int32_t width = c.widths[static_cast<size_t>(dy < 0 ? -dy : dy)];
            for (int32_t dx = -c.radius; dx <= c.radius; ++dx) {
                bool inside = dx >= -width && dx <= width;
                ViewState state = grid.at(dx, dy).state;
                EXPECT_EQ(state != ViewState::Unknown, inside)
                    << "radius " << c.radius << " at (" << dx << "," << dy << ")";
                // Nothing blocks in an open field: whatever is evaluated is seen.
                if (inside) {
                    EXPECT_TRUE(isVisible(state));
                }
                if (state != ViewState::Unknown) ++evaluated;
            }
        }
        EXPECT_EQ(evaluated, c.squares) << "radius " << c.radius;

        field.update(c.radius);
        int32_t stamps = 0;
        for (int32_t dx = -9; dx <= 9; ++dx)
            for (int32_t dy = -9; dy <= 9; ++dy)
                if (field.stamped(dx, dy)) ++stamps;
        EXPECT_EQ(stamps, c.squares) << "radius " << c.radius;
    }
}

TEST(FieldOfView, RadiusFourReachesTheDiagonalThreeButNotFourTwo) {
    OpenField field;
    field.update(4);
    for (int32_t sx : {-1, 1}) {
        for (int32_t sy : {-1, 1}) {
            EXPECT_TRUE(field.stamped(3 * sx, 3 * sy));
            EXPECT_FALSE(field.stamped(4 * sx, 2 * sy));
            EXPECT_EQ(field.at(4 * sx, 2 * sy).lastSeen, neverSeen);
        }
    }
}

TEST(FieldOfView, EnclosedPlayerSeesOnlyTheSquaresAround) {
    OpenField field;
    for (int32_t dx = -1; dx <= 1; ++dx)
        for (int32_t dy = -1; dy <= 1; ++dy)
            if (dx != 0 || dy != 0) field.wall(dx, dy);
    ViewGrid grid = field.grid(3);
    EXPECT_EQ(grid.at(0, 0).state, ViewState::Viewer);
    // The axis neighbours' parent is the viewer: seen, walls included.
    EXPECT_EQ(grid.at(0, 1).state, ViewState::OpaqueSeen);
    EXPECT_EQ(grid.at(0, 1).seen, (SlopeInterval{500, -500}));
    EXPECT_EQ(grid.at(-1, 0).state, ViewState::OpaqueSeen);
    EXPECT_EQ(grid.at(-1, 0).seen, (SlopeInterval{-500, 500}));
    // A diagonal wall between two seen walls shows as their corner.
    EXPECT_EQ(grid.at(1, 1).state, ViewState::Corner);
    EXPECT_EQ(grid.at(-1, -1).state, ViewState::Corner);
    EXPECT_EQ(grid.at(0, 2).state, ViewState::Hidden);
    EXPECT_EQ(grid.at(2, 1).state, ViewState::Hidden);
    EXPECT_EQ(grid.at(1, 2).state, ViewState::Hidden);

    field.update(3);
    for (int32_t dx = -3; dx <= 3; ++dx)
        for (int32_t dy = -3; dy <= 3; ++dy)
            EXPECT_EQ(field.stamped(dx, dy), dx >= -1 && dx <= 1 && dy >= -1 && dy <= 1)
                << "(" << dx << "," << dy << ")";
}

TEST(FieldOfView, WallBehindAWallOnAnAxisIsHidden) {
    OpenField field;
    field.wall(0, 1);
    field.wall(0, 2);
    ViewGrid grid = field.grid(4);
    EXPECT_EQ(grid.at(0, 1).state, ViewState::OpaqueSeen);
    EXPECT_EQ(grid.at(0, 2).state, ViewState::Hidden);
    EXPECT_EQ(grid.at(0, 3).state, ViewState::Hidden);
    field.update(4);
    EXPECT_TRUE(field.stamped(0, 1));
    EXPECT_FALSE(field.stamped(0, 2));
    // The other axes are open as far as the radius.
    EXPECT_TRUE(field.stamped(0, -4));
    EXPECT_TRUE(field.stamped(4, 0));
}

TEST(FieldOfView, SquareBetweenTwoWallsGetsTheirMeetingPoint) {
    OpenField field;
    field.wall(0, 1);
    field.wall(1, 0);
    ViewGrid grid = field.grid(3);
    EXPECT_EQ(grid.at(1, 1).state, ViewState::ClearSeen);
    EXPECT_EQ(grid.at(1, 1).seen, (SlopeInterval{500, 500}));

    field.wall(1, 1);
    EXPECT_EQ(field.grid(3).at(1, 1).state, ViewState::Corner);
    field.update(3);
    EXPECT_TRUE(field.stamped(1, 1));
}

TEST(FieldOfView, WallNextToOneWallIsSeenFromItsEdge) {
    // (0,1) lights the point 500 of (1,1) along its face; the open (1,0)
    // adds (166,500). One wall beside it is no corner.
    OpenField field;
    field.wall(0, 1);
    field.wall(1, 1);
    ViewGrid grid = field.grid(3);
    EXPECT_EQ(grid.at(1, 1).state, ViewState::OpaqueSeen);
    EXPECT_EQ(grid.at(1, 1).seen, (SlopeInterval{166, 500}));
    EXPECT_EQ(grid.at(1, 2).state, ViewState::Hidden);
}

TEST(FieldOfView, WallFaceLightsOnlyThroughTheNeighbourNearerInX) {
    // (2,-2) is a wall seen whole, (-833,-300); its first edge lies inside
    // the square (2,-3), but it is that square's nearer neighbour in y, so it
    // only counts towards a corner. The neighbour nearer in x is hidden
    // behind the wall at (0,-1).
    OpenField field;
    field.wall(0, -1);
    field.wall(2, -2);
    ViewGrid grid = field.grid(4);
    ASSERT_EQ(grid.at(2, -2).state, ViewState::OpaqueSeen);
    EXPECT_EQ(grid.at(2, -2).seen, (SlopeInterval{-833, -300}));
    ASSERT_EQ(grid.at(1, -3).state, ViewState::Hidden);
    EXPECT_EQ(grid.at(2, -3).state, ViewState::Hidden);
    field.update(4);
    EXPECT_FALSE(field.stamped(2, -3));

    // Without the wall at (2,-2) the same square is seen through it.
    OpenField open;
    open.wall(0, -1);
    EXPECT_EQ(open.grid(4).at(2, -3).state, ViewState::ClearSeen);
}

TEST(FieldOfView, SmokeBlocksSightEvenWhenExpired) {
    OpenField field;
    field.at(0, 1).entries.push_back(TempEntry{TempKind::Smoke, 1}); // long past turn 7
    field.at(1, 0).entries.push_back(TempEntry{TempKind::Smoke, 50});
    ViewGrid grid = field.grid(3);
    EXPECT_EQ(grid.at(0, 1).state, ViewState::OpaqueSeen);
    EXPECT_EQ(grid.at(0, 2).state, ViewState::Hidden);
    EXPECT_EQ(grid.at(1, 0).state, ViewState::OpaqueSeen);
    EXPECT_EQ(grid.at(2, 0).state, ViewState::Hidden);
    EXPECT_EQ(grid.at(1, 1).state, ViewState::ClearSeen);
    EXPECT_EQ(grid.at(1, 1).seen, (SlopeInterval{500, 500}));
    // Sight does not clear the smoke away.
    EXPECT_EQ(field.at(0, 1).entries.size(), 1u);
}

TEST(FieldOfView, OpeningsStampTheSquareOnTheOtherLevel) {
    OpenField field;
    addSector(field.level->sectors, {0, 0, 1});
    addSector(field.level->sectors, {0, 0, -1});
    field.at(1, 0).elevation = 3;
    field.at(-1, 0).elevation = -3;
    field.at(0, 1).elevation = 2; // a stair step: nothing above
    field.at(5, 0).elevation = 3; // out of sight at radius 3
    field.update(3);
    SectorTable& table = field.level->sectors;
    EXPECT_EQ(cellAt(table, Position{{0, 0, 1}, 6, 5}).lastSeen, turnNow);
    EXPECT_EQ(cellAt(table, Position{{0, 0, -1}, 4, 5}).lastSeen, turnNow);
    int32_t stampedAbove = 0;
    int32_t stampedBelow = 0;
    for (int32_t x = 0; x < sectorSize; ++x) {
        for (int32_t y = 0; y < sectorSize; ++y) {
            if (cellAt(table, Position{{0, 0, 1}, x, y}).lastSeen == turnNow) ++stampedAbove;
            if (cellAt(table, Position{{0, 0, -1}, x, y}).lastSeen == turnNow) ++stampedBelow;
        }
    }
    EXPECT_EQ(stampedAbove, 1);
    EXPECT_EQ(stampedBelow, 1);
}

TEST(FieldOfView, LookingIntoAMissingSectorRaises) {
    OpenField field;
    field.at(0, -1).elevation = 3;
    EXPECT_EQ(raisedBy([&] { field.update(3); }),
              (Raised{"Couldn't find 0,0,1", errorCode::couldntFind}));
    auto level = levelWith({{0, 0, 0}});
    EXPECT_EQ(raisedBy([&] {
                  updateView(turnNow, 3, Position{{0, 0, 0}, 0, 5}, level->sectors);
              }),
              (Raised{"Couldn't find -1,0,0", errorCode::couldntFind}));
}

TEST(FieldOfView, HiddenSquaresAreNeverLookedUp) {
    // The sector west of the player was never made; every square of it is
    // hidden behind the walls around the player, so nothing asks for it.
    auto level = levelWith({{0, 0, 0}});
    Position origin{{0, 0, 0}, 1, 5};
    for (int32_t dx = -1; dx <= 1; ++dx)
        for (int32_t dy = -1; dy <= 1; ++dy)
            if (dx != 0 || dy != 0)
                cellAtOffset(level->sectors, origin, dx, dy).terrain = Terrain::Wall;
    EXPECT_NO_THROW(updateView(turnNow, 6, origin, level->sectors));
    EXPECT_EQ(cellAt(level->sectors, origin).lastSeen, turnNow);
}

TEST(FieldOfView, SquaresOutsideTheRegionAreNeverLookedUp) {
    // At radius 4 the squares with dx >= 4 and dy >= 4 are never evaluated:
    // the stored sector holding them stays in the store.
    OpenField field;
    field.origin = Position{{0, 0, 0}, 6, 6};
    markStored(field.level->sectors, {1, 1, 0});
    EXPECT_NO_THROW(field.update(4));
    EXPECT_TRUE(hasSlot(field.level->sectors, {1, 1, 0}));
    EXPECT_FALSE(isInMemory(field.level->sectors, {1, 1, 0}));
    EXPECT_TRUE(field.stamped(3, 3));
}

// The next turn's view from the same square is worked out again only when
// something it looked at changed; either way it stamps what a fresh look
// stamps.
TEST(FieldOfView, NextTurnSeesWhatAFreshLookSees) {
    struct Case {
        const char* what;
        std::function<void(OpenField&)> change;
    };
    const Case cases[] = {
        {"nothing", [](OpenField&) {}},
        {"a wall in the way", [](OpenField& f) { f.wall(2, 0); }},
        {"a wall gone", [](OpenField& f) { f.at(0, 1).terrain = Terrain::Floor; }},
        {"smoke in the way",
         [](OpenField& f) {
             f.at(-1, -1).entries.push_back(TempEntry{TempKind::Smoke, 1});
         }},
        {"smoke gone", [](OpenField& f) { f.at(1, -2).entries.clear(); }},
        {"a step", [](OpenField& f) { f.origin = movePosition(f.origin, 1, 0, 0); }},
        {"its sector stored and back, elsewhere in memory",
         [](OpenField& f) {
             std::unique_ptr<Sector> held = markStored(f.level->sectors, f.origin.sector);
             putSector(f.level->sectors, f.origin.sector,
                       std::make_unique<Sector>(std::move(*held)));
         }},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        OpenField looked;
        OpenField fresh;
        for (OpenField* f : {&looked, &fresh}) {
            f->wall(0, 1);
            f->at(1, -2).entries.push_back(TempEntry{TempKind::Smoke, 1});
        }
        looked.update(4);
        c.change(looked);
        c.change(fresh);
        updateView(turnNow + 1, 4, looked.origin, looked.level->sectors);
        // Worked out from nothing, past anything updateView remembers.
        stampViewGrid(fresh.grid(4), turnNow + 1, fresh.origin, fresh.level->sectors);
        for (int32_t dx = -6; dx <= 6; ++dx)
            for (int32_t dy = -6; dy <= 6; ++dy)
                EXPECT_EQ(looked.at(dx, dy).lastSeen == turnNow + 1,
                          fresh.at(dx, dy).lastSeen == turnNow + 1)
                    << "(" << dx << "," << dy << ")";
    }
}

TEST(FieldOfView, StampsOnlyMoveForward) {
    OpenField field;
    field.at(5, 5).lastSeen = 3; // far out of sight: kept
    field.update(3);
    EXPECT_EQ(field.at(5, 5).lastSeen, 3);
    EXPECT_EQ(field.at(0, 0).lastSeen, turnNow);
}

} // namespace
} // namespace dunvale
