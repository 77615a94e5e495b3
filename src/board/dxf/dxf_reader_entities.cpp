// The DXF reader's entities: the lines, arcs, circles and polylines the board takes as its own,
// checked, mapped to the drawing plane, with their own colours and linetypes.
#include <array>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <limits>
#include <numbers>
#include <optional>
#include <set>
#include <unordered_map>

#include "base/errors.h"
#include "base/file.h"
#include "board/dxf/dxf_colour.h"
#include "board/dxf/dxf_names.h"
#include "board/dxf/dxf_reader_parser.h"
#include "board/model/units.h"

namespace pelimator::board::reader {

namespace {

constexpr double kDegree = std::numbers::pi / 180.0;
// Polyline segments flatter than this are straight.
constexpr double kMinBulge = 1e-12;
// Degrees: an arc whose ends are closer than this in angle is a full circle.
constexpr double kFullCircleSlack = 1e-9;

// As printf's "%.10g" would write it.
std::string FormatNumber(double value) {
    std::array<char, 64> buffer{};
    const auto written = std::to_chars(buffer.data(), buffer.data() + buffer.size(), value,
                                       std::chars_format::general, 10);
    return {buffer.data(), written.ptr};
}

}  // namespace

std::uint32_t Parser::OwnColourOf(const EntityFields& e) noexcept {
    Rgb rgb{};
    if (e.trueColour) {
        rgb = UnpackRgb(static_cast<std::int32_t>(*e.trueColour & 0xFFFFFF));
    } else if (e.colour >= 0 && e.colour <= 255) {
        rgb = AciToRgb(e.colour == 0 ? 7 : static_cast<std::int32_t>(e.colour));
    } else {
        return 0;
    }
    return kOwnColour | static_cast<std::uint32_t>(PackRgb(rgb));
}

void Parser::OnEntityTag() {
    if (TakeCommonGroup(m_entity, m_tag.code, Value(), m_tag.real, m_tag.integer)) {
        if (m_tag.code == 67 && m_entity.paper && m_section == Section::Entities) {
            m_underlay.paperEntities = true;
        }
        return;
    }
    switch (m_tag.code) {
        case 10:
            m_entity.p10.x = m_tag.real;
            break;
        case 20:
            m_entity.p10.y = m_tag.real;
            break;
        case 11:
            m_entity.p11.x = m_tag.real;
            break;
        case 21:
            m_entity.p11.y = m_tag.real;
            break;
        case 40:
            m_entity.radius = m_tag.real;
            break;
        case 50:
            m_entity.angle1 = m_tag.real;
            break;
        case 51:
            m_entity.angle2 = m_tag.real;
            break;
        case 42:
            m_entity.bulge = m_tag.real;
            break;
        case 70:
            m_entity.flags = m_tag.integer;
            break;
        default:
            break;
    }
}

void Parser::OnLwPolylineTag() {
    switch (m_tag.code) {
        case 10:
            m_vertices.push_back({{m_tag.real, 0.0}, 0.0});
            break;
        case 20:
            if (!m_vertices.empty()) m_vertices.back().point.y = m_tag.real;
            break;
        case 42:
            if (!m_vertices.empty()) m_vertices.back().bulge = m_tag.real;
            break;
        case 90:
            CheckCount();
            break;
        default:
            OnEntityTag();
            break;
    }
}

void Parser::FinishRecord() {
    OpenSequence();
    switch (m_kind) {
        case Kind::Dictionary:
            FinishDictionary();
            break;
        case Kind::Layer:
            AddRawLayer();
            break;
        case Kind::Ltype:
            m_linetypes.AddLinetype(
                DecodeDxfString(m_ltypeName, m_source.version, m_source.codePage),
                std::move(m_ltypePattern),
                DecodeDxfString(m_ltypeDescription, m_source.version, m_source.codePage));
            m_ltypePattern.clear();
            break;
        case Kind::Line:
            if (!m_entity.paper) {
                CheckPoint(m_entity.p10, "LINE");
                CheckPoint(m_entity.p11, "LINE");
                AddLine(m_entity.p10, m_entity.p11, LayerOf(m_entity.layer));
                ++m_taken["LINE"];
            }
            break;
        case Kind::Arc:
        case Kind::Circle: {
            const char* type = m_kind == Kind::Arc ? "ARC" : "CIRCLE";
            const auto mirror = Mirror();
            if (m_entity.paper || !mirror) break;
            const double to = m_kind == Kind::Arc ? m_entity.angle2 : 360.0;
            const double from = m_kind == Kind::Arc ? m_entity.angle1 : 0.0;
            AddArc(m_entity.p10, m_entity.radius, from, to, *mirror, type, LayerOf(m_entity.layer));
            ++m_taken[type];
            break;
        }
        case Kind::LwPolyline:
            TakeLwPolyline();
            break;
        case Kind::Polyline:
            TakePolyline();
            break;
        case Kind::Vertex:
            TakeVertex();
            break;
        case Kind::Seqend:
            FlushPolyline();
            break;
        // Read tag by tag, or not read at all: nothing left to finish.
        case Kind::Other:
        case Kind::Section:
        case Kind::Header:
        case Kind::TableHead:
        case Kind::Appid:
        case Kind::BlockRecord:
        case Kind::OtherEntity:
            break;
    }
    m_kind = Kind::Other;
}

void Parser::OpenPolyline(const char* type, bool mirror) {
    m_polyOpen = true;
    m_polyType = type;
    m_polyRecord = RecordIndex();
    m_polyClosed = (m_entity.flags & 1) != 0;
    m_polyMirror = mirror;
    m_polyLayer = LayerOf(m_entity.layer);
    m_polyColour = OwnColourOf(m_entity);
    m_polyStyle = StyleOf(m_entity);
}

void Parser::TakeLwPolyline() {
    const auto mirror = Mirror();
    if (m_entity.paper || !mirror) return;
    OpenPolyline("LWPOLYLINE", *mirror);
    for (PolyVertex& v : m_vertices) {
        CheckPoint(v.point, "LWPOLYLINE");
        if (m_polyMirror) {
            v.point.x = -v.point.x;
            v.bulge = -v.bulge;
        }
    }
    FlushPolyline();
}

void Parser::TakePolyline() {
    // 3-D polylines, meshes and polyface meshes are not flat drawings.
    constexpr std::int64_t kNotFlat = 8 | 16 | 64;
    const auto mirror = Mirror();
    if (m_entity.paper || !mirror || (m_entity.flags & kNotFlat) != 0) return;
    OpenPolyline("POLYLINE", *mirror);
    m_vertices.clear();
}

void Parser::TakeVertex() {
    if (!m_polyOpen) return;
    Vec2 point = m_entity.p10;
    double bulge = m_entity.bulge;
    CheckPoint(point, "POLYLINE");
    if (m_polyMirror) {
        point.x = -point.x;
        bulge = -bulge;
    }
    m_vertices.push_back({point, bulge});
}

std::optional<bool> Parser::Mirror() const {
    const std::array<double, 3>& d = m_entity.extrusion;
    if (std::abs(d[0]) < 1e-9 && std::abs(d[1]) < 1e-9 && d[2] != 0.0) return d[2] < 0.0;
    return std::nullopt;
}

void Parser::CheckPoint(Vec2 p, const char* type) const {
    if (std::abs(p.x) <= kDxfMaxCoordinate && std::abs(p.y) <= kDxfMaxCoordinate) return;
    m_reader.Fail(std::string(type) + " の座標 (" + FormatNumber(p.x) + ", " + FormatNumber(p.y) +
                  ") が扱える範囲を超えています");
}

void Parser::CheckRadius(double radius, const char* type) const {
    if (radius > 0.0 && radius <= kDxfMaxCoordinate) return;
    m_reader.Fail(std::string(type) + " の半径 " + FormatNumber(radius) + " が正しくありません");
}

void Parser::Push(const EntityData& entity) {
    m_result.content.entities.push_back(entity);
    m_source.entityRecord.push_back(
        static_cast<std::uint32_t>(m_polyOpen ? m_polyRecord : RecordIndex()));
    const std::uint32_t own = m_polyOpen ? m_polyColour : OwnColourOf(m_entity);
    if (own != 0) {
        m_source.entityColour.resize(m_source.entityRecord.size(), 0);
        m_source.entityColour.back() = own;
    }
    const LineStyle style = m_polyOpen ? m_polyStyle : StyleOf(m_entity);
    if (m_styles.empty() || !(m_styles.back() == style)) m_styles.push_back(style);
    m_entityStyle.push_back(static_cast<std::uint32_t>(m_styles.size() - 1));
}

Parser::LineStyle Parser::StyleOf(const EntityFields& e) noexcept {
    return {e.linetype, e.layer.empty() ? std::string_view("0") : e.layer, e.linetypeScale};
}

void Parser::ResolveLinetypes() {
    if (m_linetypes.Empty()) return;
    // A pattern under another name is another dash: the name may say which type it is.
    std::map<std::pair<std::vector<double>, DxfLinetypeLabel>, std::uint32_t> known;
    const auto indexOf = [&](std::optional<std::vector<double>> pattern,
                             const DxfLinetypeLabel* label) {
        if (!pattern) return DocumentSource::kSolidLine;
        DxfLinetypeLabel named = label != nullptr ? *label : DxfLinetypeLabel{};
        const auto [found, added] = known.emplace(
            std::pair{*pattern, named}, static_cast<std::uint32_t>(m_source.dashPatterns.size()));
        if (added) {
            m_source.dashPatterns.push_back(std::move(*pattern));
            m_source.dashLabels.push_back(std::move(named));
        }
        return found->second;
    };
    std::vector<std::uint32_t> styleDash;
    styleDash.reserve(m_styles.size());
    for (const LineStyle& style : m_styles) {
        styleDash.push_back(indexOf(m_linetypes.PatternOf(style.linetype, style.layer, style.scale),
                                    m_linetypes.LabelOf(style.linetype, style.layer)));
    }
    m_source.entityDash.reserve(m_entityStyle.size());
    for (const std::uint32_t style : m_entityStyle) m_source.entityDash.push_back(styleDash[style]);
    for (const DxfLayerEntry& layer : m_source.layers) {
        const std::uint32_t dash = indexOf(m_linetypes.PatternOf("", layer.rawName, 1.0),
                                           m_linetypes.LabelOf("", layer.rawName));
        if (dash != DocumentSource::kSolidLine)
            m_source.layerDash.emplace_back(layer.read.number, dash);
    }
}

void Parser::AddLine(Vec2 start, Vec2 end, std::int32_t layer) {
    Push(MakeLine(start, end, layer));
    ++m_result.report.lines;
}

void Parser::AddArc(Vec2 centre, double radius, double angle1, double angle2, bool mirror,
                    const char* type, std::int32_t layer) {
    CheckPoint(centre, type);
    CheckRadius(radius, type);
    if (mirror) {
        centre.x = -centre.x;
        const double a1 = 180.0 - angle2;
        angle2 = 180.0 - angle1;
        angle1 = a1;
    }
    const double from = std::fmod(angle1, 360.0) * kDegree;
    const double to = std::fmod(angle2, 360.0) * kDegree;
    // Start and end angles the same (up to the digits a file keeps) make a full circle.
    double sweep = std::fmod(angle2 - angle1, 360.0);
    if (sweep < 0.0) sweep += 360.0;
    const bool full = sweep < kFullCircleSlack || sweep > 360.0 - kFullCircleSlack;
    const Vec2 start = centre + radius * Vec2{std::cos(from), std::sin(from)};
    const Vec2 end = full ? start : centre + radius * Vec2{std::cos(to), std::sin(to)};
    EntityData arc = MakeArc(centre, start, end, layer);
    arc.radius = radius;
    Push(arc);
    ++m_result.report.arcs;
}

void Parser::AddBulge(Vec2 a, Vec2 b, double bulge, std::int32_t layer) {
    if (a == b) return;
    if (std::abs(bulge) < kMinBulge) {
        AddLine(a, b, layer);
        return;
    }
    const double theta = 4.0 * std::atan(bulge);  // signed sweep, |theta| < 2 pi
    const Vec2 chord = b - a;
    const double d = Length(chord);
    const Vec2 left{-chord.y / d, chord.x / d};
    const Vec2 centre = 0.5 * (a + b) + left * (0.5 * d / std::tan(0.5 * theta));
    const double radius = 0.5 * d / std::abs(std::sin(0.5 * theta));
    if (!IsFinite(centre)) CheckRadius(std::numeric_limits<double>::infinity(), m_polyType);
    CheckPoint(centre, m_polyType);
    CheckRadius(radius, m_polyType);
    EntityData arc = theta > 0.0 ? MakeArc(centre, a, b, layer) : MakeArc(centre, b, a, layer);
    arc.radius = radius;
    Push(arc);
    ++m_result.report.arcs;
}

void Parser::FlushPolyline() {
    if (!m_polyOpen) return;
    const std::size_t n = m_vertices.size();
    for (std::size_t i = 0; i + 1 < n; ++i) {
        AddBulge(m_vertices[i].point, m_vertices[i + 1].point, m_vertices[i].bulge, m_polyLayer);
    }
    if (m_polyClosed && n >= 2) {
        AddBulge(m_vertices[n - 1].point, m_vertices[0].point, m_vertices[n - 1].bulge,
                 m_polyLayer);
    }
    ++m_taken[m_polyType];
    m_polyOpen = false;
}

}  // namespace pelimator::board::reader
