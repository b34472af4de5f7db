#pragma once
// Plays the real game in-process on the virtual screen, as the replay tool
// does, with HOME set to a private directory for the time of the run.
#include "replay_script.h"
#include "test_support.h"

#include <cstdlib>
#include <functional>
#include <optional>
#include <sstream>
#include <string>
#include <vector>

namespace dunvale::testing {

struct HomeOverride {
    std::optional<std::string> saved;
    explicit HomeOverride(const std::string& home) {
        if (const char* old = std::getenv("HOME")) saved = old;
        setenv("HOME", home.c_str(), 1);
    }
    ~HomeOverride() {
        if (saved)
            setenv("HOME", saved->c_str(), 1);
        else
            unsetenv("HOME");
    }
    HomeOverride(const HomeOverride&) = delete;
    HomeOverride& operator=(const HomeOverride&) = delete;
};

inline std::string replay(int32_t seed, const std::string& script, bool state = false,
                          bool attrs = false, const std::string& home = "",
                          std::function<void(Player&, LevelRecord&)> onStart = nullptr) {
    TempDir dir;
    HomeOverride override(home.empty() ? dir.path.string() : home);
    std::string error;
    auto keys = parseKeyScript(script, error);
    if (!keys) return "bad script: " + error;
    ReplayOptions options;
    options.seed = seed;
    options.keys = *keys;
    options.state = state;
    options.attrs = attrs;
    options.onStart = std::move(onStart);
    return runReplay(options);
}

inline std::vector<std::string> lines(const std::string& text) {
    std::vector<std::string> out;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);)
        out.push_back(line);
    return out;
}

// The value of a "--state" line such as "energy 100" → "100".
inline std::string stateField(const std::string& output, const std::string& name) {
    for (const std::string& line : lines(output))
        if (line.rfind(name + " ", 0) == 0)
            return line.substr(name.size() + 1);
        else if (line == name)
            return "";
    return "<missing>";
}

} // namespace dunvale::testing
