#include "presentation/message_box.h"

#include "presentation/screen.h"

namespace dunvale {

namespace {
constexpr int firstMessageRow = 17;
constexpr int linesPerPage = 4;
} // namespace

void clearMessageBox() {
    // Blank already when nothing has been written there since.
    if (isKept(KeptArea::MessageBox)) return;
    constexpr int firstRow = 17;
    constexpr int lastRow = 21;
    constexpr int width = 75;
    static const std::string blank(width, ' ');
    for (int row = firstRow; row <= lastRow; ++row)
        writeText(Brightness::Normal, Colour::Green, blank, row, 2);
    keepArea(KeptArea::MessageBox, firstRow, 2, lastRow, 2 + width - 1);
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
