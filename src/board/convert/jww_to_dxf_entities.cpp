// One Jw_cad entity as DXF: lines, circles, arcs, elliptic arcs, points, texts, solids, block
// inserts and dimensions, with the pen's colour, line type and width.
#include <algorithm>
#include <cmath>
#include <numbers>

#include "board/convert/jww_to_dxf_parts.h"
#include "board/dxf/dxf_colour.h"
#include "board/dxf/dxf_file.h"
#include "board/jww/jww_circle_solid.h"
#include "board/jww/jww_underlay.h"
#include "board/model/underlay.h"

namespace pelimator::board::convert {

namespace {

using jww::Shape;
using jww::ShapeKind;

constexpr double kDegrees = 180.0 / std::numbers::pi;
constexpr double kTwoPi = 2.0 * std::numbers::pi;
// A text whose record marks an embedded picture (where it lies is in the text).
constexpr std::string_view kPictureText = "^@BM";
// Jw_cad's pen style of a point drawn as a marker; random lines are 11-15.
constexpr std::uint8_t kMarkerStyle = 100;
constexpr std::uint8_t kFirstRandomLine = 11;
constexpr std::uint8_t kLastRandomLine = 15;
// Solids from this pen style on are circles, sectors and rings.
constexpr std::uint8_t kFirstCircleSolid = 101;
// A solid's pen colour that means its own RGB.
constexpr std::uint16_t kOwnRgbColour = 10;

Vec2 Scaled(Vec2 p, double s) { return {p.x * s, p.y * s}; }

bool Circular(const Shape& shape) { return std::abs(shape.flatness - 1.0) < 1e-12; }

bool Finite(const Shape& s) {
    for (const Vec2 p : s.p) {
        if (!std::isfinite(p.x) || !std::isfinite(p.y)) return false;
    }
    return std::isfinite(s.radius) && std::isfinite(s.startAngle) && std::isfinite(s.sweep) &&
           std::isfinite(s.tilt) && std::isfinite(s.flatness) && std::isfinite(s.sizeX) &&
           std::isfinite(s.sizeY) && std::isfinite(s.angle) && std::isfinite(s.spacing);
}

}  // namespace

DxfEntityWriter::DxfEntityWriter(const jww::Header& header, DxfTables& tables, DxfHandles& handles,
                                 const std::unordered_map<std::uint32_t, std::string>& blockNames)
    : m_header(header), m_tables(tables), m_handles(handles), m_blockNames(blockNames) {}

void DxfEntityWriter::Head(const char* type, const Shape& shape, const DxfPlace& place,
                           DxfOut& out) {
    const jww::Common& c = shape.common;
    ++m_written[type];
    out.Put(0, type);
    out.Put(5, m_handles.Next());
    out.Put(330, place.owner);
    out.Put(100, "AcDbEntity");
    const bool temporary = shape.kind == ShapeKind::Point && shape.temporary;
    out.Put(8, place.inBlock ? std::string("0") : m_tables.Layer(c, temporary));
    const bool lined = shape.kind == ShapeKind::Line || shape.kind == ShapeKind::Arc;
    const std::string linetype = lined ? m_tables.Linetype(c.penStyle) : std::string();
    out.Put(6, linetype.empty() ? std::string("Continuous") : linetype);
    const Rgb rgb = shape.kind == ShapeKind::Solid && c.penColour == kOwnRgbColour
                        ? jww::UnpackColorRef(shape.rgb)
                        : jww::PenRgb(m_header, c.penColour);
    out.PutInt(62, NearestAci(rgb));
    // Black and white are the foreground colour (7): black on a white screen and on paper, white
    // on a dark screen, as Jw_cad's pens of a drawing made on either background are meant.
    if (!(rgb == Rgb{}) && !(rgb == Rgb{255, 255, 255})) {
        out.PutInt(420, static_cast<long long>(PackRgb(rgb)));
    }
    out.PutInt(370, LineweightOf(c.penWidth));
    // Patterns are in paper millimetres: the group's scale makes them real size.
    if (!linetype.empty() && place.scale != 1.0) out.Put(48, place.scale);
    if (lined && c.penStyle >= kFirstRandomLine && c.penStyle <= kLastRandomLine) {
        ++m_approximated["ランダム線 (実線で保存)"];
    }
}

bool DxfEntityWriter::Write(const Shape& shape, const DxfPlace& place, DxfOut& out) {
    if (!Finite(shape)) {
        ++m_approximated["数でない座標の図形 (保存しません)"];
        return false;
    }
    switch (shape.kind) {
        case ShapeKind::Line:
            Line(shape, place, out);
            return true;
        case ShapeKind::Arc:
            if (Circular(shape)) {
                Arc(shape, place, out);
            } else {
                Ellipse(shape, place, out);
            }
            return true;
        case ShapeKind::Point:
            Point(shape, place, out);
            return true;
        case ShapeKind::Text:
            return Text(shape, place, out);
        case ShapeKind::Solid:
            if (shape.common.penStyle >= kFirstCircleSolid) {
                CircleSolid(shape, place, out);
            } else {
                Solid(shape, place, out);
            }
            return true;
        case ShapeKind::Insert:
            Insert(shape, place, out);
            return true;
    }
    return false;
}

void DxfEntityWriter::Line(const Shape& shape, const DxfPlace& place, DxfOut& out) {
    Head("LINE", shape, place, out);
    out.Put(100, "AcDbLine");
    out.PutPoint(10, Scaled(shape.p[0], place.scale));
    out.PutPoint(11, Scaled(shape.p[1], place.scale));
}

void DxfEntityWriter::Arc(const Shape& shape, const DxfPlace& place, DxfOut& out) {
    Head(shape.full ? "CIRCLE" : "ARC", shape, place, out);
    out.Put(100, "AcDbCircle");
    out.PutPoint(10, Scaled(shape.p[0], place.scale));
    out.Put(40, shape.radius * place.scale);
    if (shape.full) return;
    double start = shape.startAngle + shape.tilt;
    double sweep = shape.sweep;
    if (sweep < 0.0) {
        start += sweep;
        sweep = -sweep;
    }
    out.Put(100, "AcDbArc");
    out.Put(50, start * kDegrees);
    out.Put(51, (start + sweep) * kDegrees);
}

void DxfEntityWriter::Ellipse(const Shape& shape, const DxfPlace& place, DxfOut& out) {
    // Jw_cad's flatness is minor / major with the radius along the tilt; DXF's ratio is at most
    // 1, so a flatness above 1 turns the major axis a quarter and the parameters back by one.
    double radius = shape.radius;
    double ratio = std::abs(shape.flatness);
    double tilt = shape.tilt;
    double start = shape.startAngle;
    double sweep = shape.full ? kTwoPi : shape.sweep;
    if (ratio > 1.0) {
        radius *= ratio;
        ratio = 1.0 / ratio;
        tilt += std::numbers::pi / 2.0;
        start -= std::numbers::pi / 2.0;
    }
    if (sweep < 0.0) {
        start += sweep;
        sweep = -sweep;
    }
    Head("ELLIPSE", shape, place, out);
    out.Put(100, "AcDbEllipse");
    out.PutPoint(10, Scaled(shape.p[0], place.scale));
    const double major = radius * place.scale;
    out.PutPoint(11, {major * std::cos(tilt), major * std::sin(tilt)});
    out.Put(40, std::max(ratio, 1e-6));
    out.Put(41, start);
    out.Put(42, start + sweep);
}

void DxfEntityWriter::Point(const Shape& shape, const DxfPlace& place, DxfOut& out) {
    Head("POINT", shape, place, out);
    out.Put(100, "AcDbPoint");
    out.PutPoint(10, Scaled(shape.p[0], place.scale));
    if (shape.common.penStyle == kMarkerStyle) ++m_approximated["点マーカー (点で保存)"];
}

bool DxfEntityWriter::Text(const Shape& shape, const DxfPlace& place, DxfOut& out) {
    if (shape.text.rfind(kPictureText, 0) == 0) {
        ++m_approximated["画像 (保存しません)"];
        return false;
    }
    // Jw_cad's size is the character cell's height, the em of the font; DXF's the cap height.
    const double cell = shape.sizeY * place.scale;
    const double height = cell * kCellCapHeight;
    // Jw_cad's start point is the bottom of the cells, DXF's the baseline: the em's part below
    // the baseline higher.
    const double radians = shape.angle / kDegrees;
    const double rise = kCellEmDescent * cell;
    const Vec2 up{-std::sin(radians) * rise, std::cos(radians) * rise};
    const Vec2 start = Scaled(shape.p[0], place.scale) + up;
    const Vec2 along{std::cos(radians), std::sin(radians)};
    // Jw_cad lays the run from its start to its end. Where the end is where the cells end (no
    // spacing), the glyphs' own advances at the width factor put each in its cell (a gothic
    // face's half-width glyphs are half as wide); any other run is fitted to its end, which
    // stretches the glyphs evenly (and ends the last glyph's ink there, not its cell). DXF has no
    // spacing: the fitted run's length, its width factor and its characters give it back. A run
    // stored without its end ends where its cells (and spacing) do.
    Vec2 end = Scaled(shape.p[1], place.scale) + up;
    if (shape.p[1] == shape.p[0]) {
        end =
            start + (jww::CellsWidth(shape.text, shape.sizeX, shape.spacing) * place.scale) * along;
    }
    const double cells = jww::CellsWidth(shape.text, shape.sizeX, 0.0) * place.scale;
    const Vec2 cellsEnd = start + cells * along;
    const bool own = shape.spacing == 0.0 && Distance(end, cellsEnd) <= 1e-9 * std::max(1.0, cells);
    const bool fit = !own && Distance(start, end) > 0.0 && height > 0.0;
    Head("TEXT", shape, place, out);
    out.Put(100, "AcDbText");
    out.PutPoint(10, start);
    out.Put(40, height > 0.0 ? height : 1.0);
    out.Put(1, shape.text);
    out.Put(50, shape.angle);
    out.Put(41, shape.sizeY > 0.0 ? shape.sizeX / shape.sizeY : 1.0);
    const bool italic = (shape.textKind / 10000U) % 2U == 1U;
    if (italic) out.Put(51, std::atan(kItalicShear) * kDegrees);
    const bool bold = ((shape.textKind / 10000U) & 2U) != 0U;
    out.Put(7, m_tables.TextStyle(shape.font, bold));
    if (fit) {
        out.PutInt(72, 5);
        out.PutPoint(11, end);
    }
    out.Put(100, "AcDbText");
    // The text kind (文字種) as the board's own extended data, which other readers keep.
    if (const std::uint32_t kind = shape.textKind % 10000U; kind != 0U) {
        out.Put(1001, kDxfAppName);
        out.Put(1000, kDxfJwwTextKind);
        out.PutInt(1070, kind);
    }
    return true;
}

void DxfEntityWriter::Solid(const Shape& shape, const DxfPlace& place, DxfOut& out) {
    // Stored corners 1, 4, 2, 3; DXF draws 10, 11, 13, 12.
    Head("SOLID", shape, place, out);
    out.Put(100, "AcDbTrace");
    out.PutPoint(10, Scaled(shape.p[0], place.scale));
    out.PutPoint(11, Scaled(shape.p[2], place.scale));
    out.PutPoint(12, Scaled(shape.p[1], place.scale));
    out.PutPoint(13, Scaled(shape.p[3], place.scale));
}

void DxfEntityWriter::CircleSolid(const Shape& shape, const DxfPlace& place, DxfOut& out) {
    const std::vector<Vec2> ring = jww::CircleSolidOf(shape).points;
    Head("HATCH", shape, place, out);
    out.Put(100, "AcDbHatch");
    out.PutPoint(10, {0.0, 0.0});
    out.Put(210, 0.0);
    out.Put(220, 0.0);
    out.Put(230, 1.0);
    out.Put(2, "SOLID");
    out.PutInt(70, 1);
    out.PutInt(71, 0);
    out.PutInt(91, 1);
    out.PutInt(92, 2);  // a polyline path
    out.PutInt(72, 0);
    out.PutInt(73, 1);
    out.PutInt(93, static_cast<long long>(ring.size()));
    for (const Vec2 p : ring) {
        out.Put(10, p.x * place.scale);
        out.Put(20, p.y * place.scale);
    }
    out.PutInt(97, 0);
    out.PutInt(75, 1);
    out.PutInt(76, 1);
    out.PutInt(98, 0);
}

void DxfEntityWriter::Insert(const Shape& shape, const DxfPlace& place, DxfOut& out) {
    const auto found = m_blockNames.find(shape.code);
    if (found == m_blockNames.end()) {
        ++m_approximated["定義のないブロック (保存しません)"];
        return;
    }
    Head("INSERT", shape, place, out);
    out.Put(100, "AcDbBlockReference");
    out.Put(2, found->second);
    out.PutPoint(10, Scaled(shape.p[0], place.scale));
    out.Put(41, shape.sizeX * place.scale);
    out.Put(42, shape.sizeY * place.scale);
    out.Put(43, place.scale);
    out.Put(50, shape.angle * kDegrees);
}

void DxfEntityWriter::WriteDimension(std::span<const Shape> parts, const DxfPlace& place,
                                     DxfOut& out, DxfOut& records, DxfOut& blocks,
                                     const std::string& recordTable) {
    // Parts: the dimension line, its text, then (from version 4.20) the two extension lines and
    // four points.
    if (parts.size() < 2 || parts[0].kind != ShapeKind::Line || !Finite(parts[0])) {
        for (const Shape& part : parts) Write(part, place, out);
        return;
    }
    const std::string name = "*D" + std::to_string(++m_dimensions);
    const std::string record = m_handles.Next();
    records.Put(0, "BLOCK_RECORD");
    records.Put(5, record);
    records.Put(330, recordTable);
    records.Put(100, "AcDbSymbolTableRecord");
    records.Put(100, "AcDbBlockTableRecord");
    records.Put(2, name);
    records.Put(340, "0");
    records.PutInt(70, 0);
    records.PutInt(280, 1);
    records.PutInt(281, 0);
    BlockBegin(blocks, record, name, true, m_handles);
    // The block is drawn where it is: the parts at real size, each on its own layer.
    const DxfPlace inside{record, place.scale, false};
    const auto before = m_written;
    for (const Shape& part : parts) Write(part, inside, blocks);
    m_written = before;  // the block's parts are not model-space entities
    BlockEnd(blocks, record, m_handles);
    DimensionEntity(parts, place, name, out);
}

void DxfEntityWriter::DimensionEntity(std::span<const Shape> parts, const DxfPlace& place,
                                      const std::string& block, DxfOut& out) {
    const Shape& line = parts[0];
    const Vec2 start = Scaled(line.p[0], place.scale);
    const Vec2 along = Scaled(line.p[1], place.scale) - start;
    // Where the extension lines start: their ends farther from the dimension line; without
    // them, the dimension line's ends.
    const auto origin = [&](const Shape& ext) {
        const Vec2 p = Scaled(ext.p[0], place.scale);
        const Vec2 q = Scaled(ext.p[1], place.scale);
        const auto off = [&](Vec2 v) {
            return std::abs((v.x - start.x) * along.y - (v.y - start.y) * along.x);
        };
        return off(p) >= off(q) ? p : q;
    };
    const bool extended = parts.size() >= 4 && parts[2].kind == ShapeKind::Line &&
                          parts[3].kind == ShapeKind::Line && Finite(parts[2]) &&
                          Finite(parts[3]) && std::hypot(along.x, along.y) > 0.0;
    const Vec2 a = extended ? origin(parts[2]) : start;
    const Vec2 b = extended ? origin(parts[3]) : start + along;
    const Shape& text = parts[1];
    Head("DIMENSION", line, place, out);
    out.Put(100, "AcDbDimension");
    out.PutInt(280, 0);
    out.Put(2, block);
    out.PutPoint(10, Scaled(line.p[1], place.scale));
    out.PutPoint(11, Scaled(0.5 * (text.p[0] + text.p[1]), place.scale));
    out.PutInt(70, 32);  // rotated, its block its own
    out.PutInt(71, 5);
    const double angle = std::atan2(along.y, along.x);
    out.Put(42, std::abs((b.x - a.x) * std::cos(angle) + (b.y - a.y) * std::sin(angle)));
    out.Put(1, text.kind == ShapeKind::Text ? text.text : std::string());
    out.Put(3, "Standard");
    out.Put(100, "AcDbAlignedDimension");
    out.PutPoint(13, a);
    out.PutPoint(14, b);
    out.Put(50, angle * kDegrees);
    out.Put(100, "AcDbRotatedDimension");
}

void BlockBegin(DxfOut& out, const std::string& record, const std::string& name, bool anonymous,
                DxfHandles& handles) {
    out.Put(0, "BLOCK");
    out.Put(5, handles.Next());
    out.Put(330, record);
    out.Put(100, "AcDbEntity");
    out.Put(8, "0");
    out.Put(100, "AcDbBlockBegin");
    out.Put(2, name);
    out.PutInt(70, anonymous ? 1 : 0);
    out.PutPoint(10, {0.0, 0.0});
    out.Put(3, name);
    out.Put(1, "");
}

void BlockEnd(DxfOut& out, const std::string& record, DxfHandles& handles) {
    out.Put(0, "ENDBLK");
    out.Put(5, handles.Next());
    out.Put(330, record);
    out.Put(100, "AcDbEntity");
    out.Put(8, "0");
    out.Put(100, "AcDbBlockEnd");
}

}  // namespace pelimator::board::convert
