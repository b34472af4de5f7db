// dunvale-soak: plays many long random games headless through the replay
// path and reports turns, sector changes, speed and peak memory.
//   dunvale-soak [--seeds N] [--keys K] [--first-seed S] [--max-rss-mib M] [--dir D]
// The games' home is a fresh directory in D (default /tmp): a directory on
// tmpfs leaves out the file system's own cost of creating and deleting the
// sector files.
// Exits 1 when a game ends in an uncaught-error report or peak memory
// exceeds the bound.
#include "replay_script.h"

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <iostream>
#include <string>
#include <sys/resource.h>

namespace {

long peakRssKib() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_maxrss;
}

} // namespace

int main(int argc, char** argv) {
    int seeds = 20;
    int keys = 5000;
    int firstSeed = 1;
    long maxRssMib = 0;
    std::string parent = "/tmp";
    for (int i = 1; i + 1 < argc; i += 2) {
        std::string arg = argv[i];
        long value = std::strtol(argv[i + 1], nullptr, 10);
        if (arg == "--seeds")
            seeds = static_cast<int>(value);
        else if (arg == "--keys")
            keys = static_cast<int>(value);
        else if (arg == "--first-seed")
            firstSeed = static_cast<int>(value);
        else if (arg == "--max-rss-mib")
            maxRssMib = value;
        else if (arg == "--dir")
            parent = argv[i + 1];
        else {
            std::cerr << "usage: dunvale-soak [--seeds N] [--keys K] [--first-seed S] "
                         "[--max-rss-mib M] [--dir D]\n";
            return 2;
        }
    }
    std::string pattern = parent + "/dunvale-soak-XXXXXX";
    if (mkdtemp(pattern.data()) == nullptr) return 1;
    setenv("HOME", pattern.c_str(), 1);

    int64_t turns = 0;
    int64_t sectorChanges = 0;
    int64_t keysRead = 0;
    int reports = 0;
    auto start = std::chrono::steady_clock::now();
    for (int s = 0; s < seeds; ++s) {
        dunvale::ReplayOptions options;
        options.seed = firstSeed + s;
        options.keys = dunvale::randomKeys(static_cast<uint32_t>(options.seed), keys);
        dunvale::ReplayStats stats;
        options.stats = &stats;
        dunvale::runReplay(options);
        turns += stats.turns;
        sectorChanges += stats.sectorChanges;
        keysRead += stats.keysRead;
        if (stats.reported) {
            ++reports;
            std::cout << "seed " << options.seed << " ended with a report:\n" << stats.report;
        }
    }
    double seconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    std::filesystem::remove_all(pattern);
    long rssMib = (peakRssKib() + 1023) / 1024;
    std::printf("%-22s %12s\n", "games (seeds)", std::to_string(seeds).c_str());
    std::printf("%-22s %12lld\n", "keys read", static_cast<long long>(keysRead));
    std::printf("%-22s %12lld\n", "turns", static_cast<long long>(turns));
    std::printf("%-22s %12lld\n", "sector changes", static_cast<long long>(sectorChanges));
    std::printf("%-22s %12.2f\n", "seconds", seconds);
    std::printf("%-22s %12.0f\n", "turns per second", turns / seconds);
    std::printf("%-22s %12.0f\n", "sector changes per s", sectorChanges / seconds);
    std::printf("%-22s %12ld\n", "peak memory (MiB)", rssMib);
    std::printf("%-22s %12d\n", "error reports", reports);
    if (reports > 0) return 1;
    if (maxRssMib > 0 && rssMib > maxRssMib) {
        std::printf("peak memory %ld MiB is over the bound of %ld MiB\n", rssMib, maxRssMib);
        return 1;
    }
    return 0;
}
