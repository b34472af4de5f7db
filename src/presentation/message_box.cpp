#include "presentation/message_box.h"

#include "presentation/screen.h"

#include <algorithm>
#include <array>

namespace dunvale {

namespace {
// Four lines of messages, then the row that says "--more--" when there are
// more; every row of the box is written from its first column.
constexpr int firstRow = 17;
constexpr int linesPerPage = 4;
constexpr int lastRow = firstRow + linesPerPage;
constexpr int firstColumn = 2;
constexpr int width = 75;

// While the box is kept, it is blank but for what it wrote itself since: on
// each row, this many characters from its first column.
std::array<size_t, lastRow - firstRow + 1> ownText{};

void keepTheBox() {
    keepArea(KeptArea::MessageBox, firstRow, firstColumn, lastRow, firstColumn + width - 1);
}

// Text of the box's own, from its first column: a kept box stays kept, with
// the text noted.
void writeInBox(Brightness brightness, std::string_view text, int row) {
    const bool kept = isKept(KeptArea::MessageBox);
    writeText(brightness, Colour::Green, text, row, firstColumn);
    if (!kept) return;
    size_t& noted = ownText[static_cast<size_t>(row - firstRow)];
    noted = std::max(noted, text.size());
    keepTheBox();
}

} // namespace

void clearMessageBox() {
    // A kept box needs only its own text blanked; any other, every row.
    const bool kept = isKept(KeptArea::MessageBox);
    static const std::string blank(width, ' ');
    for (int row = firstRow; row <= lastRow; ++row) {
        const size_t own = ownText[static_cast<size_t>(row - firstRow)];
        const size_t length = kept ? std::min<size_t>(own, width) : width;
        if (length > 0)
            writeText(Brightness::Normal, Colour::Green, {blank.data(), length}, row, firstColumn);
    }
    ownText.fill(0);
    keepTheBox();
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
            writeInBox(message.flag == 0 ? Brightness::Normal : Brightness::Bright, message.text,
                       firstRow + line);
        }
        if (page + 1 == pages) break;
        writeInBox(Brightness::Bright, "--more--", lastRow);
        waitForKey();
    }
    queue.clear();
}

} // namespace dunvale
