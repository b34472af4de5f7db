#include "world/sector_table.h"

#include "support/wrap.h"

#include <algorithm>

namespace dunvale {

// The table's own look-ups of its private slots.
struct SectorTableSlots {
    static size_t bucketOf(SectorCoord c) {
        int32_t bucket = sectorHash(c) % sectorTableBuckets;
        if (bucket < 0) bucket += sectorTableBuckets;
        return static_cast<size_t>(bucket);
    }

    // The slot for c in a table or a const table.
    template <typename Table> static auto find(Table& table, SectorCoord c) {
        auto& bucket = table.buckets[bucketOf(c)];
        auto found = std::find_if(bucket.begin(), bucket.end(),
                                  [&](const SectorSlot& slot) { return slot.coord == c; });
        return found == bucket.end() ? nullptr : &*found;
    }

    static void remember(SectorTable& table, SectorCoord c, Sector* sector) {
        table.recent[detail::recentIndex(c)] = RecentSector{c, sector};
    }

    static Sector* inMemory(SectorTable& table, SectorCoord c) {
        RecentSector& entry = table.recent[detail::recentIndex(c)];
        if (entry.neverMade && entry.coord == c) return nullptr;
        SectorSlot* slot = find(table, c);
        if (slot == nullptr) {
            entry = RecentSector{c, nullptr, true};
            return nullptr;
        }
        if (!slot->sector) return nullptr;
        remember(table, c, slot->sector.get());
        return slot->sector.get();
    }

    static bool hasSlot(const SectorTable& table, SectorCoord c) {
        const RecentSector& entry = table.recent[detail::recentIndex(c)];
        if (entry.coord == c && (entry.sector != nullptr || entry.neverMade))
            return entry.sector != nullptr;
        return find(table, c) != nullptr;
    }

    static Sector& put(SectorTable& table, SectorCoord c, std::unique_ptr<Sector> sector) {
        Sector& placed = *sector;
        if (SectorSlot* slot = find(table, c))
            slot->sector = std::move(sector);
        else
            table.buckets[bucketOf(c)].push_back(SectorSlot{c, std::move(sector)});
        remember(table, c, &placed);
        return placed;
    }

    static std::unique_ptr<Sector> markStored(SectorTable& table, SectorCoord c) {
        RecentSector& entry = table.recent[detail::recentIndex(c)];
        if (entry.coord == c) entry = RecentSector{c, nullptr, false};
        if (SectorSlot* slot = find(table, c)) return std::move(slot->sector);
        table.buckets[bucketOf(c)].push_back(SectorSlot{c, nullptr});
        return nullptr;
    }

    static std::vector<SectorCoord> coords(const SectorTable& table) {
        std::vector<SectorCoord> coords;
        for (const auto& bucket : table.buckets)
            for (const SectorSlot& slot : bucket)
                coords.push_back(slot.coord);
        return coords;
    }
};

int32_t sectorHash(SectorCoord c) {
    return wrapAdd(wrapAdd(wrapMul(c.sz, 1721), wrapMul(c.sx, 1009)), c.sy);
}

Sector* detail::sectorInMemoryFromSlots(SectorTable& table, SectorCoord c) {
    return SectorTableSlots::inMemory(table, c);
}

bool hasSlot(const SectorTable& table, SectorCoord c) {
    return SectorTableSlots::hasSlot(table, c);
}

bool isInMemory(const SectorTable& table, SectorCoord c) {
    const RecentSector& entry = table.recent[detail::recentIndex(c)];
    if (entry.sector != nullptr && entry.coord == c) return true;
    const SectorSlot* slot = SectorTableSlots::find(table, c);
    return slot != nullptr && slot->sector != nullptr;
}

Sector& putSector(SectorTable& table, SectorCoord c, std::unique_ptr<Sector> sector) {
    return SectorTableSlots::put(table, c, std::move(sector));
}

std::unique_ptr<Sector> markStored(SectorTable& table, SectorCoord c) {
    return SectorTableSlots::markStored(table, c);
}

std::vector<SectorCoord> slotCoords(const SectorTable& table) {
    return SectorTableSlots::coords(table);
}

} // namespace dunvale
