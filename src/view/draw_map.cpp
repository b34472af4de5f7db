#include "view/draw_map.h"

#include "display/screen.h"
#include "support/errors.h"
#include "support/random.h"
#include "support/wrap.h"

#include <algorithm>
#include <string>

namespace dunvale {

namespace {

struct Look {
    Colour colour;
    Brightness brightness;
};

constexpr int playerRow = 8;
constexpr int playerColumn = 39;

// A larger dy is higher on the screen.
void drawGlyph(int32_t dx, int32_t dy, const std::string& glyph, Look look) {
    writeText(look.brightness, look.colour, glyph, playerRow - dy, playerColumn + dx);
}

void drawCreature(int32_t dx, int32_t dy, const Creature& creature) {
    switch (creature.kind) {
    case CreatureKind::Bat: drawGlyph(dx, dy, "b", {Colour::White, Brightness::Normal}); return;
    case CreatureKind::GiantRat: drawGlyph(dx, dy, "r", {Colour::Red, Brightness::Bright}); return;
    case CreatureKind::GiantSpider:
        drawGlyph(dx, dy, "s", {Colour::Green, Brightness::Bright});
        return;
    case CreatureKind::Skeleton:
        drawGlyph(dx, dy, "z", {Colour::White, Brightness::Bright});
        return;
    case CreatureKind::Wraith: drawGlyph(dx, dy, "W", {Colour::Blue, Brightness::Bright}); return;
    case CreatureKind::Mummy: drawGlyph(dx, dy, "M", {Colour::Yellow, Brightness::Bright}); return;
    case CreatureKind::Vampire:
        drawGlyph(dx, dy, "V", {Colour::Magenta, Brightness::Bright});
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

void drawItem(int32_t dx, int32_t dy, const Item& item) {
    switch (item.itemClass) {
    case ItemClass::Weapon: drawGlyph(dx, dy, ")", gradeLook(item.grade)); return;
    case ItemClass::Armour: drawGlyph(dx, dy, "[", gradeLook(item.grade)); return;
    case ItemClass::Scroll: drawGlyph(dx, dy, "?", gradeLook(item.grade)); return;
    case ItemClass::Potion: drawGlyph(dx, dy, "!", gradeLook(item.grade)); return;
    case ItemClass::Treasure: drawGlyph(dx, dy, "$", {Colour::Yellow, Brightness::Bright}); return;
    }
    raiseMissingCase();
}

// Floor is shaded by its height against the player's square.
void drawFloor(int32_t dx, int32_t dy, int32_t h) {
    if (wrapAbs(h) <= 1) {
        drawGlyph(dx, dy, ".", {Colour::White, Brightness::Normal});
    } else if (h >= 2) {
        drawGlyph(dx, dy, ".", {Colour::White, Brightness::Bright});
    } else {
        drawGlyph(dx, dy, ".", {Colour::Black, Brightness::Bright});
    }
}

// A trap shows only to an explorer skilled enough; below that it is floor.
void drawTrap(int32_t dx, int32_t dy, int32_t h, bool shown, Colour colour) {
    if (shown) {
        drawGlyph(dx, dy, "^", {colour, Brightness::Bright});
    } else {
        drawFloor(dx, dy, h);
    }
}

void drawTerrain(int32_t dx, int32_t dy, const Cell& cell, int32_t h, int32_t exploration) {
    for (const TempEntry& entry : cell.entries) {
        if (entry.kind != TempKind::Smoke) continue;
        // Smoke flickers: a fresh look every time it is drawn.
        int32_t look = randomIn(1, 3);
        if (look == 1) {
            drawGlyph(dx, dy, "*", {Colour::White, Brightness::Normal});
        } else if (look == 2) {
            drawGlyph(dx, dy, "*", {Colour::White, Brightness::Bright});
        } else {
            drawGlyph(dx, dy, "*", {Colour::Black, Brightness::Bright});
        }
        return;
    }
    switch (cell.terrain) {
    case Terrain::Wall: drawGlyph(dx, dy, "#", {Colour::Yellow, Brightness::Normal}); return;
    case Terrain::Floor: drawFloor(dx, dy, h); return;
    case Terrain::Trapdoor: drawTrap(dx, dy, h, exploration >= 15, Colour::Red); return;
    case Terrain::GasTrap: drawTrap(dx, dy, h, exploration >= 20, Colour::Green); return;
    case Terrain::TeleportTrap: drawTrap(dx, dy, h, exploration >= 15, Colour::Magenta); return;
    case Terrain::SmokeTrap: drawTrap(dx, dy, h, exploration >= 10, Colour::Black); return;
    }
    raiseMissingCase();
}

struct DrawContext {
    int32_t turn;
    int32_t exploration;
};

// Draws the square `at` (whose Cell is `cell`, in `sector`) against the
// reference elevation; true when a creature was drawn.
bool drawSquare(int32_t dx, int32_t dy, Cell& cell, const Sector& sector, Position at,
                int32_t reference, DrawContext frame) {
    if (cell.lastSeen == neverSeen) {
        drawGlyph(dx, dy, " ", {Colour::White, Brightness::Normal});
        return false;
    }
    if (cell.lastSeen == frame.turn) {
        // Smoke in view that has run out is cleared away as it is looked at.
        std::erase_if(cell.entries,
                      [&](const TempEntry& entry) { return entry.expiry < frame.turn; });
        if (auto creature = creatureInSector(sector, at)) {
            drawCreature(dx, dy, *creature);
            return true;
        }
    }
    // Items show from memory too, but not on a square known only from a map.
    if (cell.lastSeen > 0) {
        if (auto item = itemInSector(sector, at.x, at.y)) {
            drawItem(dx, dy, *item);
            return false;
        }
    }
    drawTerrain(dx, dy, cell, wrapSub(cell.elevation, reference), frame.exploration);
    return false;
}

} // namespace

bool drawView(const Player& player, LevelRecord& level) {
    SectorTable& table = level.sectors;
    Position origin = player.position;
    int32_t elevation = cellAt(table, origin).elevation;
    DrawContext frame{level.turn, player.skills.exploration};
    bool creatureDrawn = false;
    for (int32_t dx = -9; dx <= 9; ++dx) {
        for (int32_t dy = -6; dy <= 6; ++dy) {
            Position at = movePosition(origin, dx, dy, 0);
            Cell* cell = &cellAt(table, at);
            int32_t reference = elevation;
            // An opening onto another level shows what lies there, one level
            // deep, against a reference shifted by that level's height.
            if (cell->elevation == 3) {
                at = movePosition(at, 0, 0, 1);
                cell = &cellAt(table, at);
                reference = wrapSub(elevation, 10);
            } else if (cell->elevation == -3) {
                at = movePosition(at, 0, 0, -1);
                cell = &cellAt(table, at);
                reference = wrapAdd(elevation, 10);
            }
            // The look-up above has brought the sector into memory.
            const Sector& sector = *findSector(table, at.sector);
            if (drawSquare(dx, dy, *cell, sector, at, reference, frame)) creatureDrawn = true;
        }
    }
    writeText(Brightness::Bright, Colour::Cyan, "@", playerRow, playerColumn);
    return creatureDrawn;
}

} // namespace dunvale
