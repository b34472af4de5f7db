#include "test_support.h"

#include <cstdlib>
#include <fstream>
#include <sstream>
#include <stdexcept>

namespace dunvale::testing {

TempDir::TempDir() {
    char pattern[] = "/tmp/dunvale-test-XXXXXX";
    if (mkdtemp(pattern) == nullptr) throw std::runtime_error("mkdtemp failed");
    path = pattern;
}

TempDir::~TempDir() {
    std::error_code ignored;
    std::filesystem::permissions(path, std::filesystem::perms::owner_all,
                                 std::filesystem::perm_options::add, ignored);
    std::filesystem::remove_all(path, ignored);
}

TempStore::TempStore() : opened(openGameStore(dir.slash())) {
    if (!opened) throw std::runtime_error("the new store is locked");
}

std::string readFile(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream content;
    content << in.rdbuf();
    return content.str();
}

void writeFile(const std::filesystem::path& path, const std::string& content) {
    std::ofstream out(path, std::ios::binary);
    out << content;
}

std::unique_ptr<Sector> filledSector(Terrain terrain, SectorKind kind) {
    auto sector = std::make_unique<Sector>();
    for (auto& column : sector->cells)
        for (Cell& cell : column)
            cell.terrain = terrain;
    sector->kind = kind;
    return sector;
}

std::unique_ptr<Sector> richSector(SectorCoord home) {
    auto sector = filledSector(Terrain::Floor, SectorKind::SpiralStaircase);
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

Sector& addSector(SectorTable& table, SectorCoord c, Terrain terrain) {
    return putSector(table, c, filledSector(terrain));
}

std::unique_ptr<LevelRecord> levelWith(const std::vector<SectorCoord>& coords, GameStore* store) {
    auto level = std::make_unique<LevelRecord>();
    level->sectors.store = store;
    for (SectorCoord c : coords)
        addSector(level->sectors, c);
    return level;
}

std::shared_ptr<Creature> addCreature(SectorTable& table, Position at, CreatureKind kind,
                                      int32_t level, int32_t id) {
    auto creature = std::make_shared<Creature>(Creature{id, at, level, level * level, 0, kind});
    Sector* sector = findSector(table, at.sector);
    if (sector == nullptr) throw std::runtime_error("no sector for the creature");
    sector->creatures.push_back(creature);
    return creature;
}

std::vector<SectorCoord> blockAround(SectorCoord c) {
    std::vector<SectorCoord> coords;
    for (int32_t a = -1; a <= 1; ++a)
        for (int32_t b = -1; b <= 1; ++b)
            coords.push_back(SectorCoord{c.sx + a, c.sy + b, c.sz});
    return coords;
}

std::unique_ptr<LevelRecord> worldAround(const std::vector<SectorCoord>& centres,
                                         GameStore* store) {
    auto level = levelWith({}, store);
    for (SectorCoord centre : centres)
        for (SectorCoord c : blockAround(centre))
            if (!hasSlot(level->sectors, c)) addSector(level->sectors, c);
    return level;
}

void stampSector(SectorTable& table, SectorCoord c, int32_t turn) {
    for (auto& column : findSector(table, c)->cells)
        for (Cell& cell : column)
            cell.lastSeen = turn;
}

void fillTerrain(SectorTable& table, Terrain terrain) {
    for (SectorCoord c : slotCoords(table))
        if (isInMemory(table, c))
            for (auto& column : findSector(table, c)->cells)
                for (Cell& cell : column)
                    cell.terrain = terrain;
}

// Draw n is the previous draw plus the value 32 places back in the ring
// (wrapped into [0, M - 1]), so the differences of the wanted values go into
// the far part of the ring, and the slot before the write cursor starts at
// 0. A difference may be negative; the sum is then the wanted value itself.
void scriptDraws(const std::vector<int32_t>& values) {
    constexpr int32_t modulus = 2147483647;
    if (values.size() > 31) throw std::invalid_argument("at most 31 scripted draws");
    RandomState& state = randomGenerator;
    state.ring.fill(0);
    state.write = 0;
    state.previous = 54;
    state.far = 23;
    int32_t before = 0;
    for (size_t i = 0; i < values.size(); ++i) {
        if (values[i] < 0 || values[i] >= modulus) throw std::invalid_argument("raw draw range");
        state.ring[23 + i] = values[i] - before;
        before = values[i];
    }
}

int drawsSince(const RandomState& before) {
    return (randomGenerator.write - before.write + 55) % 55;
}

std::ostream& operator<<(std::ostream& os, const Raised& raised) {
    return os << "\"" << raised.message << "\" (code " << raised.code << ")";
}

ScreenFixture::ScreenFixture() {
    messageQueue().clear();
    setScreen(&terminal);
}

ScreenFixture::~ScreenFixture() {
    setScreen(nullptr);
    messageQueue().clear();
}

std::vector<std::string> ScreenFixture::messageTexts() const {
    std::vector<std::string> texts;
    for (const Message& message : messageQueue())
        texts.push_back(message.text);
    return texts;
}

} // namespace dunvale::testing
