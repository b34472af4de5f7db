#include "presentation/message_box.h"

#include "presentation/screen.h"

namespace dunvale {

namespace {
constexpr int firstMessageRow = 17;
constexpr int linesPerPage = 4;
} // namespace

void clearMessageBox() {
    for (int row = 17; row <= 21; ++row)
        writeText(Brightness::Normal, Colour::Green, std::string(75, ' '), row, 2);
}

void showPendingMessages() {
    std::vector<Message>& queue = messageQueue();
    size_t count = queue.size();
    if (count == 0) {
        clearMessageBox();
        return;
    }
    size_t pages = (count - 1) / linesPerPage + 1;
    size_t next = 0;
    for (size_t page = 0; page < pages; ++page) {
        clearMessageBox();
        for (int line = 0; line < linesPerPage; ++line) {
            if (next == count) {
                queue.clear();
                return;
            }
            const Message& message = queue[next++];
            writeText(message.flag == 0 ? Brightness::Normal : Brightness::Bright, Colour::Green,
                      message.text, firstMessageRow + line, 2);
        }
        if (page + 1 == pages) break;
        writeText(Brightness::Bright, Colour::Green, "--more--", 21, 2);
        waitForKey();
    }
    queue.clear();
}

} // namespace dunvale
