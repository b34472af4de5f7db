#include "support/errors.h"
#include "support/wrap.h"

#include <gtest/gtest.h>

#include <sstream>
#include <string>
#include <vector>

namespace dunvale {
namespace {

std::vector<Frame> chainOf(int count) {
    std::vector<Frame> frames;
    for (int i = 0; i < count; ++i)
        frames.push_back(
            Frame{std::string("f").append(std::to_string(i)), false, "src/unit.cpp", 100 + i});
    return frames;
}

std::vector<std::string> linesOf(const std::string& text) {
    std::vector<std::string> lines;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);)
        lines.push_back(line);
    return lines;
}

TEST(ErrorReport, FirstLineWithAndWithoutAPlace) {
    EXPECT_EQ(linesOf(formatReport("Out of bounds error", 20, "unit", 120, {}))[0],
              "Out of bounds error (error code 20) thrown at unit:120");
    EXPECT_EQ(linesOf(formatReport("Divide by zero", 0, "unit", 0, {}))[0],
              "Divide by zero (error code 0) thrown");
}

TEST(ErrorReport, ListsEveryFrameOfAShortChain) {
    auto lines = linesOf(formatReport("Boom", 1, "a.cpp", 3, chainOf(21)));
    ASSERT_EQ(lines.size(), 22u) << "21 frames and no elision line";
    EXPECT_EQ(lines[1], "f0 called from f1 at src/unit.cpp:100");
    EXPECT_EQ(lines[20], "f19 called from f20 at src/unit.cpp:119");
    EXPECT_EQ(lines[21], "f20 [entry point]");
}

TEST(ErrorReport, ElidesFramesBeyondTwentyOne) {
    auto lines = linesOf(formatReport("Boom", 1, "a.cpp", 3, chainOf(30)));
    ASSERT_EQ(lines.size(), 23u);
    EXPECT_EQ(lines[21], "f20 called from f21 at src/unit.cpp:120");
    EXPECT_EQ(lines[22], "[... 9 more elided...]");
    for (const std::string& line : lines)
        EXPECT_EQ(line.find("[entry point]"), std::string::npos);
}

TEST(ErrorReport, AnonymousFramesNameTheirContainer) {
    std::vector<Frame> frames{{"outer", true, "x.cpp", 7}, {"main", false, "", 0}};
    auto lines = linesOf(formatReport("Boom", 1, "x.cpp", 5, frames));
    EXPECT_EQ(lines[1], "lambda in outer called from main at x.cpp:7");
    EXPECT_EQ(lines[2], "main [entry point]");
}

TEST(ErrorReport, FunctionNamesFromDemangledSymbols) {
    struct Case {
        const char* demangled;
        const char* name;
        bool anonymous;
    };
    const Case cases[] = {
        {"dunvale::cellAtOffset(dunvale::SectorTable&, dunvale::Position, int, int)",
         "cellAtOffset", false},
        {"main", "main", false},
        {"dunvale::(anonymous namespace)::runTurns(int, dunvale::Player&)", "runTurns", false},
        {"dunvale::f(int)::{lambda(int)#1}::operator()(int) const", "f", true},
        {"std::vector<int, std::allocator<int> >::at(unsigned long)",
         "std::vector<int, std::allocator<int> >::at", false},
    };
    for (const Case& c : cases) {
        Frame frame = frameForFunction(c.demangled);
        EXPECT_EQ(frame.function, c.name) << c.demangled;
        EXPECT_EQ(frame.anonymous, c.anonymous) << c.demangled;
    }
}

[[gnu::noinline]] void raiseFromHere() {
    raiseError("Test failure", 42);
}

[[gnu::noinline]] void callRaiser() {
    raiseFromHere();
    asm volatile(""); // keeps the call from becoming a tail call
}

TEST(ErrorReport, RealErrorsNameRealFunctionsAndPlaces) {
    try {
        callRaiser();
        FAIL() << "expected an error";
    } catch (const RuntimeError& error) {
        EXPECT_EQ(error.message, "Test failure");
        EXPECT_EQ(error.code, 42);
        EXPECT_EQ(error.raiseFile, "tests/support/errors_test.cpp");
        EXPECT_GT(error.raiseLine, 0);
        std::vector<Frame> frames = callChain(error);
        ASSERT_GE(frames.size(), 3u);
        EXPECT_NE(frames[0].function.find("raiseFromHere"), std::string::npos);
        EXPECT_NE(frames[1].function.find("callRaiser"), std::string::npos);
        EXPECT_EQ(frames[0].callFile, "tests/support/errors_test.cpp");
        EXPECT_GT(frames[0].callLine, error.raiseLine);
        EXPECT_EQ(frames.back().function, "main");
        std::string report = formatReport(error);
        EXPECT_EQ(report.rfind("Test failure (error code 42) thrown at "
                               "tests/support/errors_test.cpp:",
                               0),
                  0u);
    }
}

TEST(ErrorReport, DivisionByZeroIsARuntimeError) {
    try {
        wholeDiv(7, 0);
        FAIL();
    } catch (const RuntimeError& error) {
        EXPECT_EQ(error.message, "Divide by zero");
        EXPECT_EQ(error.code, 0);
    }
    EXPECT_EQ(wholeDiv(-7, 2), -3);
    EXPECT_EQ(wholeRem(-7, 2), -1);
    EXPECT_EQ(wholeDiv(INT32_MIN, -1), INT32_MIN);
    EXPECT_EQ(wholeRem(INT32_MIN, -1), 0);
}

} // namespace
} // namespace dunvale
