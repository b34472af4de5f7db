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

struct SoakOptions {
    int seeds = 20;
    int keys = 5000;
    int firstSeed = 1;
    long maxRssMib = 0;
    std::string parent = "/tmp";
};

struct SoakTotals {
    int64_t turns = 0;
    int64_t sectorChanges = 0;
    int64_t keysRead = 0;
    int reports = 0;
    double seconds = 0;
};

long peakRssKib() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_maxrss;
}

// False on an unknown option.
bool parseOptions(int argc, char** argv, SoakOptions& options) {
    for (int i = 1; i + 1 < argc; i += 2) {
        const std::string arg = argv[i];
        const long value = std::strtol(argv[i + 1], nullptr, 10);
        if (arg == "--seeds")
            options.seeds = static_cast<int>(value);
        else if (arg == "--keys")
            options.keys = static_cast<int>(value);
        else if (arg == "--first-seed")
            options.firstSeed = static_cast<int>(value);
        else if (arg == "--max-rss-mib")
            options.maxRssMib = value;
        else if (arg == "--dir")
            options.parent = argv[i + 1];
        else
            return false;
    }
    return true;
}

// Plays every seed's game in the home already set up, timing them all.
SoakTotals playAll(const SoakOptions& soak) {
    SoakTotals totals;
    const auto start = std::chrono::steady_clock::now();
    for (int s = 0; s < soak.seeds; ++s) {
        dunvale::ReplayOptions options;
        options.seed = soak.firstSeed + s;
        options.keys = dunvale::randomKeys(static_cast<uint32_t>(options.seed), soak.keys);
        dunvale::ReplayStats stats;
        options.stats = &stats;
        dunvale::runReplay(options);
        totals.turns += stats.turns;
        totals.sectorChanges += stats.sectorChanges;
        totals.keysRead += stats.keysRead;
        if (stats.reported) {
            ++totals.reports;
            std::cout << "seed " << options.seed << " ended with a report:\n" << stats.report;
        }
    }
    totals.seconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    return totals;
}

void printTotals(const SoakOptions& soak, const SoakTotals& totals, long rssKib) {
    std::printf("%-22s %12d\n", "games (seeds)", soak.seeds);
    std::printf("%-22s %12lld\n", "keys read", static_cast<long long>(totals.keysRead));
    std::printf("%-22s %12lld\n", "turns", static_cast<long long>(totals.turns));
    std::printf("%-22s %12lld\n", "sector changes", static_cast<long long>(totals.sectorChanges));
    std::printf("%-22s %12.2f\n", "seconds", totals.seconds);
    std::printf("%-22s %12.0f\n", "turns per second", totals.turns / totals.seconds);
    std::printf("%-22s %12.0f\n", "sector changes per s", totals.sectorChanges / totals.seconds);
    std::printf("%-22s %12.1f\n", "peak memory (MiB)", rssKib / 1024.0);
    std::printf("%-22s %12d\n", "error reports", totals.reports);
}

} // namespace

int main(int argc, char** argv) {
    SoakOptions soak;
    if (!parseOptions(argc, argv, soak)) {
        std::cerr << "usage: dunvale-soak [--seeds N] [--keys K] [--first-seed S] "
                     "[--max-rss-mib M] [--dir D]\n";
        return 2;
    }
    std::string home = soak.parent + "/dunvale-soak-XXXXXX";
    if (mkdtemp(home.data()) == nullptr) return 1;
    setenv("HOME", home.c_str(), 1);
    const SoakTotals totals = playAll(soak);
    std::filesystem::remove_all(home);
    const long rssKib = peakRssKib();
    printTotals(soak, totals, rssKib);
    if (totals.reports > 0) return 1;
    const long rssMib = (rssKib + 1023) / 1024;
    if (soak.maxRssMib > 0 && rssMib > soak.maxRssMib) {
        std::printf("peak memory %ld MiB is over the bound of %ld MiB\n", rssMib, soak.maxRssMib);
        return 1;
    }
    return 0;
}
