// Feeds arbitrary bytes to the sector store's reader, as a damaged or hostile
// file in the store directory would. The only acceptable failure is the
// game's own runtime error; anything read must also write and read back.
// The direct reading of sector files is checked against the general reader:
// what it takes must be the general reader's sector, and decodeSector must
// end as the general reader does, with the same sector or the same error.
// Sectors are compared by the text they write.
#include "rules/sector_codec.h"
#include "support/errors.h"
#include "support/serial.h"
#include "support/value_writer.h"

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <random>
#include <string>
#include <string_view>

namespace {

// What decoding gives: the sector, or the error's message and code.
struct Decoded {
    std::unique_ptr<dunvale::Sector> sector;
    std::string message;
    int32_t code = 0;
};

Decoded decode(std::unique_ptr<dunvale::Sector> (*reading)(std::string_view, int32_t),
               std::string_view text, int32_t key) {
    try {
        return {reading(text, key), {}, 0};
    } catch (const dunvale::RuntimeError& error) {
        return {nullptr, error.message, error.code};
    }
}

bool same(const std::unique_ptr<dunvale::Sector>& a, const std::unique_ptr<dunvale::Sector>& b) {
    if (!a || !b) return !a && !b;
    return dunvale::encodeSector(*a, 0) == dunvale::encodeSector(*b, 0);
}

void readAsSector(std::string_view text, int32_t key) {
    Decoded general = decode(dunvale::decodeSectorValue, text, key);
    std::unique_ptr<dunvale::Sector> direct = dunvale::decodeWrittenSector(text, key);
    if (direct && !same(direct, general.sector)) __builtin_trap();
    Decoded chosen = decode(dunvale::decodeSector, text, key);
    if (chosen.message != general.message || chosen.code != general.code ||
        !same(chosen.sector, general.sector))
        __builtin_trap();
    if (!general.sector) return;

    // Written again, it is read directly, and as the same sector.
    const std::string written = dunvale::encodeSector(*general.sector, key);
    if (written.size() > dunvale::maxValueText) return;
    if (!same(dunvale::decodeWrittenSector(written, key), general.sector)) __builtin_trap();
}

void readAsValue(std::string_view text, int32_t key) {
    dunvale::ValueDocument document;
    try {
        document = dunvale::readValue(text, key);
    } catch (const dunvale::RuntimeError&) {
        return;
    }
    std::string written = dunvale::testing::writeValue(document, key);
    if (written.size() > dunvale::maxValueText) return;
    try {
        dunvale::ValueDocument again = dunvale::readValue(written, key);
        if (dunvale::testing::writeValue(again, key) != written) __builtin_trap();
    } catch (const dunvale::RuntimeError&) {
        __builtin_trap();
    }
}

} // namespace

extern "C" size_t LLVMFuzzerMutate(uint8_t* data, size_t size, size_t maxSize);

// Numbers carry most of a sector file's meaning and the readers judge them at
// their limits, which changes of random bytes seldom hit: a third of the
// mutations put a telling number in place of one in the text.
extern "C" size_t LLVMFuzzerCustomMutator(uint8_t* data, size_t size, size_t maxSize,
                                          unsigned int seed) {
    // The edges of 32 bits, of squares and of each choice's ordinals, and
    // numbers the general reader takes in more than one way.
    static const char* const tellingNumbers[] = {
        "-2147483649", "-2147483648", "-1", "-0", "0",  "007", "1",          "3",         "4",
        "5",           "6",           "7",  "9",  "10", "20",  "2147483647", "2147483648"};
    std::minstd_rand draw(seed);
    const bool replace = draw() % 3 == 0;
    if (!replace || size == 0) return LLVMFuzzerMutate(data, size, maxSize);
    // The first bracketed number at or after a place drawn in the text.
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    const char* const numberCharacters = "-0123456789";
    size_t first = text.find_first_of(numberCharacters, draw() % size);
    while (first != std::string_view::npos && (first == 0 || text[first - 1] != '['))
        first = text.find_first_of(numberCharacters, first + 1);
    const size_t close =
        first == std::string_view::npos ? first : text.find_first_not_of(numberCharacters, first);
    if (close == std::string_view::npos || text[close] != ']')
        return LLVMFuzzerMutate(data, size, maxSize);
    const char* number = tellingNumbers[draw() % std::size(tellingNumbers)];
    const std::string changed =
        std::string(text.substr(0, first)) + number + std::string(text.substr(close));
    if (changed.size() > maxSize) return LLVMFuzzerMutate(data, size, maxSize);
    std::copy(changed.begin(), changed.end(), data);
    return changed.size();
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    std::string_view text(reinterpret_cast<const char*>(data), size);
    readAsSector(text, 0);
    readAsSector(text, 3);
    readAsValue(text, 0);
    return 0;
}
