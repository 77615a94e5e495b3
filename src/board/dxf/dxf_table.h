// A table (ACAD_TABLE) is drawn by its anonymous block (*T...), whose content is in the table's
// own frame: the block's origin at the table's insertion point (10, of its block reference), its
// x along the table's direction (11), its rows running down from there. A placement moves the
// point and turns the direction; a scale scales the lengths of its frame and its block.
#pragma once

#include <string>
#include <vector>

#include "board/dxf/dxf_record_roles.h"
#include "board/model/edit_step.h"

namespace pelimator::board::dxf_roles {

// The table's insertion point placed and its direction turned as a unit vector; no other group
// of the table is in the drawing's coordinates (a cell's point value, 11 inside its value, is
// data). The lengths of its own frame (margins, row heights, column widths, text heights, a block
// cell's scale) scale.
void TableRoles(const std::vector<DxfTag>& tags, const std::vector<Part>& parts,
                std::vector<Role>& roles);

// Why a table cannot take the placement (a factor not positive), a Japanese sentence naming it;
// "" when it can (what its file must hold for a scale: DxfTableScaleRefusal).
[[nodiscard]] std::string TableRefusal(const RecordPlacement& placement);

// Where a table stands: its insertion point (its top left corner), its direction and its size
// (the column widths' and the row heights' sums).
struct TableFrame {
    Vec2 insert;
    Vec2 direction{1.0, 0.0};
    double width = 0.0;
    double height = 0.0;
};

[[nodiscard]] TableFrame ReadTableFrame(const std::vector<DxfTag>& tags,
                                        const std::vector<Part>& parts);

// The placements as the table takes them: each mirror replaced by the turn and move that leave
// the table reading forwards over the mirror image of the area it covered (its block cannot be
// mirrored: its texts would read backwards). Of the mirrored direction and its reverse the one
// reading forwards (rightwards, or straight up) is its new direction; its insertion point the
// mirror image of the corner that becomes its top left (the bottom left for the mirrored
// direction, the top right for its reverse). frame: where the table stands before them.
[[nodiscard]] std::vector<RecordPlacement> TablePlacements(
    TableFrame frame, const std::vector<RecordPlacement>& placements);

}  // namespace pelimator::board::dxf_roles
