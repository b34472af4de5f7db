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

constexpr size_t terrainKindCount = 6;
static_assert(static_cast<size_t>(Terrain::SmokeTrap) + 1 == terrainKindCount,
              "SmokeTrap is the last terrain");

// The look of every terrain at every height, for one explorer's skill: worked
// out once a frame, so that a bare square costs one look-up.
struct TerrainLooks {
    std::array<Glyph, terrainKindCount * 3> looks;
};

// Kept from one frame to the next while the skill stays the same.
const TerrainLooks& terrainLooksFor(int32_t exploration);

// Whether `terrain` (as stored, possibly out of range) is in the table.
inline bool inTerrainLooks(Terrain terrain) {
    return static_cast<uint32_t>(terrain) < terrainKindCount;
}

// Terrain without smoke, at height h: bareTerrainGlyph from the table.
inline Glyph terrainLook(const TerrainLooks& table, Terrain terrain, int32_t h) {
    return table.looks[static_cast<size_t>(terrain) * 3 + static_cast<size_t>(heightOf(h))];
}

} // namespace dunvale
