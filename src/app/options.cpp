#include "app/options.h"

#include "terminal/playback.h"
#include "terminal/recording.h"

#include <algorithm>
#include <charconv>

namespace dunvale {

const char* const programUsage = "usage: dunvale [--seed N] [--record FILE [--force]]\n"
                                 "       dunvale --replay FILE [--delay MS]\n";

namespace {

constexpr const char* valued[] = {"--seed", "--record", "--replay", "--delay"};
constexpr const char* flags[] = {"--force", "--help", "-h"};

bool isOneOf(const std::string& name, const auto& names) {
    return std::find(std::begin(names), std::end(names), name) != std::end(names);
}

std::optional<int> parseDelay(const std::string& text) {
    int value = -1;
    const char* last = text.data() + text.size();
    auto [end, problem] = std::from_chars(text.data(), last, value);
    if (problem != std::errc() || end != last || value < 0 || value > maxPlaybackDelay)
        return std::nullopt;
    return value;
}

// Takes one option's value; false with `error` set when it is not one.
bool takeValue(ProgramOptions& options, const std::string& name, const std::string& value,
               std::string& error) {
    if (name == "--seed") {
        options.seed = parseSeed(value);
        if (!options.seed)
            error =
                "--seed takes a whole number from -2147483648 to 2147483647, not \"" + value + "\"";
    } else if (name == "--delay") {
        std::optional<int> delay = parseDelay(value);
        if (delay)
            options.delay = *delay;
        else
            error = "--delay takes milliseconds from 0 to " + std::to_string(maxPlaybackDelay) +
                    ", not \"" + value + "\"";
    } else {
        (name == "--record" ? options.record : options.replay) = value;
        if (value.empty()) error = name + " takes a file name";
    }
    return error.empty();
}

// Options that make no sense together.
std::string conflict(const std::vector<std::string>& given) {
    auto has = [&](const char* name) { return isOneOf(name, given); };
    if (has("--replay") && (has("--seed") || has("--record") || has("--force")))
        return "--replay plays a recording as it was made: no --seed, --record or --force";
    if (has("--force") && !has("--record")) return "--force goes with --record";
    if (has("--delay") && !has("--replay")) return "--delay goes with --replay";
    return "";
}

} // namespace

std::optional<ProgramOptions> parseProgramArguments(const std::vector<std::string>& arguments,
                                                    std::string& error) {
    ProgramOptions options;
    std::vector<std::string> given;
    for (size_t i = 0; i < arguments.size(); ++i) {
        std::string name = arguments[i];
        std::optional<std::string> value;
        size_t equals = name.find('=');
        if (name.starts_with("--") && equals != std::string::npos) {
            value = name.substr(equals + 1);
            name.resize(equals);
        }
        if (!isOneOf(name, valued) && !isOneOf(name, flags))
            error = "unknown argument \"" + arguments[i] + "\"";
        else if (isOneOf(name, given))
            error = name + " is given twice";
        else if (isOneOf(name, flags) && value)
            error = name + " takes no value";
        else if (isOneOf(name, valued) && !value && i + 1 == arguments.size())
            error = name + " needs a value";
        if (!error.empty()) return std::nullopt;
        given.push_back(name);
        if (name == "--help" || name == "-h") options.help = true;
        if (name == "--force") options.force = true;
        if (!isOneOf(name, valued)) continue;
        if (!value) value = arguments[++i];
        if (!takeValue(options, name, *value, error)) return std::nullopt;
    }
    error = conflict(given);
    if (!error.empty()) return std::nullopt;
    return options;
}

} // namespace dunvale
