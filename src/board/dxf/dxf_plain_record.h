// A record whose placement needs nothing but its type and extrusion: found from its group codes
// alone, without reading every value of it again.
#pragma once

#include <cstddef>

#include "board/dxf/dxf_source.h"

namespace pelimator::board {

// Whether the record is a LINE, ARC or CIRCLE of the file's text form with its extrusion along
// Z and nothing but its own groups (no application group, embedded object or extended data):
// such a record can be placed. Reads the group codes and the extrusion only. Every tag of the
// record was checked by the reader when the file was opened, and an edit refuses a file another
// program has rewritten since, so nothing else of it can be refused. False: ask the whole check.
[[nodiscard]] bool PlainlyPlaceable(const DxfSource& source, std::size_t record);

}  // namespace pelimator::board
