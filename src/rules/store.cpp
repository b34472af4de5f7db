#include "rules/store.h"

#include "rules/generate.h"
#include "support/errors.h"
#include "support/serial.h"
#include "support/wrap.h"

#include <algorithm>
#include <charconv>
#include <vector>

namespace dunvale {

namespace {

// ---- Sector to text --------------------------------------------------------

constexpr int32_t creatureRoom = 20;
constexpr int32_t itemRoom = 5;
constexpr int32_t entryRoom = 5;
// A plain sector's text is a little under this; one reservation covers most.
constexpr size_t typicalSectorText = 24 << 10;

// Room as the game makes its lists: a fixed start, at least the length.
int32_t roomFor(size_t length, int32_t least) {
    return static_cast<int32_t>(std::max<size_t>(length, static_cast<size_t>(least)));
}

// Writes a sector straight into the serialised value form, with the same
// bytes writeValue gives for the sector's value: arrays and records are
// numbered in the order their forms begin, and nothing is shared, so no
// back-reference is ever written.
struct SectorWriter {
    std::string tagText; // "[key]"
    std::string out;     // sized ahead; `used` bytes are written
    size_t used = 0;
    int32_t nextObject = 0;

    // Every piece below writes at most a tag and three numbers.
    static constexpr size_t longestPiece = 80;

    explicit SectorWriter(int32_t key)
        : tagText(std::string("[").append(std::to_string(key)).append("]")) {
        out.resize(typicalSectorText);
    }

    char* room() {
        if (out.size() - used < longestPiece) out.resize(out.size() * 2);
        return out.data() + used;
    }

    static char* bracketed(char* at, int32_t number) {
        *at++ = '[';
        at = std::to_chars(at, at + 11, number).ptr;
        *at++ = ']';
        return at;
    }

    char* tag(char letter) {
        char* at = room();
        at = std::copy(tagText.begin(), tagText.end(), at);
        *at++ = letter;
        return at;
    }

    void finish(char* at) { used = static_cast<size_t>(at - out.data()); }

    void whole(int32_t value) { finish(bracketed(tag('I'), value)); }

    // Followed by exactly `fields` values and end().
    void beginRecord(int32_t ordinal, int32_t fields) {
        char* at = tag('U');
        *at++ = '[';
        at = bracketed(at, nextObject++);
        at = bracketed(at, ordinal);
        finish(bracketed(at, fields));
    }

    void beginArray(int32_t size) {
        char* at = tag('A');
        *at++ = '[';
        at = bracketed(at, nextObject++);
        finish(bracketed(at, size));
    }

    void end() {
        char* at = room();
        *at = ']';
        finish(at + 1);
    }

    std::string take() {
        out.resize(used);
        return std::move(out);
    }

    template <typename Enum> void choice(Enum value) {
        beginRecord(static_cast<int32_t>(value), 0);
        end();
    }

    void cell(const Cell& c) {
        beginRecord(0, 4);
        choice(c.terrain);
        whole(c.lastSeen);
        whole(c.elevation);
        beginArray(roomFor(c.entries.size(), entryRoom));
        for (const TempEntry& entry : c.entries) {
            beginRecord(0, 2);
            choice(entry.kind);
            whole(entry.expiry);
            end();
        }
        end();
        end();
    }

    void position(Position p) {
        beginRecord(0, 3);
        beginRecord(0, 3);
        whole(p.sector.sx);
        whole(p.sector.sy);
        whole(p.sector.sz);
        end();
        whole(p.x);
        whole(p.y);
        end();
    }

    void creature(const Creature& c) {
        beginRecord(0, 6);
        whole(c.id);
        position(c.position);
        whole(c.level);
        whole(c.health);
        whole(c.lastActed);
        choice(c.kind);
        end();
    }

    void link(const std::optional<StairLink>& stairLink) {
        if (!stairLink) {
            beginRecord(0, 0);
            end();
            return;
        }
        beginRecord(1, 1);
        beginRecord(0, 3);
        choice(stairLink->direction);
        whole(stairLink->x);
        whole(stairLink->y);
        end();
        end();
    }

    void floorItem(const FloorItem& f) {
        beginRecord(0, 3);
        beginRecord(0, 2);
        choice(f.item.itemClass);
        whole(f.item.grade);
        end();
        whole(f.x);
        whole(f.y);
        end();
    }

    void sector(const Sector& s) {
        beginRecord(0, 7);
        beginArray(sectorSize);
        for (const auto& column : s.cells) {
            beginArray(sectorSize);
            for (const Cell& c : column)
                cell(c);
            end();
        }
        end();
        whole(s.visited);
        beginArray(roomFor(s.creatures.size(), creatureRoom));
        for (const auto& c : s.creatures)
            creature(*c);
        end();
        choice(s.kind);
        link(s.upLink);
        link(s.downLink);
        beginArray(roomFor(s.items.size(), itemRoom));
        for (const FloorItem& f : s.items)
            floorItem(f);
        end();
        end();
    }
};

// ---- Value to sector -------------------------------------------------------

// How many constructors each choice in a sector file has; both readers below
// refuse any other ordinal.
constexpr int32_t terrainKinds = 6;
constexpr int32_t tempKinds = 1;
constexpr int32_t creatureKinds = 7;
constexpr int32_t directions = 4;
constexpr int32_t itemClasses = 5;
constexpr int32_t sectorKinds = 7;

// Play keeps a sector's lists far below these. A new sector gets two to five
// creatures and one find; then come at most one wandering creature in a
// hundred turns, a vampire's wraiths, and what the player drops, ten items
// at a time. So a thousand, ten for every square, is never reached, and a
// doctored file cannot make each creature's look at its neighbours scan tens
// of thousands of others every turn.
constexpr size_t maxSectorCreatures = 1000;
constexpr size_t maxSectorItems = 1000;

// Reads a decoded document as a Sector, checking every shape. Each value
// visited is counted: back-references may share parts of a document, but
// never expand it beyond the values it holds.
struct SectorReader {
    const ValueDocument& document;
    size_t visits = 0;

    [[noreturn]] static void mismatch() {
        raiseError("Invalid value to unmarshall", errorCode::invalidUnmarshall);
    }

    const ValueNode& visit(NodeIndex index) {
        if (++visits > document.nodes.size()) mismatch();
        return document.at(index);
    }

    int32_t whole(NodeIndex index) {
        const ValueNode& node = visit(index);
        if (node.kind != ValueKind::Whole) mismatch();
        return node.whole;
    }

    int32_t square(NodeIndex index) {
        int32_t value = whole(index);
        if (value < 0 || value >= sectorSize) mismatch();
        return value;
    }

    // A choice of `count` constructors without fields.
    template <typename Enum> Enum choice(NodeIndex index, int32_t count) {
        const ValueNode& node = visit(index);
        if (node.kind != ValueKind::Record || node.ordinal >= count || !node.children.empty())
            mismatch();
        return static_cast<Enum>(node.ordinal);
    }

    const std::vector<NodeIndex>& record(NodeIndex index, size_t fields) {
        const ValueNode& node = visit(index);
        if (node.kind != ValueKind::Record || node.ordinal != 0 || node.children.size() != fields)
            mismatch();
        return node.children;
    }

    const std::vector<NodeIndex>& array(NodeIndex index) {
        const ValueNode& node = visit(index);
        if (node.kind != ValueKind::Array) mismatch();
        return node.children;
    }

    const std::vector<NodeIndex>& arrayOf(NodeIndex index, size_t length) {
        const std::vector<NodeIndex>& elements = array(index);
        if (elements.size() != length) mismatch();
        return elements;
    }

    Cell cell(NodeIndex index) {
        const auto& f = record(index, 4);
        Cell cell;
        cell.terrain = choice<Terrain>(f[0], terrainKinds);
        cell.lastSeen = whole(f[1]);
        cell.elevation = whole(f[2]);
        for (NodeIndex entryIndex : array(f[3])) {
            const auto& e = record(entryIndex, 2);
            TempEntry entry;
            entry.kind = choice<TempKind>(e[0], tempKinds);
            entry.expiry = whole(e[1]);
            cell.entries.push_back(entry);
        }
        return cell;
    }

    Position position(NodeIndex index) {
        const auto& f = record(index, 3);
        const auto& c = record(f[0], 3);
        Position p;
        p.sector.sx = whole(c[0]);
        p.sector.sy = whole(c[1]);
        p.sector.sz = whole(c[2]);
        p.x = square(f[1]);
        p.y = square(f[2]);
        return p;
    }

    std::shared_ptr<Creature> creature(NodeIndex index) {
        const auto& f = record(index, 6);
        auto creature = std::make_shared<Creature>();
        creature->id = whole(f[0]);
        creature->position = position(f[1]);
        creature->level = whole(f[2]);
        creature->health = whole(f[3]);
        creature->lastActed = whole(f[4]);
        creature->kind = choice<CreatureKind>(f[5], creatureKinds);
        return creature;
    }

    std::optional<StairLink> link(NodeIndex index) {
        const ValueNode& node = visit(index);
        if (node.kind != ValueKind::Record) mismatch();
        if (node.ordinal == 0 && node.children.empty()) return std::nullopt;
        if (node.ordinal != 1 || node.children.size() != 1) mismatch();
        const auto& f = record(node.children[0], 3);
        StairLink stairLink;
        stairLink.direction = choice<Direction>(f[0], directions);
        stairLink.x = square(f[1]);
        stairLink.y = square(f[2]);
        return stairLink;
    }

    FloorItem floorItem(NodeIndex index) {
        const auto& f = record(index, 3);
        const auto& i = record(f[0], 2);
        FloorItem floorItem;
        floorItem.item.itemClass = choice<ItemClass>(i[0], itemClasses);
        floorItem.item.grade = whole(i[1]);
        floorItem.x = square(f[1]);
        floorItem.y = square(f[2]);
        return floorItem;
    }

    std::unique_ptr<Sector> sector(NodeIndex index) {
        const auto& f = record(index, 7);
        auto sector = std::make_unique<Sector>();
        const auto& columns = arrayOf(f[0], sectorSize);
        for (size_t x = 0; x < sectorSize; ++x) {
            const auto& column = arrayOf(columns[x], sectorSize);
            for (size_t y = 0; y < sectorSize; ++y)
                sector->cells[x][y] = cell(column[y]);
        }
        sector->visited = whole(f[1]);
        const auto& creatures = array(f[2]);
        if (creatures.size() > maxSectorCreatures) mismatch();
        for (NodeIndex c : creatures)
            sector->creatures.push_back(creature(c));
        sector->kind = choice<SectorKind>(f[3], sectorKinds);
        sector->upLink = link(f[4]);
        sector->downLink = link(f[5]);
        const auto& items = array(f[6]);
        if (items.size() > maxSectorItems) mismatch();
        for (NodeIndex i : items)
            sector->items.push_back(floorItem(i));
        return sector;
    }
};

// ---- Written text to sector ------------------------------------------------

// Records and arrays nest seven deep in a sector, well within the general
// reader's bound, so the direct reader needs no depth check of its own.
static_assert(maxValueDepth >= 7);

// Reads the text SectorWriter writes straight into a Sector, element by
// element in the writer's order, without building a ValueDocument. At the
// first thing the writer would not have written it gives up, and the general
// reader decides instead; so it reads nothing the general reader would not
// read as the same sector, and every error stays the general reader's.
struct WrittenSectorReader {
    std::string_view text;
    std::string tagText; // "[key]", the only way the writer writes the key
    size_t at = 0;
    int32_t nextObject = 0;
    bool gaveUp = false;

    // Nothing more is read: every later step fails at once and every loop
    // over elements ends.
    void giveUp() {
        gaveUp = true;
        at = text.size();
    }
    int32_t noNumber() {
        giveUp();
        return 0;
    }

    bool next(char c) const { return at < text.size() && text[at] == c; }

    void expect(char c) {
        if (next(c))
            ++at;
        else
            giveUp();
    }

    // The general reader's syntax, "[" ["-"] digits "]" within 32 bits, so a
    // number it takes (even "[-0]" or "[007]") is taken with the same value.
    // Most of the text is numbers: this works on local pointers.
    int32_t number() {
        const char* p = text.data() + at;
        const char* const end = text.data() + text.size();
        if (p == end || *p != '[') return noNumber();
        ++p;
        const bool negative = p != end && *p == '-';
        if (negative) ++p;
        const int64_t limit = negative ? int64_t{1} << 31 : (int64_t{1} << 31) - 1;
        const char* const firstDigit = p;
        int64_t value = 0;
        for (; p != end && *p >= '0' && *p <= '9'; ++p) {
            value = value * 10 + (*p - '0');
            if (value > limit) return noNumber();
        }
        if (p == firstDigit || p == end || *p != ']') return noNumber();
        at = static_cast<size_t>(p + 1 - text.data());
        return static_cast<int32_t>(negative ? -value : value);
    }

    void tag(char letter) {
        if (text.substr(at).starts_with(tagText))
            at += tagText.size();
        else
            giveUp();
        expect(letter);
    }

    // Arrays and records are numbered in the order their forms begin.
    void objectNumber() {
        if (number() != nextObject++) giveUp();
    }

    int32_t whole() {
        tag('I');
        return number();
    }

    int32_t square() {
        int32_t value = whole();
        if (value < 0 || value >= sectorSize) giveUp();
        return value;
    }

    struct RecordHead {
        int32_t ordinal = 0;
        int32_t fields = 0;
    };

    RecordHead beginRecord() {
        tag('U');
        expect('[');
        objectNumber();
        RecordHead head;
        head.ordinal = number();
        head.fields = number();
        return head;
    }

    // A record of the one constructor, ordinal 0, with `fields` fields.
    void record(int32_t fields) {
        RecordHead head = beginRecord();
        if (head.ordinal != 0 || head.fields != fields) giveUp();
    }

    // A choice of `count` constructors without fields.
    template <typename Enum> Enum choice(int32_t count) {
        RecordHead head = beginRecord();
        if (head.ordinal < 0 || head.ordinal >= count || head.fields != 0) giveUp();
        end();
        return static_cast<Enum>(head.ordinal);
    }

    // The room written ahead of the elements reserves nothing here: it is
    // only read, and refused when negative, as the general reader does.
    void beginArray() {
        tag('A');
        expect('[');
        objectNumber();
        if (number() < 0) giveUp();
    }

    // Whether another element of the array being read begins here.
    bool more() const { return !gaveUp && !next(']'); }

    void end() { expect(']'); }

    // Whether a list of `length` elements so far may take one more.
    bool mayGrow(size_t length, size_t most) {
        if (length < most) return true;
        giveUp();
        return false;
    }

    void cell(Cell& cell) {
        record(4);
        cell.terrain = choice<Terrain>(terrainKinds);
        cell.lastSeen = whole();
        cell.elevation = whole();
        beginArray();
        while (more()) {
            record(2);
            TempEntry entry;
            entry.kind = choice<TempKind>(tempKinds);
            entry.expiry = whole();
            end();
            cell.entries.push_back(entry);
        }
        end();
        end();
    }

    Position position() {
        Position p;
        record(3);
        record(3);
        p.sector.sx = whole();
        p.sector.sy = whole();
        p.sector.sz = whole();
        end();
        p.x = square();
        p.y = square();
        end();
        return p;
    }

    std::shared_ptr<Creature> creature() {
        auto creature = std::make_shared<Creature>();
        record(6);
        creature->id = whole();
        creature->position = position();
        creature->level = whole();
        creature->health = whole();
        creature->lastActed = whole();
        creature->kind = choice<CreatureKind>(creatureKinds);
        end();
        return creature;
    }

    std::optional<StairLink> link() {
        RecordHead head = beginRecord();
        if (head.ordinal == 0 && head.fields == 0) {
            end();
            return std::nullopt;
        }
        if (head.ordinal != 1 || head.fields != 1) giveUp();
        StairLink stairLink;
        record(3);
        stairLink.direction = choice<Direction>(directions);
        stairLink.x = square();
        stairLink.y = square();
        end();
        end();
        return stairLink;
    }

    FloorItem floorItem() {
        FloorItem floorItem;
        record(3);
        record(2);
        floorItem.item.itemClass = choice<ItemClass>(itemClasses);
        floorItem.item.grade = whole();
        end();
        floorItem.x = square();
        floorItem.y = square();
        end();
        return floorItem;
    }

    // Like readValue, stops after the one value: text after it is not read.
    std::unique_ptr<Sector> sector() {
        auto sector = std::make_unique<Sector>();
        record(7);
        beginArray();
        for (auto& column : sector->cells) {
            beginArray();
            for (Cell& c : column)
                cell(c);
            end();
        }
        end();
        sector->visited = whole();
        beginArray();
        while (more() && mayGrow(sector->creatures.size(), maxSectorCreatures))
            sector->creatures.push_back(creature());
        end();
        sector->kind = choice<SectorKind>(sectorKinds);
        sector->upLink = link();
        sector->downLink = link();
        beginArray();
        while (more() && mayGrow(sector->items.size(), maxSectorItems))
            sector->items.push_back(floorItem());
        end();
        end();
        if (gaveUp) return nullptr;
        return sector;
    }
};

} // namespace

std::string objectId(SectorCoord c) {
    return std::string("S").append(std::to_string(c.sx)) + "_" + std::to_string(c.sy) + "_" +
           std::to_string(c.sz);
}

int32_t storeKey(SectorCoord c) {
    return wrapAdd(wrapAdd(c.sx, c.sy), c.sz);
}

std::string encodeSector(const Sector& sector, int32_t key) {
    SectorWriter writer(key);
    writer.sector(sector);
    return writer.take();
}

std::unique_ptr<Sector> decodeSector(std::string_view text, int32_t key, SectorReading reading) {
    if (reading == SectorReading::DirectFirst) {
        if (std::unique_ptr<Sector> sector = decodeWrittenSector(text, key)) return sector;
    }
    ValueDocument document = readValue(text, key);
    SectorReader reader{document};
    return reader.sector(document.root);
}

std::unique_ptr<Sector> decodeWrittenSector(std::string_view text, int32_t key) {
    // The general reader refuses an oversized text before reading any of it.
    if (text.size() > maxValueText) return nullptr;
    WrittenSectorReader reader{text, std::string("[").append(std::to_string(key)).append("]")};
    return reader.sector();
}

void storeSector(SectorTable& table, SectorCoord c) {
    const Sector* sector = sectorInMemory(table, c);
    if (sector == nullptr) raiseError(couldntFindMessage(c), errorCode::couldntFind);
    cachePut(table.storeDirectory, objectId(c), encodeSector(*sector, storeKey(c)));
    markStored(table, c);
}

void evict(SectorTable& table, SectorCoord c) {
    if (isInMemory(table, c)) storeSector(table, c);
}

Sector* loadSector(SectorTable& table, SectorCoord c) {
    std::optional<std::string> content = cacheGet(table.storeDirectory, objectId(c));
    if (!content) return nullptr;
    std::unique_ptr<Sector> sector = decodeSector(*content, storeKey(c));
    // A creature is listed by the sector it stands in; one listed anywhere
    // else could not be seen or struck, and would still strike.
    for (const auto& creature : sector->creatures)
        if (creature->position.sector != c)
            raiseError("Invalid value to unmarshall", errorCode::invalidUnmarshall);
    return &putSector(table, c, std::move(sector));
}

void evictFarSectors(SectorTable& table, SectorCoord c) {
    auto far = [](int32_t a, int32_t b) { return wrapAbs(wrapSub(a, b)) > 1; };
    // Evicting changes the table, so the coordinates are taken first.
    for (SectorCoord other : slotCoords(table))
        if (far(other.sx, c.sx) || far(other.sy, c.sy) || far(other.sz, c.sz)) evict(table, other);
}

void makeCurrent(SectorTable& table, SectorCoord c) {
    evictFarSectors(table, c);
    const int32_t west = wrapSub(c.sx, 1);
    const int32_t east = wrapAdd(c.sx, 1);
    const int32_t north = wrapSub(c.sy, 1);
    const int32_t south = wrapAdd(c.sy, 1);
    const SectorCoord neighbours[] = {
        {west, c.sy, c.sz},  {east, c.sy, c.sz},  {c.sx, north, c.sz}, {c.sx, south, c.sz},
        {west, north, c.sz}, {west, south, c.sz}, {east, north, c.sz}, {east, south, c.sz},
    };
    for (SectorCoord neighbour : neighbours)
        ensureSector(table, neighbour, Generator::MazeChooser);
}

} // namespace dunvale
