#pragma once
// The serialised value form of stored values: a bracketed text that names
// every element's kind and repeats a whole-number key in front of each one.
//
// A decoded value is a ValueDocument: its nodes live in one vector and refer
// to each other by index, so shared parts and even cycles (a back-reference
// to an enclosing array) cost nothing and can never leak.
#include <algorithm>
#include <array>
#include <charconv>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>
#include <string_view>
#include <vector>

namespace dunvale {

enum class ValueKind : uint8_t {
    Whole,  // I: signed 32-bit whole number
    Real,   // R: double
    Text,   // S: string
    Array,  // A: array of values
    Record, // U: record or choice: a constructor's ordinal and its fields
};

using NodeIndex = uint32_t;

struct ValueNode {
    ValueKind kind = ValueKind::Whole;
    int32_t whole = 0;               // Whole
    double real = 0.0;               // Real
    std::string text;                // Text
    int32_t ordinal = 0;             // Record
    int32_t room = 0;                // Array: its allocated size as written
    std::vector<NodeIndex> children; // Array elements or Record fields, in order
};

struct ValueDocument {
    std::vector<ValueNode> nodes;
    NodeIndex root = 0;

    NodeIndex addWhole(int32_t value);
    NodeIndex addReal(double value);
    NodeIndex addText(std::string value);
    NodeIndex addArray(int32_t room);
    NodeIndex addRecord(int32_t ordinal);
    const ValueNode& at(NodeIndex index) const;
};

// Texts longer than this are refused unread, and values may not nest deeper:
// a damaged or hostile file cannot exhaust memory or the stack.
constexpr size_t maxValueText = size_t{4} << 20;
constexpr int maxValueDepth = 64;

// The error for a text (or a file) over maxValueText.
[[noreturn]] void raiseValueTooLarge();

// Parses one value from the start of the text. Anything malformed, truncated,
// written with another key, nested too deeply or too large raises a runtime
// error (codes 252, 253, 254).
ValueDocument readValue(std::string_view text, int32_t key);

// A bracketed whole number, "[" ["-"] digits "]" within 32 bits, read as
// the general reader and the sector reader both read it ("[-0]" and "[007]"
// too). `stop` is past the "]" when a number was read, else where reading
// stopped.
struct ScannedNumber {
    const char* stop = nullptr;
    int32_t value = 0;
    bool read = false;
};

// The careful reading: every byte is checked against the end.
inline ScannedNumber scanBracketedNumberCarefully(const char* p, const char* end) {
    if (p == end || *p != '[') return {p, 0, false};
    ++p;
    const bool negative = p != end && *p == '-';
    if (negative) ++p;
    const int64_t limit = negative ? int64_t{1} << 31 : (int64_t{1} << 31) - 1;
    const char* const firstDigit = p;
    int64_t value = 0;
    for (; p != end && *p >= '0' && *p <= '9'; ++p) {
        value = value * 10 + (*p - '0');
        if (value > limit) return {p, 0, false};
    }
    if (p == firstDigit || p == end || *p != ']') return {p, 0, false};
    return {p + 1, static_cast<int32_t>(negative ? -value : value), true};
}

// "[", "-", ten digits and "]": the longest number read without checking
// each byte against the end.
constexpr ptrdiff_t longestQuickNumber = 13;

// Inline: most of a sector file is numbers. Where the text holds enough
// bytes, a number of at most ten digits is read without checks against the
// end; anything else, and every failure, is read carefully, so that value
// and stop are always the careful reading's.
inline ScannedNumber scanBracketedNumber(const char* p, const char* end) {
    if (end - p >= 3 && p[0] == '[' && static_cast<unsigned>(p[1] - '0') <= 9 && p[2] == ']')
        return {p + 3, p[1] - '0', true};
    if (end - p < longestQuickNumber || *p != '[') return scanBracketedNumberCarefully(p, end);
    const char* q = p + 1;
    const bool negative = *q == '-';
    q += negative ? 1 : 0;
    const char* const firstDigit = q;
    uint64_t value = 0;
    for (unsigned digit; q != firstDigit + 10 && (digit = static_cast<unsigned>(*q) - '0') <= 9;
         ++q)
        value = value * 10 + digit;
    const uint64_t limit = negative ? uint64_t{1} << 31 : (uint64_t{1} << 31) - 1;
    if (q == firstDigit || *q != ']' || value > limit) return scanBracketedNumberCarefully(p, end);
    const auto magnitude = static_cast<uint32_t>(value);
    return {q + 1, static_cast<int32_t>(negative ? 0u - magnitude : magnitude), true};
}

// Up to 16 bytes that recur throughout a serialised text (a key's tag, an
// object number), held so that they are written by one 16-byte copy and
// compared as one or two masked words. Both need 16 bytes of room at `at`.
struct ShortText {
    std::array<char, 16> bytes{};
    size_t length = 0;
    std::array<uint64_t, 2> mask{};

    void append(std::string_view text) {
        std::copy(text.begin(), text.end(), bytes.begin() + static_cast<ptrdiff_t>(length));
        setLength(length + text.size());
    }

    void setLength(size_t newLength) {
        length = newLength;
        std::array<unsigned char, 16> maskBytes{};
        std::fill_n(maskBytes.begin(), length, 0xff);
        std::memcpy(mask.data(), maskBytes.data(), maskBytes.size());
    }

    char* writeAt(char* at) const {
        std::memcpy(at, bytes.data(), bytes.size());
        return at + length;
    }

    // A text of at most 8 bytes, as most are, is compared as one word.
    bool startsAt(const char* at) const {
        std::array<uint64_t, 2> read{};
        std::array<uint64_t, 2> expected{};
        std::memcpy(read.data(), at, sizeof read[0]);
        std::memcpy(expected.data(), bytes.data(), sizeof expected);
        if (((read[0] ^ expected[0]) & mask[0]) != 0) return false;
        if (length <= sizeof read[0]) return true;
        std::memcpy(&read[1], at + sizeof read[0], sizeof read[1]);
        return ((read[1] ^ expected[1]) & mask[1]) == 0;
    }
};

// Object numbers count up from 0 one at a time: "[n]" is kept as text and
// counted up in place rather than written anew. Fourteen digits fit, far
// more objects than a text of maxValueText could hold.
struct CountedNumber {
    ShortText text;
    int64_t value = 0;

    CountedNumber() { text.append("[0]"); }

    void countUp() {
        ++value;
        // Nine times in ten only the last digit changes.
        if (char& units = text.bytes[text.length - 2]; units != '9') {
            ++units;
            return;
        }
        size_t digit = text.length - 2;
        for (; digit > 0 && text.bytes[digit] == '9'; --digit)
            text.bytes[digit] = '0';
        if (digit > 0) {
            ++text.bytes[digit];
            return;
        }
        // All nines: one digit more, "1" and zeros.
        text.bytes[1] = '1';
        text.bytes[text.length - 1] = '0';
        text.bytes[text.length] = ']';
        text.setLength(text.length + 1);
    }
};

// The longest whole number written: "-2147483648".
constexpr size_t longestWhole = 11;

// Writes `value` as std::to_string would and returns the end. Numbers under
// ten thousand, nearly all of a sector file, are written digit by digit.
inline char* formatWhole(char* at, int32_t value) {
    auto magnitude = static_cast<uint32_t>(value);
    if (value < 0) {
        *at++ = '-';
        magnitude = 0u - magnitude;
    }
    if (magnitude < 10) {
        *at = static_cast<char>('0' + magnitude);
        return at + 1;
    }
    if (magnitude >= 10000) return std::to_chars(at, at + longestWhole, magnitude).ptr;
    const int digits = magnitude < 100 ? 2 : magnitude < 1000 ? 3 : 4;
    char* const stop = at + digits;
    char* p = stop;
    do {
        *--p = static_cast<char>('0' + magnitude % 10);
        magnitude /= 10;
    } while (magnitude != 0);
    return stop;
}

// At most 40 characters of untrusted text, control characters and bytes
// outside ASCII shown as '?', fit to quote in an error report.
std::string printableExcerpt(std::string_view text);

} // namespace dunvale
