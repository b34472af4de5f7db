#include "world/messages.h"

namespace dunvale {

namespace {
std::vector<Message> queue;
} // namespace

std::vector<Message>& messageQueue() {
    return queue;
}

void postMessage(int32_t flag, const std::string& text) {
    if (!queue.empty()) {
        Message& last = queue.back();
        if (last.flag == 0 && flag == 0 && last.text.size() + text.size() < 70) {
            last.text += " " + text;
            return;
        }
    }
    queue.push_back(Message{text, flag});
}

bool messagesPending() {
    return !queue.empty();
}

} // namespace dunvale
