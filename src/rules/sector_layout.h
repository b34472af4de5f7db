#pragma once
// The one description of a sector in the serialised value form: every field
// of a Sector and of the records it holds, in the order it is written, with
// the checks a reader makes. The writer and both readers (sector_codec.cpp)
// follow it, so a field is added here and nowhere else.
//
// A form is a type with these members; each takes a field of the record
// being described, const when writing:
//   record(fields, body)        a record of the one constructor (ordinal 0);
//                               body() describes its `fields` fields
//   whole(n)                    a signed 32-bit whole number
//   square(n)                   a whole number 0..9: a column or row in a sector
//   choice(e, count)            one of `count` constructors without fields
//   optional(o, body)           constructor 0 without fields when absent,
//                               else constructor 1 whose one field is body(*o)
//   fixedArray(a, body)         an array of exactly a.size() elements
//   list(v, room, most, body)   an array written with room for at least
//                               `room` elements, read with at most `most`
#include "world/sector.h"

#include <concepts>
#include <cstddef>
#include <cstdint>
#include <limits>
#include <memory>
#include <type_traits>
#include <utility>

namespace dunvale {

namespace sectorLayout {

// How many constructors each choice has; a reader refuses any other ordinal.
constexpr auto terrainKinds = static_cast<int32_t>(terrainKindCount);
constexpr int32_t tempKinds = 1;
constexpr int32_t creatureKinds = 7;
constexpr int32_t directions = 4;
constexpr int32_t itemClasses = 5;
constexpr int32_t sectorKinds = 7;
static_assert(static_cast<int32_t>(TempKind::Smoke) + 1 == tempKinds);
static_assert(static_cast<int32_t>(CreatureKind::Vampire) + 1 == creatureKinds);
static_assert(static_cast<int32_t>(Direction::East) + 1 == directions);
static_assert(static_cast<int32_t>(ItemClass::Treasure) + 1 == itemClasses);
static_assert(static_cast<int32_t>(SectorKind::SpiralStaircase) + 1 == sectorKinds);

// Room as the game makes its lists: a fixed start, grown to the length.
constexpr int32_t entryRoom = 5;
constexpr int32_t creatureRoom = 20;
constexpr int32_t itemRoom = 5;

// Play keeps a sector's lists far below these. A new sector gets two to five
// creatures and one find; then come at most one wandering creature in a
// hundred turns, a vampire's wraiths, and what the player drops, ten items
// at a time. So a thousand, ten for every square, is never reached, and a
// doctored file cannot make each creature's look at its neighbours scan tens
// of thousands of others every turn.
constexpr size_t maxSectorCreatures = 1000;
constexpr size_t maxSectorItems = 1000;
// A square's temporary entries are bounded by nothing but the file's size.
constexpr size_t unbounded = std::numeric_limits<size_t>::max();

// T is the record `Of`, const or not.
template <typename T, typename Of>
concept Like = std::same_as<std::remove_const_t<T>, Of>;

} // namespace sectorLayout

template <typename Form, sectorLayout::Like<TempEntry> T> void layout(Form& form, T& entry) {
    form.record(2, [&] {
        form.choice(entry.kind, sectorLayout::tempKinds);
        form.whole(entry.expiry);
    });
}

template <typename Form, sectorLayout::Like<Cell> T> void layout(Form& form, T& cell) {
    form.record(4, [&] {
        form.choice(cell.terrain, sectorLayout::terrainKinds);
        form.whole(cell.lastSeen);
        form.whole(cell.elevation);
        form.list(cell.entries, sectorLayout::entryRoom, sectorLayout::unbounded,
                  [&](auto& entry) { layout(form, entry); });
    });
}

template <typename Form, sectorLayout::Like<SectorCoord> T> void layout(Form& form, T& c) {
    form.record(3, [&] {
        form.whole(c.sx);
        form.whole(c.sy);
        form.whole(c.sz);
    });
}

template <typename Form, sectorLayout::Like<Position> T> void layout(Form& form, T& p) {
    form.record(3, [&] {
        layout(form, p.sector);
        form.square(p.x);
        form.square(p.y);
    });
}

template <typename Form, sectorLayout::Like<Creature> T> void layout(Form& form, T& creature) {
    form.record(6, [&] {
        form.whole(creature.id);
        layout(form, creature.position);
        form.whole(creature.level);
        form.whole(creature.health);
        form.whole(creature.lastActed);
        form.choice(creature.kind, sectorLayout::creatureKinds);
    });
}

// A sector holds its creatures shared; one being read is made first.
template <typename Form, sectorLayout::Like<std::shared_ptr<Creature>> T>
void layout(Form& form, T& creature) {
    if constexpr (std::is_const_v<T>) {
        layout(form, std::as_const(*creature));
    } else {
        if (!creature) creature = std::make_shared<Creature>();
        layout(form, *creature);
    }
}

template <typename Form, sectorLayout::Like<StairLink> T> void layout(Form& form, T& link) {
    form.record(3, [&] {
        form.choice(link.direction, sectorLayout::directions);
        form.square(link.x);
        form.square(link.y);
    });
}

template <typename Form, sectorLayout::Like<Item> T> void layout(Form& form, T& item) {
    form.record(2, [&] {
        form.choice(item.itemClass, sectorLayout::itemClasses);
        form.whole(item.grade);
    });
}

template <typename Form, sectorLayout::Like<FloorItem> T> void layout(Form& form, T& floorItem) {
    form.record(3, [&] {
        layout(form, floorItem.item);
        form.square(floorItem.x);
        form.square(floorItem.y);
    });
}

template <typename Form, sectorLayout::Like<Sector> T> void layout(Form& form, T& sector) {
    auto each = [&](auto& value) { layout(form, value); };
    form.record(7, [&] {
        form.fixedArray(sector.cells, [&](auto& column) { form.fixedArray(column, each); });
        form.whole(sector.visited);
        form.list(sector.creatures, sectorLayout::creatureRoom, sectorLayout::maxSectorCreatures,
                  each);
        form.choice(sector.kind, sectorLayout::sectorKinds);
        form.optional(sector.upLink, each);
        form.optional(sector.downLink, each);
        form.list(sector.items, sectorLayout::itemRoom, sectorLayout::maxSectorItems, each);
    });
}

} // namespace dunvale
