#include "support/value_writer.h"

#include "support/errors.h"

#include <algorithm>
#include <charconv>
#include <stdexcept>
#include <vector>

namespace dunvale::testing {

namespace {

std::string formatReal(double value) {
    char buffer[64];
    auto result =
        std::to_chars(buffer, buffer + sizeof buffer, value, std::chars_format::scientific, 6);
    return std::string(buffer, result.ptr);
}

struct Writer {
    const ValueDocument& document;
    std::string key;
    std::string out;
    std::vector<int32_t> objectNumbers; // -1 until the object is written
    int32_t nextObject = 0;

    void bracketed(int64_t number) {
        out += '[';
        out += std::to_string(number);
        out += ']';
    }

    void element(NodeIndex index, int depth) {
        const ValueNode& node = document.at(index);
        out += '[';
        out += key;
        out += ']';
        switch (node.kind) {
        case ValueKind::Whole:
            out += 'I';
            bracketed(node.whole);
            return;
        case ValueKind::Real:
            out += "R[";
            out += formatReal(node.real);
            out += ']';
            return;
        case ValueKind::Text:
            out += "S[";
            bracketed(static_cast<int64_t>(node.text.size()));
            bracketed(static_cast<int64_t>(node.text.size()));
            out += node.text;
            out += ']';
            return;
        case ValueKind::Array:
        case ValueKind::Record: break;
        }
        if (objectNumbers[index] >= 0) {
            out += 'C';
            bracketed(objectNumbers[index]);
            return;
        }
        // What cannot be read back is not written either.
        if (depth >= maxValueDepth)
            raiseError("Value nested too deeply to marshal", errorCode::invalidUnmarshall);
        int32_t number = nextObject++;
        objectNumbers[index] = number;
        if (node.kind == ValueKind::Array) {
            out += "A[";
            bracketed(number);
            bracketed(std::max<int64_t>(node.room, static_cast<int64_t>(node.children.size())));
        } else {
            out += "U[";
            bracketed(number);
            bracketed(node.ordinal);
            bracketed(static_cast<int64_t>(node.children.size()));
        }
        for (NodeIndex child : node.children)
            element(child, depth + 1);
        out += ']';
    }
};

} // namespace

std::string writeValue(const ValueDocument& document, NodeIndex root, int32_t key) {
    Writer writer{document, std::to_string(key), {}, {}, 0};
    writer.objectNumbers.assign(document.nodes.size(), -1);
    writer.element(root, 0);
    return std::move(writer.out);
}

void appendChild(ValueDocument& document, NodeIndex parent, NodeIndex child) {
    if (child >= document.nodes.size() || parent >= document.nodes.size())
        throw std::out_of_range("no such node");
    ValueNode& node = document.nodes[parent];
    if (node.kind != ValueKind::Array && node.kind != ValueKind::Record)
        throw std::invalid_argument("only arrays and records hold values");
    node.children.push_back(child);
}

} // namespace dunvale::testing
