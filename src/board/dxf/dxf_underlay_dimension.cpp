// Dimensions whose block is missing (some writers leave it out): drawn from their definition
// points, style and text as a block would draw them: the dimension line or arc, extension lines,
// arrowheads or ticks at its ends and the measured text.
#include <cstdio>

#include "board/dxf/dxf_names.h"
#include "board/dxf/dxf_underlay_builder.h"

namespace pelimator::board::underlay {

bool Builder::ArrowStyle::Take(int code, double value) {
    switch (code) {
        case 41:
            size = value;
            return true;
        case 40:
            scale = value;
            return true;
        case 140:
            textHeight = value;
            return true;
        case 142:
            tick = value;
            return true;
        case 42:
            offset = value;
            return true;
        case 44:
            extension = value;
            return true;
        case 271:
            decimals = value;
            return true;
        default:
            return false;
    }
}

double Builder::StyleValue(std::string_view style, const ArrowStyle& own,
                           std::optional<double> ArrowStyle::*field, double fallback) const {
    ArrowStyle named;
    if (const auto found = m_dimStyles.find(LayerKey(style)); found != m_dimStyles.end())
        named = found->second;
    const double v =
        (own.*field).value_or((named.*field).value_or((m_headerArrow.*field).value_or(fallback)));
    return std::isfinite(v) && v >= 0.0 ? v : fallback;
}

namespace {

struct DimensionFields {
    std::array<Vec2, 7> p{};          // groups 10, 11, 12, 13, 14, 15, 16
    double rotation = 0.0;            // 50, degrees
    std::optional<double> textAngle;  // 53, degrees
    std::optional<double> measured;   // 42
    std::int64_t type = 0;            // 70
    std::string_view text;            // 1
    std::string_view style = "STANDARD";
};

Vec2 Unit(Vec2 v) {
    const double l = Length(v);
    return l > 0.0 ? v * (1.0 / l) : Vec2{1.0, 0.0};
}

// An angle turned so that text along it reads from left to right or upwards.
double Readable(double angle) {
    double a = std::remainder(angle, kTwoPi);
    if (a > 0.5 * std::numbers::pi + 1e-9 || a <= -0.5 * std::numbers::pi + 1e-9) {
        a = std::remainder(a + std::numbers::pi, kTwoPi);
    }
    return a;
}

}  // namespace

struct Builder::DimensionLook {
    double arrow = 0.18;
    double tick = 0.0;
    double textHeight = 0.18;
    double offset = 0.0625;
    double extension = 0.18;
    int decimals = 4;
};

void Builder::DimensionArrow(Vec2 tip, Vec2 inward, const DimensionLook& look, const Affine& m,
                             const Resolved& res) {
    const Vec2 d = Unit(inward);
    const Vec2 side{-d.y, d.x};
    if (look.tick > 0.0) {
        const Vec2 slash = (0.5 * look.tick) * Unit(d + side);
        AddPolyline({m(tip - slash), m(tip + slash)}, false, res);
        return;
    }
    if (look.arrow <= 0.0) return;
    const Vec2 back = tip + look.arrow * d;
    AddFill({{m(tip), m(back + (look.arrow / 6.0) * side), m(back - (look.arrow / 6.0) * side)}},
            res);
}

void Builder::DimensionText(std::string text, Vec2 at, double angle, const DimensionLook& look,
                            const Affine& m, const Resolved& res) {
    if (text.empty() || !(look.textHeight > 0.0)) return;
    UnderlayText run;
    const std::vector<MTextLine> lines = ParseMText(text, look.textHeight);
    for (const MTextLine& line : lines) run.utf8 += (run.utf8.empty() ? "" : " ") + line.text;
    run.hAlign = 1;
    run.vAlign = 2;
    const Vec2 along{std::cos(angle), std::sin(angle)};
    AddText(std::move(run), m, at, look.textHeight * along,
            look.textHeight * Vec2{-along.y, along.x}, res);
}

namespace {

DimensionFields ReadDimension(const std::vector<Tag>& tags, Builder::ArrowStyle& own) {
    DimensionFields f;
    int overriding = 0;  // the entity's own style: 1070 <group code>, then its value
    bool inXdata = false;
    for (const Tag& t : tags) {
        inXdata = inXdata || t.code >= 1000;
        const int slot = t.code % 10;
        if (!inXdata && t.code >= 10 && t.code <= 26 && (t.code / 10 == 1 || t.code / 10 == 2) &&
            slot <= 6) {
            Vec2& q = f.p[static_cast<std::size_t>(slot)];
            (t.code < 20 ? q.x : q.y) = t.real;
        }
        if (!inXdata && t.code == 50) f.rotation = t.real;
        if (!inXdata && t.code == 53) f.textAngle = t.real;
        if (!inXdata && t.code == 42) f.measured = t.real;
        if (!inXdata && t.code == 70) f.type = t.integer;
        if (!inXdata && t.code == 1) f.text = t.text;
        if (!inXdata && t.code == 3) f.style = t.text;
        if (overriding != 0 && (t.code == 1040 || t.code == 1070)) {
            own.Take(overriding, t.code == 1040 ? t.real : static_cast<double>(t.integer));
        }
        overriding = t.code == 1070 && overriding == 0 ? static_cast<int>(t.integer) : 0;
    }
    return f;
}

std::string Format(double value, int decimals) {
    char buffer[64];
    std::snprintf(buffer, sizeof buffer, "%.*f", std::clamp(decimals, 0, 8), value);
    return buffer;
}

// The text a dimension shows: its own, with <> standing for the measurement; none for " ".
std::string ShownText(std::string own, const std::string& measured) {
    if (own == " ") return {};
    if (own.empty()) return measured;
    if (const std::size_t at = own.find("<>"); at != std::string::npos) {
        own.replace(at, 2, measured);
    }
    return own;
}

}  // namespace

void Builder::DrawDimension(const std::vector<Tag>& tags, const Affine& m, const Resolved& res) {
    ArrowStyle own;
    const DimensionFields f = ReadDimension(tags, own);
    DimensionLook look;
    const double scale = StyleValue(f.style, own, &ArrowStyle::scale, 1.0);
    const double k = scale > 0.0 ? scale : 1.0;  // 0: paper space's viewport scale
    look.arrow = k * StyleValue(f.style, own, &ArrowStyle::size, 0.18);
    look.tick = k * StyleValue(f.style, own, &ArrowStyle::tick, 0.0);
    look.textHeight = k * StyleValue(f.style, own, &ArrowStyle::textHeight, 0.18);
    look.offset = k * StyleValue(f.style, own, &ArrowStyle::offset, 0.0625);
    look.extension = k * StyleValue(f.style, own, &ArrowStyle::extension, 0.18);
    look.decimals = static_cast<int>(StyleValue(f.style, own, &ArrowStyle::decimals, 4.0));
    const std::string text = TextSpecials(Decode(f.text));
    const auto& p = f.p;
    const Vec2 textAt = p[1];
    std::optional<double> angle;
    if (f.textAngle) angle = *f.textAngle * kDegree;
    double value = 0.0;
    std::string prefix;
    switch (f.type & 7) {
        case 0:
        case 1: {
            const Vec2 u = (f.type & 7) == 1 ? Unit(p[4] - p[3])
                                             : Vec2{std::cos(f.rotation * kDegree),
                                                    std::sin(f.rotation * kDegree)};
            const Vec2 f1 = p[0] + Dot(p[3] - p[0], u) * u;
            const Vec2 f2 = p[0] + Dot(p[4] - p[0], u) * u;
            value = std::abs(Dot(p[4] - p[3], u));
            for (const auto& [from, to] : {std::pair{p[3], f1}, std::pair{p[4], f2}}) {
                if (Distance(from, to) <= look.offset) continue;
                const Vec2 n = Unit(to - from);
                AddPolyline({m(from + look.offset * n), m(to + look.extension * n)}, false, res);
            }
            AddPolyline({m(f1), m(f2)}, false, res);
            if (f1 != f2) {
                DimensionArrow(f1, f2 - f1, look, m, res);
                DimensionArrow(f2, f1 - f2, look, m, res);
            }
            if (!angle) angle = Readable(std::atan2(u.y, u.x));
            break;
        }
        case 3:
        case 4: {
            const bool diameter = (f.type & 7) == 3;
            // Diameter: 15 and 10 on opposite sides; radius: 10 the centre, 15 on the curve.
            const Vec2 tip = p[5];
            const Vec2 other = p[0];
            value = Distance(tip, other);
            prefix = diameter ? "\u00d8" : "R";
            Vec2 far = other;
            if (!diameter && Distance(textAt, other) > value) far = textAt;
            if (diameter && Distance(textAt, 0.5 * (tip + other)) > 0.5 * value) {
                far = Distance(textAt, tip) < Distance(textAt, other) ? other : tip;
                AddPolyline(
                    {m(Distance(textAt, tip) < Distance(textAt, other) ? tip : other), m(textAt)},
                    false, res);
            }
            AddPolyline({m(tip), m(far)}, false, res);
            if (tip != other) {
                DimensionArrow(tip, other - tip, look, m, res);
                if (diameter) DimensionArrow(other, tip - other, look, m, res);
            }
            if (!angle) angle = Readable(std::atan2(other.y - tip.y, other.x - tip.x));
            break;
        }
        case 6: {
            const bool x = (f.type & 64) != 0;
            value = x ? p[3].x - p[0].x : p[3].y - p[0].y;
            const Vec2 n = Unit(p[4] - p[3]);
            if (Distance(p[3], p[4]) > look.offset) {
                AddPolyline({m(p[3] + look.offset * n), m(p[4])}, false, res);
            }
            if (!angle) angle = x ? 0.5 * std::numbers::pi : 0.0;
            break;
        }
        default:
            return;
    }
    const std::string measured =
        prefix +
        Format(f.measured.value_or(value), (f.type & 7) == 2 || (f.type & 7) == 5
                                               ? std::max(0, look.decimals - 2)
                                               : look.decimals) +
        ((f.type & 7) == 2 || (f.type & 7) == 5 ? "\u00b0" : "");
    DimensionText(ShownText(text, measured), textAt, angle.value_or(0.0), look, m, res);
}

}  // namespace pelimator::board::underlay
