// DXF drawings as new Jw_cad drawings: a new drawing from the JWW writer, then the board's lines
// and arcs with their pens, what the DXF shows beneath them (texts, points, solids, lines), its
// kept inserts and dimensions appended as Jw_cad records, and its kept blocks as the block list.
#include "board/convert/dxf_to_jww.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <functional>
#include <limits>
#include <numbers>
#include <optional>
#include <set>
#include <span>
#include <tuple>
#include <unordered_map>

#include "base/errors.h"
#include "base/file.h"
#include "board/convert/dxf_block_edits.h"
#include "board/convert/dxf_blocks.h"
#include "board/convert/fill_pieces.h"
#include "board/convert/jww_record_writer.h"
#include "board/convert/jww_text_run.h"
#include "board/dxf/dxf_colour.h"
#include "board/dxf/dxf_names.h"
#include "board/jww/jww_archive.h"
#include "board/jww/jww_file.h"
#include "board/jww/jww_text.h"
#include "board/jww/jww_underlay.h"
#include "board/model/underlay_edits.h"

namespace pelimator::board {

namespace {

using jww_out::LineTypes;
using jww_out::NearestPen;
using jww_out::RecordWriter;
using jww_out::RunFace;

// A filled area is left out (and reported) past this many pieces.
constexpr std::size_t kMaxFillPieces = 100000;
// The end of the name of the layer the DXF conversion puts a layer's temporary points on.
constexpr std::string_view kTemporarySuffix = " 仮点";

// Where each board layer goes in the JWW: a layer named as Jw_cad layers are shown ("0-2 通り芯",
// "0-2": group and layer in hexadecimal) to that layer, under the rest of its name; any other
// to its own number when that is 0-255 and free, else to the write layer (-1).
class LayerMap {
public:
    explicit LayerMap(std::span<const LayerData> layers) {
        std::set<std::int32_t> taken;
        for (const LayerData& layer : layers) {
            const auto parsed = Parsed(layer.name);
            if (!parsed) continue;
            // The twin layer of a Jw_cad layer's temporary points goes back to that layer.
            const bool twin = layer.name.ends_with(kTemporarySuffix);
            m_to[layer.number] = parsed->first;
            if (twin) m_temporary.insert(layer.number);
            if (twin || !taken.insert(parsed->first).second) continue;
            m_layers.push_back(
                {parsed->first, Shown(parsed->first, parsed->second), layer.colour, layer.visible});
        }
        for (const LayerData& layer : layers) {
            if (m_to.contains(layer.number)) continue;
            const bool fits = layer.number >= 0 && layer.number < 256;
            const std::int32_t to = fits && taken.insert(layer.number).second ? layer.number : -1;
            m_to[layer.number] = to;
            if (to >= 0) {
                m_layers.push_back({to, Shown(to, layer.name), layer.colour, layer.visible});
            }
        }
    }
    [[nodiscard]] std::int32_t To(std::int32_t number) const {
        const auto found = m_to.find(number);
        return found != m_to.end() ? found->second : -1;
    }
    [[nodiscard]] const std::vector<LayerData>& Layers() const { return m_layers; }
    // Whether the board layer holds Jw_cad's temporary points (its name ends " 仮点").
    [[nodiscard]] bool Temporary(std::int32_t number) const { return m_temporary.contains(number); }

private:
    // The name as the board shows a Jw_cad layer, which a new JWW takes the name from.
    static std::string Shown(std::int32_t number, const std::string& name) {
        static constexpr std::string_view kHex = "0123456789ABCDEF";
        std::string out{kHex[(number / 16) & 15], '-', kHex[number & 15]};
        return name.empty() ? out : out + " " + name;
    }
    static std::optional<std::pair<std::int32_t, std::string>> Parsed(const std::string& name) {
        const auto hex = [](char c) -> int {
            if (c >= '0' && c <= '9') return c - '0';
            if (c >= 'A' && c <= 'F') return c - 'A' + 10;
            if (c >= 'a' && c <= 'f') return c - 'a' + 10;
            return -1;
        };
        if (name.size() < 3 || hex(name[0]) < 0 || name[1] != '-' || hex(name[2]) < 0) return {};
        if (name.size() > 3 && name[3] != ' ') return {};
        return std::pair{hex(name[0]) * 16 + hex(name[2]),
                         name.size() > 4 ? name.substr(4) : std::string()};
    }
    std::map<std::int32_t, std::int32_t> m_to;
    std::set<std::int32_t> m_temporary;
    std::vector<LayerData> m_layers;
};

// What the underlay shows, appended as records at paper size (factor: paper mm per unit), from
// an origin (a block's base point).
class UnderlayRecords {
public:
    UnderlayRecords(const JwwSource& source, const Underlay& underlay, double factor,
                    const LayerMap& layers, RecordWriter& out)
        : m_source(source),
          m_underlay(underlay),
          m_factor(factor),
          m_layers(layers),
          m_out(out),
          m_lineTypes(source.header) {}

    void SetOrigin(Vec2 origin) { m_origin = origin; }
    // The texts in a font Jw_cad lays out in cells; without it every text is taken so.
    void SetCellTexts(const std::set<std::uint32_t>* cellTexts) { m_cellTexts = cellTexts; }

    // The items take accepts.
    void Run(const std::function<bool(const UnderlayItem&)>& take) {
        for (const UnderlayItem& item : m_underlay.items) {
            if (take(item)) Item(item);
        }
    }

    void Item(const UnderlayItem& item) {
        const auto [group, layer] = m_source.GroupAndLayer(m_layers.To(item.layer));
        RecordWriter::Pen pen{NearestPen(m_source.header, item.colour), group, layer};
        if (item.dash < m_underlay.dashes.size()) {
            const bool named = item.dash < m_underlay.dashNames.size();
            pen.style =
                m_lineTypes.Style(item.dash, m_underlay.dashes[item.dash], m_factor,
                                  named ? m_underlay.dashNames[item.dash][0] : std::string_view(),
                                  named ? m_underlay.dashNames[item.dash][1] : std::string_view());
        }
        switch (item.kind) {
            case UnderlayKind::Polyline:
                Polyline(item, pen);
                break;
            case UnderlayKind::Segments:
                for (std::uint32_t i = 0; i + 1 < item.count; i += 2) {
                    m_out.Line(pen, At(item.first + i), At(item.first + i + 1));
                }
                break;
            case UnderlayKind::Fill:
                Fill(item, pen);
                break;
            case UnderlayKind::Text:
                Text(item, pen);
                break;
            case UnderlayKind::Point:
                m_out.Dot(pen, At(item.first), m_layers.Temporary(item.layer));
                break;
        }
    }

private:
    [[nodiscard]] Vec2 At(std::uint32_t i) const {
        const Vec2 p = m_underlay.points[i] - m_origin;
        return {p.x * m_factor, p.y * m_factor};
    }

    void Polyline(const UnderlayItem& item, const RecordWriter::Pen& pen) {
        for (std::uint32_t i = 0; i + 1 < item.count; ++i) {
            m_out.Line(pen, At(item.first + i), At(item.first + i + 1));
        }
        if (item.closed && item.count > 2) {
            m_out.Line(pen, At(item.first + item.count - 1), At(item.first));
        }
    }

    // A ring of four corners or fewer as one solid, a larger convex one as a fan of triangles
    // from its first corner; rings with holes (or concave) as the trapezoids that cover the
    // area inside an odd number of them, so that holes stay empty.
    void Fill(const UnderlayItem& item, const RecordWriter::Pen& pen) {
        std::vector<std::vector<Vec2>> rings;
        std::uint32_t begin = 0;
        for (std::uint32_t r = 0; r < item.ringCount; ++r) {
            const std::uint32_t end = m_underlay.ringEnds[item.rings + r];
            auto& ring = rings.emplace_back();
            for (std::uint32_t k = begin; k < end; ++k) ring.push_back(At(item.first + k));
            begin = end;
        }
        if (rings.size() == 1 && rings[0].size() <= 4) {
            const std::vector<Vec2>& ring = rings[0];
            m_out.Solid(pen, item.colour, ring[0], ring[1], ring[2], ring.back());
            return;
        }
        ++m_approximated["多角形の塗りつぶし (三角形・台形に分けて保存)"];
        if (rings.size() == 1 && ConvexRing(rings[0])) {
            const std::vector<Vec2>& ring = rings[0];
            for (std::size_t k = 1; k + 1 < ring.size(); ++k) {
                m_out.Solid(pen, item.colour, ring[0], ring[k], ring[k + 1], ring[k + 1]);
            }
            return;
        }
        const std::vector<FillPiece> pieces = EvenOddPieces(rings, kMaxFillPieces);
        if (pieces.empty() && !rings.empty()) {
            ++m_approximated["塗りつぶし (大きすぎて省略)"];
        }
        for (const FillPiece& q : pieces) m_out.Solid(pen, item.colour, q[0], q[1], q[2], q[3]);
    }

public:
    // Writes the text item as a Jw_cad run (JwwRunOf); false (nothing written) when it has no
    // size. Its under-, overlines and strike-throughs as lines in its pen, unless within a
    // dimension.
    bool Text(const UnderlayItem& item, const RecordWriter::Pen& pen, bool rules = true) {
        const UnderlayText& t = m_underlay.texts[item.text];
        const std::optional<JwwTextRun> run = JwwRunOf(
            t, m_origin, m_factor, m_cellTexts == nullptr || m_cellTexts->contains(item.record));
        if (!run) return false;
        // A run whose codes change its face partway is a Jw_cad text a face.
        for (const JwwTextPiece& piece : JwwRunPieces(t, *run)) {
            RunFace face;
            face.italic = piece.italic;
            face.bold = (piece.face & kFaceBold) != 0U;
            face.kind = t.jwwKind;
            if (piece.font < m_underlay.fonts.size()) face.font = m_underlay.fonts[piece.font];
            m_out.Text(pen, piece.start, piece.end, run->width, run->height, run->degrees,
                       t.utf8.substr(piece.from, piece.to - piece.from), run->spacing, face);
        }
        if (run->aligned) {
            ++m_approximated["文字の揃え (中央・右・中・上: JWW は文字列の始点と終点で保存)"];
        }
        if (run->slanted) ++m_approximated["斜体・傾いた文字 (Jw_cad の斜体の傾きで保存)"];
        if (run->fromBelow) ++m_approximated["裏から見た文字 (表向きで保存)"];
        if (!rules) return true;
        for (const auto& [a, b] : run->rules) m_out.Line(pen, a, b);
        return true;
    }

    [[nodiscard]] const std::map<std::string, std::size_t>& Approximated() const {
        return m_approximated;
    }

private:
    const JwwSource& m_source;
    const Underlay& m_underlay;
    double m_factor;
    const LayerMap& m_layers;
    RecordWriter& m_out;
    LineTypes m_lineTypes;
    Vec2 m_origin;
    const std::set<std::uint32_t>* m_cellTexts = nullptr;
    std::map<std::string, std::size_t> m_approximated;
};

// Records for a new drawing: appended to its entity list, and its block list when not empty.
struct Appended {
    std::string records;
    std::uint32_t count = 0;
    std::string blockList;
};

// What a kept block's content takes from the first insert of it (model space's first, a
// nested one's through the block that holds it): a Jw_cad block has one look for every
// insert of it. BYBLOCK colour and linetype, layer 0's layer, the scale of its dashes.
struct Through {
    Rgb colour;
    std::string linetype = "CONTINUOUS";
    std::string layer = "0";
    double scale = 1.0;
};

// The DXF's kept block structure as Jw_cad records: inserts, and block definitions of their
// lines, arcs, nested inserts and the underlay of what else they draw.
class BlockRecords {
public:
    BlockRecords(const DxfSource& dxf, const DrawingState& state, const JwwSource& source,
                 double factor, const LayerMap& layers, RecordWriter& out)
        : m_dxf(dxf),
          m_state(state),
          m_source(source),
          m_factor(factor),
          m_layers(layers),
          m_out(out),
          m_lineTypes(source.header) {
        for (const DxfLayerEntry& layer : dxf.layers) {
            m_layerNumbers.emplace(LayerKey(layer.rawName), layer.read.number);
        }
        // Layers an edit put a kept insert or dimension on, by the board's name.
        for (const LayerData& layer : state.layers) {
            m_layerNumbers.emplace(LayerKey(layer.name), layer.number);
        }
    }

    // The board layer of a DXF layer name (0 when the file has no such layer).
    [[nodiscard]] std::int32_t LayerNumber(std::string_view name) const {
        const auto found = m_layerNumbers.find(LayerKey(name));
        return found != m_layerNumbers.end() ? found->second : 0;
    }

    void Inserts(const std::vector<DxfPlacement>& inserts, Vec2 origin, Rgb byBlock = {}) {
        for (const DxfPlacement& p : inserts) {
            m_out.Insert(PenOf(p.layer, p.aci, byBlock), Paper(p.at, origin), p.scaleX, p.scaleY,
                         p.radians, p.block + 1);
        }
    }

    // Model space's kept inserts, their attributes as texts (placed by attributeEdits), and the
    // block list of the blocks they use; what was approximated counted into approximated.
    Appended Kept(const DxfBlockStructure& structure, const DxfRecordEdits& attributeEdits,
                  std::map<std::string, std::size_t>& approximated) {
        FindThrough(structure);
        Inserts(structure.inserts, {});
        Underlay drawn = structure.where.entities.empty()
                             ? Underlay{}
                             : BuildDxfUnderlay(m_dxf, structure.where, [&](std::string_view name) {
                                   return LayerNumber(name);
                               });
        if (!attributeEdits.empty()) {
            std::unordered_map<std::int32_t, Rgb> colours;
            for (const LayerData& layer : m_state.layers) {
                colours.emplace(layer.number, layer.colour);
            }
            drawn = EditedUnderlay(drawn, attributeEdits, colours);
        }
        UnderlayRecords records(m_source, drawn, m_factor, m_layers, m_out);
        records.SetCellTexts(&structure.cellTexts);
        const std::int32_t layerZero = LayerNumber("0");
        for (UnderlayItem item : drawn.items) {
            const auto found = structure.insertLayerOf.find(item.record);
            if (found == structure.insertLayerOf.end()) continue;
            // Drawn on its own, an attribute on layer 0 stays on its insert's layer.
            if (item.layer == layerZero) item.layer = LayerNumber(found->second);
            records.Item(item);
        }
        Appended out;
        std::tie(out.records, out.count) = m_out.Take();
        out.blockList = Definitions(structure, records, drawn);
        for (const auto& [what, n] : records.Approximated()) approximated[what] += n;
        return out;
    }

    // Linear and aligned dimensions as Jw_cad dimensions: the dimension line between the
    // extension lines, the first text the DXF draws for it, the extension lines, and their four
    // ends as temporary points; what else it draws (arrowheads, ticks, more texts) as records of
    // their own.
    void Dimensions(const std::vector<DxfDimensionPlace>& dimensions, UnderlayRecords& top,
                    const Underlay& underlay) {
        std::unordered_map<std::uint32_t, std::vector<std::uint32_t>> items;
        for (const DxfDimensionPlace& d : dimensions) items[d.record];
        ItemsOf(underlay, items);
        for (const DxfDimensionPlace& d : dimensions) {
            const Vec2 u{std::cos(d.radians), std::sin(d.radians)};
            const auto onLine = [&](Vec2 p) {
                return d.line + ((p.x - d.line.x) * u.x + (p.y - d.line.y) * u.y) * u;
            };
            const std::array<Vec2, 4> ends{onLine(d.first), onLine(d.second), d.first, d.second};
            const std::vector<std::uint32_t>& mine = items[d.record];
            const auto text = std::find_if(mine.begin(), mine.end(), [&](std::uint32_t i) {
                return underlay.items[i].kind == UnderlayKind::Text;
            });
            Dimension(d, ends, text != mine.end() ? &underlay.items[*text] : nullptr, top);
            for (const std::uint32_t i : mine) {
                // Its definition points are the dimension's own points.
                if ((text == mine.end() || i != *text) &&
                    underlay.items[i].kind != UnderlayKind::Point &&
                    !OnDimension(underlay, i, ends)) {
                    top.Item(underlay.items[i]);
                }
            }
        }
    }

    // Other dimensions as their parts: the lines, arcs and circles of their blocks as they are,
    // the rest (solids, texts, points, what a stretched insert bends) as the underlay draws it.
    // One the underlay does not show (its layer frozen) is left out.
    void DimensionParts(const std::vector<DxfDimensionParts>& dimensions, UnderlayRecords& top,
                        const Underlay& underlay) {
        std::unordered_map<std::uint32_t, std::vector<std::uint32_t>> items;
        for (const DxfDimensionParts& d : dimensions) items[d.record];
        ItemsOf(underlay, items);
        for (const DxfDimensionParts& d : dimensions) {
            const std::vector<std::uint32_t>& mine = items[d.record];
            if (mine.empty()) continue;
            Curves(d.curves, {}, Through{});
            for (const std::uint32_t i : mine) {
                if (!OnCurves(underlay, underlay.items[i], d.curves)) top.Item(underlay.items[i]);
            }
        }
    }

private:
    // The underlay items of each record of items, by index.
    static void ItemsOf(const Underlay& underlay,
                        std::unordered_map<std::uint32_t, std::vector<std::uint32_t>>& items) {
        for (std::uint32_t i = 0; i < underlay.items.size(); ++i) {
            const auto found = items.find(underlay.items[i].record);
            if (found != items.end()) found->second.push_back(i);
        }
    }

    // Whether an outline item is one of curves as the underlay flattens it: every point on it,
    // each piece between them (chords of an arc) near it.
    static bool OnCurves(const Underlay& underlay, const UnderlayItem& item,
                         const std::vector<DxfBlockCurve>& curves) {
        if ((item.kind != UnderlayKind::Polyline && item.kind != UnderlayKind::Segments) ||
            item.count < 2) {
            return false;
        }
        const auto on = [&](const DxfBlockCurve& c, Vec2 p, double slack) {
            if (!c.circle && c.radius == 0.0) {
                const double size = std::max(1.0, std::hypot(c.b.x - c.a.x, c.b.y - c.a.y));
                return DistanceToSegment(p, c.a, c.b) <= 1e-6 * size;
            }
            const double r = std::abs(c.radius);
            return std::abs(std::hypot(p.x - c.a.x, p.y - c.a.y) - r) <= (1e-6 + slack) * r;
        };
        return std::any_of(curves.begin(), curves.end(), [&](const DxfBlockCurve& c) {
            for (std::uint32_t k = 0; k < item.count; ++k) {
                const Vec2 p = underlay.points[item.first + k];
                if (!on(c, p, 0.0)) return false;
                if (k == 0) continue;
                const Vec2 q = underlay.points[item.first + k - 1];
                if (!on(c, 0.5 * (p + q), 0.02)) return false;
            }
            return true;
        });
    }

    void Dimension(const DxfDimensionPlace& d, const std::array<Vec2, 4>& ends,
                   const UnderlayItem* text, UnderlayRecords& top) {
        const RecordWriter::Pen pen = PenOf(d.layer, d.aci);
        m_out.Dimension(pen);
        m_out.Line(pen, Paper(ends[0], {}), Paper(ends[1], {}));
        if (text == nullptr || !top.Text(*text, pen, false)) {
            const double degrees = d.radians * 180.0 / std::numbers::pi;
            m_out.Text(pen, Paper(ends[0], {}), Paper(ends[0], {}), 2.5, 2.5, degrees, "");
        }
        m_out.SxfMode();
        m_out.Line(pen, Paper(ends[2], {}), Paper(ends[0], {}));
        m_out.Line(pen, Paper(ends[3], {}), Paper(ends[1], {}));
        for (const Vec2 p : ends) m_out.Dot(pen, Paper(p, {}), true);
        m_out.DimensionEnd();
    }

    // Whether an outline item lies on the dimension line or an extension line (ends: the
    // dimension line's, then the extension lines' origins), which the dimension draws itself.
    static bool OnDimension(const Underlay& underlay, std::uint32_t i,
                            const std::array<Vec2, 4>& ends) {
        const UnderlayItem& item = underlay.items[i];
        if (item.kind != UnderlayKind::Polyline && item.kind != UnderlayKind::Segments) {
            return false;
        }
        const std::array<std::pair<Vec2, Vec2>, 3> lines{
            {{ends[0], ends[1]}, {ends[2], ends[0]}, {ends[3], ends[1]}}};
        double size = 1.0;
        for (const auto& [a, b] : lines) size = std::max(size, std::hypot(b.x - a.x, b.y - a.y));
        const auto near = [&](Vec2 p) {
            return std::any_of(lines.begin(), lines.end(), [&](const auto& line) {
                return DistanceToSegment(p, line.first, line.second) <= 1e-6 * size;
            });
        };
        for (std::uint32_t k = 0; k < item.count; ++k) {
            if (!near(underlay.points[item.first + k])) return false;
        }
        return item.count > 0;
    }

    static double DistanceToSegment(Vec2 p, Vec2 a, Vec2 b) {
        const Vec2 v = b - a;
        const double length = v.x * v.x + v.y * v.y;
        const double t =
            length > 0.0 ? std::clamp(((p.x - a.x) * v.x + (p.y - a.y) * v.y) / length, 0.0, 1.0)
                         : 0.0;
        return std::hypot(p.x - a.x - t * v.x, p.y - a.y - t * v.y);
    }

    // The block list: its count, then each definition, numbered from 1 in order.
    std::string Definitions(const DxfBlockStructure& structure, UnderlayRecords& drawn,
                            const Underlay& underlay) {
        std::vector<std::vector<std::uint32_t>> items(structure.blocks.size());
        for (std::uint32_t i = 0; i < underlay.items.size(); ++i) {
            const auto found = structure.blockOfRecord.find(underlay.items[i].record);
            if (found != structure.blockOfRecord.end() && found->second < items.size()) {
                items[found->second].push_back(i);
            }
        }
        std::string out;
        jww::PutCount(out, static_cast<std::uint32_t>(structure.blocks.size()));
        for (std::uint32_t b = 0; b < structure.blocks.size(); ++b) {
            const DxfBlockContent& block = structure.blocks[b];
            m_out.BlockHead(b + 1, block.name);
            out += m_out.Take().first;
            Curves(block.curves, block.base, m_through[b], &structure);
            Inserts(block.inserts, block.base, m_through[b].colour);
            drawn.SetOrigin(block.base);
            for (const std::uint32_t i : items[b]) {
                UnderlayItem item = underlay.items[i];
                if (ByBlock(item.record)) item.colour = m_through[b].colour;
                drawn.Item(item);
            }
            const auto [bytes, count] = m_out.Take();
            jww::PutCount(out, count);
            out += bytes;
        }
        return out;
    }

    [[nodiscard]] Vec2 Paper(Vec2 p, Vec2 origin) const {
        return {(p.x - origin.x) * m_factor, (p.y - origin.y) * m_factor};
    }

    // The Jw_cad line type of a block's curve drawn through its first insert.
    std::uint8_t Style(const DxfBlockStructure& structure, const DxfBlockCurve& c,
                       const Through& through) {
        const std::string_view layer = c.layer.empty() || c.layer == "0" ? through.layer : c.layer;
        const auto pattern = structure.linetypes.PatternOf(
            c.linetype, layer, c.linetypeScale, through.linetype, through.layer, through.scale);
        if (!pattern) return 1;
        const DxfLinetypeLabel* found =
            structure.linetypes.LabelOf(c.linetype, layer, through.linetype, through.layer);
        std::pair named{*pattern, found != nullptr ? *found : DxfLinetypeLabel{}};
        const auto known = std::find(m_patterns.begin(), m_patterns.end(), named);
        const auto key = static_cast<std::uint32_t>(known - m_patterns.begin());
        if (known == m_patterns.end()) m_patterns.push_back(named);
        return m_lineTypes.Style(key, *pattern, m_factor, named.second.name,
                                 named.second.description);
    }

    // Lines, arcs and circles from an origin (a block's base point), drawn through an insert;
    // in their line types when the structure that names them is given, else solid.
    void Curves(const std::vector<DxfBlockCurve>& curves, Vec2 base, const Through& through,
                const DxfBlockStructure* structure = nullptr) {
        constexpr double kTurn = 2.0 * std::numbers::pi;
        for (const DxfBlockCurve& c : curves) {
            RecordWriter::Pen pen = PenOf(c.layer, c.aci, through.colour);
            if (structure != nullptr) pen.style = Style(*structure, c, through);
            if (!c.circle && c.radius == 0.0) {
                m_out.Line(pen, Paper(c.a, base), Paper(c.b, base));
                continue;
            }
            const double start = c.circle ? 0.0 : c.startDegrees * std::numbers::pi / 180.0;
            double sweep =
                c.circle ? kTurn : (c.endDegrees - c.startDegrees) * std::numbers::pi / 180.0;
            sweep = std::fmod(sweep, kTurn);
            if (sweep <= 0.0) sweep += kTurn;
            m_out.Arc(pen, Paper(c.a, base), std::abs(c.radius) * m_factor, start, sweep, c.circle);
        }
    }

    // The colour of a DXF entity on layer with colour number aci (256 by layer, 0 by block: the
    // colour of the insert it is drawn through, byBlock).
    [[nodiscard]] Rgb ColourOf(std::string_view layer, std::int32_t aci, Rgb byBlock) const {
        if (aci == 0) return byBlock;
        if (aci > 0 && aci < 256) return AciToRgb(aci);
        const std::int32_t number = LayerNumber(layer);
        for (const LayerData& l : m_state.layers) {
            if (l.number == number) return l.colour;
        }
        return {};
    }

    // The pen of a DXF entity on layer with colour number aci.
    [[nodiscard]] RecordWriter::Pen PenOf(std::string_view layer, std::int32_t aci,
                                          Rgb byBlock = {}) const {
        const auto [group, at] = m_source.GroupAndLayer(m_layers.To(LayerNumber(layer)));
        return {NearestPen(m_source.header, ColourOf(layer, aci, byBlock)), group, at};
    }

    [[nodiscard]] Through ThroughInsert(const DxfPlacement& p, const Through& outer) const {
        Through in;
        in.colour = ColourOf(p.layer, p.aci, outer.colour);
        const bool byBlock = LayerKey(p.linetype) == "BYBLOCK";
        in.linetype = byBlock ? outer.linetype : p.linetype;
        in.layer = p.layer.empty() || p.layer == "0" ? outer.layer : p.layer;
        if (byBlock) in.layer = outer.layer;
        in.scale = outer.scale * std::abs(p.scaleX);
        return in;
    }

    void FindThrough(const DxfBlockStructure& structure) {
        std::vector<std::optional<Through>> found(structure.blocks.size());
        for (const DxfPlacement& p : structure.inserts) {
            if (p.block < found.size() && !found[p.block]) found[p.block] = ThroughInsert(p, {});
        }
        // Nested blocks come before the blocks that insert them.
        for (std::size_t b = structure.blocks.size(); b-- > 0;) {
            for (const DxfPlacement& p : structure.blocks[b].inserts) {
                if (p.block < found.size() && !found[p.block]) {
                    found[p.block] = ThroughInsert(p, found[b].value_or(Through{}));
                }
            }
        }
        m_through.clear();
        for (const auto& through : found) m_through.push_back(through.value_or(Through{}));
    }

    // Whether the record's colour is BYBLOCK.
    [[nodiscard]] bool ByBlock(std::uint32_t record) {
        const auto [at, fresh] = m_recordByBlock.try_emplace(record, false);
        if (fresh) at->second = m_dxf.RecordColourName(record) == "BYBLOCK";
        return at->second;
    }

    const DxfSource& m_dxf;
    const DrawingState& m_state;
    const JwwSource& m_source;
    double m_factor;
    const LayerMap& m_layers;
    RecordWriter& m_out;
    std::unordered_map<std::string, std::int32_t> m_layerNumbers;
    std::vector<Through> m_through;  // by kept block
    LineTypes m_lineTypes;
    // The block curves' dashes and linetypes, keys of m_lineTypes.
    std::vector<std::pair<std::vector<double>, DxfLinetypeLabel>> m_patterns;
    std::unordered_map<std::uint32_t, bool> m_recordByBlock;
};

// The entities at paper size: each point and radius times factor.
std::vector<EntityData> PaperEntities(const DrawingState& state, double factor,
                                      const LayerMap& layers) {
    std::vector<EntityData> out;
    out.reserve(state.entities.size());
    for (std::size_t i = 0; i < state.entities.size(); ++i) {
        if (i < state.erased.size() && state.erased[i] != 0) continue;
        EntityData e = state.entities[i];
        for (Vec2* p : {&e.start, &e.end, &e.center}) *p = {p->x * factor, p->y * factor};
        e.radius *= factor;
        e.layer = layers.To(e.layer);
        out.push_back(e);
    }
    return out;
}

// The board's lines and arcs at paper size, each with the pen nearest to its colour (its own, else
// its layer's) and, with the DXF at hand, the line type nearest to its dashes.
void BoardRecords(const DrawingState& state, const DxfSource* dxf, double factor,
                  const LayerMap& layers, const JwwSource& source, RecordWriter& out) {
    LineTypes types(source.header);
    const auto own = dxf != nullptr ? dxf->OwnColours() : std::span<const std::uint32_t>{};
    const auto dashes = dxf != nullptr ? dxf->EntityDashes() : std::span<const std::uint32_t>{};
    const auto patterns =
        dxf != nullptr ? dxf->DashPatterns() : std::span<const std::vector<double>>{};
    for (std::size_t i = 0; i < state.entities.size(); ++i) {
        if (i < state.erased.size() && state.erased[i] != 0) continue;
        EntityData e = state.entities[i];
        Rgb colour;
        for (const LayerData& layer : state.layers) {
            if (layer.number == e.layer) colour = layer.colour;
        }
        if (i < own.size() && (own[i] & kOwnColour) != 0) colour = UnpackRgb(own[i] & 0xFFFFFFU);
        const auto [group, layer] = source.GroupAndLayer(layers.To(e.layer));
        RecordWriter::Pen pen{NearestPen(source.header, colour), group, layer};
        if (dxf != nullptr) {
            const std::uint32_t dash = i < dashes.size() ? dashes[i] : dxf->LayerDash(e.layer);
            if (dash < patterns.size()) {
                const bool named = dash < dxf->dashLabels.size();
                pen.style =
                    types.Style(dash, patterns[dash], factor,
                                named ? dxf->dashLabels[dash].name : std::string_view(),
                                named ? dxf->dashLabels[dash].description : std::string_view());
            }
        }
        for (Vec2* p : {&e.start, &e.end, &e.center}) *p = {p->x * factor, p->y * factor};
        e.radius *= factor;
        switch (e.kind) {
            case EntityKind::Line:
                out.Line(pen, e.start, e.end);
                break;
            case EntityKind::Arc: {
                const ArcAngles angles = AnglesOf(e);
                const bool full = angles.sweep >= 2.0 * std::numbers::pi;
                out.Arc(pen, e.center, e.radius, full ? 0.0 : angles.start,
                        full ? 2.0 * std::numbers::pi : angles.sweep, full);
                break;
            }
        }
    }
}

// The new drawing's bytes with what was appended.
std::string Assembled(const std::string& bytes, const JwwSource& source, const Appended& add) {
    std::string result = bytes.substr(0, source.entityCountAt);
    jww::PutCount(result, source.entityCount + add.count);
    result.append(bytes, source.entityCountEnd, source.entitiesEnd - source.entityCountEnd);
    result += add.records;
    std::size_t tail = source.entitiesEnd;
    if (!add.blockList.empty()) {
        // In place of the new drawing's empty block list (a WORD count of 0).
        result += add.blockList;
        tail += 2;
    }
    result += std::string_view(bytes).substr(tail);
    return result;
}

}  // namespace

std::string DxfStateAsJwwBytes(const DrawingState& state, const Underlay* underlay,
                               DxfJwwReport* report, const DxfSource* dxf) {
    DxfJwwReport local;
    DxfJwwReport& out = report != nullptr ? *report : local;
    const double scale = static_cast<double>(state.scaleDenominator) / state.scaleNumerator;
    const UnitDefinition* unit = FindUnit(state.unitCode.value_or(kMillimetres));
    const double factor = (unit != nullptr ? unit->millimetres : 1.0) / scale;
    // The lines and arcs through the JWW writer, into a new drawing at the scale.
    const LayerMap layers(state.layers);
    const std::vector<EntityData> entities = PaperEntities(state, factor, layers);
    DrawingState paper;
    paper.layers = layers.Layers();
    paper.entities = entities;
    paper.scaleNumerator = state.scaleNumerator;
    paper.scaleDenominator = state.scaleDenominator;
    paper.currentLayer = layers.To(state.currentLayer.value_or(0));
    const auto fresh = ReadJwwBytes(NewJwwBytes(layers.Layers(), scale), "new.jww").source;
    fresh->converted = true;
    out.losses = JwwSaveLosses(*fresh, paper);
    // The writer's checks on the entities, which are then written with their pens below.
    (void)SavedJwwBytes(*fresh, paper);
    paper.entities = {};
    std::string bytes = SavedJwwBytes(*fresh, paper);
    DxfBlockStructure structure =
        dxf != nullptr ? ReadDxfBlockStructure(*dxf) : DxfBlockStructure{};
    // The kept inserts and dimensions as the board shows them after the drafter's edits.
    const DxfRecordEdits attributeEdits =
        dxf != nullptr && state.recordEdits != nullptr
            ? ApplyDxfRecordEdits(*dxf, *state.recordEdits, state.layers, structure)
            : DxfRecordEdits{};
    const bool shown = underlay != nullptr && !underlay->items.empty();
    // What the DXF shows beneath, appended to the entity list, and its blocks as the block list
    // (a new drawing has none, so nothing after the list names the archive's map).
    JwwReadOptions options;
    options.underlay = false;
    const JwwReadResult read = ReadJwwBytes(FileBytes(bytes), "new.jww", options);
    const JwwSource& source = *read.source;
    RecordWriter writer(source, out);
    BoardRecords(state, dxf, factor, layers, source, writer);
    // The records the structure writes itself: kept inserts and dimensions.
    std::set<std::uint32_t> apart;
    for (const DxfPlacement& p : structure.inserts) apart.insert(p.record);
    for (const DxfDimensionPlace& d : structure.dimensions) apart.insert(d.record);
    for (const DxfDimensionParts& d : structure.dimensionParts) apart.insert(d.record);
    std::optional<UnderlayRecords> records;
    if (shown) {
        records.emplace(source, *underlay, factor, layers, writer);
        if (dxf != nullptr) records->SetCellTexts(&structure.cellTexts);
        records->Run([&](const UnderlayItem& item) { return !apart.contains(item.record); });
    }
    std::map<std::string, std::size_t> approximated;
    Appended appended;
    if (dxf != nullptr) {
        BlockRecords blocks(*dxf, state, source, factor, layers, writer);
        if (records) {
            blocks.Dimensions(structure.dimensions, *records, *underlay);
            blocks.DimensionParts(structure.dimensionParts, *records, *underlay);
        }
        appended = blocks.Kept(structure, attributeEdits, approximated);
    } else {
        std::tie(appended.records, appended.count) = writer.Take();
    }
    if (records) {
        for (const auto& [what, n] : records->Approximated()) approximated[what] += n;
    }
    for (const auto& [what, n] : approximated) {
        out.losses.push_back("JWW にない DXF の図形: " + what + " " + std::to_string(n) + " 個");
    }
    if (dxf != nullptr && structure.paperRecords > 0) {
        out.losses.push_back("DXF のペーパー空間 (レイアウト) の図形 " +
                             std::to_string(structure.paperRecords) +
                             " 個 (JWW にはレイアウトがありません)");
    } else if (dxf == nullptr && underlay != nullptr && underlay->paperSpace)
        out.losses.emplace_back("DXF のペーパー空間 (レイアウト) は保存しません");
    return Assembled(bytes, source, appended);
}

std::vector<std::string> DxfAsJwwLosses(const DrawingState& state, const Underlay* underlay,
                                        const DxfSource* dxf) {
    DxfJwwReport report;
    (void)DxfStateAsJwwBytes(state, underlay, &report, dxf);
    return report.losses;
}

void WriteDxfAsJww(const std::string& path, const DrawingState& state, const Underlay* underlay,
                   const DxfSource* dxf) {
    ReplaceFileContent(path, DxfStateAsJwwBytes(state, underlay, nullptr, dxf));
}

}  // namespace pelimator::board
