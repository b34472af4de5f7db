// The general reading of a sector: the text is parsed as any value
// (readValue), and the document read as a Sector, every shape checked.
#include "rules/sector_codec.h"

#include "rules/sector_layout.h"
#include "support/errors.h"
#include "support/serial.h"

#include <array>
#include <optional>
#include <vector>

namespace dunvale {

namespace {

// Reads a document of the general form as a Sector, checking every shape.
// Each value taken is counted: back-references may share parts of a
// document, but never expand it beyond the values it holds.
struct DocumentReader {
    const ValueDocument& document;
    size_t visits = 0;
    // The next value of the record or array being read. A record's fields
    // and a fixed array's elements are counted before they are read, and a
    // list reads as many as it holds, so this never runs past the last.
    const NodeIndex* next = nullptr;

    [[noreturn]] static void mismatch() {
        raiseError("Invalid value to unmarshall", errorCode::invalidUnmarshall);
    }

    const ValueNode& take() {
        if (++visits > document.nodes.size()) mismatch();
        return document.at(*next++);
    }

    // body() reads the fields or elements of `node`.
    template <typename Body> void inside(const ValueNode& node, Body&& body) {
        const NodeIndex* const outerNext = next;
        next = node.children.data();
        body();
        next = outerNext;
    }

    template <typename Body> void record(int32_t fields, Body&& body) {
        const ValueNode& node = take();
        if (node.kind != ValueKind::Record || node.ordinal != 0 ||
            node.children.size() != static_cast<size_t>(fields))
            mismatch();
        inside(node, body);
    }

    void whole(int32_t& value) {
        const ValueNode& node = take();
        if (node.kind != ValueKind::Whole) mismatch();
        value = node.whole;
    }

    void square(int32_t& value) {
        whole(value);
        if (value < 0 || value >= sectorSize) mismatch();
    }

    // The general reader refuses negative ordinals itself.
    template <typename Enum> void choice(Enum& value, int32_t count) {
        const ValueNode& node = take();
        if (node.kind != ValueKind::Record || node.ordinal >= count || !node.children.empty())
            mismatch();
        value = static_cast<Enum>(node.ordinal);
    }

    template <typename T, typename Body> void optional(std::optional<T>& value, Body&& body) {
        const ValueNode& node = take();
        if (node.kind != ValueKind::Record) mismatch();
        if (node.ordinal == 0 && node.children.empty()) {
            value.reset();
            return;
        }
        if (node.ordinal != 1 || node.children.size() != 1) mismatch();
        T& present = value.emplace();
        inside(node, [&] { body(present); });
    }

    template <typename T, size_t N, typename Body>
    void fixedArray(std::array<T, N>& values, Body&& body) {
        const ValueNode& node = take();
        if (node.kind != ValueKind::Array || node.children.size() != N) mismatch();
        inside(node, [&] {
            for (T& value : values)
                body(value);
        });
    }

    template <typename T, typename Body>
    void list(std::vector<T>& values, int32_t /*room*/, size_t most, Body&& body) {
        const ValueNode& node = take();
        if (node.kind != ValueKind::Array || node.children.size() > most) mismatch();
        inside(node, [&] {
            for (size_t i = 0; i < node.children.size(); ++i)
                body(values.emplace_back());
        });
    }
};

} // namespace

std::unique_ptr<Sector> decodeSectorValue(std::string_view text, int32_t key) {
    ValueDocument document = readValue(text, key);
    DocumentReader reader{document};
    reader.next = &document.root;
    auto sector = std::make_unique<Sector>();
    layout(reader, *sector);
    return sector;
}

} // namespace dunvale
