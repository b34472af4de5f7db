#pragma once
// The message line: one queue of texts shown in the message box after each
// command, four lines a page with "--more--" between pages.
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
void showPendingMessages();
bool messagesPending();
void clearMessageBox();
// The queue itself, for tests and for repainting.
std::vector<Message>& messageQueue();

} // namespace dunvale
