// The game in a bad environment: every case ends in a clean report or plays
// as usual, never a crash.
#include "app/game.h"
#include "replay_helpers.h"
#include "rules/store.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <functional>
#include <map>
#include <new>
#include <sstream>
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

// A game on the given keys; with none, a store it cannot use is reported
// before the first screen, or the first screen is drawn and waits for a key.
WalkResult play(std::vector<int> keys = {},
                std::function<void(Player&, LevelRecord&)> onStart = nullptr) {
    ReplayOptions options;
    options.seed = 1;
    options.keys = std::move(keys);
    options.onStart = std::move(onStart);
    WalkResult run;
    options.stats = &run.stats;
    run.output = runReplay(options);
    return run;
}

bool blank(const std::string& screen) {
    return screen.find_first_not_of(" \n") == std::string::npos;
}

std::string contents(const fs::path& file) {
    std::ifstream in(file);
    return std::string(std::istreambuf_iterator<char>(in), {});
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
        if (S_ISREG(status.st_mode)) seen += contents(entry.path());
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
        WalkResult run = play();
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
        WalkResult run = play();
        EXPECT_EQ(firstReportLine(run).rfind(expected, 0), 0u) << firstReportLine(run);
        EXPECT_TRUE(blank(run.output)) << home;
    }
    EXPECT_FALSE(fs::exists(base.path / ".dunvale"));
}

TEST(BadEnvironment, ASecondGameOnTheSameStoreIsRefusedAndChangesNothing) {
    if (std::system("command -v tmux > /dev/null") != 0) GTEST_SKIP() << "tmux is not installed";
    TempDir home;
    TempDir outside;
    const fs::path shown = outside.path / "pane";
    const std::string tmux = "tmux -L dunvale-store-test-" + std::to_string(getpid());
    auto pane = [&] {
        std::system((tmux + " capture-pane -p -t first > " + shown.string()).c_str());
        return contents(shown);
    };
    auto waitFor = [&](const std::string& text) {
        for (int i = 0; i < 50 && pane().find(text) == std::string::npos; ++i)
            usleep(100'000);
        return pane();
    };
    // The first game, in a terminal of its own.
    std::system((tmux + " new-session -d -s first -x 79 -y 24 'HOME=" + home.path.string() + " " +
                 DUNVALE_GAME_PATH + "; echo EXIT=$?; sleep 30'")
                    .c_str());
    ASSERT_NE(waitFor("Good luck!").find("Good luck!"), std::string::npos) << pane();
    const auto before = everythingBelow(home.path);

    const fs::path second = outside.path / "second";
    const int status =
        std::system(("HOME=" + home.path.string() + " timeout 10 " + DUNVALE_GAME_PATH +
                     " < /dev/null > " + second.string() + " 2>&1")
                        .c_str());
    EXPECT_EQ(WEXITSTATUS(status), 1);
    EXPECT_EQ(contents(second), "Another dunvale game is using " + home.path.string() +
                                    "/.dunvale/; finish it first.\n");
    // The replay tool takes the same lock on the home it is given.
    const int replayStatus =
        std::system((std::string(DUNVALE_REPLAY_PATH) + " --seed 1 --keys . --home " +
                     home.path.string() + " > " + second.string())
                        .c_str());
    EXPECT_EQ(WEXITSTATUS(replayStatus), 1);
    EXPECT_EQ(contents(second).rfind("Another dunvale game is using ", 0), 0u) << contents(second);
    EXPECT_EQ(everythingBelow(home.path), before);

    // The first game plays on and ends as usual; keys typed ahead of the
    // summary are thrown away, so the last key waits for it.
    std::system((tmux + " send-keys -t first Q x").c_str());
    waitFor("You died...");
    std::system((tmux + " send-keys -t first x").c_str());
    EXPECT_NE(waitFor("EXIT=").find("EXIT=0"), std::string::npos) << pane();
    std::system((tmux + " kill-server").c_str());
}

TEST(BadEnvironment, DoctoredSectorFilesEndInAReportOrPlayOn) {
    // Each scene changes sectors next to the start, then has them written to
    // the store: the game reads them back from their files as its creatures
    // act, in the first turn.
    const SectorCoord east{1, 0, 0};
    const SectorCoord eastAbove{1, 0, 1};
    // Creatures listed by the east sector, standing where given.
    auto crowd = [&](Position standing, int count) {
        return [=](SectorTable& table) {
            for (int i = 0; i < count; ++i)
                sectorAt(table, east)
                    .creatures.push_back(std::make_shared<Creature>(
                        Creature{i, standing, 1, 1, 0, CreatureKind::Bat}));
        };
    };
    struct Case {
        std::string name;
        std::function<void(SectorTable&)> doctor;
        std::string report; // the start of the first line; empty: plays on
    };
    const Case cases[] = {
        // An opening over an opening, and a bat next to it.
        {"3 over -3",
         [&](SectorTable& table) {
             if (!hasSlot(table, eastAbove)) testing::addSector(table, eastAbove);
             sectorAt(table, east).cells[5][5].elevation = 3;
             sectorAt(table, eastAbove).cells[5][5].elevation = -3;
             testing::addCreature(table, Position{eastAbove, 4, 5}, CreatureKind::Bat, 1);
         },
         ""},
        {"27000 creatures on one square", crowd(Position{east, 5, 5}, 27000),
         "Invalid value to unmarshall (error code 254) thrown at "},
        {"a creature of another sector", crowd(Position{{0, 0, 0}, 7, 7}, 1),
         "Invalid value to unmarshall (error code 254) thrown at "},
    };
    for (const Case& c : cases) {
        TempDir home;
        HomeOverride override(home.path.string());
        WalkResult run = play({'.', '.', '.', '.', '.'}, [&](Player&, LevelRecord& level) {
            c.doctor(level.sectors);
            storeSector(level.sectors, east);
            if (hasSlot(level.sectors, eastAbove)) storeSector(level.sectors, eastAbove);
        });
        EXPECT_EQ(firstReportLine(run).rfind(c.report, 0), 0u)
            << c.name << ": " << run.stats.report;
        if (c.report.empty()) {
            EXPECT_FALSE(run.stats.reported) << c.name;
            EXPECT_EQ(run.stats.turns, 6) << c.name;
        }
    }
}

TEST(BadEnvironment, AnyExceptionRestoresTheTerminal) {
    TempDir home;
    HomeOverride override(home.path.string());
    GameWatch failing;
    failing.started = [](Player&, LevelRecord&) { throw std::bad_alloc(); };
    VirtualScreen terminal;
    std::ostringstream report;
    EXPECT_THROW(runProgram(terminal, report, 1, false, failing), std::bad_alloc);
    EXPECT_FALSE(terminal.started);
    // The store went with the game, and its lock.
    EXPECT_EQ(play().stats.status, 0);
}

} // namespace
} // namespace dunvale
