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
    // Appends an element to an array or a field to a record.
    void append(NodeIndex parent, NodeIndex child);
    const ValueNode& at(NodeIndex index) const;
};

// Texts longer than this are refused unread, and values may not nest deeper:
// a damaged or hostile file cannot exhaust memory or the stack.
constexpr size_t maxValueText = size_t{4} << 20;
constexpr int maxValueDepth = 64;

// The error for a text (or a file) over maxValueText.
[[noreturn]] void raiseValueTooLarge();

// The form of the value at `root`, every element tagged with `key`. Arrays
// and records get object numbers from 0 in the order their forms begin;
// meeting one again writes a back-reference.
std::string writeValue(const ValueDocument& document, NodeIndex root, int32_t key);
inline std::string writeValue(const ValueDocument& document, int32_t key) {
    return writeValue(document, document.root, key);
}

// Parses one value from the start of the text. Anything malformed, truncated,
// written with another key, nested too deeply or too large raises a runtime
// error (codes 252, 253, 254).
ValueDocument readValue(std::string_view text, int32_t key);

// At most 40 characters of untrusted text, control characters and bytes
// outside ASCII shown as '?', fit to quote in an error report.
std::string printableExcerpt(std::string_view text);

} // namespace dunvale
