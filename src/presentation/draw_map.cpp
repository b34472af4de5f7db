#include "presentation/draw_map.h"
#include "rules/map.h"

#include "presentation/screen.h"
#include "support/errors.h"
#include "support/random.h"
#include "support/wrap.h"

#include <algorithm>
#include <array>
#include <string>

namespace dunvale {

namespace {

struct Look {
    Colour colour;
    Brightness brightness;
};

constexpr int playerRow = 8;
constexpr int playerColumn = 39;
constexpr int32_t reachX = 9; // squares shown east and west of the player
constexpr int32_t reachY = 6; // and north and south

struct Glyph {
    char ch = ' ';
    Look look{Colour::White, Brightness::Normal};
};

// The window is worked out square by square (in the order that decides the
// smoke's flicker), then painted a row at a time in runs of one look: the
// terminal gets a few dozen writes a turn instead of one per square.
struct Canvas {
    std::array<std::array<Glyph, 2 * reachX + 1>, 2 * reachY + 1> rows; // [row][column]
};

// A larger dy is higher on the screen.
void drawGlyph(Canvas& canvas, int32_t dx, int32_t dy, char glyph, Look look) {
    canvas.rows[static_cast<size_t>(reachY - dy)][static_cast<size_t>(dx + reachX)] = {glyph, look};
}

void paint(const Canvas& canvas) {
    for (size_t r = 0; r < canvas.rows.size(); ++r) {
        const auto& row = canvas.rows[r];
        char text[2 * reachX + 1];
        size_t start = 0;
        while (start < row.size()) {
            const Look look = row[start].look;
            size_t end = start;
            while (end < row.size() && row[end].look.colour == look.colour &&
                   row[end].look.brightness == look.brightness) {
                text[end - start] = row[end].ch;
                ++end;
            }
            writeText(look.brightness, look.colour, std::string_view(text, end - start),
                      playerRow - reachY + static_cast<int>(r),
                      playerColumn - reachX + static_cast<int>(start));
            start = end;
        }
    }
}

void drawCreature(Canvas& canvas, int32_t dx, int32_t dy, const Creature& creature) {
    switch (creature.kind) {
    case CreatureKind::Bat:
        drawGlyph(canvas, dx, dy, 'b', {Colour::White, Brightness::Normal});
        return;
    case CreatureKind::GiantRat:
        drawGlyph(canvas, dx, dy, 'r', {Colour::Red, Brightness::Bright});
        return;
    case CreatureKind::GiantSpider:
        drawGlyph(canvas, dx, dy, 's', {Colour::Green, Brightness::Bright});
        return;
    case CreatureKind::Skeleton:
        drawGlyph(canvas, dx, dy, 'z', {Colour::White, Brightness::Bright});
        return;
    case CreatureKind::Wraith:
        drawGlyph(canvas, dx, dy, 'W', {Colour::Blue, Brightness::Bright});
        return;
    case CreatureKind::Mummy:
        drawGlyph(canvas, dx, dy, 'M', {Colour::Yellow, Brightness::Bright});
        return;
    case CreatureKind::Vampire:
        drawGlyph(canvas, dx, dy, 'V', {Colour::Magenta, Brightness::Bright});
        return;
    }
    raiseMissingCase();
}

// Weapons, armour, scrolls and potions of one shape differ in colour by grade.
Look gradeLook(int32_t grade) {
    switch (grade) {
    case 0: return {Colour::White, Brightness::Normal};
    case 1: return {Colour::Yellow, Brightness::Normal};
    case 2: return {Colour::Blue, Brightness::Bright};
    case 3: return {Colour::Red, Brightness::Bright};
    case 4: return {Colour::Magenta, Brightness::Bright};
    default: raiseMissingDefault();
    }
}

void drawItem(Canvas& canvas, int32_t dx, int32_t dy, const Item& item) {
    switch (item.itemClass) {
    case ItemClass::Weapon: drawGlyph(canvas, dx, dy, ')', gradeLook(item.grade)); return;
    case ItemClass::Armour: drawGlyph(canvas, dx, dy, '[', gradeLook(item.grade)); return;
    case ItemClass::Scroll: drawGlyph(canvas, dx, dy, '?', gradeLook(item.grade)); return;
    case ItemClass::Potion: drawGlyph(canvas, dx, dy, '!', gradeLook(item.grade)); return;
    case ItemClass::Treasure:
        drawGlyph(canvas, dx, dy, '$', {Colour::Yellow, Brightness::Bright});
        return;
    }
    raiseMissingCase();
}

// Floor is shaded by its height against the player's square.
void drawFloor(Canvas& canvas, int32_t dx, int32_t dy, int32_t h) {
    if (wrapAbs(h) <= 1) {
        drawGlyph(canvas, dx, dy, '.', {Colour::White, Brightness::Normal});
    } else if (h >= 2) {
        drawGlyph(canvas, dx, dy, '.', {Colour::White, Brightness::Bright});
    } else {
        drawGlyph(canvas, dx, dy, '.', {Colour::Black, Brightness::Bright});
    }
}

// A trap shows only to an explorer skilled enough; below that it is floor.
void drawTrap(Canvas& canvas, int32_t dx, int32_t dy, int32_t h, bool shown, Colour colour) {
    if (shown) {
        drawGlyph(canvas, dx, dy, '^', {colour, Brightness::Bright});
    } else {
        drawFloor(canvas, dx, dy, h);
    }
}

void drawTerrain(Canvas& canvas, int32_t dx, int32_t dy, const Cell& cell, int32_t h,
                 int32_t exploration) {
    for (const TempEntry& entry : cell.entries) {
        if (entry.kind != TempKind::Smoke) continue;
        // Smoke flickers: a fresh look every time it is drawn.
        int32_t look = randomIn(1, 3);
        if (look == 1) {
            drawGlyph(canvas, dx, dy, '*', {Colour::White, Brightness::Normal});
        } else if (look == 2) {
            drawGlyph(canvas, dx, dy, '*', {Colour::White, Brightness::Bright});
        } else {
            drawGlyph(canvas, dx, dy, '*', {Colour::Black, Brightness::Bright});
        }
        return;
    }
    switch (cell.terrain) {
    case Terrain::Wall:
        drawGlyph(canvas, dx, dy, '#', {Colour::Yellow, Brightness::Normal});
        return;
    case Terrain::Floor: drawFloor(canvas, dx, dy, h); return;
    case Terrain::Trapdoor: drawTrap(canvas, dx, dy, h, exploration >= 15, Colour::Red); return;
    case Terrain::GasTrap: drawTrap(canvas, dx, dy, h, exploration >= 20, Colour::Green); return;
    case Terrain::TeleportTrap:
        drawTrap(canvas, dx, dy, h, exploration >= 15, Colour::Magenta);
        return;
    case Terrain::SmokeTrap: drawTrap(canvas, dx, dy, h, exploration >= 10, Colour::Black); return;
    }
    raiseMissingCase();
}

// Neighbouring squares mostly lie in one sector: it is looked up again only
// when the sector changes.
struct SectorCursor {
    SectorTable& table;
    SectorCoord coord{};
    Sector* sector = nullptr;

    Sector& at(SectorCoord c) {
        if (sector == nullptr || c != coord) {
            sector = &sectorAt(table, c);
            coord = c;
        }
        return *sector;
    }
};

struct DrawContext {
    int32_t turn;
    int32_t exploration;
};

// Draws the square `at` (whose Cell is `cell`, in `sector`) against the
// reference elevation; true when a creature was drawn.
bool drawSquare(Canvas& canvas, int32_t dx, int32_t dy, Cell& cell, const Sector& sector,
                Position at, int32_t reference, DrawContext frame) {
    if (cell.lastSeen == neverSeen) {
        drawGlyph(canvas, dx, dy, ' ', {Colour::White, Brightness::Normal});
        return false;
    }
    if (cell.lastSeen == frame.turn) {
        // Smoke in view that has run out is cleared away as it is looked at.
        std::erase_if(cell.entries,
                      [&](const TempEntry& entry) { return entry.expiry < frame.turn; });
        if (auto creature = creatureInSector(sector, at)) {
            drawCreature(canvas, dx, dy, *creature);
            return true;
        }
    }
    // Items show from memory too, but not on a square known only from a map.
    if (cell.lastSeen > 0) {
        if (auto item = itemInSector(sector, at.x, at.y)) {
            drawItem(canvas, dx, dy, *item);
            return false;
        }
    }
    drawTerrain(canvas, dx, dy, cell, wrapSub(cell.elevation, reference), frame.exploration);
    return false;
}

} // namespace

bool drawView(const Player& player, LevelRecord& level) {
    SectorTable& table = level.sectors;
    Position origin = player.position;
    int32_t elevation = cellAt(table, origin).elevation;
    DrawContext frame{level.turn, player.skills.exploration};
    bool creatureDrawn = false;
    Canvas canvas;
    SectorCursor sectors{table};
    for (int32_t dx = -reachX; dx <= reachX; ++dx) {
        // Along the column one square at a time, from dy = -reachY.
        Position next = movePosition(origin, dx, -reachY, 0);
        for (int32_t dy = -reachY; dy <= reachY; ++dy) {
            Position at = next;
            next = movePosition(next, 0, 1, 0);
            Sector* sector = &sectors.at(at.sector);
            int32_t reference = elevation;
            // An opening onto another level shows what lies there, one level
            // deep, against a reference shifted by that level's height.
            const int32_t opening = sector->cells[at.x][at.y].elevation;
            if (opening == 3 || opening == -3) {
                at = movePosition(at, 0, 0, opening / 3);
                sector = &sectors.at(at.sector);
                reference = opening == 3 ? wrapSub(elevation, 10) : wrapAdd(elevation, 10);
            }
            Cell& cell = sector->cells[at.x][at.y];
            if (drawSquare(canvas, dx, dy, cell, *sector, at, reference, frame))
                creatureDrawn = true;
        }
    }
    paint(canvas);
    writeText(Brightness::Bright, Colour::Cyan, "@", playerRow, playerColumn);
    return creatureDrawn;
}

} // namespace dunvale
