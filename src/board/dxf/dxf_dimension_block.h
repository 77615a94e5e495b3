// A dimension's anonymous block (*D...): the records that draw it, placed with the dimension.
// Its content is in the drawing's coordinates when the dimension names no block point (12), so
// a placed dimension places that content by the same placements.
#pragma once

#include <cstddef>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "board/dxf/dxf_source.h"

namespace pelimator::board {

struct DxfBlockUse {
    std::size_t block = 0;  // its BLOCK record (0: no such block)
    std::size_t end = 0;    // its ENDBLK record
    std::size_t uses = 0;   // records that name it (dimensions and inserts)
    bool baseAtOrigin = true;
};

// The file's blocks by upper-case name.
struct DxfBlockIndex {
    std::unordered_map<std::string, DxfBlockUse> blocks;
};

// The file's blocks read from its records (DxfSource::blockIndex).
[[nodiscard]] std::shared_ptr<const DxfBlockIndex> ReadDxfBlockIndex(const DxfSource& source);

// The first record of every entity of the dimension's block (each with its followers up to
// DxfRecordEnd); empty when the record is no dimension or its block is missing.
[[nodiscard]] std::vector<std::size_t> DxfDimensionContent(const DxfSource& source,
                                                           std::size_t record);

// A dimension drawn by a *D block of its own: DIMENSION, ARC_DIMENSION.
[[nodiscard]] bool IsDxfDimensionType(std::string_view type) noexcept;

// The dimension's block; nullopt when the record is no dimension or the file lacks its block.
[[nodiscard]] std::optional<DxfBlockUse> DxfDimensionBlock(const DxfSource& source,
                                                           std::size_t record);

// The table's (ACAD_TABLE's) block, drawn in the table's own frame; nullopt when the record is no
// table or the file lacks its block.
[[nodiscard]] std::optional<DxfBlockUse> DxfTableBlock(const DxfSource& source, std::size_t record);

// Why the dimension cannot be placed with its block, as a Japanese sentence; "" when it can.
[[nodiscard]] std::string DxfDimensionRefusal(const DxfSource& source, std::size_t record);

}  // namespace pelimator::board
