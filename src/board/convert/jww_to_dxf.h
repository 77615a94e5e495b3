// Jw_cad drawings written as DXF drawings at real size: every entity of the JWW with its layer,
// pen colour, line type and width, texts with their fonts, blocks and dimensions.
#pragma once

#include <cstddef>
#include <map>
#include <string>
#include <vector>

#include "board/jww/jww_file.h"
#include "board/model/drawing_content.h"

namespace pelimator::board {

// What a conversion wrote: model-space entities by DXF type, block definitions, and what the DXF
// cannot hold, one Japanese sentence per item (empty for a typical drawing).
struct JwwDxfReport {
    std::map<std::string, std::size_t> written;
    std::size_t blocks = 0;
    std::vector<std::string> losses;
};

// The JWW drawing read (with its entity list and blocks: JwwReadResult::shapes, blocks and the
// board's lines and arcs) as an AutoCAD 2007 DXF (AC1021, UTF-8) in millimetres of real size:
// each layer group's paper millimetres times its scale.
[[nodiscard]] std::string JwwAsDxfBytes(const JwwReadResult& read, JwwDxfReport* report = nullptr);

// The drawing opened from source as the board holds it (state: its edits and what was drawn)
// as such a DXF: the edited JWW the board would save, converted.
[[nodiscard]] std::string JwwStateAsDxfBytes(const JwwSource& source, const DrawingState& state,
                                             JwwDxfReport* report = nullptr);

// What that conversion cannot hold (JwwDxfReport::losses).
[[nodiscard]] std::vector<std::string> JwwAsDxfLosses(const JwwSource& source,
                                                      const DrawingState& state);

// Writes JwwStateAsDxfBytes to path atomically; FileError when it cannot be written (nothing is
// written then).
void WriteJwwAsDxf(const std::string& path, const JwwSource& source, const DrawingState& state);

}  // namespace pelimator::board
