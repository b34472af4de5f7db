// The game in a bad environment: every case ends in a clean report or plays
// as usual, never a crash.
#include "app/game.h"
#include "replay_helpers.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
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

TEST(BadEnvironment, HomeWithTwoDotsIsNotSafe) {
    int32_t seed = seedThatStores();
    ASSERT_GT(seed, 0);
    TempDir home;
    fs::create_directory(home.path / "inner");
    HomeOverride override((home.path / "inner" / "..").string());
    WalkResult run = walk(seed);
    ASSERT_TRUE(run.stats.reported);
    EXPECT_EQ(firstReportLine(run).rfind("Directory is not safe (error code 1000) thrown at ", 0),
              0u);
    EXPECT_FALSE(fs::exists(home.path / ".dunvale"));
}

TEST(BadEnvironment, UnusableHomesEndInAReportNamingThePlace) {
    int32_t seed = seedThatStores();
    ASSERT_GT(seed, 0);
    TempDir base;
    fs::path missing = base.path / "missing";
    fs::path fileHome = base.path / "file-home";
    fs::create_directory(fileHome);
    std::ofstream(fileHome / ".dunvale") << "not a directory";
    struct Case {
        std::string home;
        std::string expected; // the start of the report's first line
    };
    const Case cases[] = {
        {missing.string(), "File Error: " + missing.string() + "/.dunvale/ (error code 2)"},
        // /proc refuses new directories even to root.
        {"/proc/self", "File Error: /proc/self/.dunvale/ (error code 2)"},
        {fileHome.string(), "Couldn't write file " + fileHome.string() + "/.dunvale/S"},
    };
    for (const Case& c : cases) {
        HomeOverride override(c.home);
        WalkResult run = walk(seed);
        ASSERT_TRUE(run.stats.reported) << c.home;
        EXPECT_EQ(firstReportLine(run).rfind(c.expected, 0), 0u)
            << c.home << ": " << firstReportLine(run);
    }
}

TEST(BadEnvironment, ReadOnlyHomeRefusesTheStore) {
    if (geteuid() == 0) GTEST_SKIP() << "root may write anywhere; /proc covers the refusal";
    int32_t seed = seedThatStores();
    ASSERT_GT(seed, 0);
    TempDir home;
    fs::permissions(home.path, fs::perms::owner_read | fs::perms::owner_exec);
    HomeOverride override(home.path.string());
    WalkResult run = walk(seed);
    ASSERT_TRUE(run.stats.reported);
    EXPECT_EQ(firstReportLine(run).rfind("File Error: ", 0), 0u);
}

} // namespace
} // namespace dunvale
