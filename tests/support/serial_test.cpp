#include "support/errors.h"
#include "support/serial.h"
#include "support/value_writer.h"

#include <gtest/gtest.h>

#include <climits>
#include <string>
#include <vector>

namespace dunvale {
namespace {

using testing::appendChild;
using testing::writeValue;

// The message and code of the error that reading `text` raises.
struct Failure {
    std::string message;
    int32_t code = 0;
};

Failure readFailure(std::string_view text, int32_t key) {
    try {
        readValue(text, key);
    } catch (const RuntimeError& error) {
        return {error.message, error.code};
    }
    ADD_FAILURE() << "no error for " << text;
    return {};
}

// A document whose root array is object 0, followed by `fillers` empty
// records, so that the next compound written gets object number fillers + 1.
ValueDocument withObjectsBefore(int fillers, NodeIndex& root) {
    ValueDocument document;
    root = document.addArray(5);
    for (int i = 0; i < fillers; ++i)
        appendChild(document, root, document.addRecord(0));
    return document;
}

std::string lastElement(const std::string& text, size_t length) {
    // The element sits just before the root array's closing bracket.
    return text.substr(text.size() - 1 - length, length);
}

TEST(SerialForm, WholeNumbers) {
    ValueDocument document;
    document.root = document.addWhole(7);
    EXPECT_EQ(writeValue(document, 2), "[2]I[7]");
    document.nodes[0].whole = -7;
    EXPECT_EQ(writeValue(document, 2), "[2]I[-7]");

    for (int32_t value : {0, 7, -7, INT32_MAX, INT32_MIN}) {
        ValueDocument read = readValue("[-3]I[" + std::to_string(value) + "]", -3);
        ASSERT_EQ(read.at(read.root).kind, ValueKind::Whole);
        EXPECT_EQ(read.at(read.root).whole, value);
    }
}

// Numbers are written as std::to_string writes them and object numbers
// counted up in place; both read back, whether the text goes on (read
// quickly) or ends at the number (read carefully). Forms the quick reading
// leaves to the careful one read as the careful one reads them.
TEST(SerialForm, WholeNumbersWrittenAndScanned) {
    auto scan = [](const std::string& text) {
        return scanBracketedNumber(text.data(), text.data() + text.size());
    };
    const std::string more(16, ']');
    for (int32_t value :
         {INT32_MIN, INT32_MIN + 1, -10000, -9999, -100, -99,   -10,   -9,       -1, 0, 1, 9, 10,
          99,        100,           999,    1000,  9999, 10000, 99999, INT32_MAX}) {
        char buffer[longestWhole];
        const std::string written(buffer, formatWhole(buffer, value));
        EXPECT_EQ(written, std::to_string(value));
        for (const std::string& text : {"[" + written + "]", "[" + written + "]" + more}) {
            const ScannedNumber scanned = scan(text);
            EXPECT_TRUE(scanned.read && scanned.value == value) << text;
            EXPECT_EQ(scanned.stop - text.data(), static_cast<ptrdiff_t>(written.size() + 2));
        }
    }
    for (const char* odd : {"[00000000007]", "[-0000000000]", "[2147483648]", "[-2147483649]",
                            "[99999999999]", "[12x]", "[-]", "[]", "[7-"}) {
        const std::string text = odd + more;
        const ScannedNumber quick = scan(text);
        const ScannedNumber careful =
            scanBracketedNumberCarefully(text.data(), text.data() + text.size());
        EXPECT_TRUE(quick.read == careful.read && quick.value == careful.value &&
                    quick.stop == careful.stop)
            << odd;
    }
    CountedNumber counted;
    for (int32_t value = 0; value <= 10001; counted.countUp(), ++value)
        ASSERT_EQ(std::string(counted.text.bytes.data(), counted.text.length),
                  "[" + std::to_string(value) + "]");
}

TEST(SerialForm, PresentOptionalValue) {
    ValueDocument document;
    document.root = document.addRecord(1);
    appendChild(document, document.root, document.addWhole(5));
    const std::string text = writeValue(document, 0);
    EXPECT_EQ(text, "[0]U[[0][1][1][0]I[5]]");

    ValueDocument read = readValue(text, 0);
    const ValueNode& optional = read.at(read.root);
    ASSERT_EQ(optional.kind, ValueKind::Record);
    EXPECT_EQ(optional.ordinal, 1);
    ASSERT_EQ(optional.children.size(), 1u);
    EXPECT_EQ(read.at(optional.children[0]).whole, 5);
}

TEST(SerialForm, ObjectNumbersFollowTheOrderFormsBegin) {
    NodeIndex root = 0;
    ValueDocument arrays = withObjectsBefore(3, root);
    appendChild(arrays, root, arrays.addArray(20));
    const std::string arrayText = writeValue(arrays, root, 3);
    EXPECT_EQ(arrayText, "[3]A[[0][5][3]U[[1][0][0]][3]U[[2][0][0]][3]U[[3][0][0]][3]A[[4][20]]]");

    ValueDocument floors = withObjectsBefore(6, root);
    appendChild(floors, root, floors.addRecord(1)); // Terrain Floor
    const std::string floorText = writeValue(floors, root, 2);
    const std::string floor = "[2]U[[7][1][0]]";
    EXPECT_EQ(lastElement(floorText, floor.size()), floor);

    // Read back, the empty array keeps its room.
    ValueDocument read = readValue(arrayText, 3);
    const ValueNode& last = read.at(read.at(read.root).children.back());
    EXPECT_EQ(last.kind, ValueKind::Array);
    EXPECT_EQ(last.room, 20);
    EXPECT_TRUE(last.children.empty());
}

TEST(SerialForm, ArrayRoomIsAtLeastItsLengthAndZeroReadsAsFive) {
    ValueDocument document;
    document.root = document.addArray(0);
    appendChild(document, document.root, document.addWhole(1));
    appendChild(document, document.root, document.addWhole(2));
    EXPECT_EQ(writeValue(document, 0), "[0]A[[0][2][0]I[1][0]I[2]]");

    ValueDocument read = readValue("[0]A[[0][0]]", 0);
    EXPECT_EQ(read.at(read.root).room, 5);
}

TEST(SerialForm, StringsEndByLengthNotByBracket) {
    const std::vector<std::string> texts = {"",  "a]b[c]]", "[[[",
                                            "]", "[0]I[5]", std::string("nul\0inside", 10)};
    for (const std::string& value : texts) {
        ValueDocument document;
        document.root = document.addText(value);
        const std::string text = writeValue(document, 1);
        const std::string length = std::to_string(value.size());
        EXPECT_EQ(text, "[1]S[[" + length + "][" + length + "]" + value + "]");
        ValueDocument read = readValue(text, 1);
        ASSERT_EQ(read.at(read.root).kind, ValueKind::Text);
        EXPECT_EQ(read.at(read.root).text, value);
    }
}

TEST(SerialForm, RealsUseTheExponentForm) {
    ValueDocument document;
    document.root = document.addReal(1.5);
    EXPECT_EQ(writeValue(document, 0), "[0]R[1.500000e+00]");
    document.nodes[0].real = -0.000125;
    EXPECT_EQ(writeValue(document, 0), "[0]R[-1.250000e-04]");

    for (const char* form : {"1.500000e+00", "-2.5e10", "3", "0.125"}) {
        ValueDocument read = readValue(std::string("[4]R[") + form + "]", 4);
        EXPECT_EQ(read.at(read.root).real, std::stod(form)) << form;
    }
}

TEST(SerialForm, SharedArrayIsWrittenOnceAndReadAsOne) {
    ValueDocument document;
    NodeIndex shared = document.addArray(5);
    appendChild(document, shared, document.addWhole(9));
    document.root = document.addRecord(0);
    appendChild(document, document.root, shared);
    appendChild(document, document.root, shared);
    const std::string text = writeValue(document, 1);
    EXPECT_EQ(text, "[1]U[[0][0][2][1]A[[1][5][1]I[9]][1]C[1]]");

    ValueDocument read = readValue(text, 1);
    const ValueNode& root = read.at(read.root);
    ASSERT_EQ(root.children.size(), 2u);
    EXPECT_EQ(root.children[0], root.children[1]);
    EXPECT_EQ(read.nodes.size(), 3u); // record, array, one whole number
}

TEST(SerialForm, CyclesWriteAndReadWithoutEnd) {
    ValueDocument document;
    document.root = document.addArray(5);
    appendChild(document, document.root, document.root);
    const std::string text = writeValue(document, 0);
    EXPECT_EQ(text, "[0]A[[0][5][0]C[0]]");

    ValueDocument read = readValue(text, 0);
    ASSERT_EQ(read.at(read.root).children.size(), 1u);
    EXPECT_EQ(read.at(read.root).children[0], read.root);
    EXPECT_EQ(writeValue(read, 0), text);
}

TEST(SerialForm, MalformedTextRaisesItsError) {
    struct Case {
        std::string text;
        std::string message;
        int32_t code;
    };
    const std::vector<Case> cases = {
        {"[1]I[7]", "Invalid unmarshalling id", 253},
        {"[2]A[[0][5][2]I[1][3]I[2]]", "Invalid unmarshalling id", 253},
        {"[2]X[7]", "Invalid value to unmarshall", 254},
        {"[2]", "Invalid value to unmarshall", 254},
        {"", "Invalid int to unmarshall : ", 254},
        {"2]I[7]", "Invalid int to unmarshall : 2]I[7]", 254},
        {"[2]I[x]", "Invalid int to unmarshall : x]", 254},
        {"[2]I[-]", "Invalid int to unmarshall : ]", 254},
        {"[2]I[7", "Invalid int to unmarshall : ", 254},
        {"[2]I[+7]", "Invalid int to unmarshall : +7]", 254},
        {"[2]I[2147483648]", "Invalid int to unmarshall : 8]", 254},
        {"[2]I[-2147483649]", "Invalid int to unmarshall : 9]", 254},
        {"[99999999999]I[1]", "Invalid int to unmarshall : 99]I[1]", 254},
        {"[2]R[abc]", "Invalid float to unmarshall : abc]", 254},
        {"[2]R[1.5", "Invalid float to unmarshall : 1.5", 254},
        {"[2]R[1.5x]", "Invalid float to unmarshall : 1.5x]", 254},
        {"[2]S(", "Invalid string to unmarshall", 254},
        {"[2]S[[5][5]ab]", "Invalid string to unmarshall", 254},
        {"[2]S[[-1][0]]", "Invalid string to unmarshall", 254},
        {"[2]S[[1][1]ab]", "Invalid string to unmarshall", 254},
        {"[2]A(", "Invalid array to unmarshall", 254},
        {"[2]A[[0][-1]]", "Invalid array to unmarshall", 254},
        {"[2]A[[3][5]]", "Invalid object number to unmarshall", 252},
        {"[2]A[[0][5][2]A[[0][5]]]", "Invalid object number to unmarshall", 252},
        {"[2]U(", "Invalid union to unmarshall", 254},
        {"[2]U[[0][0][1][2]I[1][2]I[2]]", "Invalid union to unmarshall", 254},
        {"[2]U[[0][-1][0]]", "Invalid union to unmarshall", 254},
        {"[2]U[[0][0][-1]]", "Invalid union to unmarshall", 254},
        {"[2]U[[1][0][0]]", "Invalid object number to unmarshall", 252},
        {"[2]F[[0][0][0]]", "Invalid closure to unmarshall", 254},
        {"[2]C[0]", "Invalid circular structure", 254},
        {"[2]A[[0][5][2]C[1]]", "Invalid circular structure", 254},
        {"[2]A[[0][5][2]C[-1]]", "Invalid circular structure", 254},
    };
    for (const Case& c : cases) {
        Failure failure = readFailure(c.text, 2);
        EXPECT_EQ(failure.message, c.message) << c.text;
        EXPECT_EQ(failure.code, c.code) << c.text;
    }
}

// The rest of a damaged file goes into the error report on the terminal:
// it is cut short, and nothing in it can drive the terminal.
TEST(SerialForm, RestOfTextInAnErrorIsShortAndPrintable) {
    const std::string rest = "\x1b[2J\x07" + std::string(50, 'a') + "\xff";
    Failure failure = readFailure("[0]I[" + rest, 0);
    EXPECT_EQ(failure.message, "Invalid int to unmarshall : ?[2J?" + std::string(35, 'a'));
    EXPECT_EQ(printableExcerpt("tab\there\xc3\xa9~"), "tab?here??~");
}

TEST(SerialForm, EveryTruncationRaises) {
    ValueDocument document;
    document.root = document.addRecord(3);
    NodeIndex list = document.addArray(8);
    appendChild(document, document.root, list);
    appendChild(document, list, document.addText("x]y[z"));
    appendChild(document, list, document.addReal(-2.5));
    appendChild(document, list, document.addWhole(-123));
    NodeIndex inner = document.addRecord(0);
    appendChild(document, list, inner);
    appendChild(document, inner, document.addArray(0));
    appendChild(document, document.root, list);
    appendChild(document, document.root, inner);
    const std::string text = writeValue(document, -12);
    ASSERT_NO_THROW(readValue(text, -12));

    for (size_t length = 0; length < text.size(); ++length) {
        Failure failure = readFailure(text.substr(0, length), -12);
        EXPECT_EQ(failure.code, errorCode::invalidUnmarshall) << length;
    }
}

std::string nestedArrays(int depth) {
    std::string text;
    for (int i = 0; i < depth; ++i)
        text += "[0]A[[" + std::to_string(i) + "][1]";
    text += std::string(static_cast<size_t>(depth), ']');
    return text;
}

TEST(SerialForm, NestingIsLimited) {
    EXPECT_NO_THROW(readValue(nestedArrays(maxValueDepth), 0));
    Failure failure = readFailure(nestedArrays(maxValueDepth + 1), 0);
    EXPECT_EQ(failure.message, "Value nested too deeply to unmarshall");
    EXPECT_EQ(failure.code, 254);

    // Far deeper than any stack could recurse.
    std::string deep;
    for (int i = 0; i < 100000; ++i)
        deep += "[0]U[[" + std::to_string(i) + "][0][1]";
    EXPECT_EQ(readFailure(deep, 0).message, "Value nested too deeply to unmarshall");

    // What could not be read back is not written either.
    ValueDocument document;
    document.root = document.addArray(1);
    NodeIndex innermost = document.root;
    for (int i = 0; i < maxValueDepth; ++i) {
        NodeIndex next = document.addArray(1);
        appendChild(document, innermost, next);
        innermost = next;
    }
    EXPECT_THROW(writeValue(document, 0), RuntimeError);
}

TEST(SerialForm, HugeSizesReserveNothingTheTextCannotHold) {
    ValueDocument read = readValue("[0]A[[0][2147483647]]", 0);
    EXPECT_EQ(read.at(read.root).room, INT32_MAX);
    EXPECT_LE(read.at(read.root).children.capacity(), 1u);

    EXPECT_EQ(readFailure("[0]U[[0][0][2147483647]]", 0).code, 254);
    EXPECT_EQ(readFailure("[0]S[[2147483647][2147483647]abc]", 0).message,
              "Invalid string to unmarshall");

    std::string oversized = "[0]I[1]" + std::string(maxValueText, ' ');
    Failure failure = readFailure(oversized, 0);
    EXPECT_EQ(failure.message, "Value too large to unmarshall");
    EXPECT_EQ(failure.code, 254);
}

TEST(SerialForm, LongArraysRead) {
    std::string text = "[0]A[[0][100000]";
    for (int i = 0; i < 100000; ++i)
        text += "[0]I[" + std::to_string(i) + "]";
    text += "]";
    ValueDocument read = readValue(text, 0);
    const ValueNode& root = read.at(read.root);
    ASSERT_EQ(root.children.size(), 100000u);
    EXPECT_EQ(read.at(root.children[99999]).whole, 99999);
    EXPECT_EQ(writeValue(read, 0), text);
}

} // namespace
} // namespace dunvale
