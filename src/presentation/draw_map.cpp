#include "presentation/draw_map.h"
#include "rules/map.h"
#include "rules/sector_window.h"

#include "presentation/map_glyphs.h"
#include "presentation/screen.h"
#include "support/wrap.h"

#include <algorithm>
#include <array>
#include <cstring>
#include <span>
#include <type_traits>

namespace dunvale {

namespace {

constexpr int playerRow = 8;
constexpr int playerColumn = 39;
constexpr int32_t reachX = 9; // squares shown east and west of the player
constexpr int32_t reachY = 6; // and north and south
static_assert(reachX < sectorSize && reachY < sectorSize, "the window spans at most 3 sectors");

// The window is worked out square by square (in the order that decides the
// smoke's flicker), then painted a row at a time. Its rows lie one after
// another in one array, so a window column is every `canvasWidth`-th glyph.
constexpr size_t canvasWidth = 2 * reachX + 1;
constexpr size_t canvasHeight = 2 * reachY + 1;
struct Canvas {
    std::array<Glyph, canvasWidth * canvasHeight> glyphs;
    std::span<const Glyph, canvasWidth> row(size_t r) const {
        return std::span<const Glyph, canvasWidth>(glyphs.data() + r * canvasWidth, canvasWidth);
    }
};

static_assert(std::has_unique_object_representations_v<Glyph>, "rows of glyphs compare as bytes");

constexpr int topRow = playerRow - reachY;
constexpr int leftColumn = playerColumn - reachX;
constexpr Glyph playerGlyph{'@', Colour::Cyan, Brightness::Bright};

// Each frame is worked out in one canvas while the other holds what the
// window showed when last painted: while nothing else has been written over
// it, a row that has not changed is not written again.
std::array<Canvas, 2> canvases;
size_t lastPainted = 1;

Canvas& nextCanvas() {
    return canvases[1 - lastPainted];
}

void paint() {
    Canvas& canvas = nextCanvas();
    const Canvas& before = canvases[lastPainted];
    // The player covers its own square.
    canvas.glyphs[reachY * canvasWidth + reachX] = playerGlyph;
    const bool kept = isKept(KeptArea::Map);
    for (size_t r = 0; r < canvasHeight; ++r) {
        if (kept && std::memcmp(canvas.row(r).data(), before.row(r).data(),
                                canvas.row(r).size_bytes()) == 0)
            continue;
        writeGlyphs(canvas.row(r), topRow + static_cast<int>(r), leftColumn);
    }
    lastPainted = 1 - lastPainted;
    keepArea(KeptArea::Map, topRow, leftColumn, topRow + 2 * reachY, leftColumn + 2 * reachX);
}

// Where creatures and items stand in a sector: bit y of column x is set when
// one stands on (x, y). Found in one pass over each list, so that a bare
// square costs a bit test.
using BusyColumns = std::array<uint16_t, sectorSize>;
static_assert(sectorSize <= 16, "a column of squares fits in 16 bits");

BusyColumns busyColumnsOf(const Sector& sector, SectorCoord coord) {
    BusyColumns busy{};
    for (const auto& creature : sector.creatures) {
        const Position& p = creature->position;
        if (p.sector == coord) busy[static_cast<size_t>(p.x)] |= static_cast<uint16_t>(1u << p.y);
    }
    for (const FloorItem& item : sector.items)
        busy[static_cast<size_t>(item.x)] |= static_cast<uint16_t>(1u << item.y);
    return busy;
}

// A run of the window's rows (or columns) that lies in one row (or column) of
// sectors: offsets first..last from the player, from `firstSquare` on in the
// sector `sectorStep` from the player's.
struct Run {
    int32_t first = 0;
    int32_t last = 0;
    int32_t sectorStep = 0;
    int32_t firstSquare = 0;
};

struct Runs {
    std::array<Run, 3> runs;
    int count = 0;
};

// The offsets -reach..reach around `centre` (a square of the player's sector)
// lie in at most three sectors along that axis: as many runs, in order.
Runs runsAround(int32_t centre, int32_t reach) {
    Runs out;
    if (centre - reach < 0)
        out.runs[static_cast<size_t>(out.count++)] =
            Run{-reach, -centre - 1, -1, centre - reach + sectorSize};
    const int32_t first = std::max(-reach, -centre);
    out.runs[static_cast<size_t>(out.count++)] =
        Run{first, std::min(reach, sectorSize - 1 - centre), 0, centre + first};
    if (centre + reach >= sectorSize)
        out.runs[static_cast<size_t>(out.count++)] = Run{sectorSize - centre, reach, 1, 0};
    return out;
}

struct DrawContext {
    int32_t turn;
    int32_t exploration;
};

// What every square of one frame is drawn against.
struct Frame {
    DrawContext context;
    int32_t elevation; // of the player's square: the reference for heights
    const TerrainLooks& looks;
    const Runs& rows;
};

// The part of the window that lies in one sector of its level: a run of
// columns by a run of rows.
struct Block {
    size_t slot = 0;
    int32_t columnStep = 0;
    int32_t rowStep = 0;
    Sector* sector = nullptr; // null until a square first needs it
    BusyColumns busy{};       // worked out when the sector is looked up
};

// What the square (x, y) of the window's sector `slot` (whose Cell is
// `cell`) shows against the reference elevation; `creatureDrawn` is set when
// it is a creature.
Glyph squareGlyph(Cell& cell, SectorWindow& window, size_t slot, int32_t x, int32_t y,
                  int32_t reference, DrawContext frame, bool& creatureDrawn) {
    if (cell.lastSeen == neverSeen) return blankGlyph;
    if (cell.lastSeen == frame.turn) {
        // Smoke in view that has run out is cleared away as it is looked at.
        if (!cell.entries.empty())
            std::erase_if(cell.entries,
                          [&](const TempEntry& entry) { return entry.expiry < frame.turn; });
        const Sector& sector = window.sector(slot);
        if (const auto creature = creatureInSector(sector, Position{window.coordOf(slot), x, y})) {
            creatureDrawn = true;
            return creatureGlyph(*creature);
        }
    }
    // Items show from memory too, but not on a square known only from a map.
    if (cell.lastSeen > 0)
        if (const auto item = itemInSector(window.sector(slot), x, y)) return itemGlyph(*item);
    return groundGlyph(cell, wrapSub(cell.elevation, reference), frame.exploration);
}

bool isOpening(int32_t elevation) {
    return elevation == 3 || elevation == -3;
}

// The square (x, y) of a block by the full rules: through an opening, what
// lies on the level beyond.
[[gnu::noinline]] Glyph fullSquareGlyph(const Block& block, int32_t x, int32_t y,
                                        SectorWindow& window, int32_t elevation, DrawContext frame,
                                        bool& creatureDrawn) {
    Cell& cell = block.sector->cells[static_cast<size_t>(x)][static_cast<size_t>(y)];
    if (!isOpening(cell.elevation))
        return squareGlyph(cell, window, block.slot, x, y, elevation, frame, creatureDrawn);
    // An opening onto another level shows what lies there, one level deep,
    // against a reference shifted by that level's height.
    const int32_t level = cell.elevation / 3;
    const size_t shown = SectorWindow::slotOf(block.columnStep, block.rowStep, level);
    Cell& shownCell = window.sector(shown).cells[static_cast<size_t>(x)][static_cast<size_t>(y)];
    const int32_t reference = level == 1 ? wrapSub(elevation, 10) : wrapAdd(elevation, 10);
    return squareGlyph(shownCell, window, shown, x, y, reference, frame, creatureDrawn);
}

// Column x of a block, the rows of `up` from the bottom: most squares are
// bare terrain, remembered or in view with nothing on them, and take a table
// look-up; the rest the full rules. The squares go to `column` (its glyph in
// the canvas's top row) from canvas row `row` upwards on the screen; returns
// the row of the square above.
size_t drawSegment(const Block& block, int32_t x, const Run& up, SectorWindow& window,
                   const Frame& frame, Glyph* column, size_t row, bool& creatureDrawn) {
    const Cell* const first =
        &block.sector->cells[static_cast<size_t>(x)][static_cast<size_t>(up.firstSquare)];
    const auto count = static_cast<size_t>(up.last - up.first + 1);
    const Cell* const last = first + (count - 1);
    uint32_t busy = block.busy[static_cast<size_t>(x)] >> up.firstSquare; // bit 0: this square
    Glyph* out = column + row * canvasWidth;
    // The glyph pointer moves up a row only while squares remain: it never
    // leaves the canvas.
    for (const Cell* cell = first;; ++cell, busy >>= 1, out -= canvasWidth) {
        // Openings and unusual heights are not steps.
        const uint32_t step = stepOf(cell->elevation);
        const bool seen = cell->lastSeen != neverSeen;
        if (step >= stepCount || (seen && ((busy & 1u) != 0 || !cell->entries.empty() ||
                                           !inTerrainLooks(cell->terrain)))) [[unlikely]] {
            const auto y = static_cast<int32_t>(up.firstSquare + (cell - first));
            *out =
                fullSquareGlyph(block, x, y, window, frame.elevation, frame.context, creatureDrawn);
        } else if (!seen) {
            *out = blankGlyph;
        } else {
            *out = terrainLook(frame.looks, cell->terrain, step);
        }
        if (cell == last) break;
    }
    return row - count;
}

// One column of the window, bottom to top, through the blocks of its run of
// columns: each run of rows reads one sector's column of Cells. A block's
// sector is looked up when its first square is drawn.
void drawColumn(std::array<Block, 3>& blocks, int32_t x, SectorWindow& window, const Frame& frame,
                Glyph* column, bool& creatureDrawn) {
    size_t row = canvasHeight - 1;
    for (int r = 0; r < frame.rows.count; ++r) {
        Block& block = blocks[static_cast<size_t>(r)];
        if (block.sector == nullptr) {
            block.sector = &window.sector(block.slot);
            block.busy = busyColumnsOf(*block.sector, window.coordOf(block.slot));
        }
        row = drawSegment(block, x, frame.rows.runs[static_cast<size_t>(r)], window, frame, column,
                          row, creatureDrawn);
    }
}

} // namespace

bool drawView(const Player& player, LevelRecord& level) {
    SectorTable& table = level.sectors;
    const Position origin = player.position;
    const Runs columns = runsAround(origin.x, reachX);
    const Runs rows = runsAround(origin.y, reachY);
    const DrawContext context{level.turn, player.skills.exploration};
    const int32_t elevation = cellAt(table, origin).elevation;
    const Frame frame{context, elevation, terrainLooksFor(elevation, context.exploration), rows};
    // The window reaches at most 3 x 3 sectors on the player's level and as
    // many through openings on the levels just above and below; each is
    // looked up when a square first needs it, as square by square would.
    SectorWindow window(table, origin.sector);
    bool creatureDrawn = false;
    Canvas& canvas = nextCanvas();
    // Column by column, in the order that decides the smoke's flicker; a
    // larger dy is higher on the screen.
    for (int c = 0; c < columns.count; ++c) {
        const Run& across = columns.runs[static_cast<size_t>(c)];
        std::array<Block, 3> blocks;
        for (int r = 0; r < rows.count; ++r) {
            const int32_t rowStep = rows.runs[static_cast<size_t>(r)].sectorStep;
            blocks[static_cast<size_t>(r)] = Block{
                SectorWindow::slotOf(across.sectorStep, rowStep, 0), across.sectorStep, rowStep};
        }
        for (int32_t dx = across.first; dx <= across.last; ++dx) {
            Glyph* column = canvas.glyphs.data() + (dx + reachX);
            drawColumn(blocks, across.firstSquare + (dx - across.first), window, frame, column,
                       creatureDrawn);
        }
    }
    paint();
    return creatureDrawn;
}

} // namespace dunvale
