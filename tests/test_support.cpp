#include "test_support.h"

#include <cstdlib>
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

std::unique_ptr<Sector> filledSector(Terrain terrain, SectorKind kind) {
    auto sector = std::make_unique<Sector>();
    for (auto& column : sector->cells)
        for (Cell& cell : column)
            cell.terrain = terrain;
    sector->kind = kind;
    return sector;
}

Sector& addSector(SectorTable& table, SectorCoord c, Terrain terrain) {
    return putSector(table, c, filledSector(terrain));
}

std::unique_ptr<LevelRecord> levelWith(const std::vector<SectorCoord>& coords,
                                       const std::string& store) {
    auto level = std::make_unique<LevelRecord>();
    level->sectors.storeDirectory = store;
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
