#pragma once
// The serialised value form of stored values: a bracketed text that names
// every element's kind and repeats a whole-number key in front of each one.
//
// A decoded value is a ValueDocument: its nodes live in one vector and refer
// to each other by index, so shared parts and even cycles (a back-reference
// to an enclosing array) cost nothing and can never leak.
#include <cstddef>
#include <cstdint>
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

// Inline: most of a sector file is numbers.
inline ScannedNumber scanBracketedNumber(const char* p, const char* end) {
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

// At most 40 characters of untrusted text, control characters and bytes
// outside ASCII shown as '?', fit to quote in an error report.
std::string printableExcerpt(std::string_view text);

} // namespace dunvale
