// Recorded games: what the game writes while it is played, played back by
// the replay tool, gives the screens and state of the game itself.
#include "app/game.h"
#include "app/launch.h"
#include "replay_helpers.h"
#include "terminal/recording.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <unistd.h>

namespace dunvale {
namespace {

namespace fs = std::filesystem;
using testing::HomeOverride;
using testing::TempDir;

struct RecordedRun {
    std::string screen;
    std::string state;
    std::string out;
};

// Plays as `dunvale --record FILE` does, on a virtual screen with `keys`,
// until the game ends or the keys run out.
RecordedRun playRecorded(const ProgramOptions& options, const std::string& keys) {
    std::string error;
    VirtualScreen screen;
    std::vector<int> parsed = parseKeyScript(keys, error).value();
    screen.keys.assign(parsed.begin(), parsed.end());
    RecordedRun run;
    const Player* player = nullptr;
    const LevelRecord* level = nullptr;
    GameWatch watch;
    watch.started = [&](Player& p, LevelRecord& l) {
        player = &p;
        level = &l;
    };
    watch.closing = [&](const Player& p, const LevelRecord& l) {
        if (run.state.empty()) run.state = describeGameState(p, l);
        player = nullptr;
    };
    screen.onKeysExhausted = [&] {
        if (player != nullptr) run.state = describeGameState(*player, *level);
    };
    std::ostringstream out;
    std::ostringstream errors;
    try {
        runGame(options, ProgramIo{screen, nullptr, out, errors, watch}, 1234);
    } catch (const KeysExhausted&) {
        // The game was still waiting for a key.
    }
    return {screen.text(), run.state, out.str()};
}

std::string fileText(const fs::path& path) {
    std::ifstream in(path);
    std::ostringstream content;
    content << in.rdbuf();
    return content.str();
}

TEST(Recording, PlaysBackAsTheGameWasPlayed) {
    struct Case {
        std::optional<int32_t> seed; // chosen by the player; else the clock's 1234
        std::string keys;
        std::string home; // "" for a fresh one; /proc/self refuses the store
        std::string seedShown;
        bool reported = false;
    };
    const Case cases[] = {
        {std::nullopt, "lk<F3>x<lt><Up>+w", "", ""},
        {std::nullopt, "ljQxx", "", ""},
        {-7, "lkjQxx", "", "+-Seed -7---"},
        {41001, fileText(fs::path(DUNVALE_SOURCE_DIR) / "tests/golden/explorer-41001.keys"),
         "/proc/self", "", true},
    };
    for (const Case& c : cases) {
        TempDir folder;
        HomeOverride home(c.home.empty() ? folder.path.string() : c.home);
        ProgramOptions options;
        options.seed = c.seed;
        options.record = (folder.path / "game.rec").string();
        RecordedRun game = playRecorded(options, c.keys);

        std::string error;
        std::optional<Recording> recording = readRecordingFile(options.record, error);
        ASSERT_TRUE(recording) << error;
        ReplayOptions replay;
        replay.seed = recording->seed;
        replay.showSeed = recording->seedChosen;
        replay.state = true;
        replay.keys = recording->keys;
        // The error reports' call chains part where the two were started.
        auto untilStarted = [](const std::string& text) {
            return text.substr(0, text.find("runProgram called from"));
        };
        std::string report = untilStarted(game.out);
        EXPECT_EQ(untilStarted(runReplay(replay)), game.screen + "--\n" + game.state + report)
            << c.keys.substr(0, 20);
        EXPECT_EQ(game.screen.find("Seed") != std::string::npos, !c.seedShown.empty());
        EXPECT_NE(game.screen.find(c.seedShown), std::string::npos) << game.screen;
        EXPECT_EQ(!report.empty(), c.reported) << game.out;
        if (c.reported) {
            EXPECT_TRUE(game.out.ends_with(replayCommandLine(options.record))) << game.out;
        }
    }
}

TEST(Recording, NeverWritesThroughALinkNorOverAFile) {
    enum class There { Nothing, File, LinkToFile, DanglingLink, Directory };
    struct Case {
        There there;
        bool force;
        bool created;
    };
    const Case cases[] = {
        {There::Nothing, false, true},     {There::File, false, false},
        {There::File, true, true},         {There::LinkToFile, false, false},
        {There::LinkToFile, true, true},   {There::DanglingLink, false, false},
        {There::DanglingLink, true, true}, {There::Directory, true, false},
    };
    for (const Case& c : cases) {
        TempDir folder;
        fs::path path = folder.path / "game.rec";
        fs::path target = folder.path / "target";
        std::ofstream(target) << "keep";
        if (c.there == There::File) std::ofstream(path) << "old";
        if (c.there == There::LinkToFile) fs::create_symlink(target, path);
        if (c.there == There::DanglingLink) fs::create_symlink(folder.path / "none", path);
        if (c.there == There::Directory) fs::create_directory(path);
        std::string error;
        int file = createRecordingFile(path.string(), c.force, 5, true, error);
        if (file >= 0) close(file);
        std::string label = std::to_string(static_cast<int>(c.there)) + (c.force ? " forced" : "");
        EXPECT_EQ(file >= 0, c.created) << label << ": " << error;
        EXPECT_EQ(error.empty(), c.created) << label;
        EXPECT_FALSE(fs::exists(folder.path / "none")) << label;
        EXPECT_EQ(fileText(target), "keep") << label;
        if (c.created) {
            EXPECT_EQ(readRecordingFile(path.string(), error)->seed, 5) << label;
        }
    }
}

} // namespace
} // namespace dunvale
