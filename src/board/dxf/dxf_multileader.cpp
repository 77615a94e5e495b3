// The groups of a multileader's context data by the section they sit in.
#include "board/dxf/dxf_multileader.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstddef>
#include <string_view>

#include "board/dxf/dxf_names.h"

namespace pelimator::board::dxf_roles {

namespace {

enum class Section : std::uint8_t {
    Own,      // the entity's own groups, before and after its context data
    Context,  // the context's own: its scale, content base point, sizes and plane
    Text,     // its multiline text content (after 290 = 1)
    Block,    // its block content (after 296 = 1)
    Leader,   // a leader: its connection point, dogleg and breaks
    Line,     // a leader's line: its vertices and breaks
};

// The groups a text or a block content holds (its points' and vectors' y and z included); the
// first group of another code ends it.
constexpr std::array<int, 31> kTextCodes{304, 11,  21,  31,  340, 12,  22,  32,  13, 23,  33,
                                         42,  43,  44,  45,  170, 90,  171, 172, 91, 141, 92,
                                         291, 292, 173, 293, 142, 143, 294, 144, 295};
constexpr std::array<int, 13> kBlockCodes{341, 14, 24, 34, 15, 25, 35, 16, 26, 36, 46, 93, 47};

bool Holds(const auto& codes, int code) { return std::ranges::find(codes, code) != codes.end(); }

bool Opens(const DxfTag& tag, int code, std::string_view name) {
    return tag.code == code && TrimDxf(tag.value) == name;
}

struct Sections {
    std::vector<Section> of;
    bool closed = false;  // the context data ends (301) where it should
    bool blockContent = false;
};

// The section of every tag; a marker that opens a section belongs to the one around it.
Sections SectionsOf(const std::vector<DxfTag>& tags, const std::vector<Part>& parts) {
    Sections out;
    out.of.assign(tags.size(), Section::Own);
    Section at = Section::Own;
    bool seen = false;  // the context data was opened
    for (std::size_t i = 0; i < tags.size(); ++i) {
        if (parts[i] != Part::Own) continue;
        const DxfTag& tag = tags[i];
        if ((at == Section::Text && !Holds(kTextCodes, tag.code)) ||
            (at == Section::Block && !Holds(kBlockCodes, tag.code))) {
            at = Section::Context;
        }
        out.of[i] = at;
        switch (at) {
            case Section::Own:
                if (!seen && Opens(tag, 300, "CONTEXT_DATA{")) {
                    at = Section::Context;
                    seen = true;
                }
                break;
            case Section::Context:
                if (tag.code == 301) {
                    at = Section::Own;
                    out.closed = true;
                } else if (Opens(tag, 302, "LEADER{")) {
                    at = Section::Leader;
                } else if (tag.code == 290 && tag.integer == 1) {
                    at = Section::Text;
                } else if (tag.code == 296 && tag.integer == 1) {
                    at = Section::Block;
                    out.blockContent = true;
                }
                break;
            case Section::Leader:
                if (Opens(tag, 304, "LEADER_LINE{")) at = Section::Line;
                if (tag.code == 303) at = Section::Context;
                break;
            case Section::Line:
                if (tag.code == 305) at = Section::Leader;
                break;
            case Section::Text:
            case Section::Block:
                break;
        }
    }
    out.closed = out.closed && at == Section::Own;
    return out;
}

Role RoleIn(Section section, int code) {
    switch (section) {
        case Section::Own:
            return code == 45 ? Role::Length : Role::Keep;  // the overall scale
        case Section::Context:
            if (code == 10 || code == 110) return Role::Point;  // content base, plane origin
            if (code == 111 || code == 112) return Role::Unit;  // the plane's x and y axes
            if (code == 297) return Role::MirrorFlag;           // its normal reversed
            // Overall scale, text height, arrowhead size, landing gap.
            return code == 40 || code == 41 || code == 140 || code == 145 ? Role::Length
                                                                          : Role::Keep;
        case Section::Text:
            // A mirror turns the text's plane over with the multileader's: its normal (11, 21,
            // 31) points down after it and its rotation is one of that plane, as ezdxf leaves it.
            if (code == 12) return Role::Point;
            if (code == 13) return Role::Unit;
            if (code == 31) return Role::NormalZ;
            if (code == 42) return Role::OverturnedRadians;
            // Width, column height, column width, gutter, column heights.
            return code == 43 || code == 44 || (code >= 142 && code <= 144) ? Role::Length
                                                                            : Role::Keep;
        case Section::Leader:
            if (code == 10 || code == 12 || code == 13) return Role::Point;  // point, breaks
            if (code == 11) return Role::Unit;                               // dogleg
            return code == 40 ? Role::Length : Role::Keep;                   // dogleg length
        case Section::Line:
            if (code == 10 || code == 11 || code == 12) return Role::Point;  // vertices, breaks
            return code == 40 ? Role::Length : Role::Keep;  // its own arrowhead size
        case Section::Block:
            return Role::Keep;  // refused (MultiLeaderRefusal)
    }
    return Role::Keep;
}

}  // namespace

void MultiLeaderRoles(const std::vector<DxfTag>& tags, const std::vector<Part>& parts,
                      std::vector<Role>& roles) {
    const Sections sections = SectionsOf(tags, parts);
    for (std::size_t i = 0; i < tags.size(); ++i) {
        if (parts[i] == Part::Own) roles[i] = RoleIn(sections.of[i], tags[i].code);
    }
}

std::string MultiLeaderRefusal(const std::vector<DxfTag>& tags, const std::vector<Part>& parts) {
    const std::string kind = TypeOf(tags);
    const Sections sections = SectionsOf(tags, parts);
    if (!sections.closed || std::ranges::find(parts, Part::Embedded) != parts.end()) {
        return kind + " (引出線の中身のデータが読めないもの) は移動・回転・複写できません";
    }
    // No file here shows one: how its block's scale, angle and matrix follow a mirror is not
    // known, refused rather than guessed.
    if (sections.blockContent) {
        return kind +
               " (ブロックを中身とするもの) は移動・回転・複写できません (ブロックの置き方を"
               "正確に移す方法が確かめられないため)";
    }
    // Its text's normal (11, 21, 31) and its plane's axes must lie along the drawing's plane.
    for (std::size_t i = 0; i < tags.size(); ++i) {
        if (parts[i] != Part::Own) continue;
        const Section in = sections.of[i];
        const int code = tags[i].code;
        const double value = tags[i].real;
        const bool tilted =
            (in == Section::Text && (code == 11 || code == 21) && value != 0.0) ||
            (in == Section::Text && code == 31 && value <= 0.0) ||
            (in == Section::Context && (code == 131 || code == 132) && value != 0.0);
        if (tilted) {
            return kind + " (押し出し方向が Z 軸に沿わないもの) は移動・回転・複写できません";
        }
    }
    return {};
}

MultiLeaderShape ReadMultiLeader(const std::vector<DxfTag>& tags, const std::vector<Part>& parts) {
    MultiLeaderShape shape;
    const Sections sections = SectionsOf(tags, parts);
    shape.closed = sections.closed;
    for (std::size_t i = 0; i < tags.size(); ++i) {
        if (parts[i] != Part::Own) continue;
        const DxfTag& t = tags[i];
        const double v = t.real;
        MultiLeaderLeader* leader = shape.leaders.empty() ? nullptr : &shape.leaders.back();
        switch (sections.of[i]) {
            case Section::Own:
                if (t.code == 170) shape.leaderType = t.integer;
                if (t.code == 291) shape.landing = t.integer != 0;
                if (t.code == 292) shape.textFrame = t.integer != 0;
                if (t.code == 173) shape.leftAttachment = t.integer;
                if (t.code == 95) shape.rightAttachment = t.integer;
                break;
            case Section::Context:
                if (t.code == 41) shape.textHeight = v;
                if (t.code == 140) shape.arrowSize = v;
                if (t.code == 145) shape.landingGap = v;
                if (t.code == 290 && t.integer == 1) shape.hasText = true;
                if (t.code == 296 && t.integer == 1) shape.hasBlock = true;
                if (Opens(t, 302, "LEADER{")) shape.leaders.emplace_back();
                break;
            case Section::Text:
                if (t.code == 304) {
                    std::string_view text = t.value;
                    while (!text.empty() && text.back() == '\r') text.remove_suffix(1);
                    shape.text = text;
                }
                if (t.code == 12) shape.textAt.x = v;
                if (t.code == 22) shape.textAt.y = v;
                if (t.code == 13) shape.textDirection.x = v;
                if (t.code == 23) shape.textDirection.y = v;
                if (t.code == 43) shape.textWidth = v;
                if (t.code == 45) shape.lineSpacing = v;
                if (t.code == 171) shape.alignment = t.integer;
                break;
            case Section::Block:
                if (t.code == 341) shape.blockRecord = TrimDxf(t.value);
                if (t.code == 15) shape.blockAt.x = v;
                if (t.code == 25) shape.blockAt.y = v;
                if (t.code == 16) shape.blockScale.x = v;
                if (t.code == 26) shape.blockScale.y = v;
                if (t.code == 46) shape.blockRotation = v;
                break;
            case Section::Leader:
                if (leader == nullptr) break;
                if (t.code == 10) leader->point.x = v;
                if (t.code == 20) leader->point.y = v;
                if (t.code == 11) leader->dogleg.x = v;
                if (t.code == 21) leader->dogleg.y = v;
                if (t.code == 291) leader->hasDogleg = t.integer != 0;
                if (t.code == 40) leader->doglegLength = v;
                if (t.code == 271) leader->horizontal = t.integer == 0;
                if (Opens(t, 304, "LEADER_LINE{")) leader->lines.emplace_back();
                break;
            case Section::Line:
                if (leader == nullptr || leader->lines.empty()) break;
                if (t.code == 10) leader->lines.back().push_back({v, 0.0});
                if (t.code == 20 && !leader->lines.back().empty()) {
                    leader->lines.back().back().y = v;
                }
                break;
        }
    }
    return shape;
}

}  // namespace pelimator::board::dxf_roles
