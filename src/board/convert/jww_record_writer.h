// Jw_cad records written for a new drawing made from another format: each record's class tag and
// common part with the archive's map continued after the drawing's own list, and the pens and
// line types nearest to another format's colours and dashes.
#pragma once

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdint>
#include <limits>
#include <map>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "board/convert/dxf_to_jww.h"
#include "board/convert/line_type_names.h"
#include "board/jww/jww_archive.h"
#include "board/jww/jww_file.h"
#include "board/jww/jww_text.h"
#include "board/jww/jww_underlay.h"

namespace pelimator::board::jww_out {

// A solid's pen colour meaning "its own RGB", and the font new texts name.
inline constexpr std::uint16_t kOwnRgbColour = 10;
inline constexpr const char* kFont = "ＭＳ ゴシック";

// What a run is drawn in: its font, Jw_cad's text kind (文字種; 0: a size of its own) and
// whether italic (Jw_cad's slanted face) and bold.
struct RunFace {
    std::string font = kFont;
    std::uint32_t kind = 0;
    bool italic = false;
    bool bold = false;
};

// Records appended to a new drawing's entity list, with the archive's map continued.
class RecordWriter {
public:
    RecordWriter(const JwwSource& source, DxfJwwReport& report)
        : m_source(source), m_next(source.mapCount), m_report(report) {
        // The classes the drawing's list already defines are referred to.
        for (std::size_t i = 0; i < source.classNames.size() && i < source.classIndex.size(); ++i) {
            if (source.classIndex[i] != 0)
                m_classes.emplace(source.classNames[i], source.classIndex[i]);
        }
    }

    struct Pen {
        std::uint16_t colour = 2;
        std::uint16_t group = 0;
        std::uint16_t layer = 0;
        std::uint8_t style = 1;  // Jw_cad's line type: 1 solid
    };

    void Line(const Pen& pen, Vec2 a, Vec2 b) {
        Begin("CDataSen", pen);
        Point(a);
        Point(b);
    }
    // A circle (full) or the arc from start sweeping counter-clockwise, in radians.
    void Arc(const Pen& pen, Vec2 centre, double radius, double start, double sweep, bool full) {
        Begin("CDataEnko", pen);
        Point(centre);
        for (const double v : {radius, start, sweep, 0.0, 1.0}) jww::PutDouble(m_out, v);
        jww::PutDword(m_out, full ? 1 : 0);
    }
    // An insert of block number (its definition's) at at, scaled, then turned by radians.
    void Insert(const Pen& pen, Vec2 at, double scaleX, double scaleY, double radians,
                std::uint32_t number) {
        Begin("CDataBlock", pen);
        Point(at);
        for (const double v : {scaleX, scaleY, radians}) jww::PutDouble(m_out, v);
        jww::PutDword(m_out, number);
    }
    // A block definition's fields up to its own list (whose count and objects follow).
    void BlockHead(std::uint32_t number, const std::string& name) {
        Begin("CDataList", Pen{});
        jww::PutDword(m_out, number);
        jww::PutDword(m_out, 1);  // referenced
        jww::PutDword(m_out, 0);  // time of definition
        String(name);
    }
    void Dot(const Pen& pen, Vec2 p, bool temporary) {
        Begin("CDataTen", pen);
        Point(p);
        jww::PutDword(m_out, temporary ? 1 : 0);
    }
    // Corners in order round the solid (the fourth may repeat the third).
    void Solid(const Pen& pen, Rgb rgb, Vec2 a, Vec2 b, Vec2 c, Vec2 d) {
        Pen own = pen;
        own.colour = kOwnRgbColour;
        Begin("CDataSolid", own);
        for (const Vec2 p : {a, d, b, c}) Point(p);  // stored 1, 4, 2, 3
        jww::PutDword(m_out, jww::PackColorRef(rgb));
    }
    // A run of character cells from start to end, spacing after each cell (halved after a half
    // cell).
    void Text(const Pen& pen, Vec2 start, Vec2 end, double width, double height, double degrees,
              const std::string& utf8, double spacing = 0.0, const RunFace& face = {}) {
        Begin("CDataMoji", pen);
        Point(start);
        Point(end);
        // The kind, +10000 italic, +20000 bold.
        jww::PutDword(m_out,
                      face.kind % 10000U + (face.italic ? 10000U : 0U) + (face.bold ? 20000U : 0U));
        jww::PutDouble(m_out, width);
        jww::PutDouble(m_out, height);
        jww::PutDouble(m_out, spacing);
        jww::PutDouble(m_out, degrees);
        String(face.font.empty() ? std::string(kFont) : face.font);
        String(utf8);
    }

    // A dimension (its line, text, extension lines and points follow as parts).
    void Dimension(const Pen& pen) {
        Begin("CDataSunpou", pen);
        m_parts = true;
    }
    // After a dimension's last part.
    void DimensionEnd() { m_parts = false; }
    // A dimension's part between its text and its extension lines.
    void SxfMode() { jww::PutWord(m_out, 0); }

    // The records written since the last Take, and how many; the archive's map goes on.
    std::pair<std::string, std::uint32_t> Take() {
        std::pair<std::string, std::uint32_t> out{std::move(m_out), m_count};
        m_out.clear();
        m_count = 0;
        return out;
    }

private:
    void Begin(const std::string& name, const Pen& pen) {
        if (!m_parts) Tag(name);
        jww::PutDword(m_out, 0);  // curve group
        jww::PutByte(m_out, pen.style);
        jww::PutWord(m_out, pen.colour);
        jww::PutWord(m_out, 0);  // width
        jww::PutWord(m_out, pen.layer);
        jww::PutWord(m_out, pen.group);
        jww::PutWord(m_out, 0);
    }
    void Tag(const std::string& name) {
        ++m_report.written[name];
        ++m_count;
        const auto known = m_classes.find(name);
        if (known != m_classes.end()) {
            jww::PutClassRef(m_out, known->second);
        } else {
            jww::PutWord(m_out, jww::kNewClassTag);
            jww::PutWord(m_out, m_source.schema != 0
                                    ? m_source.schema
                                    : static_cast<std::uint16_t>(m_source.header.version));
            jww::PutWord(m_out, static_cast<std::uint16_t>(name.size()));
            m_out += name;
            m_classes.emplace(name, m_next++);
        }
        ++m_next;  // the object
    }
    void Point(Vec2 p) {
        jww::PutDouble(m_out, p.x);
        jww::PutDouble(m_out, p.y);
    }
    void String(const std::string& utf8) {
        if (m_source.header.version >= 700) {
            jww::PutWideString(m_out, jww::ToUtf16(utf8));
        } else {
            jww::PutString(m_out, jww::ToShiftJis(utf8));
        }
    }

    const JwwSource& m_source;
    std::uint32_t m_next;
    DxfJwwReport& m_report;
    std::map<std::string, std::uint32_t> m_classes;
    std::string m_out;
    std::uint32_t m_count = 0;
    bool m_parts = false;  // writing a dimension's parts: fields without tags
};

// A colour in CIE L*a*b* (sRGB, D65 white): distances there follow what the eye tells apart,
// where plain RGB distances put mid grey nearer magenta than black.
struct Lab {
    double l = 0.0;
    double a = 0.0;
    double b = 0.0;
};

inline Lab ToLab(Rgb colour) {
    const auto linear = [](std::uint8_t channel) {
        const double c = channel / 255.0;
        return c <= 0.04045 ? c / 12.92 : std::pow((c + 0.055) / 1.055, 2.4);
    };
    const double r = linear(colour.r);
    const double g = linear(colour.g);
    const double b = linear(colour.b);
    const auto f = [](double t) {
        return t > 216.0 / 24389.0 ? std::cbrt(t) : (24389.0 / 27.0 * t + 16.0) / 116.0;
    };
    const double x = f((0.4124 * r + 0.3576 * g + 0.1805 * b) / 0.95047);
    const double y = f(0.2126 * r + 0.7152 * g + 0.0722 * b);
    const double z = f((0.0193 * r + 0.1192 * g + 0.9505 * b) / 1.08883);
    return {116.0 * y - 16.0, 500.0 * (x - y), 200.0 * (y - z)};
}

// Whether a colour is a grey (black and white included): its channels within a few steps of one
// another.
inline bool IsGrey(Rgb colour) {
    const int high = std::max({colour.r, colour.g, colour.b});
    const int low = std::min({colour.r, colour.g, colour.b});
    return high - low <= 24;
}

// The pen of pens 1-8 for colour, by the new drawing's screen colours: a grey (white, the DXF's
// colour on dark screens, included) the nearest grey pen (black on a new drawing: greys print),
// any other colour the nearest in L*a*b* of the pens that are not grey. Pen 9, Jw_cad's colour
// of auxiliary lines, is left to the drafter.
inline std::uint16_t NearestPen(const jww::Header& header, Rgb colour) {
    const bool grey = IsGrey(colour);
    const Lab want = ToLab(colour);
    std::uint16_t best = 2;
    double bestDistance = std::numeric_limits<double>::max();
    for (int pass = 0; pass < 2 && bestDistance == std::numeric_limits<double>::max(); ++pass) {
        for (std::uint16_t pen = 1; pen <= 8; ++pen) {
            const Rgb c = jww::PenRgb(header, pen);
            // A header without a pen of the colour's kind: the nearest of them all.
            if (pass == 0 && IsGrey(c) != grey) continue;
            const Lab lab = ToLab(c);
            const double distance = std::hypot(lab.l - want.l, lab.a - want.a, lab.b - want.b);
            if (distance < bestDistance) {
                bestDistance = distance;
                best = pen;
            }
        }
    }
    return best;
}

// The Jw_cad line type (2-9, the double length ones 16-19) nearest to a dash pattern in paper
// millimetres (+ dash, - gap, 0 dot), by jww::DashDistance: a type's own pattern, as a DXF made
// from a Jw_cad drawing carries it, comes back as that type. 1 (solid) for none. Patterns are
// looked up once by the caller's key.
class LineTypes {
public:
    explicit LineTypes(const jww::Header& header) {
        static constexpr std::array<std::uint8_t, 12> kDashed{2, 3, 4,  5,  6,  7,
                                                              8, 9, 16, 17, 18, 19};
        for (const std::uint8_t style : kDashed) {
            const std::vector<double> dashes = jww::PenDashes(header, style);
            if (!dashes.empty()) m_types.push_back({style, jww::ShapeOfDashes(dashes)});
        }
    }

    // The type of the dashes under key (at paper size by factor): the Jw_cad type the linetype's
    // name or description names; else, among the types of the kind its name says (補助線種 left
    // out: a named linetype is drawn, not a guide), or all where it says none, the nearest.
    std::uint8_t Style(std::uint32_t key, const std::vector<double>& dashes, double factor,
                       std::string_view name = {}, std::string_view description = {}) {
        const auto found = m_known.find(key);
        if (found != m_known.end()) return found->second;
        const NamedLineType named = LineTypeOfName(name, description);
        std::uint8_t best = 1;
        jww::DashShape shape = jww::ShapeOfDashes(dashes);
        shape.period *= factor;
        const auto ofKind = [&](const Type& type) {
            return named.marks == 0 || (type.shape.marks == named.marks && type.style != 9);
        };
        const bool kindKnown = std::any_of(m_types.begin(), m_types.end(), ofKind);
        if (named.style != 0) {
            best = named.style;
        } else if (shape.marks > 0 && shape.period > 0.0 && std::isfinite(shape.period)) {
            // A pattern with no gap is a solid line.
            double cost = std::numeric_limits<double>::max();
            for (const Type& type : m_types) {
                if (kindKnown && !ofKind(type)) continue;
                const double c = jww::DashDistance(type.shape, shape);
                if (c < cost) {
                    cost = c;
                    best = type.style;
                }
            }
        }
        m_known.emplace(key, best);
        return best;
    }

private:
    struct Type {
        std::uint8_t style = 1;
        jww::DashShape shape;
    };
    std::vector<Type> m_types;
    std::map<std::uint32_t, std::uint8_t> m_known;
};

}  // namespace pelimator::board::jww_out
