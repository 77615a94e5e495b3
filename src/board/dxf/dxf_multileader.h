// A multileader's geometry lives in the context data it embeds (300 CONTEXT_DATA{ to 301 }): its
// content, its plane and its leaders (302 LEADER{ ... 303 }), each with its lines (304
// LEADER_LINE{ ... 305 }). The same group code is a point in one of these sections and a
// vector, a length or a flag in another: the roles here follow the section a group sits in.
#pragma once

#include <cstdint>
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

// What a multileader draws, read from its context data by section (in the drawing's coordinates).
struct MultiLeaderLeader {
    Vec2 point;             // where its lines end: the landing's start (10)
    Vec2 dogleg{1.0, 0.0};  // the landing's direction (11), when it has one
    bool hasDogleg = false;
    double doglegLength = 0.0;
    bool horizontal = true;  // its text attaches at a side (271 = 0), not at the top or bottom
    std::vector<std::vector<Vec2>> lines;  // each line's vertices from its arrowhead on
};

struct MultiLeaderShape {
    bool closed = false;  // the context data was read to its end
    double arrowSize = 0.0;
    double textHeight = 0.0;
    std::int64_t leaderType = 1;  // 0 none, 1 straight lines, 2 a curve
    bool landing = true;          // the leaders end in their doglegs (291)
    bool hasText = false;
    std::string text;  // the multiline text's content (304, as written)
    Vec2 textAt;
    Vec2 textDirection{1.0, 0.0};
    double textWidth = 0.0;
    double lineSpacing = 1.0;
    std::int64_t alignment = 1;  // 1 left, 2 centre, 3 right, the text's top at textAt
    bool textFrame = false;      // a frame runs around the text (292)
    double landingGap = 0.0;     // between the text and its frame or leaders (145)
    // How leaders attach at the text's left and right (173, 95): 5, 6 and 8 underline it.
    std::int64_t leftAttachment = 1;
    std::int64_t rightAttachment = 1;
    bool hasBlock = false;
    std::string blockRecord;  // the handle of its block's record (341)
    Vec2 blockAt;
    Vec2 blockScale{1.0, 1.0};
    double blockRotation = 0.0;  // radians
    std::vector<MultiLeaderLeader> leaders;
};

[[nodiscard]] MultiLeaderShape ReadMultiLeader(const std::vector<DxfTag>& tags,
                                               const std::vector<Part>& parts);

// Why the multileader cannot be placed exactly, a Japanese sentence naming it; "" when it can.
[[nodiscard]] std::string MultiLeaderRefusal(const std::vector<DxfTag>& tags,
                                             const std::vector<Part>& parts);

}  // namespace pelimator::board::dxf_roles
