// TOLERANCE in the underlay: a feature control frame as its boxes and texts. Each row of its
// content (^J, or a line feed) is a row of boxes, one for each field that holds something (%%v
// separates them), each as wide as its text's estimated advance and two gaps, at least as wide as
// it is high; a row is the text height and two gaps (DIMTXT, DIMGAP of its style, scaled by
// DIMSCALE) high, the first row's left edge centred on the insertion point, rows downwards. The
// GDT font's letters ({\Fgdt;j}) are drawn as the symbols they stand for.
#include <cmath>
#include <string>
#include <string_view>
#include <vector>

#include "board/dxf/dxf_underlay_builder.h"

namespace pelimator::board::underlay {

namespace {

// The symbol the GDT font draws for letter c; empty for a letter it has none for.
std::string_view GdtSymbol(char c) {
    switch (c) {
        case 'a':
            return "∠";
        case 'b':
            return "⊥";
        case 'c':
            return "⏥";
        case 'd':
            return "⌓";
        case 'e':
            return "○";
        case 'f':
            return "∥";
        case 'g':
            return "⌭";
        case 'h':
            return "↗";
        case 'i':
            return "⌯";
        case 'j':
            return "⌖";
        case 'k':
            return "⌒";
        case 'l':
            return "Ⓛ";
        case 'm':
            return "Ⓜ";
        case 'n':
            return "⌀";
        case 'p':
            return "Ⓟ";
        case 'r':
            return "◎";
        case 's':
            return "Ⓢ";
        case 't':
            return "⌰";
        case 'u':
            return "⏤";
        default:
            return {};
    }
}

// A field's text: {\Fgdt;x...} groups as their symbols, other braces and codes left out.
std::string FieldText(std::string_view raw) {
    std::string out;
    bool gdt = false;
    for (std::size_t i = 0; i < raw.size(); ++i) {
        const char c = raw[i];
        if (c == '{') continue;
        if (c == '}') {
            gdt = false;
            continue;
        }
        if (c == '\\' && i + 1 < raw.size() && (raw[i + 1] == 'F' || raw[i + 1] == 'f')) {
            const std::size_t end = raw.find(';', i);
            if (end == std::string_view::npos) break;
            gdt = raw.substr(i + 2, end - i - 2) == "gdt";
            i = end;
            continue;
        }
        const std::string_view symbol = gdt ? GdtSymbol(c) : std::string_view{};
        if (!symbol.empty()) {
            out += symbol;
        } else {
            out += c;
        }
    }
    return out;
}

std::vector<std::string_view> Split(std::string_view text, std::string_view separator) {
    std::vector<std::string_view> parts;
    std::size_t from = 0;
    for (std::size_t at = text.find(separator); at != std::string_view::npos;
         at = text.find(separator, from)) {
        parts.push_back(text.substr(from, at - from));
        from = at + separator.size();
    }
    parts.push_back(text.substr(from));
    return parts;
}

}  // namespace

void Builder::Tolerance(const std::vector<Tag>& tags, const Affine& m, const Resolved& res) {
    std::string_view style;
    std::string_view content;
    Vec2 at;
    Vec2 along{1.0, 0.0};
    for (const Tag& t : tags) {
        if (t.code == 3) style = t.text;
        if (t.code == 1) content = t.text;
        if (t.code == 10) at.x = t.real;
        if (t.code == 20) at.y = t.real;
        if (t.code == 11) along.x = t.real;
        if (t.code == 21) along.y = t.real;
    }
    const double length = Length(along);
    if (content.empty() || !(length > 0.0)) return;
    along = (1.0 / length) * along;
    const Vec2 up{-along.y, along.x};
    const ArrowStyle own;
    const double scale = StyleValue(style, own, &ArrowStyle::scale, 1.0);
    const double k = scale > 0.0 ? scale : 1.0;
    const double height = k * StyleValue(style, own, &ArrowStyle::textHeight, 0.18);
    const double gap = k * StyleValue(style, own, &ArrowStyle::gap, 0.09);
    if (!(height > 0.0) || !(gap >= 0.0)) return;
    const double rowHeight = height + 2.0 * gap;
    double top = 0.5 * rowHeight;
    // Rows end at ^J in a text file, at a line feed in a binary one.
    std::string decoded = Decode(content);
    for (std::size_t cr = decoded.find("^J"); cr != std::string::npos;
         cr = decoded.find("^J", cr)) {
        decoded.replace(cr, 2, "\n");
    }
    for (const std::string_view row : Split(decoded, "\n")) {
        double left = 0.0;
        bool drawn = false;
        for (const std::string_view field : Split(row, "%%v")) {
            const std::string text = FieldText(field);
            if (text.empty()) continue;
            const double width = std::max(EstimatedAdvance(text) * height + 2.0 * gap, rowHeight);
            const Vec2 a = at + left * along + top * up;
            const Vec2 b = a + width * along;
            const Vec2 c = b - rowHeight * up;
            const Vec2 d = a - rowHeight * up;
            AddPolyline({m(a), m(b), m(c), m(d)}, true, res);
            UnderlayText run;
            run.utf8 = text;
            run.hAlign = 1;
            run.vAlign = 2;
            AddText(std::move(run), m, 0.5 * (a + c), height * along, height * up, res);
            left += width;
            drawn = true;
        }
        if (drawn) top -= rowHeight;
    }
    Snap(m(at), UnderlayPointKind::Insertion, res);
}

}  // namespace pelimator::board::underlay
