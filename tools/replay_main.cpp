// dunvale-replay (--seed N (--keys S | --keys-file F) | --recording FILE) [--home DIR] [--attrs]
//                [--state]
#include "app/private_home.h"
#include "replay_script.h"
#include "terminal/recording.h"

#include <cstdlib>
#include <fstream>
#include <iostream>
#include <sstream>

namespace {

int usage(const std::string& why) {
    std::cerr << "dunvale-replay: " << why << "\n"
              << "usage: dunvale-replay (--seed N (--keys STRING | --keys-file FILE) | "
                 "--recording FILE)\n"
                 "                      [--home DIR] [--attrs] [--state]\n";
    return 2;
}

std::optional<std::string> readFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    if (!in) return std::nullopt;
    std::ostringstream content;
    content << in.rdbuf();
    return content.str();
}

// The seed and keys from a recording, or from --seed and a script.
std::string takeGame(const std::optional<int32_t>& seed, const std::optional<std::string>& script,
                     const std::string& recording, dunvale::ReplayOptions& options) {
    std::string error;
    if (!recording.empty()) {
        if (seed || script) return "--recording holds the seed and the keys: no --seed or --keys";
        std::optional<dunvale::Recording> game = dunvale::readRecordingFile(recording, error);
        if (!game) return error;
        options.seed = game->seed;
        options.showSeed = game->seedChosen;
        options.keys = std::move(game->keys);
        return "";
    }
    if (!seed) return "--seed is required";
    if (!script) return "--keys or --keys-file is required";
    auto keys = dunvale::parseKeyScript(*script, error);
    if (!keys) return error;
    options.seed = *seed;
    options.keys = std::move(*keys);
    return "";
}

// Fills in the options; returns what is wrong with the arguments, if anything.
std::string parseArguments(int argc, char** argv, dunvale::ReplayOptions& options) {
    std::optional<int32_t> seed;
    std::optional<std::string> script;
    std::string recording;
    for (int i = 1; i < argc; ++i) {
        std::string arg = argv[i];
        std::string text;
        auto value = [&](std::string& out) {
            if (i + 1 >= argc) return false;
            out = argv[++i];
            return true;
        };
        if (arg == "--seed") {
            if (!value(text) || !(seed = dunvale::parseSeed(text))) return "bad --seed";
        } else if (arg == "--home") {
            if (!value(options.home)) return "--home needs a directory";
        } else if (arg == "--attrs") {
            options.attrs = true;
        } else if (arg == "--state") {
            options.state = true;
        } else if (arg == "--keys" || arg == "--keys-file") {
            if (script || !value(text)) return "give one of --keys or --keys-file";
            script = arg == "--keys" ? text : readFile(text);
            if (!script) return "cannot read keys file " + text;
        } else if (arg == "--recording") {
            if (!recording.empty() || !value(recording) || recording.empty())
                return "give --recording one file";
        } else {
            return "unknown argument " + arg;
        }
    }
    return takeGame(seed, script, recording, options);
}

} // namespace

int main(int argc, char** argv) {
    dunvale::ReplayOptions options;
    std::string wrong = parseArguments(argc, argv, options);
    if (!wrong.empty()) return usage(wrong);
    std::optional<dunvale::PrivateHome> privateHome;
    if (options.home.empty()) {
        privateHome.emplace("dunvale-replay");
        if (privateHome->path.empty()) {
            std::cerr << "dunvale-replay: " << privateHome->problem << "\n";
            return 1;
        }
        options.home = privateHome->path;
    } else {
        setenv("HOME", options.home.c_str(), 1);
    }
    // The same store, and the same lock on it, as the game's.
    dunvale::ReplayStats stats;
    options.stats = &stats;
    std::cout << dunvale::runReplay(options);
    std::cout.flush();
    return stats.status;
}
