#include "presentation/message_box.h"
#include "test_support.h"
#include "world/messages.h"

#include <gtest/gtest.h>

#include <functional>
#include <string>

namespace dunvale {
namespace {

using testing::ScreenFixture;

TEST(MessageLine, JoinsShortOrdinaryMessages) {
    ScreenFixture fixture;
    postMessage(0, std::string(55, 'a'));
    postMessage(0, std::string(10, 'b'));
    ASSERT_EQ(messageQueue().size(), 1u);
    EXPECT_EQ(messageQueue()[0].text, std::string(55, 'a') + " " + std::string(10, 'b'));
}

TEST(MessageLine, LengthsAddingToSeventyStayApart) {
    ScreenFixture fixture;
    postMessage(0, std::string(60, 'a'));
    postMessage(0, std::string(10, 'b'));
    EXPECT_EQ(messageQueue().size(), 2u);
}

TEST(MessageLine, BrightMessagesStandAlone) {
    ScreenFixture fixture;
    postMessage(0, "one");
    postMessage(1, "two");
    postMessage(0, "three");
    EXPECT_EQ(fixture.messageTexts(), (std::vector<std::string>{"one", "two", "three"}));
}

TEST(MessageLine, WelcomeTextMakesOnePageOfFour) {
    ScreenFixture fixture;
    postMessage(0, "Welcome to the endless maze.");
    postMessage(0, "It is rumoured that somewhere in the deepest part of this maze is a");
    postMessage(0, "means of escape, if you can stay alive long enough to find it...");
    postMessage(0, "Good luck!");
    postMessage(0, "Use F1 or ? to view the help at any time");
    ASSERT_EQ(messageQueue().size(), 4u);
    showPendingMessages();
    EXPECT_EQ(fixture.terminal.row(17), "  Welcome to the endless maze.");
    EXPECT_EQ(fixture.terminal.row(20), "  Good luck! Use F1 or ? to view the help at any time");
    EXPECT_EQ(fixture.terminal.row(21), "");
    EXPECT_EQ(fixture.terminal.keysRead, 0);
    EXPECT_FALSE(messagesPending());
}

TEST(MessageLine, FiveMessagesMakeTwoPagesWithAPause) {
    ScreenFixture fixture;
    for (int i = 1; i <= 5; ++i)
        postMessage(1, "message " + std::to_string(i));
    fixture.terminal.keys = {'x'};
    // Check the first page as it stands at the pause.
    std::vector<std::string> firstPage;
    fixture.terminal.onKeysExhausted = nullptr;
    showPendingMessages();
    EXPECT_EQ(fixture.terminal.keysRead, 1);
    EXPECT_EQ(fixture.terminal.row(17), "  message 5");
    EXPECT_EQ(fixture.terminal.row(18), "");
    EXPECT_EQ(fixture.terminal.row(21), "") << "the last page has no prompt";
    EXPECT_FALSE(messagesPending());
}

TEST(MessageLine, PausePromptShowsAfterFourLines) {
    ScreenFixture fixture;
    for (int i = 1; i <= 5; ++i)
        postMessage(0, std::string(40, static_cast<char>('a' + i)));
    // No key: the pause stops the display, leaving the first page on screen.
    EXPECT_THROW(showPendingMessages(), KeysExhausted);
    EXPECT_EQ(fixture.terminal.row(17), "  " + std::string(40, 'b'));
    EXPECT_EQ(fixture.terminal.row(20), "  " + std::string(40, 'e'));
    EXPECT_EQ(fixture.terminal.row(21), "  --more--");
    EXPECT_EQ(fixture.terminal.attributeRow(21).substr(2, 8), "CCCCCCCC");
    EXPECT_EQ(fixture.terminal.attributeRow(17).substr(2, 3), "222");
}

// After each case's messages, an empty queue leaves the box as a fresh
// clear does: every cell a blank in the box's look.
TEST(MessageLine, EmptyQueueClearsTheBox) {
    struct Case {
        const char* what;
        std::function<void()> before;
    };
    const auto show = [](int flag, std::string text) {
        return [=] {
            postMessage(flag, text);
            showPendingMessages();
        };
    };
    const Case cases[] = {
        {"one message", show(0, "something")},
        {"bright, past the box", show(1, std::string(90, 'x'))},
        {"a long one, then a short one",
         [&] {
             show(0, std::string(60, 'a'))();
             show(1, "b")();
         }},
        {"written over by something else",
         [&] {
             show(0, "something")();
             writeText(Brightness::Bright, Colour::Red, "junk", 20, 60);
         }},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        ScreenFixture fixture;
        c.before();
        showPendingMessages();
        for (int row = 17; row <= 21; ++row) {
            for (int column = 2; column <= 76; ++column) {
                const ScreenCell cell = fixture.terminal.cell(row, column);
                EXPECT_TRUE(cell.ch == ' ' && cell.colour == Colour::Green &&
                            cell.brightness == Brightness::Normal)
                    << row << "," << column;
            }
        }
    }
}

} // namespace
} // namespace dunvale
