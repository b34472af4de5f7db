#pragma once
#include <cstdint>

namespace dunvale {

// What one of the player's actions did: the turns it takes (0: nothing
// happened, no time passes) and whether its messages must be shown before
// the next key is read, as refusals and narrow escapes are.
struct ActionResult {
    int32_t turns = 0;
    bool showMessagesNow = false;
    friend bool operator==(const ActionResult&, const ActionResult&) = default;
};

} // namespace dunvale
