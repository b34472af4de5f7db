#pragma once
// The message box: the queued messages, four lines a page with "--more--"
// between pages.
#include "world/messages.h"

namespace dunvale {

// Shows and empties the queue; an empty queue clears the box.
void showPendingMessages();
void clearMessageBox();

} // namespace dunvale
