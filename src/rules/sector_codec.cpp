#include "rules/sector_codec.h"

#include "rules/sector_layout.h"
#include "support/serial.h"

#include <algorithm>
#include <array>
#include <iterator>
#include <optional>
#include <vector>

namespace dunvale {

namespace {

// ---- Sector to text --------------------------------------------------------

// A plain sector's text is about 8 KB; one reservation covers most.
constexpr size_t typicalSectorText = 12 << 10;
// The text is lengthened this much at a time, so that little more than what
// is written is ever filled ahead of the writing.
constexpr size_t textStep = 1 << 10;

bool isDigitValue(int32_t value) {
    return value >= 0 && value <= 9;
}

char digitChar(int32_t value) {
    return static_cast<char>('0' + value);
}

bool isDigit(char c) {
    return c >= '0' && c <= '9';
}

// Room as the game makes its lists: a fixed start, at least the length.
int32_t roomFor(size_t length, int32_t least) {
    return static_cast<int32_t>(std::max<size_t>(length, static_cast<size_t>(least)));
}

// "[key]" and the letter of an element's kind, with the "[" that opens an
// array or record: at most 15 bytes.
ShortText keyTag(int32_t key, std::string_view letters) {
    std::array<char, longestWhole> digits{};
    ShortText tag;
    tag.append("[");
    tag.append(
        {digits.data(), static_cast<size_t>(formatWhole(digits.data(), key) - digits.data())});
    tag.append("]");
    tag.append(letters);
    return tag;
}

// The three tags an element of a sector starts with.
struct SectorTags {
    ShortText whole, array, record;
    explicit SectorTags(int32_t key)
        : whole(keyTag(key, "I")), array(keyTag(key, "A[")), record(keyTag(key, "U[")) {}
};

// Writes a sector straight into the serialised value form, with the same
// bytes the general form gives for the sector's value: arrays and records
// are numbered in the order their forms begin, and nothing is shared, so no
// back-reference is ever written.
struct SectorWriter {
    SectorTags tags;
    std::string out;       // its size is the room written into so far
    char* at = nullptr;    // the next byte to write
    char* limit = nullptr; // the end of the room
    CountedNumber nextObject;
    // Cleared at a value a reader refuses: a square off the sector, an
    // unknown ordinal, a list longer than a reader takes.
    bool readsBack = true;

    // Every piece below writes at most a tag, an object number (both copied
    // as 16 bytes) and two numbers.
    static constexpr ptrdiff_t longestPiece = 16 + 16 + 2 * (longestWhole + 2) + 1;

    explicit SectorWriter(int32_t key) : tags(key) {
        out.reserve(typicalSectorText);
        lengthen();
    }

    void lengthen() {
        const size_t used = at == nullptr ? 0 : static_cast<size_t>(at - out.data());
        out.resize(out.size() + textStep);
        at = out.data() + used;
        limit = out.data() + out.size();
    }

    // Room for one piece, then its tag.
    void tag(const ShortText& tag) {
        if (limit - at < longestPiece) lengthen();
        at = tag.writeAt(at);
    }

    void objectNumber() {
        at = nextObject.text.writeAt(at);
        nextObject.countUp();
    }

    void bracketed(int32_t number) {
        *at++ = '[';
        at = formatWhole(at, number);
        *at++ = ']';
    }

    // Ordinals and counts of fields are digits in a sector: "[0][4]" is
    // written in one step.
    void recordHead(int32_t ordinal, int32_t fields) {
        tag(tags.record);
        objectNumber();
        if (isDigitValue(ordinal) && isDigitValue(fields)) {
            const char pair[] = {'[', digitChar(ordinal), ']', '[', digitChar(fields), ']'};
            at = std::copy(std::begin(pair), std::end(pair), at);
            return;
        }
        bracketed(ordinal);
        bracketed(fields);
    }

    void beginArray(int32_t size) {
        tag(tags.array);
        objectNumber();
        bracketed(size);
    }

    // A piece of its own: the room for it was made by the last tag or is
    // made here.
    void end() {
        if (at == limit) lengthen();
        *at++ = ']';
    }

    std::string take() {
        out.resize(static_cast<size_t>(at - out.data()));
        return std::move(out);
    }

    // The form sector_layout.h describes a sector in.

    template <typename Body> void record(int32_t fields, Body&& body) {
        recordHead(0, fields);
        body();
        end();
    }

    void whole(int32_t value) {
        tag(tags.whole);
        bracketed(value);
    }
    void square(int32_t value) {
        if (value < 0 || value >= sectorSize) readsBack = false;
        whole(value);
    }

    template <typename Enum> void choice(Enum value, int32_t count) {
        const auto ordinal = static_cast<int32_t>(value);
        if (ordinal < 0 || ordinal >= count) readsBack = false;
        recordHead(ordinal, 0);
        *at++ = ']';
    }

    template <typename T, typename Body> void optional(const std::optional<T>& value, Body&& body) {
        if (!value) {
            recordHead(0, 0);
        } else {
            recordHead(1, 1);
            body(*value);
        }
        end();
    }

    template <typename T, size_t N, typename Body>
    void fixedArray(const std::array<T, N>& values, Body&& body) {
        beginArray(static_cast<int32_t>(N));
        for (const T& value : values)
            body(value);
        end();
    }

    template <typename T, typename Body>
    void list(const std::vector<T>& values, int32_t room, size_t most, Body&& body) {
        if (values.size() > most) readsBack = false;
        beginArray(roomFor(values.size(), room));
        for (const T& value : values)
            body(value);
        end();
    }
};

// ---- Written text to sector ------------------------------------------------

// Records and arrays nest seven deep in a sector, well within the general
// reader's bound, so the direct reader needs no depth check of its own.
static_assert(maxValueDepth >= 7);

// Reads the text SectorWriter writes straight into a Sector, element by
// element in the writer's order, without building a ValueDocument. At the
// first thing the writer would not have written it gives up, and the general
// reader decides instead; so it reads nothing the general reader would not
// read as the same sector, and every error stays the general reader's.
struct WrittenSectorReader {
    const char* at;         // the next byte to read
    const char* const last; // past the text
    SectorTags tags;        // the only way the writer writes the key
    CountedNumber nextObject;
    bool gaveUp = false;

    WrittenSectorReader(std::string_view text, int32_t key)
        : at(text.data()), last(text.data() + text.size()), tags(key) {}

    // Nothing more is read: every later step fails at once and every loop
    // over elements ends.
    void giveUp() {
        gaveUp = true;
        at = last;
    }

    bool next(char c) const { return at != last && *at == c; }

    void expect(char c) {
        if (next(c))
            ++at;
        else
            giveUp();
    }

    // Taken as the general reader takes it, with the same value.
    int32_t number() {
        const ScannedNumber scanned = scanBracketedNumber(at, last);
        if (!scanned.read) {
            giveUp();
            return 0;
        }
        at = scanned.stop;
        return scanned.value;
    }

    // As written, in one comparison where 16 bytes are left to read.
    bool read(const ShortText& text) {
        if (last - at >= static_cast<ptrdiff_t>(text.bytes.size())) {
            if (!text.startsAt(at)) return false;
        } else if (static_cast<size_t>(last - at) < text.length ||
                   !std::equal(at, at + text.length, text.bytes.begin())) {
            return false;
        }
        at += text.length;
        return true;
    }

    void tag(const ShortText& tag) {
        if (!read(tag)) giveUp();
    }

    // Arrays and records are numbered in the order their forms begin; a
    // number written otherwise ("[007]") is read as a number.
    void objectNumber() {
        if (!read(nextObject.text) && number() != nextObject.value) giveUp();
        nextObject.countUp();
    }

    struct RecordHead {
        int32_t ordinal = 0;
        int32_t fields = 0;
    };

    // "[0][4]" as the writer writes it is read in one step.
    RecordHead beginRecord() {
        tag(tags.record);
        objectNumber();
        RecordHead head;
        if (last - at >= 6 && at[0] == '[' && isDigit(at[1]) && at[2] == ']' && at[3] == '[' &&
            isDigit(at[4]) && at[5] == ']') {
            head.ordinal = at[1] - '0';
            head.fields = at[4] - '0';
            at += 6;
            return head;
        }
        head.ordinal = number();
        head.fields = number();
        return head;
    }

    // The room written ahead of the elements reserves nothing here: it is
    // only read, and refused when negative, as the general reader does.
    void beginArray() {
        tag(tags.array);
        objectNumber();
        if (number() < 0) giveUp();
    }

    void end() { expect(']'); }

    // The form sector_layout.h describes a sector in.

    template <typename Body> void record(int32_t fields, Body&& body) {
        RecordHead head = beginRecord();
        if (head.ordinal != 0 || head.fields != fields) giveUp();
        body();
        end();
    }

    void whole(int32_t& value) {
        tag(tags.whole);
        value = number();
    }

    void square(int32_t& value) {
        whole(value);
        if (value < 0 || value >= sectorSize) giveUp();
    }

    template <typename Enum> void choice(Enum& value, int32_t count) {
        RecordHead head = beginRecord();
        if (head.ordinal < 0 || head.ordinal >= count || head.fields != 0) giveUp();
        end();
        value = static_cast<Enum>(head.ordinal);
    }

    template <typename T, typename Body> void optional(std::optional<T>& value, Body&& body) {
        RecordHead head = beginRecord();
        if (head.ordinal == 0 && head.fields == 0) {
            value.reset();
        } else {
            if (head.ordinal != 1 || head.fields != 1) giveUp();
            body(value.emplace());
        }
        end();
    }

    template <typename T, size_t N, typename Body>
    void fixedArray(std::array<T, N>& values, Body&& body) {
        beginArray();
        for (T& value : values)
            body(value);
        end();
    }

    // Elements follow until the array's "]"; a list already `most` long
    // takes no more.
    template <typename T, typename Body>
    void list(std::vector<T>& values, int32_t /*room*/, size_t most, Body&& body) {
        beginArray();
        while (!gaveUp && !next(']')) {
            if (values.size() >= most) {
                giveUp();
                break;
            }
            body(values.emplace_back());
        }
        end();
    }
};

} // namespace

// Flattened: the layout's many small steps are then one loop over the text.
[[gnu::flatten]] WrittenSector writeSector(const Sector& sector, int32_t key) {
    SectorWriter writer(key);
    layout(writer, sector);
    return WrittenSector{writer.take(), writer.readsBack};
}

std::string encodeSector(const Sector& sector, int32_t key) {
    return writeSector(sector, key).text;
}

std::unique_ptr<Sector> decodeSector(std::string_view text, int32_t key) {
    if (std::unique_ptr<Sector> sector = decodeWrittenSector(text, key)) return sector;
    return decodeSectorValue(text, key);
}

[[gnu::flatten]] std::unique_ptr<Sector> decodeWrittenSector(std::string_view text, int32_t key) {
    // The general reader refuses an oversized text before reading any of it.
    if (text.size() > maxValueText) return nullptr;
    WrittenSectorReader reader(text, key);
    auto sector = std::make_unique<Sector>();
    // Like readValue, stops after the one value: text after it is not read.
    layout(reader, *sector);
    if (reader.gaveUp) return nullptr;
    return sector;
}

} // namespace dunvale
