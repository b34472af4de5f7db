#pragma once
// What each thing on the map window looks like.
#include "presentation/screen.h"
#include "support/wrap.h"
#include "world/sector.h"

#include <array>
#include <cstddef>
#include <cstdint>

namespace dunvale {

constexpr Glyph blankGlyph{' ', Colour::White, Brightness::Normal};

Glyph creatureGlyph(const Creature& creature);
// Raises "Missing default" for a grade outside the table of colours.
Glyph itemGlyph(const Item& item);
// The ground of a square at height h against the reference: smoke, which
// flickers (one random draw each time it is drawn), or the terrain.
Glyph groundGlyph(const Cell& cell, int32_t h, int32_t exploration);

// Floor is shaded by its height against the player's square.
enum class Height : uint8_t { Level, Above, Below };

constexpr Height heightOf(int32_t h) {
    if (wrapAbs(h) <= 1) return Height::Level;
    return h >= 2 ? Height::Above : Height::Below;
}

// A square's own elevation is one of these steps unless it is an opening
// (3 or -3) or something unusual.
constexpr int32_t lowestStep = -2;
constexpr uint32_t stepCount = 5;

// The look of every terrain on every step, against one reference elevation
// and for one explorer's skill: kept from one frame to the next while those
// stay the same, so that a bare square costs one look-up.
struct TerrainLooks {
    std::array<Glyph, terrainKindCount * stepCount> looks;
};

const TerrainLooks& terrainLooksFor(int32_t reference, int32_t exploration);

// Where an elevation's looks lie in the table: stepCount or more for one
// that is not a step.
inline uint32_t stepOf(int32_t elevation) {
    return static_cast<uint32_t>(elevation) - static_cast<uint32_t>(lowestStep);
}

// Whether `terrain` (as stored, possibly out of range) is in the table.
inline bool inTerrainLooks(Terrain terrain) {
    return static_cast<uint32_t>(terrain) < terrainKindCount;
}

// Terrain without smoke on a step: bareTerrainGlyph from the table.
inline Glyph terrainLook(const TerrainLooks& table, Terrain terrain, uint32_t step) {
    return table.looks[static_cast<size_t>(terrain) * stepCount + step];
}

} // namespace dunvale
