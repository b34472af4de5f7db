#include "presentation/map_glyphs.h"

#include "support/errors.h"
#include "support/random.h"

#include <optional>
#include <utility>

namespace dunvale {

namespace {

constexpr Glyph glyph(char ch, Colour colour, Brightness brightness) {
    return Glyph{ch, colour, brightness};
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

Glyph floorGlyph(Height height) {
    switch (height) {
    case Height::Level: return glyph('.', Colour::White, Brightness::Normal);
    case Height::Above: return glyph('.', Colour::White, Brightness::Bright);
    case Height::Below: return glyph('.', Colour::Black, Brightness::Bright);
    }
    raiseMissingCase();
}

// A trap shows only to an explorer skilled enough; below that it is floor.
Glyph trapGlyph(Height height, bool shown, Colour colour) {
    return shown ? glyph('^', colour, Brightness::Bright) : floorGlyph(height);
}

Glyph bareTerrainGlyph(Terrain terrain, Height height, int32_t exploration) {
    switch (terrain) {
    case Terrain::Wall: return glyph('#', Colour::Yellow, Brightness::Normal);
    case Terrain::Floor: return floorGlyph(height);
    case Terrain::Trapdoor: return trapGlyph(height, exploration >= 15, Colour::Red);
    case Terrain::GasTrap: return trapGlyph(height, exploration >= 20, Colour::Green);
    case Terrain::TeleportTrap: return trapGlyph(height, exploration >= 15, Colour::Magenta);
    case Terrain::SmokeTrap: return trapGlyph(height, exploration >= 10, Colour::Black);
    }
    raiseMissingCase();
}

// Smoke flickers: a fresh look every time it is drawn.
Glyph smokeGlyph() {
    int32_t look = randomIn(1, 3);
    if (look == 1) return glyph('*', Colour::White, Brightness::Normal);
    if (look == 2) return glyph('*', Colour::White, Brightness::Bright);
    return glyph('*', Colour::Black, Brightness::Bright);
}

} // namespace

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

Glyph groundGlyph(const Cell& cell, int32_t h, int32_t exploration) {
    for (const TempEntry& entry : cell.entries)
        if (entry.kind == TempKind::Smoke) return smokeGlyph();
    return bareTerrainGlyph(cell.terrain, heightOf(h), exploration);
}

const TerrainLooks& terrainLooksFor(int32_t reference, int32_t exploration) {
    static TerrainLooks table;
    static std::optional<std::pair<int32_t, int32_t>> workedOutFor;
    if (workedOutFor == std::pair{reference, exploration}) return table;
    for (size_t t = 0; t < terrainKindCount; ++t)
        for (uint32_t step = 0; step < stepCount; ++step) {
            const int32_t elevation = lowestStep + static_cast<int32_t>(step);
            table.looks[t * stepCount + step] = bareTerrainGlyph(
                static_cast<Terrain>(t), heightOf(wrapSub(elevation, reference)), exploration);
        }
    workedOutFor = std::pair{reference, exploration};
    return table;
}

} // namespace dunvale
