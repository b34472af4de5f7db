#pragma once
// The written form of keys, shared by recordings and the replay tool's
// scripts: printable characters stand for themselves, "<" opens a named key
// (<F1>..<F5>, <Up>, <Down>, <Left>, <Right>, <lt> for "<") or a key code in
// decimal (<10> for Enter, <27> for Escape). Newlines are layout only.
#include <optional>
#include <string>
#include <vector>

namespace dunvale {

// The keys of a script, or nothing with `error` set for an unknown or
// unclosed name.
std::optional<std::vector<int>> parseKeyScript(const std::string& script, std::string& error);

// One key as written in a script; parseKeyScript reads it back as that key.
std::string keyNotation(int key);

} // namespace dunvale
