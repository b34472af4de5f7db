#include "labyrinth/store.h"

#include "labyrinth/generate.h"
#include "support/errors.h"
#include "support/serial.h"
#include "support/wrap.h"

#include <algorithm>
#include <cerrno>
#include <charconv>
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

// The sector file at `path`, opened for writing from its start. An earlier
// file is reused, which spares the file system a new file on every store;
// anything else at the name (a link, a pipe, a file with other names) is
// removed and replaced by a new file, never followed or written through.
int openSectorFile(const std::string& path, off_t& earlierSize) {
    earlierSize = 0;
    int fd = open(path.c_str(), O_WRONLY | O_CREAT | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC, 0600);
    if (fd >= 0) {
        struct stat status {};
        if (fstat(fd, &status) == 0 && S_ISREG(status.st_mode) && status.st_nlink == 1) {
            earlierSize = status.st_size;
            return fd;
        }
        close(fd);
    }
    if (unlink(path.c_str()) != 0 && errno != ENOENT) return -1;
    return open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600);
}

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

    explicit SectorWriter(int32_t key) : tagText("[" + std::to_string(key) + "]") {
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
    // Written over the earlier file in place: the store is the running game's
    // own, read only by it, and a file that could not be written whole is
    // removed so that no half sector is ever read back.
    off_t earlierSize = 0;
    int fd = openSectorFile(path, earlierSize);
    if (fd < 0) fileFailure("Couldn't write file ", path);
    const auto size = static_cast<off_t>(content.size());
    bool written = writeAll(fd, content) && (earlierSize <= size || ftruncate(fd, size) == 0);
    bool closed = close(fd) == 0;
    if (!written || !closed) {
        unlink(path.c_str());
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
    SectorWriter writer(key);
    writer.sector(sector);
    return writer.take();
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
