#include "terminal/key_notation.h"

#include "presentation/screen.h"

#include <charconv>
#include <string_view>
#include <utility>

namespace dunvale {

namespace {

constexpr std::pair<std::string_view, int> keyNames[] = {
    {"F1", key::F1},       {"F2", key::F2}, {"F3", key::F3},     {"F4", key::F4},
    {"F5", key::F5},       {"Up", key::Up}, {"Down", key::Down}, {"Left", key::Left},
    {"Right", key::Right}, {"lt", '<'},
};

// A name's key, or -1 for a name that is neither known nor a key code.
int keyNamed(std::string_view name) {
    for (const auto& [known, value] : keyNames)
        if (known == name) return value;
    int code = -1;
    const char* last = name.data() + name.size();
    auto [end, problem] = std::from_chars(name.data(), last, code);
    bool digitsOnly = !name.empty() && name.front() != '-';
    if (!digitsOnly || problem != std::errc() || end != last) return -1;
    return code;
}

} // namespace

std::optional<std::vector<int>> parseKeyScript(const std::string& script, std::string& error) {
    std::vector<int> keys;
    for (size_t i = 0; i < script.size(); ++i) {
        char c = script[i];
        if (c == '\n' || c == '\r') continue;
        if (c != '<') {
            keys.push_back(static_cast<unsigned char>(c));
            continue;
        }
        size_t close = script.find('>', i);
        std::string name =
            close == std::string::npos ? script.substr(i + 1) : script.substr(i + 1, close - i - 1);
        int code = keyNamed(name);
        if (code < 0 || close == std::string::npos) {
            error = "unknown key name <" + name + (close == std::string::npos ? "" : ">");
            return std::nullopt;
        }
        keys.push_back(code);
        i = close;
    }
    return keys;
}

std::string keyNotation(int key) {
    for (const auto& [name, value] : keyNames)
        if (value == key) return std::string("<").append(name).append(">");
    if (key >= ' ' && key <= '~') return std::string(1, static_cast<char>(key));
    return std::string("<").append(std::to_string(key)).append(">");
}

} // namespace dunvale
