#include "rules/generate.h"
#include "rules/store.h"
#include "support/errors.h"
#include "support/random.h"
#include "support/serial.h"
#include "test_support.h"

#include <gtest/gtest.h>

#include <climits>
#include <cstdlib>
#include <fstream>
#include <functional>
#include <optional>
#include <set>
#include <sstream>
#include <sys/stat.h>
#include <unistd.h>

namespace dunvale {
namespace {

using testing::TempDir;
namespace fs = std::filesystem;

// Sets HOME (or unsets it, for nullopt) for the life of the guard.
struct HomeGuard {
    std::optional<std::string> saved;
    explicit HomeGuard(std::optional<std::string> value) {
        if (const char* home = std::getenv("HOME")) saved = home;
        if (value)
            setenv("HOME", value->c_str(), 1);
        else
            unsetenv("HOME");
    }
    ~HomeGuard() {
        if (saved)
            setenv("HOME", saved->c_str(), 1);
        else
            unsetenv("HOME");
    }
};

struct Failure {
    std::string message;
    int32_t code = 0;
};

template <typename Action> Failure failureOf(Action action) {
    try {
        action();
    } catch (const RuntimeError& error) {
        return {error.message, error.code};
    }
    ADD_FAILURE() << "no error raised";
    return {};
}

std::string readFile(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream content;
    content << in.rdbuf();
    return content.str();
}

void writeFile(const fs::path& path, const std::string& content) {
    std::ofstream out(path, std::ios::binary);
    out << content;
}

bool sameState(const RandomState& a, const RandomState& b) {
    return a.ring == b.ring && a.write == b.write && a.previous == b.previous && a.far == b.far;
}

// A sector that sets every field to something other than its starting value;
// its creatures stand in the sector `home`.
std::unique_ptr<Sector> richSector(SectorCoord home = {-4, 7, INT32_MIN}) {
    auto sector = testing::filledSector(Terrain::Floor, SectorKind::SpiralStaircase);
    const Terrain terrains[] = {Terrain::Wall,    Terrain::Floor,        Terrain::Trapdoor,
                                Terrain::GasTrap, Terrain::TeleportTrap, Terrain::SmokeTrap};
    for (int x = 0; x < sectorSize; ++x)
        for (int y = 0; y < sectorSize; ++y) {
            Cell& cell = sector->cells[x][y];
            cell.terrain = terrains[(x * 7 + y) % 6];
            cell.lastSeen = x * 10 + y - 1;
            cell.elevation = y - x;
        }
    sector->cells[2][3].entries = {{TempKind::Smoke, 41}, {TempKind::Smoke, INT32_MAX}};
    sector->cells[9][0].elevation = -3;
    sector->cells[0][9].elevation = 3;
    sector->visited = 1;
    Position at{home, 9, 0};
    sector->creatures.push_back(
        std::make_shared<Creature>(Creature{12, at, 8, 64, 300, CreatureKind::Vampire}));
    at.x = 0;
    at.y = 9;
    sector->creatures.push_back(
        std::make_shared<Creature>(Creature{-1, at, 1, -5, -1, CreatureKind::Bat}));
    sector->upLink = StairLink{Direction::East, 9, 4};
    sector->downLink = StairLink{Direction::South, 0, 0};
    sector->items.push_back(FloorItem{Item{ItemClass::Treasure, 250}, 3, 3});
    sector->items.push_back(FloorItem{Item{ItemClass::Potion, 4}, 3, 3});
    sector->items.push_back(FloorItem{Item{ItemClass::Weapon, -2}, 9, 9});
    return sector;
}

TEST(SectorStore, NamesAndKeys) {
    struct Case {
        SectorCoord c;
        std::string id;
        int32_t key;
    };
    const Case cases[] = {
        {{-1, 0, 2}, "S-1_0_2", 1}, {{-3, 1, -2}, "S-3_1_-2", -4},
        {{0, 0, 0}, "S0_0_0", 0},   {{2, 0, 0}, "S2_0_0", 2},
        {{0, 2, 0}, "S0_2_0", 2},   {{INT32_MAX, 1, 0}, "S2147483647_1_0", INT32_MIN},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(objectId(c.c), c.id);
        EXPECT_EQ(storeKey(c.c), c.key) << c.id;
    }
}

TEST(SectorStore, DirectoryComesFromHome) {
    {
        HomeGuard home("/home/ann");
        EXPECT_EQ(storeDirectory(), "/home/ann/.dunvale/");
    }
    {
        HomeGuard home("");
        EXPECT_EQ(storeDirectory(), "./.dunvale/");
    }
    {
        HomeGuard home(std::nullopt);
        EXPECT_EQ(storeDirectory(), "./.dunvale/");
    }
}

TEST(SectorStore, NameChecksComeInOrderBeforeTheDisk) {
    TempDir temp;
    const std::string fresh = temp.slash() + "fresh/";
    const std::string dotted = temp.slash() + "a/../b/";
    struct Case {
        std::string directory;
        std::string id;
        std::string message;
    };
    const Case cases[] = {
        {fresh, "S..1", "Directory is not safe"},
        {fresh, "../S1", "Directory is not safe"}, // ".." is checked before "/"
        {fresh, "x/S1", "Object id is not safe"},
        {dotted, "S1", "Directory is not safe"},
        {dotted, "x/S1", "Object id is not safe"}, // the id is checked first
    };
    for (const Case& c : cases) {
        for (int operation = 0; operation < 3; ++operation) {
            Failure failure = failureOf([&] {
                if (operation == 0) cacheGet(c.directory, c.id);
                if (operation == 1) cachePut(c.directory, c.id, "x");
                if (operation == 2) cacheDelete(c.directory, c.id);
            });
            EXPECT_EQ(failure.message, c.message) << c.directory << c.id << " op " << operation;
            EXPECT_EQ(failure.code, 1000);
        }
    }
    EXPECT_FALSE(fs::exists(fresh));
}

TEST(SectorStore, CacheMakesAPrivateDirectoryAndReplacesFiles) {
    TempDir temp;
    const std::string directory = temp.slash() + "store/";
    mode_t saved = umask(0);
    EXPECT_EQ(cacheGet(directory, "S0_0_0"), std::nullopt);
    umask(saved);
    struct stat status {};
    ASSERT_EQ(stat(directory.c_str(), &status), 0);
    EXPECT_TRUE(S_ISDIR(status.st_mode));
    EXPECT_EQ(status.st_mode & 0777, 0700u);

    cachePut(directory, "S0_0_0", "first");
    cachePut(directory, "S0_0_0", "second");
    EXPECT_EQ(cacheGet(directory, "S0_0_0"), "second");
    // A shorter text leaves nothing of the longer one behind it.
    cachePut(directory, "S0_0_0", "3rd");
    EXPECT_EQ(cacheGet(directory, "S0_0_0"), "3rd");
    // Only the one file: nothing left over from the replacing.
    EXPECT_EQ(std::distance(fs::directory_iterator(directory), fs::directory_iterator()), 1);
    cacheDelete(directory, "S0_0_0");
    EXPECT_EQ(cacheGet(directory, "S0_0_0"), std::nullopt);
    EXPECT_NO_THROW(cacheDelete(directory, "S0_0_0"));
}

TEST(SectorStore, LinksAndPipesAtASectorFileAreReplacedNotFollowed) {
    enum class Planted { SymbolicLink, HardLink, Pipe };
    for (Planted planted : {Planted::SymbolicLink, Planted::HardLink, Planted::Pipe}) {
        SCOPED_TRACE(static_cast<int>(planted));
        TempDir temp;
        const std::string directory = temp.slash() + "store/";
        fs::create_directory(directory);
        const std::string path = directory + "S0_0_0";
        const fs::path victim = temp.path / "victim";
        writeFile(victim, "precious");
        if (planted == Planted::SymbolicLink) fs::create_symlink(victim, path);
        if (planted == Planted::HardLink) fs::create_hard_link(victim, path);
        if (planted == Planted::Pipe) {
            ASSERT_EQ(mkfifo(path.c_str(), 0600), 0);
        }

        if (planted == Planted::SymbolicLink) {
            Failure failure = failureOf([&] { cacheGet(directory, "S0_0_0"); });
            EXPECT_EQ(failure.message, "Couldn't read file " + path);
            EXPECT_EQ(failure.code, errorCode::fileError);
        }
        // Neither blocks on the pipe nor writes through to the victim.
        cachePut(directory, "S0_0_0", "sector");
        EXPECT_EQ(readFile(victim), "precious");
        EXPECT_TRUE(fs::is_regular_file(fs::symlink_status(path)));
        EXPECT_EQ(fs::hard_link_count(path), 1u);
        EXPECT_EQ(cacheGet(directory, "S0_0_0"), "sector");
    }
}

TEST(SectorStore, FileFailuresNameTheFile) {
    TempDir temp;
    // A directory standing where the sector file should be: neither written
    // nor read, even by a user who may write anywhere.
    const std::string directory = temp.slash() + "store/";
    fs::create_directories(directory + "S1_1_1");
    Failure write = failureOf([&] { cachePut(directory, "S1_1_1", "x"); });
    EXPECT_EQ(write.message, "Couldn't write file " + directory + "S1_1_1");
    EXPECT_EQ(write.code, errorCode::fileError);
    EXPECT_EQ(std::distance(fs::directory_iterator(directory), fs::directory_iterator()), 1);
    Failure read = failureOf([&] { cacheGet(directory, "S1_1_1"); });
    EXPECT_EQ(read.message, "Couldn't read file " + directory + "S1_1_1");

    // A store directory under a plain file cannot be made.
    writeFile(temp.path / "plain", "");
    const std::string blocked = temp.slash() + "plain/store/";
    Failure made = failureOf([&] { cachePut(blocked, "S0_0_0", "x"); });
    EXPECT_EQ(made.message, "File Error: " + blocked);
    EXPECT_EQ(made.code, errorCode::fileError);
}

TEST(SectorStore, OversizedFileIsRefusedUnread) {
    TempDir temp;
    const std::string directory = temp.slash();
    const std::string path = directory + "S0_0_0";
    writeFile(path, "");
    fs::resize_file(path, maxValueText + 1); // sparse: costs no disk
    Failure failure = failureOf([&] { cacheGet(directory, "S0_0_0"); });
    EXPECT_EQ(failure.message, "Value too large to unmarshall");
    EXPECT_EQ(failure.code, 254);
}

TEST(SectorStore, EveryFieldRoundTrips) {
    auto rich = richSector();
    for (int32_t key : {0, 1, -4, INT32_MIN}) {
        auto back = decodeSector(encodeSector(*rich, key), key);
        EXPECT_TRUE(sameSector(*rich, *back)) << key;
    }
    Sector plain;
    auto back = decodeSector(encodeSector(plain, 3), 3);
    EXPECT_TRUE(sameSector(plain, *back));
    EXPECT_FALSE(back->upLink);
    EXPECT_FALSE(sameSector(plain, *rich));
}

// The layout worked out by hand from the form: the Sector record is object
// 0, the grid 1, each column and then each Cell, its Terrain and its list of
// entries are numbered as their forms begin; 312 objects precede the list
// of creatures.
TEST(SectorStore, FileLayout) {
    auto sector = testing::filledSector(Terrain::Wall, SectorKind::Maze);
    sector->cells[0][0].terrain = Terrain::Floor;
    const std::string text = encodeSector(*sector, 5);
    const std::string head = "[5]U[[0][0][7][5]A[[1][10][5]A[[2][10]"
                             "[5]U[[3][0][4][5]U[[4][1][0]][5]I[-1][5]I[0][5]A[[5][5]]]"
                             "[5]U[[6][0][4][5]U[[7][0][0]][5]I[-1][5]I[0][5]A[[8][5]]]";
    EXPECT_EQ(text.substr(0, head.size()), head);
    const std::string tail = "[5]I[0][5]A[[312][20]][5]U[[313][1][0]][5]U[[314][0][0]]"
                             "[5]U[[315][0][0]][5]A[[316][5]]]";
    ASSERT_GE(text.size(), tail.size());
    EXPECT_EQ(text.substr(text.size() - tail.size()), tail);

    // A present link is ordinal 1 holding a StairLink record.
    sector->upLink = StairLink{Direction::West, 4, 6};
    EXPECT_NE(encodeSector(*sector, 5)
                  .find("[5]U[[314][1][1][5]U[[315][0][3][5]U[[316][2][0]]"
                        "[5]I[4][5]I[6]]]"),
              std::string::npos);
}

// Decodes the sector's form after `change` has been made to its document.
template <typename Change> Failure decodeChanged(const Sector& sector, Change change) {
    ValueDocument document = readValue(encodeSector(sector, 0), 0);
    change(document);
    const std::string text = writeValue(document, 0);
    return failureOf([&] { decodeSector(text, 0); });
}

TEST(SectorStore, DecodingChecksEveryShape) {
    auto rich = richSector();
    // Field order of the Sector record.
    enum { cells, visited, creatures, kind, upLink, downLink, items };
    using Doc = ValueDocument;
    auto root = [](Doc& d) -> ValueNode& { return d.nodes[d.root]; };
    auto field = [&](Doc& d, size_t i) -> ValueNode& { return d.nodes[root(d).children[i]]; };
    auto child = [](Doc& d, ValueNode& n, size_t i) -> ValueNode& {
        return d.nodes[n.children[i]];
    };
    auto firstCell = [&](Doc& d) -> ValueNode& {
        return child(d, child(d, field(d, cells), 0), 0);
    };
    std::vector<std::pair<std::string, std::function<void(Doc&)>>> changes = {
        {"sector ordinal", [&](Doc& d) { root(d).ordinal = 1; }},
        {"sector fields", [&](Doc& d) { root(d).children.pop_back(); }},
        {"sector is an array", [&](Doc& d) { root(d).kind = ValueKind::Array; }},
        {"nine columns", [&](Doc& d) { field(d, cells).children.pop_back(); }},
        {"eleven cells",
         [&](Doc& d) {
             ValueNode& column = child(d, field(d, cells), 0);
             column.children.push_back(column.children.back());
         }},
        {"cell fields", [&](Doc& d) { firstCell(d).children.pop_back(); }},
        {"terrain 6", [&](Doc& d) { child(d, firstCell(d), 0).ordinal = 6; }},
        {"terrain with a field",
         [&](Doc& d) { child(d, firstCell(d), 0).children.push_back(d.root); }},
        {"last seen as text",
         [&](Doc& d) {
             ValueNode& n = child(d, firstCell(d), 1);
             n.kind = ValueKind::Text;
         }},
        {"visited as a real", [&](Doc& d) { field(d, visited).kind = ValueKind::Real; }},
        {"creature kind 7",
         [&](Doc& d) { child(d, child(d, field(d, creatures), 0), 5).ordinal = 7; }},
        {"creature x 10",
         [&](Doc& d) {
             ValueNode& position = child(d, child(d, field(d, creatures), 0), 1);
             child(d, position, 1).whole = 10;
         }},
        {"sector kind 7", [&](Doc& d) { field(d, kind).ordinal = 7; }},
        {"link ordinal 2", [&](Doc& d) { field(d, upLink).ordinal = 2; }},
        {"present link without field", [&](Doc& d) { field(d, upLink).children.clear(); }},
        {"absent link with field", [&](Doc& d) { field(d, downLink).ordinal = 0; }},
        {"link direction 4",
         [&](Doc& d) { child(d, child(d, field(d, upLink), 0), 0).ordinal = 4; }},
        {"link y -1", [&](Doc& d) { child(d, child(d, field(d, downLink), 0), 2).whole = -1; }},
        {"item class 5",
         [&](Doc& d) {
             ValueNode& item = child(d, child(d, field(d, items), 0), 0);
             child(d, item, 0).ordinal = 5;
         }},
        {"item y 10", [&](Doc& d) { child(d, child(d, field(d, items), 2), 2).whole = 10; }},
        {"items not an array", [&](Doc& d) { field(d, items).kind = ValueKind::Record; }},
        // A cycle fits no shape of the Sector and cannot send reading round.
        {"grid holds itself",
         [&](Doc& d) {
             NodeIndex grid = root(d).children[cells];
             d.nodes[grid].children[0] = grid;
         }},
    };
    for (auto& [name, change] : changes) {
        Failure failure = decodeChanged(*rich, change);
        EXPECT_EQ(failure.message, "Invalid value to unmarshall") << name;
        EXPECT_EQ(failure.code, 254) << name;
    }
}

// Back-references could make a small file stand for a huge sector; reading
// never expands a file beyond the values it holds.
TEST(SectorStore, SharedPartsCannotExpandAFile) {
    Sector sector;
    ValueDocument document = readValue(encodeSector(sector, 0), 0);
    ValueNode& grid = document.nodes[document.nodes[document.root].children[0]];
    NodeIndex firstColumn = grid.children[0];
    for (NodeIndex& column : grid.children)
        column = firstColumn;
    const std::string text = writeValue(document, 0);
    EXPECT_LT(text.size(), 1000u); // one column written, nine back-references
    Failure failure = failureOf([&] { decodeSector(text, 0); });
    EXPECT_EQ(failure.message, "Invalid value to unmarshall");

    // Smoke on every square, each list the same thousand entries.
    Sector smoky;
    smoky.cells[0][0].entries.assign(1000, TempEntry{TempKind::Smoke, 5});
    ValueDocument many = readValue(encodeSector(smoky, 0), 0);
    NodeIndex sharedEntries = 0;
    for (ValueNode& node : many.nodes)
        if (node.kind == ValueKind::Array && node.children.size() == 1000)
            sharedEntries = static_cast<NodeIndex>(&node - many.nodes.data());
    for (ValueNode& node : many.nodes)
        if (node.kind == ValueKind::Record && node.children.size() == 4)
            node.children[3] = sharedEntries;
    EXPECT_EQ(failureOf([&] { decodeSector(writeValue(many, 0), 0); }).message,
              "Invalid value to unmarshall");
}

TEST(SectorStore, EveryTruncatedFileRaises) {
    auto rich = richSector();
    const std::string text = encodeSector(*rich, 7);
    // Every cut in the first Cells and in everything after the grid; the
    // repetitive middle of the grid is sampled.
    const size_t tail = text.size() - 1000;
    for (size_t length = 0; length < text.size();
         length += (length < 300 || length > tail) ? 1 : 11) {
        Failure failure = failureOf([&] { decodeSector(text.substr(0, length), 7); });
        EXPECT_EQ(failure.code, 254) << length;
    }
}

// What decoding gives: the sector, or the error it raises.
struct Decoded {
    std::unique_ptr<Sector> sector;
    Failure failure;
};

Decoded decoded(const std::string& text, int32_t key, SectorReading reading) {
    try {
        return {decodeSector(text, key, reading), {}};
    } catch (const RuntimeError& error) {
        return {nullptr, {error.message, error.code}};
    }
}

// The direct reading takes the text encodeSector writes; for everything else
// decodeSector reads or refuses exactly as the general reader does.
TEST(SectorStore, DirectReadingAgreesWithTheGeneralReader) {
    auto rich = richSector();
    const std::string text = encodeSector(*rich, 7);
    auto changed = [&](const std::string& from, const std::string& to) {
        std::string result = text;
        const size_t at = result.find(from);
        EXPECT_NE(at, std::string::npos) << from;
        return at == std::string::npos ? result : result.replace(at, from.size(), to);
    };
    // The first Cell is object 3, its Terrain 4 and its list of entries 5.
    struct Case {
        std::string name;
        std::string text;
        bool direct; // taken by the direct reading
    };
    const Case cases[] = {
        {"as written", text, true},
        {"another key", encodeSector(*rich, 8), false},
        {"key with a leading zero", "[07]" + text.substr(3), false},
        {"leading zeros", changed("[7]I[-1]", "[7]I[-001]"), true},
        {"minus zero", changed("[7]I[0]", "[7]I[-0]"), true},
        {"over 32 bits", changed("[7]I[-1]", "[7]I[2147483648]"), false},
        {"room for every creature", changed("][20][7]U[", "][2147483647][7]U["), true},
        {"negative room", changed("A[[5][5]]", "A[[5][-1]]"), false},
        {"back-reference", changed("[7]A[[5][5]]", "[7]C[4]"), false},
        {"a field short", changed("U[[3][0][4]", "U[[3][0][3]"), false},
        {"link a field short", changed("][1][1][7]U[", "][1][2][7]U["), false},
        {"terrain 6", changed("U[[4][0][0]]", "U[[4][6][0]]"), false},
        {"a real", changed("[7]I[0]", "[7]R[0]"), false},
        {"trailing byte", text + "]", true},
        {"truncated", text.substr(0, text.size() - 1), false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(decodeWrittenSector(c.text, 7) != nullptr, c.direct);
        Decoded general = decoded(c.text, 7, SectorReading::GeneralOnly);
        Decoded chosen = decoded(c.text, 7, SectorReading::DirectFirst);
        EXPECT_EQ(chosen.failure.message, general.failure.message);
        EXPECT_EQ(chosen.failure.code, general.failure.code);
        ASSERT_EQ(chosen.sector != nullptr, general.sector != nullptr);
        EXPECT_TRUE(!general.sector || sameSector(*chosen.sector, *general.sector));
    }
}

TEST(SectorStore, StoredSectorComesBackWithItsChanges) {
    TempDir temp;
    auto level = testing::levelWith({}, temp.slash());
    SectorTable& table = level->sectors;
    const SectorCoord c{-1, 0, 2};
    putSector(table, c, richSector(c));

    storeSector(table, c);
    EXPECT_TRUE(hasSlot(table, c));
    EXPECT_FALSE(isInMemory(table, c));
    const std::string file = temp.slash() + "S-1_0_2";
    ASSERT_TRUE(fs::exists(file));
    EXPECT_EQ(readFile(file).substr(0, 5), "[1]U[");

    Sector* loaded = findSector(table, c);
    ASSERT_NE(loaded, nullptr);
    EXPECT_TRUE(isInMemory(table, c));
    EXPECT_TRUE(sameSector(*loaded, *richSector(c)));

    loaded->cells[4][4].lastSeen = 77;
    removeItemAt(table, Position{c, 3, 3});
    evict(table, c);
    EXPECT_FALSE(isInMemory(table, c));
    Sector* again = findSector(table, c);
    ASSERT_NE(again, nullptr);
    EXPECT_EQ(again->cells[4][4].lastSeen, 77);
    ASSERT_EQ(again->items.size(), 2u);
    EXPECT_EQ(again->items[0].item, (Item{ItemClass::Potion, 4}));
}

TEST(SectorStore, SameKeyDifferentFiles) {
    TempDir temp;
    auto level = testing::levelWith({}, temp.slash());
    SectorTable& table = level->sectors;
    const SectorCoord east{2, 0, 0};
    const SectorCoord south{0, 2, 0};
    putSector(table, east, testing::filledSector(Terrain::Floor, SectorKind::Maze));
    putSector(table, south, testing::filledSector(Terrain::Wall, SectorKind::ChamberMaze));
    storeSector(table, east);
    storeSector(table, south);
    EXPECT_EQ(findSector(table, east)->kind, SectorKind::Maze);
    EXPECT_EQ(findSector(table, south)->kind, SectorKind::ChamberMaze);
    EXPECT_EQ(findSector(table, south)->cells[5][5].terrain, Terrain::Wall);
}

TEST(SectorStore, DoctoredFilesAreRefused) {
    const SectorCoord c{1, 0, 0};
    // Lists far longer than play makes, and a creature listed by a sector it
    // does not stand in.
    auto crowd = [&](size_t creatures, size_t items, SectorCoord standing) {
        Sector sector;
        for (size_t i = 0; i < creatures; ++i)
            sector.creatures.push_back(std::make_shared<Creature>(
                Creature{1, Position{standing, 5, 5}, 1, 1, 0, CreatureKind::Bat}));
        sector.items.assign(items, FloorItem{Item{ItemClass::Treasure, 1}, 5, 5});
        return sector;
    };
    struct Case {
        Sector sector;
        int32_t key;
        std::string message; // empty: the file loads
        int32_t code;
    };
    const Case cases[] = {
        // Sector (2, 0, 0)'s file, key 2, copied under the name of (1, 0, 0).
        {Sector{}, 2, "Invalid unmarshalling id", 253},
        {crowd(1000, 1000, c), 1, "", 0},
        {crowd(1001, 0, c), 1, "Invalid value to unmarshall", 254},
        {crowd(0, 1001, c), 1, "Invalid value to unmarshall", 254},
        {crowd(1, 0, {0, 0, 0}), 1, "Invalid value to unmarshall", 254},
    };
    for (const Case& doctored : cases) {
        TempDir temp;
        auto level = testing::levelWith({}, temp.slash());
        SectorTable& table = level->sectors;
        writeFile(temp.slash() + objectId(c), encodeSector(doctored.sector, doctored.key));
        markStored(table, c);
        if (doctored.message.empty()) {
            ASSERT_NE(findSector(table, c), nullptr);
            continue;
        }
        Failure failure = failureOf([&] { findSector(table, c); });
        EXPECT_EQ(failure.message, doctored.message) << doctored.sector.creatures.size();
        EXPECT_EQ(failure.code, doctored.code);
        EXPECT_FALSE(isInMemory(table, c));
    }
}

TEST(SectorStore, MissingFileLoadsAsNothing) {
    TempDir temp;
    auto level = testing::levelWith({}, temp.slash());
    markStored(level->sectors, {5, 5, 5});
    EXPECT_EQ(loadSector(level->sectors, {5, 5, 5}), nullptr);
    EXPECT_EQ(findSector(level->sectors, {5, 5, 5}), nullptr);
}

TEST(SectorStore, FarSectorsAreEvictedAsThePlayerMoves) {
    TempDir temp;
    std::vector<SectorCoord> coords;
    for (int32_t sx = -1; sx <= 2; ++sx)
        for (int32_t sy = -1; sy <= 1; ++sy)
            coords.push_back({sx, sy, 0});
    coords.push_back({1, 0, 1});
    coords.push_back({1, 0, -2});
    auto level = testing::levelWith(coords, temp.slash());
    SectorTable& table = level->sectors;

    evictFarSectors(table, {1, 0, 0});
    for (SectorCoord c : coords) {
        bool far = c.sx == -1 || c.sz == -2;
        EXPECT_EQ(isInMemory(table, c), !far) << objectId(c);
        EXPECT_TRUE(hasSlot(table, c));
        EXPECT_EQ(fs::exists(temp.slash() + objectId(c)), far) << objectId(c);
    }

    evictFarSectors(table, {2, 0, 0});
    for (SectorCoord c : coords)
        EXPECT_EQ(isInMemory(table, c), c.sx >= 1 && c.sz >= -1);
}

TEST(SectorStore, MakeCurrentEvictsAndLeavesExistingNeighboursAlone) {
    TempDir temp;
    std::vector<SectorCoord> coords;
    for (int32_t sx = 4; sx <= 7; ++sx)
        for (int32_t sy = -2; sy <= 0; ++sy)
            coords.push_back({sx, sy, 3});
    auto level = testing::levelWith(coords, temp.slash());
    SectorTable& table = level->sectors;
    Sector* neighbour = findSector(table, {6, 0, 3});
    seedRandom(99);
    const RandomState before = randomGenerator;

    makeCurrent(table, {5, -1, 3});
    EXPECT_TRUE(sameState(randomGenerator, before)); // nothing was built
    EXPECT_EQ(findSector(table, {6, 0, 3}), neighbour);
    for (SectorCoord c : coords)
        EXPECT_EQ(isInMemory(table, c), c.sx != 7) << objectId(c);
}

// The neighbours are built in a fixed order, each matching the borders of
// those already there: the same game comes only from the same order.
TEST(SectorStore, MakeCurrentBuildsNeighboursInOrder) {
    TempDir temp;
    const SectorCoord centre{0, 0, 0};
    const SectorCoord order[] = {{-1, 0, 0},  {1, 0, 0},  {0, -1, 0}, {0, 1, 0},
                                 {-1, -1, 0}, {-1, 1, 0}, {1, -1, 0}, {1, 1, 0}};
    auto made = testing::levelWith({centre}, temp.slash());
    seedRandom(2024);
    makeCurrent(made->sectors, centre);
    const RandomState afterMade = randomGenerator;

    auto expected = testing::levelWith({centre}, temp.slash());
    seedRandom(2024);
    for (SectorCoord c : order)
        ensureSector(expected->sectors, c, Generator::MazeChooser);
    EXPECT_TRUE(sameState(randomGenerator, afterMade));
    for (SectorCoord c : order) {
        Sector* a = findSector(made->sectors, c);
        Sector* b = findSector(expected->sectors, c);
        ASSERT_NE(a, nullptr) << objectId(c);
        ASSERT_NE(b, nullptr) << objectId(c);
        // Creature ids come from a counter that runs through the whole process.
        for (Sector* s : {a, b})
            for (auto& creature : s->creatures)
                creature->id = 0;
        EXPECT_TRUE(sameSector(*a, *b)) << objectId(c);
    }
}

TEST(SectorStore, ClearStoreDeletesOnlySectorFiles) {
    TempDir temp;
    const std::string directory = temp.slash();
    for (const char* name : {"S0_0_0", "S-1_2_-3", "Snotes", "notes.txt", "xS1"})
        writeFile(directory + name, "x");
    clearStore(directory);
    std::set<std::string> left;
    for (const auto& entry : fs::directory_iterator(directory))
        left.insert(entry.path().filename().string());
    EXPECT_EQ(left, (std::set<std::string>{"notes.txt", "xS1"}));

    const std::string missing = temp.slash() + "never/";
    EXPECT_NO_THROW(clearStore(missing));
    EXPECT_FALSE(fs::exists(missing));
}

} // namespace
} // namespace dunvale
