// Linetype names as Jw_cad kinds. AutoCAD's families (acad.lin: DASHED, HIDDEN, CENTER, PHANTOM,
// DOT, DASHDOT, DIVIDE, BORDER, each also half "2", twice "X2" and LibreCAD's "TINY"), the ISO 128
// ones (ACAD_ISOnnW100, Mechanical's AM_ISOnnW050) by their number, the JIS ones (JIS_02_ 破線,
// JIS_08_ 一点鎖線, JIS_09_ 二点鎖線) and a few others real drawings use each say the kind by the
// dots a period: none dashed, one a one-dot chain, two or more (Jw_cad has no three-dot chain) a
// two-dot chain; a short dash between long ones counts as a dot. Names bound from an external
// reference ("xref$0$DASHED") are their last part.
#include "board/convert/line_type_names.h"

#include <array>
#include <string>
#include <utility>

#include "board/jww/jww_underlay.h"

namespace pelimator::board {

namespace {

std::string Upper(std::string_view s) {
    std::string out(s);
    for (char& c : out) {
        if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
    }
    return out;
}

int FamilyMarks(std::string_view name) {
    // Single names: dashes (some broken by a label or a mark), shapes along dots (BATTING and
    // ZIGZAG: dots where a reader draws no shapes, as R12 files hold them), a dash dot, a dash
    // and two short ones. The solid ones (TRACKS, AMCONSTR) have no gaps to take a kind.
    static constexpr std::array<std::pair<std::string_view, int>, 13> kNames{{
        {"DASH", 1},
        {"ASVLTYPE", 1},
        {"ACISOTGL", 1},
        {"ACISOWELD", 1},
        {"GAS_LINE", 1},
        {"HOT_WATER_SUPPLY", 1},
        {"FENCELINE1", 1},
        {"FENCELINE2", 1},
        {"BATTING", 1},
        {"ZIGZAG", 1},
        {"AMZIGZAG", 1},
        {"DOTE", 2},
        {"ACISOTGB", 3},
    }};
    for (const auto& [single, marks] : kNames) {
        if (name == single) return marks;
    }
    static constexpr std::array<std::pair<std::string_view, int>, 8> kFamilies{{
        {"DASHED", 1},
        {"HIDDEN", 1},
        {"DOT", 1},
        {"CENTER", 2},
        {"DASHDOT", 2},
        {"BORDER", 2},
        {"PHANTOM", 3},
        {"DIVIDE", 3},
    }};
    for (const auto& [family, marks] : kFamilies) {
        if (!name.starts_with(family)) continue;
        const std::string_view size = name.substr(family.size());
        if (size.empty() || size == "2" || size == "X2" || size == "TINY") return marks;
    }
    // ISO 128: 02 dashed, 03 dash space, 07 dotted; 04 long-dash dot, 08 long-dash short-dash,
    // 10 dash dot, 11 double-dash dot; 05 long-dash double-dot, 06 long-dash triple-dot, 09
    // long-dash double-short-dash, 12 dash double-dot, 13 double-dash double-dot, 14 dash
    // triple-dot, 15 double-dash triple-dot.
    for (const std::string_view prefix :
         {std::string_view("ACAD_ISO"), std::string_view("AM_ISO")}) {
        if (!name.starts_with(prefix) || name.size() < prefix.size() + 3) continue;
        const std::string_view number = name.substr(prefix.size(), 2);
        if (name[prefix.size() + 2] != 'W') continue;
        static constexpr std::array<std::pair<std::string_view, int>, 14> kIso{{
            {"02", 1},
            {"03", 1},
            {"07", 1},
            {"04", 2},
            {"08", 2},
            {"10", 2},
            {"11", 2},
            {"05", 3},
            {"06", 3},
            {"09", 3},
            {"12", 3},
            {"13", 3},
            {"14", 3},
            {"15", 3},
        }};
        for (const auto& [iso, marks] : kIso) {
            if (number == iso) return marks;
        }
    }
    static constexpr std::array<std::pair<std::string_view, int>, 3> kJis{{
        {"JIS_02_", 1},
        {"JIS_08_", 2},
        {"JIS_09_", 3},
    }};
    for (const auto& [prefix, marks] : kJis) {
        if (name.starts_with(prefix)) return marks;
    }
    return 0;
}

// Jw_cad's own type named so (its name as the board shows it: 点線1, 倍長線種2), else 0.
std::uint8_t JwwStyleNamed(std::string_view name) {
    static const jww::Header kHeader{};
    for (std::uint8_t style = 2; style <= 19; ++style) {
        if (style >= 10 && style < 16) continue;
        if (name == jww::LineTypeName(kHeader, style)) return style;
    }
    return 0;
}

}  // namespace

NamedLineType LineTypeOfName(std::string_view name, std::string_view description) {
    constexpr std::string_view kJwCad = "Jw_cad ";
    if (description.starts_with(kJwCad)) {
        if (const std::uint8_t style = JwwStyleNamed(description.substr(kJwCad.size()))) {
            return {style, 0};
        }
    }
    if (const std::uint8_t style = JwwStyleNamed(name)) return {style, 0};
    const std::string upper = Upper(name);
    const std::size_t bound = upper.rfind('$');
    return {0, FamilyMarks(bound == std::string::npos ? std::string_view(upper)
                                                      : std::string_view(upper).substr(bound + 1))};
}

}  // namespace pelimator::board
