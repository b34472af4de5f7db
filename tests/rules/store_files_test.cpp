#include "rules/store_files.h"
#include "support/errors.h"
#include "support/serial.h"
#include "test_support.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <optional>
#include <set>
#include <sys/stat.h>
#include <unistd.h>

namespace dunvale {
namespace {

using testing::raisedBy;
using testing::readFile;
using testing::TempDir;
using testing::TempStore;
using testing::writeFile;
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

std::set<std::string> namesIn(const std::string& directory) {
    std::set<std::string> names;
    for (const auto& entry : fs::directory_iterator(directory))
        names.insert(entry.path().filename().string());
    return names;
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

// The store's own name is checked when it is opened (the environment tests
// cover that); a sector's id by every operation, before the disk is touched.
TEST(SectorStore, NameChecksComeInOrderBeforeTheDisk) {
    TempStore temp;
    struct Case {
        std::string id;
        std::string message;
    };
    const Case cases[] = {
        {"S..1", "Directory is not safe"},
        {"../S1", "Directory is not safe"}, // ".." is checked before "/"
        {"x/S1", "Object id is not safe"},
    };
    const GameStore& store = *temp.store();
    for (const Case& c : cases) {
        for (int operation = 0; operation < 3; ++operation) {
            testing::Raised failure = raisedBy([&] {
                if (operation == 0) cacheGet(store, c.id);
                if (operation == 1) cachePut(store, c.id, "x");
                if (operation == 2) cacheDelete(store, c.id);
            });
            EXPECT_EQ(failure, (testing::Raised{c.message, 1000})) << c.id << " op " << operation;
        }
    }
    EXPECT_EQ(namesIn(temp.slash()), (std::set<std::string>{"lock"}));
}

TEST(SectorStore, CacheMakesAPrivateDirectoryAndReplacesFiles) {
    TempDir temp;
    const std::string directory = temp.slash() + "store/";
    mode_t saved = umask(0);
    std::unique_ptr<GameStore> store = openGameStore(directory);
    umask(saved);
    ASSERT_NE(store, nullptr);
    struct stat status {};
    ASSERT_EQ(stat(directory.c_str(), &status), 0);
    EXPECT_TRUE(S_ISDIR(status.st_mode));
    EXPECT_EQ(status.st_mode & 0777, 0700u);
    EXPECT_EQ(cacheGet(*store, "S0_0_0"), std::nullopt);

    cachePut(*store, "S0_0_0", "first");
    cachePut(*store, "S0_0_0", "second");
    EXPECT_EQ(cacheGet(*store, "S0_0_0"), "second");
    // A shorter text leaves nothing of the longer one behind it.
    cachePut(*store, "S0_0_0", "3rd");
    EXPECT_EQ(cacheGet(*store, "S0_0_0"), "3rd");
    // Only the one file beside the lock: nothing left over from the replacing.
    EXPECT_EQ(namesIn(directory), (std::set<std::string>{"S0_0_0", "lock"}));
    cacheDelete(*store, "S0_0_0");
    EXPECT_EQ(cacheGet(*store, "S0_0_0"), std::nullopt);
    EXPECT_NO_THROW(cacheDelete(*store, "S0_0_0"));
}

TEST(SectorStore, LinksAndPipesAtASectorFileAreReplacedNotFollowed) {
    enum class Planted { SymbolicLink, HardLink, Pipe };
    for (Planted planted : {Planted::SymbolicLink, Planted::HardLink, Planted::Pipe}) {
        SCOPED_TRACE(static_cast<int>(planted));
        TempStore temp;
        const GameStore& store = *temp.store();
        const std::string path = temp.slash() + "S0_0_0";
        const fs::path victim = temp.dir.path / "victim";
        writeFile(victim, "precious");
        if (planted == Planted::SymbolicLink) fs::create_symlink(victim, path);
        if (planted == Planted::HardLink) fs::create_hard_link(victim, path);
        if (planted == Planted::Pipe) {
            ASSERT_EQ(mkfifo(path.c_str(), 0600), 0);
        }

        if (planted == Planted::SymbolicLink) {
            EXPECT_EQ(raisedBy([&] { cacheGet(store, "S0_0_0"); }),
                      (testing::Raised{"Couldn't read file " + path, errorCode::fileError}));
        }
        // Neither blocks on the pipe nor writes through to the victim.
        cachePut(store, "S0_0_0", "sector");
        EXPECT_EQ(readFile(victim), "precious");
        EXPECT_TRUE(fs::is_regular_file(fs::symlink_status(path)));
        EXPECT_EQ(fs::hard_link_count(path), 1u);
        EXPECT_EQ(cacheGet(store, "S0_0_0"), "sector");
    }
}

TEST(SectorStore, FileFailuresNameTheFile) {
    TempStore temp;
    const GameStore& store = *temp.store();
    // A directory standing where the sector file should be: neither written
    // nor read, even by a user who may write anywhere.
    const std::string path = temp.slash() + "S1_1_1";
    fs::create_directories(path);
    EXPECT_EQ(raisedBy([&] { cachePut(store, "S1_1_1", "x"); }),
              (testing::Raised{"Couldn't write file " + path, errorCode::fileError}));
    EXPECT_EQ(namesIn(temp.slash()), (std::set<std::string>{"S1_1_1", "lock"}));
    EXPECT_EQ(raisedBy([&] { cacheGet(store, "S1_1_1"); }).message, "Couldn't read file " + path);
}

TEST(SectorStore, OversizedFileIsRefusedUnread) {
    TempStore temp;
    const std::string path = temp.slash() + "S0_0_0";
    writeFile(path, "");
    fs::resize_file(path, maxValueText + 1); // sparse: costs no disk
    EXPECT_EQ(raisedBy([&] { cacheGet(*temp.store(), "S0_0_0"); }),
              (testing::Raised{"Value too large to unmarshall", 254}));
}

TEST(SectorStore, ClearStoreDeletesOnlySectorFiles) {
    TempStore temp;
    for (const char* name : {"S0_0_0", "S-1_2_-3", "Snotes", "notes.txt", "xS1"})
        writeFile(temp.slash() + name, "x");
    clearStore(*temp.store());
    EXPECT_EQ(namesIn(temp.slash()), (std::set<std::string>{"lock", "notes.txt", "xS1"}));
}

} // namespace
} // namespace dunvale
