#include "rules/sector_codec.h"
#include "support/errors.h"
#include "support/serial.h"
#include "support/value_writer.h"
#include "test_support.h"

#include <gtest/gtest.h>

#include <climits>
#include <functional>
#include <string>
#include <vector>

namespace dunvale {
namespace {

using testing::Raised;
using testing::raisedBy;
using testing::richSector;
using testing::writeValue;

// Read back, a sector every field of which differs from its starting value
// writes the same text again: no field is left unread.
TEST(SectorCodec, EveryFieldRoundTrips) {
    auto rich = richSector();
    for (int32_t key : {0, 1, -4, INT32_MIN}) {
        const std::string text = encodeSector(*rich, key);
        EXPECT_EQ(encodeSector(*decodeSector(text, key), key), text) << key;
    }
    Sector plain;
    const std::string text = encodeSector(plain, 3);
    auto back = decodeSector(text, 3);
    EXPECT_EQ(encodeSector(*back, 3), text);
    EXPECT_FALSE(back->upLink);
    EXPECT_NE(encodeSector(*rich, 3), text);
}

// The layout worked out by hand from the form: the Sector record is object
// 0, the grid 1, each column and then each Cell, its Terrain and its list of
// entries are numbered as their forms begin; 312 objects precede the list
// of creatures.
TEST(SectorCodec, FileLayout) {
    auto sector = testing::filledSector(Terrain::Wall, SectorKind::Maze);
    sector->cells[0][0].terrain = Terrain::Floor;
    const std::string text = encodeSector(*sector, 5);
    const std::string head = "[5]U[[0][0][7][5]A[[1][10][5]A[[2][10]"
                             "[5]U[[3][0][4][5]U[[4][1][0]][5]I[-1][5]I[0][5]A[[5][5]]]"
                             "[5]U[[6][0][4][5]U[[7][0][0]][5]I[-1][5]I[0][5]A[[8][5]]]";
    EXPECT_EQ(text.substr(0, head.size()), head);
    const std::string tail = "[5]I[0][5]A[[312][20]][5]U[[313][1][0]][5]U[[314][0][0]]"
                             "[5]U[[315][0][0]][5]A[[316][5]]]";
    ASSERT_GE(text.size(), tail.size());
    EXPECT_EQ(text.substr(text.size() - tail.size()), tail);

    // A present link is ordinal 1 holding a StairLink record.
    sector->upLink = StairLink{Direction::West, 4, 6};
    EXPECT_NE(encodeSector(*sector, 5)
                  .find("[5]U[[314][1][1][5]U[[315][0][3][5]U[[316][2][0]]"
                        "[5]I[4][5]I[6]]]"),
              std::string::npos);
}

// Decodes the sector's form after `change` has been made to its document.
template <typename Change> Raised decodeChanged(const Sector& sector, Change change) {
    ValueDocument document = readValue(encodeSector(sector, 0), 0);
    change(document);
    const std::string text = writeValue(document, 0);
    return raisedBy([&] { decodeSector(text, 0); });
}

TEST(SectorCodec, DecodingChecksEveryShape) {
    auto rich = richSector();
    // Field order of the Sector record.
    enum { cells, visited, creatures, kind, upLink, downLink, items };
    using Doc = ValueDocument;
    auto root = [](Doc& d) -> ValueNode& { return d.nodes[d.root]; };
    auto field = [&](Doc& d, size_t i) -> ValueNode& { return d.nodes[root(d).children[i]]; };
    auto child = [](Doc& d, ValueNode& n, size_t i) -> ValueNode& {
        return d.nodes[n.children[i]];
    };
    auto firstCell = [&](Doc& d) -> ValueNode& {
        return child(d, child(d, field(d, cells), 0), 0);
    };
    std::vector<std::pair<std::string, std::function<void(Doc&)>>> changes = {
        {"sector ordinal", [&](Doc& d) { root(d).ordinal = 1; }},
        {"sector fields", [&](Doc& d) { root(d).children.pop_back(); }},
        {"sector is an array", [&](Doc& d) { root(d).kind = ValueKind::Array; }},
        {"nine columns", [&](Doc& d) { field(d, cells).children.pop_back(); }},
        {"eleven cells",
         [&](Doc& d) {
             ValueNode& column = child(d, field(d, cells), 0);
             column.children.push_back(column.children.back());
         }},
        {"cell fields", [&](Doc& d) { firstCell(d).children.pop_back(); }},
        {"terrain 6", [&](Doc& d) { child(d, firstCell(d), 0).ordinal = 6; }},
        {"terrain with a field",
         [&](Doc& d) { child(d, firstCell(d), 0).children.push_back(d.root); }},
        {"last seen as text",
         [&](Doc& d) {
             ValueNode& n = child(d, firstCell(d), 1);
             n.kind = ValueKind::Text;
         }},
        {"visited as a real", [&](Doc& d) { field(d, visited).kind = ValueKind::Real; }},
        {"creature kind 7",
         [&](Doc& d) { child(d, child(d, field(d, creatures), 0), 5).ordinal = 7; }},
        {"creature x 10",
         [&](Doc& d) {
             ValueNode& position = child(d, child(d, field(d, creatures), 0), 1);
             child(d, position, 1).whole = 10;
         }},
        {"sector kind 7", [&](Doc& d) { field(d, kind).ordinal = 7; }},
        {"link ordinal 2", [&](Doc& d) { field(d, upLink).ordinal = 2; }},
        {"present link without field", [&](Doc& d) { field(d, upLink).children.clear(); }},
        {"absent link with field", [&](Doc& d) { field(d, downLink).ordinal = 0; }},
        {"link direction 4",
         [&](Doc& d) { child(d, child(d, field(d, upLink), 0), 0).ordinal = 4; }},
        {"link y -1", [&](Doc& d) { child(d, child(d, field(d, downLink), 0), 2).whole = -1; }},
        {"item class 5",
         [&](Doc& d) {
             ValueNode& item = child(d, child(d, field(d, items), 0), 0);
             child(d, item, 0).ordinal = 5;
         }},
        {"item y 10", [&](Doc& d) { child(d, child(d, field(d, items), 2), 2).whole = 10; }},
        {"items not an array", [&](Doc& d) { field(d, items).kind = ValueKind::Record; }},
        // A cycle fits no shape of the Sector and cannot send reading round.
        {"grid holds itself",
         [&](Doc& d) {
             NodeIndex grid = root(d).children[cells];
             d.nodes[grid].children[0] = grid;
         }},
    };
    for (auto& [name, change] : changes) {
        Raised failure = decodeChanged(*rich, change);
        EXPECT_EQ(failure.message, "Invalid value to unmarshall") << name;
        EXPECT_EQ(failure.code, 254) << name;
    }
}

// Back-references could make a small file stand for a huge sector; reading
// never expands a file beyond the values it holds.
TEST(SectorCodec, SharedPartsCannotExpandAFile) {
    Sector sector;
    ValueDocument document = readValue(encodeSector(sector, 0), 0);
    ValueNode& grid = document.nodes[document.nodes[document.root].children[0]];
    NodeIndex firstColumn = grid.children[0];
    for (NodeIndex& column : grid.children)
        column = firstColumn;
    const std::string text = writeValue(document, 0);
    EXPECT_LT(text.size(), 1000u); // one column written, nine back-references
    Raised failure = raisedBy([&] { decodeSector(text, 0); });
    EXPECT_EQ(failure.message, "Invalid value to unmarshall");

    // Smoke on every square, each list the same thousand entries.
    Sector smoky;
    smoky.cells[0][0].entries.assign(1000, TempEntry{TempKind::Smoke, 5});
    ValueDocument many = readValue(encodeSector(smoky, 0), 0);
    NodeIndex sharedEntries = 0;
    for (ValueNode& node : many.nodes)
        if (node.kind == ValueKind::Array && node.children.size() == 1000)
            sharedEntries = static_cast<NodeIndex>(&node - many.nodes.data());
    for (ValueNode& node : many.nodes)
        if (node.kind == ValueKind::Record && node.children.size() == 4)
            node.children[3] = sharedEntries;
    EXPECT_EQ(raisedBy([&] { decodeSector(writeValue(many, 0), 0); }).message,
              "Invalid value to unmarshall");
}

TEST(SectorCodec, EveryTruncatedFileRaises) {
    auto rich = richSector();
    const std::string text = encodeSector(*rich, 7);
    // Every cut in the first Cells and in everything after the grid; the
    // repetitive middle of the grid is sampled.
    const size_t tail = text.size() - 1000;
    for (size_t length = 0; length < text.size();
         length += (length < 300 || length > tail) ? 1 : 11) {
        Raised failure = raisedBy([&] { decodeSector(text.substr(0, length), 7); });
        EXPECT_EQ(failure.code, 254) << length;
    }
}

// What a reading gives: the sector's text written again (key 0), or the
// error it raises.
Raised decoded(std::unique_ptr<Sector> (*reading)(std::string_view, int32_t),
               const std::string& text) {
    try {
        return {encodeSector(*reading(text, 7), 0), 0};
    } catch (const RuntimeError& error) {
        return {error.message, error.code};
    }
}

// The direct reading takes the text encodeSector writes; for everything else
// decodeSector reads or refuses exactly as the general reader does.
TEST(SectorCodec, DirectReadingAgreesWithTheGeneralReader) {
    auto rich = richSector();
    const std::string text = encodeSector(*rich, 7);
    auto changed = [&](const std::string& from, const std::string& to) {
        std::string result = text;
        const size_t at = result.find(from);
        EXPECT_NE(at, std::string::npos) << from;
        return at == std::string::npos ? result : result.replace(at, from.size(), to);
    };
    // The first Cell is object 3, its Terrain 4 and its list of entries 5.
    struct Case {
        std::string name;
        std::string text;
        bool direct; // taken by the direct reading
    };
    const Case cases[] = {
        {"as written", text, true},
        {"another key", encodeSector(*rich, 8), false},
        {"key with a leading zero", "[07]" + text.substr(3), false},
        {"leading zeros", changed("[7]I[-1]", "[7]I[-001]"), true},
        {"minus zero", changed("[7]I[0]", "[7]I[-0]"), true},
        {"over 32 bits", changed("[7]I[-1]", "[7]I[2147483648]"), false},
        {"room for every creature", changed("][20][7]U[", "][2147483647][7]U["), true},
        {"negative room", changed("A[[5][5]]", "A[[5][-1]]"), false},
        {"back-reference", changed("[7]A[[5][5]]", "[7]C[4]"), false},
        {"a field short", changed("U[[3][0][4]", "U[[3][0][3]"), false},
        {"link a field short", changed("][1][1][7]U[", "][1][2][7]U["), false},
        {"terrain 6", changed("U[[4][0][0]]", "U[[4][6][0]]"), false},
        {"a real", changed("[7]I[0]", "[7]R[0]"), false},
        {"trailing byte", text + "]", true},
        {"truncated", text.substr(0, text.size() - 1), false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(decodeWrittenSector(c.text, 7) != nullptr, c.direct);
        EXPECT_EQ(decoded(decodeSector, c.text), decoded(decodeSectorValue, c.text));
    }
}

} // namespace
} // namespace dunvale
