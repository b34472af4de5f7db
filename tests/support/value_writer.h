#pragma once
// Writes a ValueDocument in the serialised value form. The game writes only
// sectors, through its own writer; tests and the fuzz target write any value
// with this, doctored documents and back-references included, to feed the
// readers.
#include "support/serial.h"

#include <string>

namespace dunvale::testing {

// The form of the value at `root`, every element tagged with `key`. Arrays
// and records get object numbers from 0 in the order their forms begin;
// meeting one again writes a back-reference. A document nested deeper than
// the reader takes raises.
std::string writeValue(const ValueDocument& document, NodeIndex root, int32_t key);
inline std::string writeValue(const ValueDocument& document, int32_t key) {
    return writeValue(document, document.root, key);
}

// Appends an element to an array or a field to a record.
void appendChild(ValueDocument& document, NodeIndex parent, NodeIndex child);

} // namespace dunvale::testing
