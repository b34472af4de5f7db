#include "presentation/draw_map.h"
#include "rules/map.h"
#include "rules/sector_window.h"

#include "presentation/screen.h"
#include "support/errors.h"
#include "support/random.h"
#include "support/wrap.h"

#include <algorithm>
#include <array>
#include <cstring>
#include <string>
#include <type_traits>

namespace dunvale {

namespace {

constexpr int playerRow = 8;
constexpr int playerColumn = 39;
constexpr int32_t reachX = 9; // squares shown east and west of the player
constexpr int32_t reachY = 6; // and north and south

// The window is worked out square by square (in the order that decides the
// smoke's flicker), then painted a row at a time.
struct Canvas {
    std::array<std::array<Glyph, 2 * reachX + 1>, 2 * reachY + 1> rows; // [row][column]
};

static_assert(std::has_unique_object_representations_v<Glyph>, "rows of glyphs compare as bytes");

constexpr int topRow = playerRow - reachY;
constexpr int leftColumn = playerColumn - reachX;

// What the window showed when last painted: while nothing else has been
// written over it, a row that has not changed is not written again.
Canvas lastPainted;

void paint(const Canvas& canvas) {
    const bool kept = isKept(KeptArea::Map);
    for (size_t r = 0; r < canvas.rows.size(); ++r) {
        if (kept && std::memcmp(&canvas.rows[r], &lastPainted.rows[r], sizeof canvas.rows[r]) == 0)
            continue;
        writeGlyphs(canvas.rows[r], topRow + static_cast<int>(r), leftColumn);
    }
    writeText(Brightness::Bright, Colour::Cyan, "@", playerRow, playerColumn);
    lastPainted = canvas;
    keepArea(KeptArea::Map, topRow, leftColumn, topRow + 2 * reachY, leftColumn + 2 * reachX);
}

constexpr Glyph glyph(char ch, Colour colour, Brightness brightness) {
    return Glyph{ch, colour, brightness};
}

constexpr Glyph blank = glyph(' ', Colour::White, Brightness::Normal);

Glyph creatureGlyph(const Creature& creature) {
    switch (creature.kind) {
    case CreatureKind::Bat: return glyph('b', Colour::White, Brightness::Normal);
    case CreatureKind::GiantRat: return glyph('r', Colour::Red, Brightness::Bright);
    case CreatureKind::GiantSpider: return glyph('s', Colour::Green, Brightness::Bright);
    case CreatureKind::Skeleton: return glyph('z', Colour::White, Brightness::Bright);
    case CreatureKind::Wraith: return glyph('W', Colour::Blue, Brightness::Bright);
    case CreatureKind::Mummy: return glyph('M', Colour::Yellow, Brightness::Bright);
    case CreatureKind::Vampire: return glyph('V', Colour::Magenta, Brightness::Bright);
    }
    raiseMissingCase();
}

// Weapons, armour, scrolls and potions of one shape differ in colour by grade.
Glyph graded(char ch, int32_t grade) {
    switch (grade) {
    case 0: return glyph(ch, Colour::White, Brightness::Normal);
    case 1: return glyph(ch, Colour::Yellow, Brightness::Normal);
    case 2: return glyph(ch, Colour::Blue, Brightness::Bright);
    case 3: return glyph(ch, Colour::Red, Brightness::Bright);
    case 4: return glyph(ch, Colour::Magenta, Brightness::Bright);
    default: raiseMissingDefault();
    }
}

Glyph itemGlyph(const Item& item) {
    switch (item.itemClass) {
    case ItemClass::Weapon: return graded(')', item.grade);
    case ItemClass::Armour: return graded('[', item.grade);
    case ItemClass::Scroll: return graded('?', item.grade);
    case ItemClass::Potion: return graded('!', item.grade);
    case ItemClass::Treasure: return glyph('$', Colour::Yellow, Brightness::Bright);
    }
    raiseMissingCase();
}

// Floor is shaded by its height against the player's square.
Glyph floorGlyph(int32_t h) {
    if (wrapAbs(h) <= 1) return glyph('.', Colour::White, Brightness::Normal);
    if (h >= 2) return glyph('.', Colour::White, Brightness::Bright);
    return glyph('.', Colour::Black, Brightness::Bright);
}

// A trap shows only to an explorer skilled enough; below that it is floor.
Glyph trapGlyph(int32_t h, bool shown, Colour colour) {
    return shown ? glyph('^', colour, Brightness::Bright) : floorGlyph(h);
}

// Smoke flickers: a fresh look every time it is drawn.
Glyph smokeGlyph() {
    int32_t look = randomIn(1, 3);
    if (look == 1) return glyph('*', Colour::White, Brightness::Normal);
    if (look == 2) return glyph('*', Colour::White, Brightness::Bright);
    return glyph('*', Colour::Black, Brightness::Bright);
}

[[gnu::always_inline]] inline Glyph bareTerrainGlyph(Terrain terrain, int32_t h,
                                                     int32_t exploration) {
    switch (terrain) {
    case Terrain::Wall: return glyph('#', Colour::Yellow, Brightness::Normal);
    case Terrain::Floor: return floorGlyph(h);
    case Terrain::Trapdoor: return trapGlyph(h, exploration >= 15, Colour::Red);
    case Terrain::GasTrap: return trapGlyph(h, exploration >= 20, Colour::Green);
    case Terrain::TeleportTrap: return trapGlyph(h, exploration >= 15, Colour::Magenta);
    case Terrain::SmokeTrap: return trapGlyph(h, exploration >= 10, Colour::Black);
    }
    raiseMissingCase();
}

[[gnu::always_inline]] inline Glyph terrainGlyph(const Cell& cell, int32_t h, int32_t exploration) {
    for (const TempEntry& entry : cell.entries)
        if (entry.kind == TempKind::Smoke) return smokeGlyph();
    return bareTerrainGlyph(cell.terrain, h, exploration);
}

constexpr size_t squaresPerSector = static_cast<size_t>(sectorSize * sectorSize);
// An index into a sector's list of creatures or items, plus one; 0: none.
using ListIndex = std::array<uint8_t, squaresPerSector>;
// Lists longer than this are searched square by square instead.
constexpr size_t indexedListLength = 255;

// The first creature and the first item on each square of a sector, found in
// one pass over each list.
struct SectorContents {
    ListIndex creatures;
    ListIndex items;
};

void indexContents(SectorContents& contents, const Sector& sector, SectorCoord coord) {
    contents.creatures.fill(0);
    contents.items.fill(0);
    for (size_t i = 0; i < sector.creatures.size() && i < indexedListLength; ++i) {
        const Position& p = sector.creatures[i]->position;
        uint8_t& slot = contents.creatures[static_cast<size_t>(p.x * sectorSize + p.y)];
        if (slot == 0 && p.sector == coord) slot = static_cast<uint8_t>(i + 1);
    }
    for (size_t i = 0; i < sector.items.size() && i < indexedListLength; ++i) {
        const FloorItem& item = sector.items[i];
        uint8_t& slot = contents.items[static_cast<size_t>(item.x * sectorSize + item.y)];
        if (slot == 0) slot = static_cast<uint8_t>(i + 1);
    }
}

// The sectors the window reaches: at most 3 x 3 on the player's level and as
// many through openings on the levels just above and below. Each is looked up
// once, when a square first needs it, and its contents indexed when a square
// first asks for them.
class WindowSectors {
  public:
    WindowSectors(SectorTable& table, SectorCoord centre) : window(table, centre) {}

    static size_t slotOf(int32_t sx, int32_t sy, int32_t sz) {
        return SectorWindow::slotOf(sx, sy, sz);
    }
    Sector& sector(size_t slot) { return window.sector(slot); }
    // The first creature standing on (x, y) of a sector already looked up.
    const Creature* creatureOn(size_t slot, int32_t x, int32_t y) {
        const Sector& held = window.sector(slot);
        if (held.creatures.empty()) return nullptr;
        if (held.creatures.size() >= indexedListLength)
            return creatureInSector(held, Position{window.coordOf(slot), x, y}).get();
        const uint8_t entry = contentsOf(slot).creatures[static_cast<size_t>(x * sectorSize + y)];
        return entry == 0 ? nullptr : held.creatures[entry - 1u].get();
    }
    // The first item lying on (x, y) of a sector already looked up.
    const Item* itemOn(size_t slot, int32_t x, int32_t y) {
        const Sector& held = window.sector(slot);
        if (held.items.empty()) return nullptr;
        if (held.items.size() >= indexedListLength) {
            for (const FloorItem& floorItem : held.items)
                if (floorItem.x == x && floorItem.y == y) return &floorItem.item;
            return nullptr;
        }
        const uint8_t entry = contentsOf(slot).items[static_cast<size_t>(x * sectorSize + y)];
        return entry == 0 ? nullptr : &held.items[entry - 1u].item;
    }

    // The first item on each square of a sector with a short list of items.
    const uint8_t* itemIndex(size_t slot) { return contentsOf(slot).items.data(); }

  private:
    SectorWindow window;
    std::array<bool, 27> indexed{};
    std::array<SectorContents, 27> contents; // filled when indexed

    SectorContents& contentsOf(size_t slot) {
        if (!indexed[slot]) {
            indexContents(contents[slot], window.sector(slot), window.coordOf(slot));
            indexed[slot] = true;
        }
        return contents[slot];
    }
};

// Where a column or a row of the window lies: which sector along that axis
// (-1, 0 or 1 from the player's) and which square in it.
struct Lane {
    int32_t sectorStep = 0;
    int32_t square = 0;
};

template <size_t N> std::array<Lane, N> lanesAround(int32_t centre, int32_t reach) {
    std::array<Lane, N> lanes;
    for (int32_t d = -reach; d <= reach; ++d) {
        const int32_t at = centre + d;
        const int32_t step = at < 0 ? -1 : (at >= sectorSize ? 1 : 0);
        lanes[static_cast<size_t>(d + reach)] = Lane{step, at - step * sectorSize};
    }
    return lanes;
}

struct DrawContext {
    int32_t turn;
    int32_t exploration;
};

// What the square (x, y) of the window's sector `slot` (whose Cell is
// `cell`) shows against the reference elevation; `creatureDrawn` is set when
// it is a creature.
[[gnu::always_inline]] inline Glyph squareGlyph(Cell& cell, WindowSectors& window, size_t slot,
                                                int32_t x, int32_t y, int32_t reference,
                                                DrawContext frame, bool& creatureDrawn) {
    if (cell.lastSeen == neverSeen) return blank;
    if (cell.lastSeen == frame.turn) {
        // Smoke in view that has run out is cleared away as it is looked at.
        if (!cell.entries.empty())
            std::erase_if(cell.entries,
                          [&](const TempEntry& entry) { return entry.expiry < frame.turn; });
        if (const Creature* creature = window.creatureOn(slot, x, y)) {
            creatureDrawn = true;
            return creatureGlyph(*creature);
        }
    }
    // Items show from memory too, but not on a square known only from a map.
    if (cell.lastSeen > 0)
        if (const Item* item = window.itemOn(slot, x, y)) return itemGlyph(*item);
    return terrainGlyph(cell, wrapSub(cell.elevation, reference), frame.exploration);
}

} // namespace

// A run of the window's rows that lies in one row of sectors.
struct RowRun {
    int32_t firstDy = 0;
    int32_t lastDy = 0;
    int32_t sectorStep = 0;
    int32_t firstSquare = 0;
};

// The window's 13 rows lie in at most three rows of sectors: as many runs,
// the same for every column.
std::array<RowRun, 3> rowRunsAround(int32_t y, int& count) {
    std::array<RowRun, 3> runs{};
    count = 0;
    for (int32_t dy = -reachY; dy <= reachY; ++dy) {
        const int32_t at = y + dy;
        const int32_t step = at < 0 ? -1 : (at >= sectorSize ? 1 : 0);
        if (count == 0 || runs[static_cast<size_t>(count - 1)].sectorStep != step)
            runs[static_cast<size_t>(count++)] = RowRun{dy, dy, step, at - step * sectorSize};
        else
            runs[static_cast<size_t>(count - 1)].lastDy = dy;
    }
    return runs;
}

// One column of the window within one sector: `count` Cells from `first`
// upwards, drawn into the canvas from `out` upwards on the screen.
struct Segment {
    size_t slot = 0;
    int32_t x = 0;
    int32_t y = 0;
    int32_t count = 0;
    int32_t columnStep = 0;
    int32_t rowStep = 0;
};

constexpr ptrdiff_t canvasRowStride = 2 * reachX + 1;

void drawSegment(const Segment& seg, WindowSectors& window, int32_t elevation, DrawContext frame,
                 Glyph* out, bool& creatureDrawn) {
    Sector& sector = window.sector(seg.slot);
    // What the sector holds decides once which squares need the full rules.
    const bool anyCreatures = !sector.creatures.empty();
    const bool searchedItems = sector.items.size() >= indexedListLength;
    const bool indexedItems = !sector.items.empty() && !searchedItems;
    const uint8_t* itemIndex = nullptr; // taken when a square first needs it
    Cell* cell = &sector.cells[static_cast<size_t>(seg.x)][static_cast<size_t>(seg.y)];
    int32_t y = seg.y;
    for (int32_t i = 0; i < seg.count; ++i, ++cell, ++y, out -= canvasRowStride) {
        Cell* shownCell = cell;
        size_t shown = seg.slot;
        int32_t reference = elevation;
        const int32_t opening = cell->elevation;
        const bool lookThrough = opening == 3 || opening == -3;
        if (lookThrough) [[unlikely]] {
            // An opening onto another level shows what lies there, one level
            // deep, against a reference shifted by that level's height.
            shown = WindowSectors::slotOf(seg.columnStep, seg.rowStep, opening / 3);
            shownCell = &window.sector(shown).cells[seg.x][y];
            reference = opening == 3 ? wrapSub(elevation, 10) : wrapAdd(elevation, 10);
        }
        const int32_t lastSeen = shownCell->lastSeen;
        if (lastSeen == neverSeen) {
            *out = blank;
        } else if (lookThrough || !shownCell->entries.empty() || searchedItems ||
                   (anyCreatures && lastSeen == frame.turn)) {
            *out =
                squareGlyph(*shownCell, window, shown, seg.x, y, reference, frame, creatureDrawn);
        } else {
            // Items show from memory too, but not on a square known only from a map.
            uint8_t item = 0;
            if (indexedItems && lastSeen > 0) {
                if (itemIndex == nullptr) itemIndex = window.itemIndex(seg.slot);
                item = itemIndex[static_cast<size_t>(seg.x * sectorSize + y)];
            }
            *out = item != 0 ? itemGlyph(sector.items[item - 1u].item)
                             : bareTerrainGlyph(shownCell->terrain,
                                                wrapSub(shownCell->elevation, reference),
                                                frame.exploration);
        }
    }
}

bool drawView(const Player& player, LevelRecord& level) {
    SectorTable& table = level.sectors;
    const Position origin = player.position;
    const int32_t elevation = cellAt(table, origin).elevation;
    const DrawContext frame{level.turn, player.skills.exploration};
    const auto columns = lanesAround<2 * reachX + 1>(origin.x, reachX);
    int runCount = 0;
    const auto runs = rowRunsAround(origin.y, runCount);
    WindowSectors window(table, origin.sector);
    bool creatureDrawn = false;
    Canvas canvas;
    for (int32_t dx = -reachX; dx <= reachX; ++dx) {
        const Lane column = columns[static_cast<size_t>(dx + reachX)];
        const auto canvasColumn = static_cast<size_t>(dx + reachX);
        // Each run of a column reads one sector's column of Cells; a larger
        // dy is higher on the screen.
        for (int r = 0; r < runCount; ++r) {
            const RowRun& run = runs[static_cast<size_t>(r)];
            const Segment seg{WindowSectors::slotOf(column.sectorStep, run.sectorStep, 0),
                              column.square,
                              run.firstSquare,
                              run.lastDy - run.firstDy + 1,
                              column.sectorStep,
                              run.sectorStep};
            Glyph* out = &canvas.rows[static_cast<size_t>(reachY - run.firstDy)][canvasColumn];
            drawSegment(seg, window, elevation, frame, out, creatureDrawn);
        }
    }
    paint(canvas);
    return creatureDrawn;
}

} // namespace dunvale
