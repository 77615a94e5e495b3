// Dimensions whose block is missing (some writers leave it out): drawn from their definition
// points, style and text as a block would draw them: the dimension line or arc, extension lines,
// arrowheads or ticks at its ends and the measured text.
#include <array>
#include <charconv>
#include <cmath>

#include "board/dxf/dxf_names.h"
#include "board/dxf/dxf_underlay_builder.h"

namespace pelimator::board::underlay {

namespace {

// Group codes holding reals (the others hold integers or text).
bool RealCode(int code) {
    return (code >= 10 && code < 60) || (code >= 110 && code < 150) ||
           (code >= 210 && code < 240) || (code >= 1010 && code < 1060);
}

}  // namespace

bool Builder::ArrowStyle::Take(const Tag& t) {
    return Take(t.code,
                RealCode(t.code) || t.code == 1040 ? t.real : static_cast<double>(t.integer));
}

bool Builder::ArrowStyle::Take(int code, double value) {
    static constexpr std::array<std::pair<int, std::optional<double> ArrowStyle::*>, 16> kFields{{
        {141, &ArrowStyle::centreMark},
        {172, &ArrowStyle::lineInside},
        {74, &ArrowStyle::level},
        {41, &ArrowStyle::size},
        {40, &ArrowStyle::scale},
        {140, &ArrowStyle::textHeight},
        {142, &ArrowStyle::tick},
        {42, &ArrowStyle::offset},
        {44, &ArrowStyle::extension},
        {271, &ArrowStyle::decimals},
        {179, &ArrowStyle::angleDecimals},
        {147, &ArrowStyle::gap},
        {144, &ArrowStyle::lengthFactor},
        {78, &ArrowStyle::zeros},
        {277, &ArrowStyle::units},
        {278, &ArrowStyle::separator},
    }};
    for (const auto& [c, field] : kFields) {
        if (c != code) continue;
        this->*field = value;
        return true;
    }
    return false;
}

// A style value: the entity's own override, else its named style's; a style that does not give
// it has the built-in default (the header's values are what new dimensions get, used only when
// the named style is not there).
double Builder::StyleValue(std::string_view style, const ArrowStyle& own,
                           std::optional<double> ArrowStyle::*field, double fallback) const {
    const auto found = m_dimStyles.find(LayerKey(style));
    const ArrowStyle& named = found != m_dimStyles.end() ? found->second : m_headerArrow;
    const double v = (own.*field).value_or((named.*field).value_or(fallback));
    return std::isfinite(v) ? v : fallback;
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

Vec2 Along(double angle) { return {std::cos(angle), std::sin(angle)}; }

double Angle(Vec2 v) { return std::atan2(v.y, v.x); }

// An angle turned so that text along it reads from left to right or upwards.
double Readable(double angle) {
    double a = std::remainder(angle, kTwoPi);
    if (a > 0.5 * std::numbers::pi + 1e-9 || a <= -0.5 * std::numbers::pi + 1e-9) {
        a = std::remainder(a + std::numbers::pi, kTwoPi);
    }
    return a;
}

// An angle in [0, 2 pi).
double Turn(double a) {
    const double r = std::fmod(a, kTwoPi);
    return r < 0.0 ? r + kTwoPi : r;
}

}  // namespace

// What the style says about the look of a dimension, in drawing units (DIMSCALE applied).
struct Builder::DimensionLook {
    double arrow = 0.18;
    double tick = 0.0;
    double textHeight = 0.18;
    double offset = 0.0625;
    double extension = 0.18;
    double gap = 0.09;
    double lengthFactor = 1.0;
    int decimals = 4;
    int angleDecimals = 0;
    int zeros = 0;
    int units = 2;
    char separator = '.';
    bool lineInside = false;
    bool level = true;
    double centreMark = 0.09;
    std::string textStyle;  // DIMTXSTY as ArrowStyle holds it
};

// The lines, arrowheads and text of one dimension in its own plane, before they are drawn.
struct DimensionShape {
    std::vector<std::vector<Vec2>> lines;
    std::vector<std::pair<Vec2, Vec2>> arrows;  // tip, direction into the dimension line
    double value = 0.0;                         // the measurement: length or radians
    std::string prefix;
    bool angular = false;
    std::optional<double> textAngle;  // radians; none: along the text's baseline rule
};

namespace {

// An extension line from a measured point towards where the dimension line meets it: it starts
// offset away from the point and runs extension past the dimension line.
void ExtensionLine(Vec2 from, Vec2 to, double offset, double extension, DimensionShape& s) {
    if (Distance(from, to) <= offset) return;
    const Vec2 n = Unit(to - from);
    s.lines.push_back({from + offset * n, to + extension * n});
}

// Linear (rotated) and aligned: the dimension line through 10 parallel to the measured
// direction, extension lines from 13 and 14 to it.
// A line too short for its arrows and text has the arrows outside, each with a short line.
DimensionShape Linear(const DimensionFields& f, bool aligned, const Builder::DimensionLook& look,
                      double textWidth) {
    const auto& p = f.p;
    DimensionShape s;
    const Vec2 u = aligned ? Unit(p[4] - p[3]) : Along(f.rotation * kDegree);
    const Vec2 f1 = p[0] + Dot(p[3] - p[0], u) * u;
    const Vec2 f2 = p[0] + Dot(p[4] - p[0], u) * u;
    s.value = std::abs(Dot(p[4] - p[3], u));
    ExtensionLine(p[3], f1, look.offset, look.extension, s);
    ExtensionLine(p[4], f2, look.offset, look.extension, s);
    s.lines.push_back({f1, f2});
    if (f1 == f2) return s;
    if (Distance(f1, f2) >= 2.0 * look.arrow + textWidth) {
        s.arrows = {{f1, f2 - f1}, {f2, f1 - f2}};
    } else {
        const Vec2 d = Unit(f2 - f1);
        s.arrows = {{f1, -1.0 * d}, {f2, d}};
        s.lines.push_back({f1 - look.arrow * d, f1 - 2.0 * look.arrow * d});
        s.lines.push_back({f2 + look.arrow * d, f2 + 2.0 * look.arrow * d});
    }
    s.textAngle = Readable(Angle(u));
    return s;
}

// Radius (10 the centre, 15 on the curve) and diameter (15 and 10 on opposite sides of it).
// Text inside the curve: a radius's line runs from the centre, a diameter's from the text, to the
// curve. Outside: the arrow at the end nearer the text points in from outside and a leader runs
// on to the text (with DIMTOH bent level to the text with a landing, else straight past it); the
// line inside the curve only with DIMTOFL.
DimensionShape Radial(const DimensionFields& f, bool diameter, const Builder::DimensionLook& look,
                      double textWidth) {
    const auto& p = f.p;
    DimensionShape s;
    const Vec2 tip = p[5];
    const Vec2 centre = diameter ? 0.5 * (p[5] + p[0]) : p[0];
    const double radius = Distance(tip, centre);
    s.value = diameter ? 2.0 * radius : radius;
    s.prefix = diameter ? "\u00d8" : "R";
    const Vec2 out = Unit(tip - centre);
    const Vec2 text = p[1];
    s.textAngle = Readable(Angle(out));
    if (Distance(text, centre) <= radius) {
        s.lines.push_back({diameter ? text : centre, tip});
        s.arrows.emplace_back(tip, -1.0 * out);
        return s;
    }
    const bool nearTip = !diameter || Distance(text, tip) <= Distance(text, p[0]);
    const Vec2 end = nearTip ? tip : p[0];
    const Vec2 away = nearTip ? out : -1.0 * out;
    if (look.lineInside) s.lines.push_back({diameter ? p[0] : centre, tip});
    if (!look.lineInside && look.centreMark != 0.0) {  // negative: the same with centre lines
        const double c = std::abs(look.centreMark);
        s.lines.push_back({centre - Vec2{c, 0.0}, centre + Vec2{c, 0.0}});
        s.lines.push_back({centre - Vec2{0.0, c}, centre + Vec2{0.0, c}});
    }
    s.arrows.emplace_back(end, away);
    const Vec2 base = end + look.arrow * away;
    if (!look.level || std::abs(away.y) < 1e-9) {
        const double reach = Dot(text - end, away) + 0.5 * textWidth;
        s.lines.push_back({base, end + std::max(reach, look.arrow) * away});
        return s;
    }
    const double t = std::max((text.y - end.y) / away.y, look.arrow);
    const Vec2 elbow = end + t * away;
    const double side = text.x >= elbow.x ? 1.0 : -1.0;
    s.lines.push_back({base, elbow, elbow + Vec2{side * look.arrow, 0.0}});
    s.textAngle = 0.0;
    return s;
}

// Ordinate: the leader from the feature (13) to the leader's end (14), along the measured axis's
// cross direction with a jog where the two do not line up; the value is the feature's distance
// from the origin (10) along X (bit 64) or Y.
DimensionShape Ordinate(const DimensionFields& f, double offset, double arrow, double textWidth) {
    const auto& p = f.p;
    DimensionShape s;
    const bool x = (f.type & 64) != 0;
    s.value = x ? p[3].x - p[0].x : p[3].y - p[0].y;
    // Along: the direction the leader runs (up for X, right for Y), sign to the leader's end.
    const Vec2 along =
        x ? Vec2{0.0, p[4].y >= p[3].y ? 1.0 : -1.0} : Vec2{p[4].x >= p[3].x ? 1.0 : -1.0, 0.0};
    const double length = Dot(p[4] - p[3], along);
    const Vec2 cross = p[4] - p[3] - length * along;
    const Vec2 end = p[4] + 0.5 * textWidth * along;
    if (Length(cross) <= 1e-9 || length <= 4.0 * arrow) {
        if (Distance(p[3], end) > offset) s.lines.push_back({p[3] + offset * along, end});
    } else {
        s.lines.push_back({p[3] + offset * along, p[3] + (length - 4.0 * arrow) * along,
                           p[3] + cross + (length - 2.0 * arrow) * along, end});
    }
    s.textAngle = x ? 0.5 * std::numbers::pi : 0.0;
    return s;
}

// The arc of an angular dimension about centre from start through sweep (radians, counter-
// clockwise) at the radius of the arc's point, with extension lines from the measured lines'
// points (first, second) out to it.
void AngularArc(Vec2 centre, double start, double sweep, double radius,
                std::array<Vec2, 2> measured, double offset, double extension, DimensionShape& s) {
    std::vector<Vec2> arc;
    const int steps = std::clamp(static_cast<int>(std::ceil(sweep / (kTwoPi / 128.0))), 2, 128);
    for (int i = 0; i <= steps; ++i) {
        arc.push_back(centre + radius * Along(start + sweep * i / steps));
    }
    s.lines.push_back(arc);
    const std::array<Vec2, 2> ends{arc.front(), arc.back()};
    for (std::size_t i = 0; i < 2; ++i) {
        const Vec2 n = Unit(ends[i] - centre);
        const Vec2 from = measured[i];
        // Only where the arc lies beyond the measured point along its ray.
        if (Dot(ends[i] - from, n) > offset) ExtensionLine(from, ends[i], offset, extension, s);
    }
    s.arrows = {{ends[0], Along(start + 0.5 * std::numbers::pi)},
                {ends[1], Along(start + sweep - 0.5 * std::numbers::pi)}};
    s.value = sweep;
    s.angular = true;
    s.textAngle = Readable(start + 0.5 * sweep - 0.5 * std::numbers::pi);
}

// The one of the arcs between rays a1 and a2 (either way round) that holds angle at, as start
// and counter-clockwise sweep.
std::pair<double, double> ArcHolding(double a1, double a2, double at) {
    const double sweep = Turn(a2 - a1);
    if (Turn(at - a1) <= sweep) return {a1, sweep};
    return {a2, kTwoPi - sweep};
}

std::optional<Vec2> Crossing(Vec2 a, Vec2 b, Vec2 c, Vec2 d) {
    const Vec2 r = b - a;
    const Vec2 q = d - c;
    const double den = r.x * q.y - r.y * q.x;
    if (std::abs(den) <= 1e-12 * Length(r) * Length(q)) return std::nullopt;
    const double t = ((c.x - a.x) * q.y - (c.y - a.y) * q.x) / den;
    return a + t * r;
}

// Angular by two lines (13-14 and 10-15, the arc through 16) or by three points (the vertex 15,
// the ends 13 and 14, the arc through 10).
std::optional<DimensionShape> Angular(const DimensionFields& f, bool threePoint, double offset,
                                      double extension) {
    const auto& p = f.p;
    DimensionShape s;
    const Vec2 arcPoint = threePoint ? p[0] : p[6];
    if (threePoint) {
        const auto [start, sweep] =
            ArcHolding(Angle(p[3] - p[5]), Angle(p[4] - p[5]), Angle(arcPoint - p[5]));
        const bool reversed = Turn(start - Angle(p[3] - p[5])) > 1e-9;
        AngularArc(p[5], start, sweep, Distance(arcPoint, p[5]),
                   reversed ? std::array{p[4], p[3]} : std::array{p[3], p[4]}, offset, extension,
                   s);
        return s;
    }
    const std::optional<Vec2> centre = Crossing(p[3], p[4], p[0], p[5]);
    if (!centre) return std::nullopt;
    const double at = Angle(arcPoint - *centre);
    // Each line's ray from the centre on the arc's side: towards its end farther from it.
    const auto ray = [&](Vec2 a, Vec2 b) {
        return Distance(a, *centre) > Distance(b, *centre) ? std::pair{Angle(a - *centre), a}
                                                           : std::pair{Angle(b - *centre), b};
    };
    auto [a1, e1] = ray(p[3], p[4]);
    auto [a2, e2] = ray(p[0], p[5]);
    double best = -1.0;
    std::pair<double, double> arc{a1, 0.0};
    for (const double t1 : {a1, a1 + std::numbers::pi}) {
        for (const double t2 : {a2, a2 + std::numbers::pi}) {
            const auto [start, sweep] = ArcHolding(t1, t2, at);
            if (sweep < std::numbers::pi + 1e-9 && sweep > best) {
                best = sweep;
                arc = {start, sweep};
            }
        }
    }
    const bool firstAtStart = std::abs(std::remainder(arc.first - a1, std::numbers::pi)) < 1e-9;
    AngularArc(*centre, arc.first, arc.second, Distance(arcPoint, *centre),
               firstAtStart ? std::array{e1, e2} : std::array{e2, e1}, offset, extension, s);
    return s;
}

}  // namespace

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

void Builder::DimensionText(const std::string& text, Vec2 at, double angle,
                            const DimensionLook& look, const Affine& m, const Resolved& res) {
    if (text.empty() || !(look.textHeight > 0.0)) return;
    UnderlayText run;
    const std::vector<MTextLine> lines = ParseMText(text, look.textHeight);
    for (const MTextLine& line : lines) run.utf8 += (run.utf8.empty() ? "" : " ") + line.text;
    run.hAlign = 1;
    run.vAlign = 2;
    StyleFace(look.textStyle, run);
    const Vec2 along = Along(angle);
    AddText(std::move(run), m, at, look.textHeight * along,
            look.textHeight * Vec2{-along.y, along.x}, res);
}

namespace {

// The entity's fields, and its own style overrides from its ACAD application data: DSTYLE, then
// pairs of 1070 <the variable's group code> and its value.
DimensionFields ReadDimension(const std::vector<Tag>& tags, Builder::ArrowStyle& own) {
    DimensionFields f;
    int overriding = 0;
    bool inXdata = false;
    bool acad = false;
    for (const Tag& t : tags) {
        inXdata = inXdata || t.code >= 1000;
        if (t.code == 1001) acad = t.text == "ACAD";
        const int slot = t.code % 10;
        if (!inXdata && (t.code / 10 == 1 || t.code / 10 == 2) && slot <= 6) {
            Vec2& q = f.p[static_cast<std::size_t>(slot)];
            (t.code < 20 ? q.x : q.y) = t.real;
        }
        if (!inXdata && t.code == 50) f.rotation = t.real;
        if (!inXdata && t.code == 53) f.textAngle = t.real;
        if (!inXdata && t.code == 42) f.measured = t.real;
        if (!inXdata && t.code == 70) f.type = t.integer;
        if (!inXdata && t.code == 1) f.text = t.text;
        if (!inXdata && t.code == 3) f.style = t.text;
        if (acad && overriding == 340 && t.code == 1005) {
            own.textStyle = "#" + UpperHandle(t.text);
            overriding = 0;
            continue;
        }
        if (acad && overriding != 0 && t.code >= 1040 && t.code <= 1071) {
            own.Take(overriding, t.code == 1040 ? t.real : static_cast<double>(t.integer));
            overriding = 0;
            continue;
        }
        overriding = acad && t.code == 1070 ? static_cast<int>(t.integer) : 0;
    }
    return f;
}

std::string Fixed(double value, int decimals) {
    std::array<char, 64> buffer{};
    const auto [end, ec] = std::to_chars(buffer.data(), buffer.data() + buffer.size(), value,
                                         std::chars_format::fixed, std::clamp(decimals, 0, 8));
    return ec == std::errc{} ? std::string(buffer.data(), end) : std::string{};
}

// A decimal value with the style's zeros left out (4: leading, 8: trailing) and separator.
std::string Decimal(double value, int decimals, int zeros, char separator) {
    std::string s = Fixed(value, decimals);
    const std::size_t dot = s.find('.');
    if (dot != std::string::npos && (zeros & 8) != 0) {
        while (s.back() == '0') s.pop_back();
        if (s.back() == '.') s.pop_back();
    }
    if ((zeros & 4) != 0 && s.starts_with("0.")) s.erase(0, 1);
    if ((zeros & 4) != 0 && s.starts_with("-0.")) s.erase(1, 1);
    if (const std::size_t d = s.find('.'); d != std::string::npos) s[d] = separator;
    return s;
}

// A value as a whole number and a fraction of 1/2^decimals at most, reduced.
std::string Fraction(double value, int decimals) {
    const long long denominator = 1LL << std::clamp(decimals, 0, 8);
    const long long n = std::llround(std::abs(value) * static_cast<double>(denominator));
    long long num = n % denominator;
    long long den = denominator;
    while (num != 0 && num % 2 == 0) {
        num /= 2;
        den /= 2;
    }
    std::string s = (value < 0.0 && n != 0 ? "-" : "") + std::to_string(n / denominator);
    if (num != 0) s += " " + std::to_string(num) + "/" + std::to_string(den);
    return s;
}

// Feet and inches (architectural: fractions of 1/2^decimals; engineering: decimal inches), zero
// feet or inches left out as DIMZIN says (0: both, 2: inches, 3: feet).
std::string FeetAndInches(double inches, int decimals, int zeros, bool fractions) {
    const bool negative = inches < 0.0;
    const double denominator = std::ldexp(1.0, std::clamp(decimals, 0, 8));
    double total = std::abs(inches);
    if (fractions) total = std::round(total * denominator) / denominator;
    const auto feet = static_cast<long long>(std::floor(total / 12.0 + 1e-9));
    const double rest = std::max(0.0, total - 12.0 * static_cast<double>(feet));
    const std::string in =
        fractions ? Fraction(rest, decimals) : Decimal(rest, decimals, zeros & 12, '.');
    const int z = zeros & 3;
    const bool showFeet = feet != 0 || z == 1 || z == 2;
    const bool showInches = rest > 1e-9 || z == 1 || z == 3 || !showFeet;
    std::string s = negative ? "-" : "";
    if (showFeet) s += std::to_string(feet) + "'";
    if (showFeet && showInches) s += "-";
    if (showInches) s += in + "\"";
    return s;
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

std::string Builder::DimensionValue(const DimensionShape& s, std::optional<double> measured,
                                    const DimensionLook& look) {
    if (s.angular) {
        const double degrees = measured.value_or(s.value) / kDegree;
        return Decimal(degrees, look.angleDecimals, 0, look.separator) + "\u00b0";
    }
    const double v = measured.value_or(s.value) * look.lengthFactor;
    switch (look.units) {
        case 3:
        case 4:
            return s.prefix + FeetAndInches(v, look.decimals, look.zeros, look.units == 4);
        case 5:
            return s.prefix + Fraction(v, look.decimals);
        default:
            return s.prefix + Decimal(v, look.decimals, look.zeros, look.separator);
    }
}

Builder::DimensionLook Builder::LookOf(std::string_view style, const ArrowStyle& own) const {
    DimensionLook look;
    const double scale = StyleValue(style, own, &ArrowStyle::scale, 1.0);
    const double k = scale > 0.0 ? scale : 1.0;  // 0: paper space's viewport scale
    const auto length = [&](std::optional<double> ArrowStyle::*field, double fallback) {
        const double v = k * StyleValue(style, own, field, fallback);
        return v >= 0.0 ? v : k * fallback;
    };
    const auto whole = [&](std::optional<double> ArrowStyle::*field, double fallback) {
        return static_cast<int>(std::clamp(StyleValue(style, own, field, fallback), -1e6, 1e6));
    };
    look.arrow = length(&ArrowStyle::size, 0.18);
    look.tick = length(&ArrowStyle::tick, 0.0);
    look.textHeight = length(&ArrowStyle::textHeight, 0.18);
    look.offset = length(&ArrowStyle::offset, 0.0625);
    look.extension = length(&ArrowStyle::extension, 0.18);
    look.gap = length(&ArrowStyle::gap, 0.09);
    look.lengthFactor = StyleValue(style, own, &ArrowStyle::lengthFactor, 1.0);
    look.decimals = whole(&ArrowStyle::decimals, 4);
    look.angleDecimals = whole(&ArrowStyle::angleDecimals, 0);
    look.zeros = whole(&ArrowStyle::zeros, 0);
    look.units = whole(&ArrowStyle::units, 2);
    look.lineInside = whole(&ArrowStyle::lineInside, 0) != 0;
    look.level = whole(&ArrowStyle::level, 1) != 0;
    look.centreMark = k * StyleValue(style, own, &ArrowStyle::centreMark, 0.09);
    const int separator = whole(&ArrowStyle::separator, '.');
    look.separator = separator > 32 && separator < 127 ? static_cast<char>(separator) : '.';
    // Its text style as the other values: its own, else its style's (the header's where the
    // style is not there).
    const auto found = m_dimStyles.find(LayerKey(style));
    look.textStyle = !own.textStyle.empty()       ? own.textStyle
                     : found != m_dimStyles.end() ? found->second.textStyle
                                                  : m_headerArrow.textStyle;
    return look;
}

void Builder::DrawDimension(const std::vector<Tag>& tags, const Affine& m, const Resolved& res) {
    ArrowStyle own;
    const DimensionFields f = ReadDimension(tags, own);
    const DimensionLook look = LookOf(f.style, own);
    const std::string ownText = TextSpecials(Decode(f.text));
    // The text's width for where leaders end, estimated from what it will show.
    const double textWidth = look.textHeight * EstimatedAdvance(ownText.empty() ? "0000" : ownText);
    std::optional<DimensionShape> shape;
    switch (f.type & 7) {
        case 0:
        case 1:
            shape = Linear(f, (f.type & 7) == 1, look, textWidth);
            break;
        case 2:
        case 5:
            shape = Angular(f, (f.type & 7) == 5, look.offset, look.extension);
            break;
        case 3:
        case 4:
            shape = Radial(f, (f.type & 7) == 3, look, textWidth);
            break;
        case 6:
            shape = Ordinate(f, look.offset, look.arrow, textWidth);
            break;
        default:
            return;
    }
    if (!shape) return;
    for (const std::vector<Vec2>& line : shape->lines) {
        std::vector<Vec2> mapped;
        mapped.reserve(line.size());
        for (const Vec2 q : line) mapped.push_back(m(q));
        AddPolyline(mapped, false, res);
    }
    for (const auto& [tip, inward] : shape->arrows) DimensionArrow(tip, inward, look, m, res);
    const double angle = f.textAngle ? *f.textAngle * kDegree : shape->textAngle.value_or(0.0);
    DimensionText(ShownText(ownText, DimensionValue(*shape, f.measured, look)), f.p[1], angle, look,
                  m, res);
}

}  // namespace pelimator::board::underlay
