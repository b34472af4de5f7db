// Feeds arbitrary bytes to the sector store's reader, as a damaged or hostile
// file in the store directory would. The only acceptable failure is the
// game's own runtime error; anything read must also write and read back.
#include "labyrinth/sector.h"
#include "labyrinth/store.h"
#include "support/errors.h"
#include "support/serial.h"

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

namespace {

void readAsSector(std::string_view text, int32_t key) {
    std::unique_ptr<dunvale::Sector> sector;
    try {
        sector = dunvale::decodeSector(text, key);
    } catch (const dunvale::RuntimeError&) {
        return;
    }
    std::unique_ptr<dunvale::Sector> again;
    try {
        again = dunvale::decodeSector(dunvale::encodeSector(*sector, key), key);
    } catch (const dunvale::RuntimeError&) {
        __builtin_trap();
    }
    if (!dunvale::sameSector(*sector, *again)) __builtin_trap();
}

void readAsValue(std::string_view text, int32_t key) {
    dunvale::ValueDocument document;
    try {
        document = dunvale::readValue(text, key);
    } catch (const dunvale::RuntimeError&) {
        return;
    }
    std::string written = dunvale::writeValue(document, key);
    if (written.size() > dunvale::maxValueText) return;
    try {
        dunvale::ValueDocument again = dunvale::readValue(written, key);
        if (dunvale::writeValue(again, key) != written) __builtin_trap();
    } catch (const dunvale::RuntimeError&) {
        __builtin_trap();
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    std::string_view text(reinterpret_cast<const char*>(data), size);
    readAsSector(text, 0);
    readAsSector(text, 3);
    readAsValue(text, 0);
    return 0;
}
