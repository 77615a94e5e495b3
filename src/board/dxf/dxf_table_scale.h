// A table (ACAD_TABLE) scaled: its sizes are lengths of its own frame, and the texts that take
// their height from the table style are given that height scaled as an override of their own.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include "board/dxf/dxf_record_roles.h"
#include "board/dxf/dxf_source.h"
#include "board/model/edit_step.h"

namespace pelimator::board {

// Why the table cannot be scaled by factor, a Japanese sentence; "" when it can (or factor is 1).
[[nodiscard]] std::string DxfTableScaleRefusal(const DxfSource& source, std::size_t record,
                                               double factor);

// The placement a table's *T block takes from the table's: their scale about the block's origin
// (its content is in the table's frame); empty when they do not scale.
[[nodiscard]] std::vector<RecordPlacement> DxfTableBlockPlacements(
    const std::vector<RecordPlacement>& placements);

// The records of the table's block rewritten for the placements' scale (about the block's
// origin): each one's first record, one past its last, and its bytes; empty when they do not
// scale or the file lacks the block.
struct DxfRewrittenRecords {
    std::size_t first = 0;
    std::size_t end = 0;
    std::string bytes;
};

[[nodiscard]] std::vector<DxfRewrittenRecords> DxfScaledTableBlock(
    const DxfSource& source, std::size_t record, const std::vector<RecordPlacement>& placements);

// What a scale adds to the table's groups beside scaling its lengths (their roles).
struct DxfTableScaleEdits {
    // A cell's text height (140) written before tag first: the height it took from the table or
    // its style, scaled.
    std::vector<std::pair<std::size_t, double>> heights;
    // The cells' override flags (91, or 177 before AutoCAD 2007's form) that gain the text
    // height's bit.
    std::vector<std::size_t> flags;
    // The table's margins (40, 41) written before tag marginsAt, scaled from the style's, when
    // the table does not override them; its override flags (93) at tableFlagsAt then say so.
    std::size_t marginsAt = dxf_roles::kNone;
    std::array<double, 2> margins{};
    std::size_t tableFlagsAt = dxf_roles::kNone;
    std::int64_t tableFlags = 0;
};

[[nodiscard]] DxfTableScaleEdits DxfTableScaleEditsOf(const DxfSource& source,
                                                      const std::vector<DxfTag>& tags,
                                                      const std::vector<dxf_roles::Part>& parts,
                                                      double factor);

}  // namespace pelimator::board
