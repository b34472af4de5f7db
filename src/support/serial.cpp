#include "support/serial.h"

#include "support/errors.h"

#include <algorithm>
#include <charconv>

namespace dunvale {

namespace {

constexpr size_t excerptLength = 40;
// "[0]I[0]": no element is shorter, so the nodes reserved for a text are
// never more than the text could fill. Counts and rooms read from the text
// reserve nothing.
constexpr size_t shortestElement = 7;
constexpr int32_t defaultRoom = 5;

struct Reader {
    std::string_view text;
    int32_t key = 0;
    size_t at = 0;
    ValueDocument document;
    std::vector<NodeIndex> objects; // by object number

    size_t remaining() const { return text.size() - at; }
    bool next(char c) const { return at < text.size() && text[at] == c; }
    std::string restOfText() const { return printableExcerpt(text.substr(at)); }

    [[noreturn]] void failInt() const {
        raiseError("Invalid int to unmarshall : " + restOfText(), errorCode::invalidUnmarshall);
    }
    [[noreturn]] void failFloat() const {
        raiseError("Invalid float to unmarshall : " + restOfText(), errorCode::invalidUnmarshall);
    }
    [[noreturn]] static void fail(const char* message) {
        raiseError(message, errorCode::invalidUnmarshall);
    }

    int32_t number() {
        const ScannedNumber scanned =
            scanBracketedNumber(text.data() + at, text.data() + text.size());
        at = static_cast<size_t>(scanned.stop - text.data());
        if (!scanned.read) failInt();
        return scanned.value;
    }

    void registerObject(int32_t number, NodeIndex node) {
        if (number < 0 || static_cast<size_t>(number) != objects.size())
            raiseError("Invalid object number to unmarshall", errorCode::objectNumberMismatch);
        objects.push_back(node);
    }

    // Elements being read, innermost array or record last: each takes its
    // own from the top in one piece, so an empty one allocates nothing.
    std::vector<NodeIndex> pending;

    void takeChildren(NodeIndex node, size_t first) {
        document.nodes[node].children.assign(pending.begin() + static_cast<std::ptrdiff_t>(first),
                                             pending.end());
        pending.resize(first);
    }

    NodeIndex element(int depth) {
        int32_t elementKey = number();
        if (elementKey != key)
            raiseError("Invalid unmarshalling id", errorCode::invalidUnmarshallingId);
        if (at >= text.size()) fail("Invalid value to unmarshall");
        char letter = text[at++];
        switch (letter) {
        case 'I': return document.addWhole(number());
        case 'R': return real();
        case 'S': return string();
        case 'A': return array(depth);
        case 'U': return record(depth);
        case 'C': return backReference();
        case 'F': fail("Invalid closure to unmarshall");
        default: fail("Invalid value to unmarshall");
        }
    }

    NodeIndex real() {
        if (!next('[')) failFloat();
        ++at;
        size_t close = text.find(']', at);
        if (close == std::string_view::npos) failFloat();
        double value = 0.0;
        const char* first = text.data() + at;
        const char* last = text.data() + close;
        auto result = std::from_chars(first, last, value, std::chars_format::general);
        if (result.ec != std::errc() || result.ptr != last) failFloat();
        at = close + 1;
        return document.addReal(value);
    }

    NodeIndex string() {
        if (!next('[')) fail("Invalid string to unmarshall");
        ++at;
        int32_t length = number();
        int32_t room = number();
        if (length < 0 || room < 0 || static_cast<size_t>(length) > remaining())
            fail("Invalid string to unmarshall");
        std::string value(text.substr(at, static_cast<size_t>(length)));
        at += static_cast<size_t>(length);
        if (!next(']')) fail("Invalid string to unmarshall");
        ++at;
        return document.addText(std::move(value));
    }

    void enter(int depth) const {
        if (depth >= maxValueDepth) fail("Value nested too deeply to unmarshall");
    }

    NodeIndex array(int depth) {
        enter(depth);
        if (!next('[')) fail("Invalid array to unmarshall");
        ++at;
        int32_t objectNumber = number();
        int32_t room = number();
        if (room < 0) fail("Invalid array to unmarshall");
        if (room == 0) room = defaultRoom;
        NodeIndex node = document.addArray(room);
        // Registered before its elements, which may refer back to it.
        registerObject(objectNumber, node);
        const size_t first = pending.size();
        while (!next(']')) {
            NodeIndex child = element(depth + 1);
            pending.push_back(child);
        }
        ++at;
        takeChildren(node, first);
        return node;
    }

    NodeIndex record(int depth) {
        enter(depth);
        if (!next('[')) fail("Invalid union to unmarshall");
        ++at;
        int32_t objectNumber = number();
        int32_t ordinal = number();
        int32_t fields = number();
        if (ordinal < 0 || fields < 0) fail("Invalid union to unmarshall");
        NodeIndex node = document.addRecord(ordinal);
        registerObject(objectNumber, node);
        const size_t first = pending.size();
        for (int32_t i = 0; i < fields; ++i) {
            NodeIndex child = element(depth + 1);
            pending.push_back(child);
        }
        if (!next(']')) fail("Invalid union to unmarshall");
        ++at;
        takeChildren(node, first);
        return node;
    }

    NodeIndex backReference() {
        int32_t objectNumber = number();
        if (objectNumber < 0 || static_cast<size_t>(objectNumber) >= objects.size())
            fail("Invalid circular structure");
        return objects[static_cast<size_t>(objectNumber)];
    }
};

// A new node of the kind, default in every other field, built in place.
ValueNode& addNode(ValueDocument& document, ValueKind kind) {
    ValueNode& node = document.nodes.emplace_back();
    node.kind = kind;
    return node;
}

NodeIndex lastNode(const ValueDocument& document) {
    return static_cast<NodeIndex>(document.nodes.size() - 1);
}

} // namespace

NodeIndex ValueDocument::addWhole(int32_t value) {
    addNode(*this, ValueKind::Whole).whole = value;
    return lastNode(*this);
}

NodeIndex ValueDocument::addReal(double value) {
    addNode(*this, ValueKind::Real).real = value;
    return lastNode(*this);
}

NodeIndex ValueDocument::addText(std::string value) {
    addNode(*this, ValueKind::Text).text = std::move(value);
    return lastNode(*this);
}

NodeIndex ValueDocument::addArray(int32_t room) {
    addNode(*this, ValueKind::Array).room = room;
    return lastNode(*this);
}

NodeIndex ValueDocument::addRecord(int32_t ordinal) {
    addNode(*this, ValueKind::Record).ordinal = ordinal;
    return lastNode(*this);
}

const ValueNode& ValueDocument::at(NodeIndex index) const {
    if (index >= nodes.size()) raiseError("Out of bounds error", errorCode::outOfBounds);
    return nodes[index];
}

void raiseValueTooLarge() {
    raiseError("Value too large to unmarshall", errorCode::invalidUnmarshall);
}

ValueDocument readValue(std::string_view text, int32_t key) {
    if (text.size() > maxValueText) raiseValueTooLarge();
    Reader reader;
    reader.text = text;
    reader.key = key;
    reader.document.nodes.reserve(text.size() / shortestElement);
    reader.document.root = reader.element(0);
    return std::move(reader.document);
}

std::string printableExcerpt(std::string_view text) {
    std::string excerpt(text.substr(0, excerptLength));
    for (char& c : excerpt) {
        auto byte = static_cast<unsigned char>(c);
        if (byte < 0x20 || byte >= 0x7f) c = '?';
    }
    return excerpt;
}

} // namespace dunvale
