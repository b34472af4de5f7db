// Staircases between levels: straight stairs that come in up/down pairs, and
// spiral staircases that stack into columns over several levels.
#include "rules/generators.h"
#include "support/errors.h"
#include "support/random.h"
#include "support/wrap.h"

namespace dunvale {

namespace {

// Links read back from the store are trusted no further than the grid.
Cell& squareAt(CellGrid& cells, int32_t x, int32_t y) {
    if (x < 0 || x > 9 || y < 0 || y > 9) raiseError("Out of bounds error", errorCode::outOfBounds);
    return cells[static_cast<size_t>(x)][static_cast<size_t>(y)];
}

struct Run {
    int32_t a = 0;
    int32_t b = 0;
    StairLink partner; // what the sector on the other level receives
};

Run runOf(StairLink link) {
    switch (link.direction) {
    case Direction::South: return {0, -1, {Direction::North, link.x, wrapAdd(link.y, 1)}};
    case Direction::North: return {0, 1, {Direction::South, link.x, wrapSub(link.y, 1)}};
    case Direction::West: return {-1, 0, {Direction::East, wrapAdd(link.x, 1), link.y}};
    case Direction::East: return {1, 0, {Direction::West, wrapSub(link.x, 1), link.y}};
    }
    raiseMissingCase();
}

StairLink freshStairLink() {
    int32_t d = randomBelow(4);
    switch (d) {
    case 0: return {Direction::North, 4, 5};
    case 1: return {Direction::South, 4, 4};
    case 2: return {Direction::East, 5, 4};
    case 3: return {Direction::West, 4, 4};
    default: raiseMissingDefault();
    }
}

// The staircase is two squares wide; (along, across) are offsets along the
// run and across it from the link's square.
void cutStairs(CellGrid& cells, StairLink link, Run run, int32_t sign) {
    auto at = [&](int32_t along, int32_t across) -> Cell& {
        if (run.a == 0) return squareAt(cells, wrapAdd(link.x, across), wrapAdd(link.y, along));
        return squareAt(cells, wrapAdd(link.x, along), wrapAdd(link.y, across));
    };
    int32_t step = run.a == 0 ? run.b : run.a;
    for (int32_t across = 0; across <= 1; ++across) {
        at(0, across).elevation = 3 * sign;
        at(step, across).elevation = 3 * sign;
        at(2 * step, across).terrain = Terrain::Wall;
        at(-step, across).elevation = 2 * sign;
        at(-2 * step, across).elevation = sign;
    }
    for (int32_t along = -2; along <= 2; ++along) {
        at(along, 2).terrain = Terrain::Wall;
        at(along, -1).terrain = Terrain::Wall;
    }
}

SectorKind buildStairs(Sector& sector, int32_t exits, std::optional<StairLink> given,
                       int32_t sign) {
    openSides(sector.cells, exits, 2);
    StairLink link = given ? *given : freshStairLink();
    Run run = runOf(link);
    if (sign > 0)
        sector.upLink = run.partner;
    else
        sector.downLink = run.partner;
    openHall(sector.cells);
    cutStairs(sector.cells, link, run, sign);
    return sign > 0 ? SectorKind::StairsUp : SectorKind::StairsDown;
}

struct SpiralWalk {
    bool outerIsX = false;
    int32_t outerFrom = 0;
    int32_t outerStep = 0;
    std::array<int32_t, 3> inner;
};

SpiralWalk spiralWalk(Direction direction, bool upward) {
    switch (direction) {
    case Direction::South:
        return upward ? SpiralWalk{false, 2, 1, {7, 6, 5}} : SpiralWalk{false, 2, 1, {4, 3, 2}};
    case Direction::North:
        return upward ? SpiralWalk{false, 7, -1, {2, 3, 4}} : SpiralWalk{false, 7, -1, {5, 6, 7}};
    case Direction::West:
        return upward ? SpiralWalk{true, 2, 1, {2, 3, 4}} : SpiralWalk{true, 2, 1, {5, 6, 7}};
    case Direction::East:
        return upward ? SpiralWalk{true, 7, -1, {7, 6, 5}} : SpiralWalk{true, 7, -1, {4, 3, 2}};
    }
    raiseMissingCase();
}

// The rock around each stair is written as the value that means Wall for its
// cut: -1 going up, 1 going down.
constexpr std::array<int32_t, 18> upwardPattern{-1, -1, -1, -1, 3, -1, -1, 3,  -1,
                                                -1, 2,  -1, -1, 1, 0,  -1, -1, 0};
constexpr std::array<int32_t, 18> downwardPattern{1, 1,  1, 1, -3, 1, 1, -3, 1,
                                                  1, -2, 1, 0, -1, 1, 0, 1,  1};

void cutSpiral(CellGrid& cells, Direction direction, bool upward) {
    const auto squares = spiralSquares(direction, upward);
    const auto& pattern = upward ? upwardPattern : downwardPattern;
    for (size_t i = 0; i < squares.size(); ++i) {
        Cell& cell = squareAt(cells, squares[i][0], squares[i][1]);
        int32_t value = pattern[i];
        bool wall = upward ? value < 0 : value > 0;
        if (wall)
            cell.terrain = Terrain::Wall;
        else
            cell.elevation = value;
    }
}

Direction directionOf(int32_t ordinal) {
    switch (ordinal) {
    case 0: return Direction::South;
    case 1: return Direction::North;
    case 2: return Direction::West;
    case 3: return Direction::East;
    default: raiseMissingDefault();
    }
}

} // namespace

Direction reversed(Direction direction) {
    switch (direction) {
    case Direction::South: return Direction::North;
    case Direction::North: return Direction::South;
    case Direction::West: return Direction::East;
    case Direction::East: return Direction::West;
    }
    raiseMissingCase();
}

std::array<std::array<int32_t, 2>, 18> spiralSquares(Direction direction, bool upward) {
    SpiralWalk walk = spiralWalk(direction, upward);
    std::array<std::array<int32_t, 2>, 18> squares{};
    size_t i = 0;
    for (int32_t line = 0; line < 6; ++line) {
        int32_t outer = walk.outerFrom + line * walk.outerStep;
        for (int32_t inner : walk.inner)
            squares[i++] = walk.outerIsX ? std::array<int32_t, 2>{outer, inner}
                                         : std::array<int32_t, 2>{inner, outer};
    }
    return squares;
}

SectorKind stairsGenerator(Sector& sector, int32_t exits, SectorTable& table, SectorCoord c,
                           int32_t sign) {
    SectorCoord otherCoord{c.sx, c.sy, sign > 0 ? wrapAdd(c.sz, 1) : wrapSub(c.sz, 1)};
    const Sector* other = findSector(table, otherCoord);
    if (other == nullptr) return buildStairs(sector, exits, std::nullopt, sign);
    SectorKind partnerKind = sign > 0 ? SectorKind::StairsDown : SectorKind::StairsUp;
    if (other->kind == partnerKind)
        return buildStairs(sector, exits, sign > 0 ? other->downLink : other->upLink, sign);
    layOutMaze(sector.cells, exits, 2, Painter::Plain);
    return SectorKind::Maze;
}

SectorKind spiralStaircaseGenerator(Sector& sector, int32_t exits, SectorTable& table,
                                    SectorCoord c) {
    bool mayGoUp = false;
    bool linkedUp = false;
    bool mayGoDown = false;
    bool linkedDown = false;
    std::optional<StairLink> link;

    const Sector* above = findSector(table, {c.sx, c.sy, wrapAdd(c.sz, 1)});
    if (above == nullptr) {
        mayGoUp = true;
    } else if (above->kind == SectorKind::SpiralStaircase && above->downLink) {
        linkedUp = true;
        link =
            StairLink{reversed(above->downLink->direction), above->downLink->x, above->downLink->y};
    }
    // A link from below, when there is one, is the one the column follows.
    const Sector* below = findSector(table, {c.sx, c.sy, wrapSub(c.sz, 1)});
    if (below == nullptr) {
        mayGoDown = true;
    } else if (below->kind == SectorKind::SpiralStaircase && below->upLink) {
        linkedDown = true;
        link = StairLink{reversed(below->upLink->direction), below->upLink->x, below->upLink->y};
    }
    if (!link) {
        int32_t d = randomBelow(4);
        link = StairLink{directionOf(d), 5, 5};
    }

    bool goesDown = linkedDown;
    if (!linkedDown && mayGoDown) {
        int32_t draw = randomBelow(4);
        goesDown = draw != 2;
    }
    bool goesUp = linkedUp;
    if (!linkedUp && mayGoUp) {
        int32_t draw = randomBelow(4);
        goesUp = draw != 2;
    }
    if (!goesUp && !goesDown) {
        layOutMaze(sector.cells, exits, 2, Painter::Plain);
        return SectorKind::Maze;
    }

    openSides(sector.cells, 3, 3);
    openHall(sector.cells);
    if (goesUp) {
        cutSpiral(sector.cells, link->direction, true);
        sector.upLink = link;
    }
    if (goesDown) {
        cutSpiral(sector.cells, link->direction, false);
        sector.downLink = link;
    }
    return SectorKind::SpiralStaircase;
}

} // namespace dunvale
