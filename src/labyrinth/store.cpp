#include "labyrinth/store.h"

#include "labyrinth/generate.h"
#include "support/errors.h"
#include "support/serial.h"
#include "support/wrap.h"

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace dunvale {

namespace {

// ---- Names and files -------------------------------------------------------

void checkNames(const std::string& directory, const std::string& id) {
    if (id.find("..") != std::string::npos)
        raiseError("Directory is not safe", errorCode::valueOutOfRange);
    if (id.find('/') != std::string::npos)
        raiseError("Object id is not safe", errorCode::valueOutOfRange);
    if (directory.find("..") != std::string::npos)
        raiseError("Directory is not safe", errorCode::valueOutOfRange);
}

// One level only: the home directory itself must exist. Private to the user,
// since it holds the whole labyrinth of a game in progress.
void ensureDirectory(const std::string& directory) {
    if (mkdir(directory.c_str(), 0700) != 0 && errno != EEXIST)
        raiseError("File Error: " + directory, errorCode::fileError);
}

[[noreturn]] void fileFailure(const char* what, const std::string& path) {
    raiseError(std::string(what) + path, errorCode::fileError);
}

struct FileCloser {
    int fd;
    ~FileCloser() {
        if (fd >= 0) close(fd);
    }
};

bool writeAll(int fd, const std::string& content) {
    size_t written = 0;
    while (written < content.size()) {
        ssize_t n = write(fd, content.data() + written, content.size() - written);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return false;
        written += static_cast<size_t>(n);
    }
    return true;
}

// ---- Sector to value -------------------------------------------------------

constexpr int32_t creatureRoom = 20;
constexpr int32_t itemRoom = 5;
constexpr int32_t entryRoom = 5;

template <typename Enum> NodeIndex choice(ValueDocument& d, Enum value) {
    return d.addRecord(static_cast<int32_t>(value));
}

NodeIndex recordOf(ValueDocument& d, std::initializer_list<NodeIndex> fields) {
    NodeIndex node = d.addRecord(0);
    for (NodeIndex field : fields)
        d.append(node, field);
    return node;
}

// Room as the game makes its lists: a fixed start, at least the length.
int32_t roomFor(size_t length, int32_t least) {
    return static_cast<int32_t>(std::max<size_t>(length, static_cast<size_t>(least)));
}

NodeIndex cellValue(ValueDocument& d, const Cell& cell) {
    NodeIndex terrain = choice(d, cell.terrain);
    NodeIndex lastSeen = d.addWhole(cell.lastSeen);
    NodeIndex elevation = d.addWhole(cell.elevation);
    NodeIndex entries = d.addArray(roomFor(cell.entries.size(), entryRoom));
    for (const TempEntry& entry : cell.entries) {
        NodeIndex kind = choice(d, entry.kind);
        NodeIndex expiry = d.addWhole(entry.expiry);
        d.append(entries, recordOf(d, {kind, expiry}));
    }
    return recordOf(d, {terrain, lastSeen, elevation, entries});
}

NodeIndex positionValue(ValueDocument& d, Position p) {
    NodeIndex sx = d.addWhole(p.sector.sx);
    NodeIndex sy = d.addWhole(p.sector.sy);
    NodeIndex sz = d.addWhole(p.sector.sz);
    NodeIndex sector = recordOf(d, {sx, sy, sz});
    NodeIndex x = d.addWhole(p.x);
    NodeIndex y = d.addWhole(p.y);
    return recordOf(d, {sector, x, y});
}

NodeIndex creatureValue(ValueDocument& d, const Creature& creature) {
    NodeIndex id = d.addWhole(creature.id);
    NodeIndex position = positionValue(d, creature.position);
    NodeIndex level = d.addWhole(creature.level);
    NodeIndex health = d.addWhole(creature.health);
    NodeIndex lastActed = d.addWhole(creature.lastActed);
    NodeIndex kind = choice(d, creature.kind);
    return recordOf(d, {id, position, level, health, lastActed, kind});
}

NodeIndex linkValue(ValueDocument& d, const std::optional<StairLink>& link) {
    if (!link) return d.addRecord(0);
    NodeIndex direction = choice(d, link->direction);
    NodeIndex x = d.addWhole(link->x);
    NodeIndex y = d.addWhole(link->y);
    NodeIndex present = d.addRecord(1);
    d.append(present, recordOf(d, {direction, x, y}));
    return present;
}

NodeIndex floorItemValue(ValueDocument& d, const FloorItem& floorItem) {
    NodeIndex itemClass = choice(d, floorItem.item.itemClass);
    NodeIndex grade = d.addWhole(floorItem.item.grade);
    NodeIndex item = recordOf(d, {itemClass, grade});
    NodeIndex x = d.addWhole(floorItem.x);
    NodeIndex y = d.addWhole(floorItem.y);
    return recordOf(d, {item, x, y});
}

NodeIndex sectorValue(ValueDocument& d, const Sector& sector) {
    NodeIndex cells = d.addArray(sectorSize);
    for (const auto& column : sector.cells) {
        NodeIndex columnNode = d.addArray(sectorSize);
        for (const Cell& cell : column)
            d.append(columnNode, cellValue(d, cell));
        d.append(cells, columnNode);
    }
    NodeIndex visited = d.addWhole(sector.visited);
    NodeIndex creatures = d.addArray(roomFor(sector.creatures.size(), creatureRoom));
    for (const auto& creature : sector.creatures)
        d.append(creatures, creatureValue(d, *creature));
    NodeIndex kind = choice(d, sector.kind);
    NodeIndex upLink = linkValue(d, sector.upLink);
    NodeIndex downLink = linkValue(d, sector.downLink);
    NodeIndex items = d.addArray(roomFor(sector.items.size(), itemRoom));
    for (const FloorItem& floorItem : sector.items)
        d.append(items, floorItemValue(d, floorItem));
    return recordOf(d, {cells, visited, creatures, kind, upLink, downLink, items});
}

// ---- Value to sector -------------------------------------------------------

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
        cell.terrain = choice<Terrain>(f[0], 6);
        cell.lastSeen = whole(f[1]);
        cell.elevation = whole(f[2]);
        for (NodeIndex entryIndex : array(f[3])) {
            const auto& e = record(entryIndex, 2);
            TempEntry entry;
            entry.kind = choice<TempKind>(e[0], 1);
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
        creature->kind = choice<CreatureKind>(f[5], 7);
        return creature;
    }

    std::optional<StairLink> link(NodeIndex index) {
        const ValueNode& node = visit(index);
        if (node.kind != ValueKind::Record) mismatch();
        if (node.ordinal == 0 && node.children.empty()) return std::nullopt;
        if (node.ordinal != 1 || node.children.size() != 1) mismatch();
        const auto& f = record(node.children[0], 3);
        StairLink stairLink;
        stairLink.direction = choice<Direction>(f[0], 4);
        stairLink.x = square(f[1]);
        stairLink.y = square(f[2]);
        return stairLink;
    }

    FloorItem floorItem(NodeIndex index) {
        const auto& f = record(index, 3);
        const auto& i = record(f[0], 2);
        FloorItem floorItem;
        floorItem.item.itemClass = choice<ItemClass>(i[0], 5);
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
        for (NodeIndex c : array(f[2]))
            sector->creatures.push_back(creature(c));
        sector->kind = choice<SectorKind>(f[3], 7);
        sector->upLink = link(f[4]);
        sector->downLink = link(f[5]);
        for (NodeIndex i : array(f[6]))
            sector->items.push_back(floorItem(i));
        return sector;
    }
};

} // namespace

std::string storeDirectory() {
    const char* home = std::getenv("HOME");
    std::string base = home != nullptr && *home != '\0' ? home : ".";
    return base + "/.dunvale/";
}

std::string objectId(SectorCoord c) {
    return "S" + std::to_string(c.sx) + "_" + std::to_string(c.sy) + "_" + std::to_string(c.sz);
}

int32_t storeKey(SectorCoord c) {
    return wrapAdd(wrapAdd(c.sx, c.sy), c.sz);
}

std::optional<std::string> cacheGet(const std::string& directory, const std::string& id) {
    checkNames(directory, id);
    ensureDirectory(directory);
    const std::string path = directory + id;
    // No link is followed, and a pipe planted at the name cannot block.
    FileCloser file{open(path.c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC)};
    if (file.fd < 0) {
        if (errno == ENOENT) return std::nullopt;
        fileFailure("Couldn't read file ", path);
    }
    struct stat status {};
    if (fstat(file.fd, &status) != 0 || !S_ISREG(status.st_mode))
        fileFailure("Couldn't read file ", path);
    if (static_cast<uint64_t>(status.st_size) > maxValueText) raiseValueTooLarge();
    std::string content;
    content.reserve(static_cast<size_t>(status.st_size));
    char buffer[65536];
    for (;;) {
        ssize_t n = read(file.fd, buffer, sizeof buffer);
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) fileFailure("Couldn't read file ", path);
        if (n == 0) break;
        // The file may have grown since it was measured.
        if (content.size() + static_cast<size_t>(n) > maxValueText) raiseValueTooLarge();
        content.append(buffer, static_cast<size_t>(n));
    }
    return content;
}

void cachePut(const std::string& directory, const std::string& id, const std::string& content) {
    checkNames(directory, id);
    ensureDirectory(directory);
    const std::string path = directory + id;
    // Written whole beside the file, then renamed over it: a reader never
    // sees half a sector, and a link planted at the name is replaced, not
    // followed.
    std::string temporary = path + ".XXXXXX";
    int fd = mkstemp(temporary.data());
    if (fd < 0) fileFailure("Couldn't write file ", path);
    bool written = writeAll(fd, content);
    bool closed = close(fd) == 0;
    if (!written || !closed || rename(temporary.c_str(), path.c_str()) != 0) {
        unlink(temporary.c_str());
        fileFailure("Couldn't write file ", path);
    }
}

void cacheDelete(const std::string& directory, const std::string& id) {
    checkNames(directory, id);
    ensureDirectory(directory);
    const std::string path = directory + id;
    if (unlink(path.c_str()) != 0 && errno != ENOENT) fileFailure("Couldn't delete file ", path);
}

std::string encodeSector(const Sector& sector, int32_t key) {
    ValueDocument document;
    document.root = sectorValue(document, sector);
    return writeValue(document, key);
}

std::unique_ptr<Sector> decodeSector(std::string_view text, int32_t key) {
    ValueDocument document = readValue(text, key);
    SectorReader reader{document};
    return reader.sector(document.root);
}

void storeSector(SectorTable& table, SectorCoord c) {
    SectorSlot* slot = findSlot(table, c);
    if (slot == nullptr || !slot->sector)
        raiseError("Couldn't find " + std::to_string(c.sx) + "," + std::to_string(c.sy) + "," +
                       std::to_string(c.sz),
                   errorCode::couldntFind);
    cachePut(table.storeDirectory, objectId(c), encodeSector(*slot->sector, storeKey(c)));
    markStored(table, c);
}

void evict(SectorTable& table, SectorCoord c) {
    if (isInMemory(table, c)) storeSector(table, c);
}

Sector* loadSector(SectorTable& table, SectorCoord c) {
    std::optional<std::string> content = cacheGet(table.storeDirectory, objectId(c));
    if (!content) return nullptr;
    return &putSector(table, c, decodeSector(*content, storeKey(c)));
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

void clearStore(const std::string& directory) {
    DIR* listing = opendir(directory.c_str());
    if (listing == nullptr) {
        // A game that never stored a sector has no directory to clear.
        if (errno == ENOENT) return;
        fileFailure("Couldn't list directory ", directory);
    }
    std::vector<std::string> names;
    while (const dirent* entry = readdir(listing))
        names.emplace_back(entry->d_name);
    closedir(listing);
    for (const std::string& name : names)
        if (name.starts_with("S")) cacheDelete(directory, name);
}

} // namespace dunvale
