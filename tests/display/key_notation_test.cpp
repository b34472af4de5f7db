#include "display/key_notation.h"
#include "display/screen.h"

#include <gtest/gtest.h>

namespace dunvale {
namespace {

TEST(ReplayScript, ParsesCharactersAndNamedKeys) {
    std::string error;
    auto keys = parseKeyScript("hj\n<F1><lt>x<Up><Down><Left><Right><F5>", error);
    ASSERT_TRUE(keys.has_value()) << error;
    EXPECT_EQ(*keys, (std::vector<int>{'h', 'j', key::F1, '<', 'x', key::Up, key::Down, key::Left,
                                       key::Right, key::F5}));
}

TEST(ReplayScript, RejectsUnknownAndUnclosedNames) {
    for (const char* bad : {"<F6>", "<up>", "<lt", "ab<"}) {
        std::string error;
        EXPECT_FALSE(parseKeyScript(bad, error).has_value()) << bad;
        EXPECT_FALSE(error.empty()) << bad;
    }
}

} // namespace
} // namespace dunvale
