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

    // The slot for c, made (empty) when there is none.
    static SectorSlot& slotFor(SectorTable& table, SectorCoord c) {
        if (SectorSlot* slot = find(table, c)) return *slot;
        return table.buckets[bucketOf(c)].emplace_back(SectorSlot{c, nullptr});
    }

    // Notes what the slot for c, or its absence, says.
    static void remember(SectorTable& table, SectorCoord c, const SectorSlot* slot) {
        RecentSector& entry = table.recent[detail::recentIndex(c)];
        if (slot == nullptr)
            entry = RecentSector{c, nullptr, RecentState::NeverMade};
        else if (slot->sector)
            entry = RecentSector{c, slot->sector.get(), RecentState::Held};
        else
            entry = RecentSector{c, nullptr, RecentState::Stored};
    }

    // The entry for c, when one is noted.
    static const RecentSector* noted(const SectorTable& table, SectorCoord c) {
        const RecentSector& entry = table.recent[detail::recentIndex(c)];
        return entry.state != RecentState::Unknown && entry.coord == c ? &entry : nullptr;
    }

    static Sector* inMemory(SectorTable& table, SectorCoord c) {
        if (const RecentSector* entry = noted(table, c)) return entry->sector;
        const SectorSlot* slot = find(table, c);
        remember(table, c, slot);
        return slot == nullptr ? nullptr : slot->sector.get();
    }

    static bool hasSlot(const SectorTable& table, SectorCoord c) {
        if (const RecentSector* entry = noted(table, c))
            return entry->state != RecentState::NeverMade;
        return find(table, c) != nullptr;
    }

    static bool isInMemory(const SectorTable& table, SectorCoord c) {
        if (const RecentSector* entry = noted(table, c)) return entry->state == RecentState::Held;
        const SectorSlot* slot = find(table, c);
        return slot != nullptr && slot->sector != nullptr;
    }

    static Sector& put(SectorTable& table, SectorCoord c, std::unique_ptr<Sector> sector) {
        SectorSlot& slot = slotFor(table, c);
        slot.sector = std::move(sector);
        remember(table, c, &slot);
        return *slot.sector;
    }

    static std::unique_ptr<Sector> markStored(SectorTable& table, SectorCoord c) {
        SectorSlot& slot = slotFor(table, c);
        std::unique_ptr<Sector> held = std::move(slot.sector);
        remember(table, c, &slot);
        return held;
    }

    static std::vector<SectorCoord> coords(const SectorTable& table, bool heldOnly) {
        std::vector<SectorCoord> coords;
        for (const auto& bucket : table.buckets)
            for (const SectorSlot& slot : bucket)
                if (!heldOnly || slot.sector) coords.push_back(slot.coord);
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
    return SectorTableSlots::isInMemory(table, c);
}

Sector& putSector(SectorTable& table, SectorCoord c, std::unique_ptr<Sector> sector) {
    return SectorTableSlots::put(table, c, std::move(sector));
}

std::unique_ptr<Sector> markStored(SectorTable& table, SectorCoord c) {
    return SectorTableSlots::markStored(table, c);
}

std::vector<SectorCoord> slotCoords(const SectorTable& table) {
    return SectorTableSlots::coords(table, false);
}

std::vector<SectorCoord> heldCoords(const SectorTable& table) {
    return SectorTableSlots::coords(table, true);
}

} // namespace dunvale
