#include "presentation/screen.h"
#include "terminal/key_notation.h"

#include <gtest/gtest.h>

namespace dunvale {
namespace {

TEST(KeyNotation, ParsesCharactersNamedKeysAndCodes) {
    std::string error;
    auto keys = parseKeyScript("hj\n<F1><lt>x<Up><Down><Left><Right><F5><10><0><263>", error);
    ASSERT_TRUE(keys.has_value()) << error;
    EXPECT_EQ(*keys, (std::vector<int>{'h', 'j', key::F1, '<', 'x', key::Up, key::Down, key::Left,
                                       key::Right, key::F5, '\n', 0, 263}));
}

TEST(KeyNotation, RejectsUnknownAndUnclosedNames) {
    for (const char* bad : {"<F6>", "<up>", "<lt", "ab<", "<>", "<-1>", "<1x>", "<99999999999>"}) {
        std::string error;
        EXPECT_FALSE(parseKeyScript(bad, error).has_value()) << bad;
        EXPECT_FALSE(error.empty()) << bad;
    }
}

// Every key a terminal can give is written so that it reads back as itself,
// and printable keys as themselves.
TEST(KeyNotation, WritesEveryKeySoThatItReadsBack) {
    struct Case {
        int key;
        const char* written;
    };
    for (const Case& c : {Case{'h', "h"}, Case{' ', " "}, Case{'~', "~"}, Case{'<', "<lt>"},
                          Case{'>', ">"}, Case{'\n', "<10>"}, Case{'\r', "<13>"}, Case{27, "<27>"},
                          Case{127, "<127>"}, Case{0xe9, "<233>"}, Case{key::F3, "<F3>"},
                          Case{key::Right, "<Right>"}, Case{0x1ff, "<511>"}}) {
        EXPECT_EQ(keyNotation(c.key), c.written) << c.key;
        std::string error;
        EXPECT_EQ(parseKeyScript(keyNotation(c.key), error), std::vector<int>{c.key}) << c.key;
    }
}

} // namespace
} // namespace dunvale
