// dunvale-replay --seed N [--home DIR] [--attrs] [--state] (--keys S | --keys-file F)
#include "replay_script.h"

#include <cerrno>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <sstream>

namespace {

int usage(const std::string& why) {
    std::cerr << "dunvale-replay: " << why << "\n"
              << "usage: dunvale-replay --seed N [--home DIR] [--attrs] [--state] "
                 "(--keys STRING | --keys-file FILE)\n";
    return 2;
}

bool parseSeed(const std::string& text, int32_t& seed) {
    if (text.empty()) return false;
    errno = 0;
    char* end = nullptr;
    long long value = std::strtoll(text.c_str(), &end, 10);
    if (errno != 0 || *end != '\0' || value < INT32_MIN || value > INT32_MAX) return false;
    seed = static_cast<int32_t>(value);
    return true;
}

} // namespace

int main(int argc, char** argv) {
    dunvale::ReplayOptions options;
    bool haveSeed = false;
    bool haveKeys = false;
    std::string script;
    for (int i = 1; i < argc; ++i) {
        std::string arg = argv[i];
        auto value = [&](std::string& out) {
            if (i + 1 >= argc) return false;
            out = argv[++i];
            return true;
        };
        std::string text;
        if (arg == "--seed") {
            if (!value(text) || !parseSeed(text, options.seed)) return usage("bad --seed");
            haveSeed = true;
        } else if (arg == "--home") {
            if (!value(options.home)) return usage("--home needs a directory");
        } else if (arg == "--attrs") {
            options.attrs = true;
        } else if (arg == "--state") {
            options.state = true;
        } else if (arg == "--keys") {
            if (haveKeys || !value(script)) return usage("give one of --keys or --keys-file");
            haveKeys = true;
        } else if (arg == "--keys-file") {
            if (haveKeys || !value(text)) return usage("give one of --keys or --keys-file");
            std::ifstream in(text, std::ios::binary);
            if (!in) return usage("cannot read keys file " + text);
            std::ostringstream content;
            content << in.rdbuf();
            script = content.str();
            haveKeys = true;
        } else {
            return usage("unknown argument " + arg);
        }
    }
    if (!haveSeed) return usage("--seed is required");
    if (!haveKeys) return usage("--keys or --keys-file is required");
    std::string error;
    auto keys = dunvale::parseKeyScript(script, error);
    if (!keys) return usage(error);
    options.keys = *keys;

    std::filesystem::path temporaryHome;
    if (options.home.empty()) {
        char pattern[] = "/tmp/dunvale-replay-XXXXXX";
        if (mkdtemp(pattern) == nullptr) {
            std::cerr << "dunvale-replay: cannot make a temporary home\n";
            return 1;
        }
        temporaryHome = pattern;
        options.home = pattern;
    }
    setenv("HOME", options.home.c_str(), 1);
    // The same store, and the same lock on it, as the game's.
    dunvale::ReplayStats stats;
    options.stats = &stats;
    std::string output = dunvale::runReplay(options);
    std::cout << output;
    std::cout.flush();
    if (!temporaryHome.empty()) {
        std::error_code ignored;
        std::filesystem::remove_all(temporaryHome, ignored);
    }
    return stats.status;
}
