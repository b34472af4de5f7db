// Every test starts from the state a fresh process has, whatever ran before
// it in the same binary: CTest runs tests one per process, a plain run of the
// binary runs them all in one.
#include "rules/spawn.h"
#include "support/random.h"
#include "world/messages.h"

#include <gtest/gtest.h>

namespace {

struct FreshState : ::testing::EmptyTestEventListener {
    void OnTestStart(const ::testing::TestInfo&) override {
        // A fixed seed: an unseeded generator draws 0 for ever.
        dunvale::seedRandom(1);
        dunvale::creatureCounter() = 0;
        dunvale::messageQueue().clear();
    }
};

const bool registered = [] {
    ::testing::UnitTest::GetInstance()->listeners().Append(new FreshState);
    return true;
}();

} // namespace
