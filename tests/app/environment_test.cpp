// The game in a bad environment: every case ends in a clean report or plays
// as usual, never a crash.
#include "app/game.h"
#include "replay_helpers.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <functional>
#include <map>
#include <sys/stat.h>
#include <unistd.h>

namespace dunvale {
namespace {

namespace fs = std::filesystem;
using testing::HomeOverride;
using testing::TempDir;

struct WalkResult {
    ReplayStats stats;
    std::string output;
};

// A long random walk (no quitting) that stops with the script, leaving the
// stored sectors on disk.
WalkResult walk(int32_t seed) {
    ReplayOptions options;
    options.seed = seed;
    options.keys = randomKeys(static_cast<uint32_t>(seed), 3000);
    std::erase(options.keys, 'Q');
    WalkResult run;
    options.stats = &run.stats;
    options.state = true;
    run.output = runReplay(options);
    return run;
}

size_t storedSectors(const fs::path& home) {
    fs::path store = home / ".dunvale";
    if (!fs::is_directory(store)) return 0;
    size_t count = 0;
    for (const auto& entry : fs::directory_iterator(store))
        if (entry.path().filename().string().rfind("S", 0) == 0) ++count;
    return count;
}

// The first seed whose walk stores sectors in a good home.
int32_t seedThatStores() {
    static int32_t found = [] {
        for (int32_t seed = 1; seed < 60; ++seed) {
            TempDir home;
            HomeOverride override(home.path.string());
            WalkResult run = walk(seed);
            if (!run.stats.reported && storedSectors(home.path) > 0) return seed;
        }
        return -1;
    }();
    return found;
}

std::string firstReportLine(const WalkResult& run) {
    return run.stats.report.substr(0, run.stats.report.find('\n'));
}

TEST(BadEnvironment, AGoodHomeStoresSectorsPrivately) {
    int32_t seed = seedThatStores();
    ASSERT_GT(seed, 0) << "no walk reached a far sector";
    TempDir home;
    HomeOverride override(home.path.string());
    walk(seed);
    EXPECT_GT(storedSectors(home.path), 0u);
    auto perms = fs::status(home.path / ".dunvale").permissions();
    EXPECT_EQ(perms & fs::perms::all, fs::perms::owner_all);
}

TEST(BadEnvironment, UnsetOrEmptyHomeUsesTheCurrentDirectory) {
    int32_t seed = seedThatStores();
    ASSERT_GT(seed, 0);
    for (bool unset : {true, false}) {
        TempDir work;
        fs::path before = fs::current_path();
        fs::current_path(work.path);
        HomeOverride override("");
        if (unset) unsetenv("HOME");
        WalkResult run = walk(seed);
        fs::current_path(before);
        EXPECT_FALSE(run.stats.reported) << run.stats.report;
        EXPECT_GT(storedSectors(work.path), 0u) << (unset ? "unset" : "empty");
    }
}

// The game started with no keys at all: a store it cannot use is reported
// before the first screen, or the first screen is drawn and waits for a key.
WalkResult startOnly() {
    ReplayOptions options;
    options.seed = 1;
    WalkResult run;
    options.stats = &run.stats;
    run.output = runReplay(options);
    return run;
}

bool blank(const std::string& screen) {
    return screen.find_first_not_of(" \n") == std::string::npos;
}

// Every path below `root` (links not followed): its mode and owner, and what
// a file holds.
std::map<std::string, std::string> everythingBelow(const fs::path& root) {
    std::map<std::string, std::string> found;
    for (const auto& entry : fs::recursive_directory_iterator(root)) {
        struct stat status {};
        lstat(entry.path().c_str(), &status);
        std::string& seen = found[entry.path().string()];
        seen = std::to_string(status.st_mode) + " " + std::to_string(status.st_uid) + " ";
        if (S_ISREG(status.st_mode))
            seen.append(std::istreambuf_iterator<char>(std::ifstream(entry.path()).rdbuf()), {});
    }
    return found;
}

TEST(BadEnvironment, UnusableStoresAreRefusedBeforeTheFirstScreen) {
    TempDir base;
    const fs::path victim = base.path / "victim";
    fs::create_directory(victim);
    for (const char* name : {"Save1", "Secret.txt", "Src"})
        std::ofstream(victim / name) << name;
    // A home of each kind, made by its case; the expected start of the
    // report's first line follows from the store's name.
    struct Case {
        std::string name;
        std::string problem; // what follows the store's name, or the whole line
        std::function<void(const fs::path& store)> make;
    };
    auto storeMode = [](fs::perms mode) {
        return [mode](const fs::path& store) {
            fs::create_directory(store);
            fs::permissions(store, mode);
        };
    };
    const Case cases[] = {
        {"missing", "File Error: {} (error code 2)",
         [](const fs::path& store) { fs::remove(store.parent_path()); }},
        {"file", "File Error: {} (error code 2)",
         [](const fs::path& store) { std::ofstream(store) << "not a directory"; }},
        {"link", "Directory is not safe: {} is a symbolic link (error code 1000)",
         [&](const fs::path& store) { fs::create_directory_symlink(victim, store); }},
        {"group", "Directory is not safe: {} may be written by group or others (error code 1000)",
         storeMode(fs::perms::owner_all | fs::perms::group_all)},
        {"others", "Directory is not safe: {} may be written by group or others (error code 1000)",
         storeMode(fs::perms::all | fs::perms::sticky_bit)},
        {"foreign", "Directory is not safe: {} belongs to another user (error code 1000)",
         [](const fs::path& store) {
             fs::create_directory(store);
             EXPECT_EQ(chown(store.c_str(), 65534, 65534), 0); // nobody
         }},
        {"read-only", "File Error: {} (error code 2)",
         storeMode(fs::perms::owner_read | fs::perms::owner_exec)},
    };
    for (const Case& c : cases) {
        // Only root gives files away, and root may write anywhere.
        if (c.name == (geteuid() == 0 ? "read-only" : "foreign")) continue;
        const fs::path home = base.path / c.name;
        fs::create_directory(home);
        c.make(home / ".dunvale");
        std::string expected = c.problem;
        expected.replace(expected.find("{}"), 2, home.string() + "/.dunvale/");
        const auto before = everythingBelow(base.path);
        HomeOverride override(home.string());
        WalkResult run = startOnly();
        EXPECT_EQ(firstReportLine(run).rfind(expected, 0), 0u) << firstReportLine(run);
        EXPECT_TRUE(blank(run.output)) << c.name;
        EXPECT_EQ(everythingBelow(base.path), before) << c.name;
    }
    // "..", and a home where nothing may be made even by root.
    fs::create_directory(base.path / "inner");
    const std::pair<std::string, std::string> named[] = {
        {(base.path / "inner" / "..").string(), "Directory is not safe (error code 1000)"},
        {"/proc/self", "File Error: /proc/self/.dunvale/ (error code 2)"},
    };
    for (const auto& [home, expected] : named) {
        HomeOverride override(home);
        WalkResult run = startOnly();
        EXPECT_EQ(firstReportLine(run).rfind(expected, 0), 0u) << firstReportLine(run);
        EXPECT_TRUE(blank(run.output)) << home;
    }
    EXPECT_FALSE(fs::exists(base.path / ".dunvale"));
}

} // namespace
} // namespace dunvale
