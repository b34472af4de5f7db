#pragma once
// The message line: one queue of texts, posted by the rules and shown in the
// message box after each command.
#include <cstdint>
#include <string>
#include <vector>

namespace dunvale {

struct Message {
    std::string text;
    int32_t flag = 0; // 1: a line of its own, drawn bright
};

// Flag 0 texts join the ordinary message before them while the two are
// shorter than 70 characters together.
void postMessage(int32_t flag, const std::string& text);
bool messagesPending();
// The queue itself, for the message box to show and empty.
std::vector<Message>& messageQueue();

} // namespace dunvale
