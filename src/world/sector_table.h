#pragma once
// The sector table: every sector ever made, held in memory or marked as
// lying in the sector store; and the level record that owns it.
#include "world/sector.h"

#include <array>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace dunvale {

// The open store of a game (rules/store_files.h), where sectors far from the
// player are kept.
struct GameStore;

// One entry of the table: the Sector in memory, or nothing when it lies in
// the sector store.
struct SectorSlot {
    SectorCoord coord;
    std::unique_ptr<Sector> sector; // empty: the sector is in the store
};

constexpr int sectorTableBuckets = 349;

// What a recent look-up found: a sector held in memory, one lying in the
// store, or none ever made (most of the levels above and below).
enum class RecentState : uint8_t { Unknown, Held, Stored, NeverMade };

// A sector looked up lately. Creatures and the map ask for the same few
// sectors again and again.
struct RecentSector {
    SectorCoord coord;
    Sector* sector = nullptr; // set when Held
    RecentState state = RecentState::Unknown;
};

// Room for the sectors up to two away on the player's level and the levels
// just above and below, each in a place of its own.
constexpr uint32_t recentSectorCount = 128;

// A sector lately written to the store, kept as it was written. Reading the
// very same text back gives this sector again, so it need not be decoded.
struct KeptSector {
    SectorCoord coord;
    std::string text;
    std::unique_ptr<Sector> sector;
};

// A step across a sector's edge leaves up to nine sectors behind (three rows
// on three levels): room for two such steps.
constexpr size_t keptSectorCount = 18;

// A hash table from SectorCoord to SectorSlot. Its slots are private: only
// putSector and markStored change what a slot holds, and they keep the
// recent look-ups right, so a remembered sector is always one the table
// holds.
class SectorTable {
  public:
    // Not owned: whoever opened the store keeps it open while the table is
    // used. Null for a table that never stores a sector.
    GameStore* store = nullptr;
    // Sectors lately stored, oldest first; never touched while kept.
    std::vector<KeptSector> kept;

  private:
    std::array<std::vector<SectorSlot>, sectorTableBuckets> buckets;
    std::array<RecentSector, recentSectorCount> recent;

    friend struct SectorTableSlots;
    friend Sector* sectorInMemory(SectorTable& table, SectorCoord c);
    friend bool knownNeverMade(const SectorTable& table, SectorCoord c);
};

struct LevelRecord {
    SectorTable sectors;
    int32_t turn = 1;
};

int32_t sectorHash(SectorCoord c);

// The sector at c if it is held in memory; null otherwise. Never loads.
Sector* sectorInMemory(SectorTable& table, SectorCoord c);
bool hasSlot(const SectorTable& table, SectorCoord c);
bool isInMemory(const SectorTable& table, SectorCoord c);
// Inserts the sector as held in memory, replacing any slot for c.
Sector& putSector(SectorTable& table, SectorCoord c, std::unique_ptr<Sector> sector);
// Replaces c's slot by one that says the sector lies in the store, and hands
// back the sector it held, if any.
std::unique_ptr<Sector> markStored(SectorTable& table, SectorCoord c);
// Every coordinate that has a slot, in the table's own order.
std::vector<SectorCoord> slotCoords(const SectorTable& table);
// Those of them whose sector is held in memory.
std::vector<SectorCoord> heldCoords(const SectorTable& table);

namespace detail {
// x + 5y + 25z differs for every pair of sectors in a 5x5x3 block, and 75
// neighbouring values stay apart modulo 128: the sectors around the player
// never push each other out.
inline size_t recentIndex(SectorCoord c) {
    const uint32_t mixed = static_cast<uint32_t>(c.sx) + 5u * static_cast<uint32_t>(c.sy) +
                           25u * static_cast<uint32_t>(c.sz);
    return mixed % recentSectorCount;
}
Sector* sectorInMemoryFromSlots(SectorTable& table, SectorCoord c);
} // namespace detail

// Inline: creatures and the map ask this for nearly every square.
inline Sector* sectorInMemory(SectorTable& table, SectorCoord c) {
    const RecentSector& entry = table.recent[detail::recentIndex(c)];
    if (entry.state != RecentState::Unknown && entry.coord == c) return entry.sector;
    return detail::sectorInMemoryFromSlots(table, c);
}

// Whether a recent look-up found that c was never made; false when that is
// not known. Inline: the creatures' turn asks it for the missing levels
// above and below every turn.
inline bool knownNeverMade(const SectorTable& table, SectorCoord c) {
    const RecentSector& entry = table.recent[detail::recentIndex(c)];
    return entry.state == RecentState::NeverMade && entry.coord == c;
}

} // namespace dunvale
