// Linetype names as Jw_cad kinds. AutoCAD's families (acad.lin: DASHED, HIDDEN, CENTER, PHANTOM,
// DOT, DASHDOT, DIVIDE, each also half "2", twice "X2" and LibreCAD's "TINY"), the ISO 128 ones
// (ACAD_ISOnnW100, Mechanical's AM_ISOnnW050) by their number and the JIS ones (JIS_02_ 破線,
// JIS_08_ 一点鎖線, JIS_09_ 二点鎖線) each say how many dashes and dots a period has; names bound
// from an external reference ("xref$0$DASHED") are their last part.
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
    static constexpr std::array<std::pair<std::string_view, int>, 7> kFamilies{{
        {"DASHED", 1},
        {"HIDDEN", 1},
        {"DOT", 1},
        {"CENTER", 2},
        {"DASHDOT", 2},
        {"PHANTOM", 3},
        {"DIVIDE", 3},
    }};
    for (const auto& [family, marks] : kFamilies) {
        if (!name.starts_with(family)) continue;
        const std::string_view size = name.substr(family.size());
        if (size.empty() || size == "2" || size == "X2" || size == "TINY") return marks;
    }
    // ISO 128: 02 dashed, 03 dash space, 07 dotted; 04 long-dash dot, 08 long-dash short-dash,
    // 10 dash dot; 05 long-dash double-dot, 09 long-dash double-short-dash, 11 double-dash dot,
    // 12 dash double-dot. The others have four dots or more a period: no Jw_cad kind.
    for (const std::string_view prefix :
         {std::string_view("ACAD_ISO"), std::string_view("AM_ISO")}) {
        if (!name.starts_with(prefix) || name.size() < prefix.size() + 3) continue;
        const std::string_view number = name.substr(prefix.size(), 2);
        if (name[prefix.size() + 2] != 'W') continue;
        static constexpr std::array<std::pair<std::string_view, int>, 10> kIso{{
            {"02", 1},
            {"03", 1},
            {"07", 1},
            {"04", 2},
            {"08", 2},
            {"10", 2},
            {"05", 3},
            {"09", 3},
            {"11", 3},
            {"12", 3},
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
