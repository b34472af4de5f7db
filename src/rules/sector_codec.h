#pragma once
// A Sector in the serialised value form, and back, as sector_layout.h
// describes it. Reading takes untrusted bytes: anything malformed raises one
// of the unmarshalling errors.
#include "world/sector.h"

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

namespace dunvale {

std::string encodeSector(const Sector& sector, int32_t key);

// The text encodeSector writes, and whether decodeSector reads it back as
// this very sector: it does unless some value lies outside what a reader
// accepts (a square off the sector, an unknown ordinal, too long a list).
struct WrittenSector {
    std::string text;
    bool readsBack = true;
};
WrittenSector writeSector(const Sector& sector, int32_t key);

// Text as encodeSector writes it is read directly into the sector; any other
// text goes through the general reader, which gives the same sector or
// raises, as it always has.
std::unique_ptr<Sector> decodeSector(std::string_view text, int32_t key);

// The two readings decodeSector chooses between, so that they can be
// checked against each other. The direct reading is null where it gives up:
// it takes every text encodeSector writes, and nothing the general reading
// reads otherwise. The general reading parses any value (readValue) and then
// checks every shape.
std::unique_ptr<Sector> decodeWrittenSector(std::string_view text, int32_t key);
std::unique_ptr<Sector> decodeSectorValue(std::string_view text, int32_t key);

} // namespace dunvale
