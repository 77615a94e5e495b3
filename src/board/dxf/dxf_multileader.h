// A multileader's geometry lives in the context data it embeds (300 CONTEXT_DATA{ to 301 }): its
// content, its plane and its leaders (302 LEADER{ ... 303 }), each with its lines (304
// LEADER_LINE{ ... 305 }). The same group code is a point in one of these sections and a
// vector, a length or a flag in another: the roles here follow the section a group sits in.
#pragma once

#include <string>
#include <vector>

#include "board/dxf/dxf_record_roles.h"
#include "board/model/edit_step.h"

namespace pelimator::board::dxf_roles {

// The roles of a multileader's own groups (its context data included): points placed, the
// content's and the plane's directions and the doglegs' turned, the sizes the context keeps
// scaled (text height, arrowheads, landing gap, dogleg lengths, the overall scale) scaled. A
// mirror turns the plane over (its reversed normal flag) and the text's with it (its normal's z
// negated, its rotation given in that plane), as ezdxf does. The entity's own dogleg length and
// arrowhead size (41, 42) are the style's sizes before the overall scale (45), which scales
// them: they stay.
void MultiLeaderRoles(const std::vector<DxfTag>& tags, const std::vector<Part>& parts,
                      std::vector<Role>& roles);

// Why the multileader cannot be placed exactly, a Japanese sentence naming it; "" when it can.
[[nodiscard]] std::string MultiLeaderRefusal(const std::vector<DxfTag>& tags,
                                             const std::vector<Part>& parts);

// A table (ACAD_TABLE) is drawn by its anonymous block (*T...), whose content is in the table's
// own frame: its insertion point (10, of its block reference) is where the block's origin goes.
// A move places that point alone; its direction (11), row heights, column widths and cells stay.
void TableRoles(const std::vector<DxfTag>& tags, const std::vector<Part>& parts,
                std::vector<Role>& roles);

// Why a table cannot take the placement (a turn, a mirror or a scale: its block and cell sizes
// would have to be drawn anew), a Japanese sentence naming it; "" for a move.
[[nodiscard]] std::string TableRefusal(const RecordPlacement& placement);

}  // namespace pelimator::board::dxf_roles
