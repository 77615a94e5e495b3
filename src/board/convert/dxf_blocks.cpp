// The block structure of a DXF drawing read from its kept records: one pass over the sections,
// then the blocks model-space inserts use, walked depth first so that nested blocks come first.
#include "board/convert/dxf_blocks.h"

#include <algorithm>
#include <cmath>
#include <numbers>
#include <optional>
#include <set>
#include <string>
#include <string_view>
#include <unordered_map>

#include "base/errors.h"
#include "board/convert/text_advance.h"
#include "board/dxf/dxf_names.h"
#include "board/dxf/dxf_tags.h"

namespace pelimator::board {

namespace {

// Blocks nest at most this deep in a kept structure (deeper inserts are drawn, not kept).
constexpr int kMaxKeptDepth = 16;

struct RawTag {
    int code = 0;
    std::string_view text;
    double real = 0.0;
    std::int64_t integer = 0;
};

struct RawBlock {
    std::string name;
    Vec2 base;
    std::vector<std::uint32_t> records;
};

// An insert's groups, and whether a Jw_cad block insert holds it as it is.
struct RawInsert {
    DxfPlacement placement;
    std::string key;  // LayerKey of the block's name
    bool plain = true;
    bool paper = false;
};

bool PlainExtrusion(const std::vector<RawTag>& tags) {
    return std::ranges::none_of(tags, [](const RawTag& t) {
        return ((t.code == 210 || t.code == 220) && std::abs(t.real) > 1e-12) ||
               (t.code == 230 && t.real <= 0.0);
    });
}

void TakeInsertGroup(RawInsert& in, const RawTag& t) {
    DxfPlacement& p = in.placement;
    switch (t.code) {
        case 2:
            in.key = LayerKey(t.text);
            break;
        case 6:
            p.linetype = std::string(t.text);
            break;
        case 8:
            p.layer = std::string(t.text);
            break;
        case 10:
            p.at.x = t.real;
            break;
        case 20:
            p.at.y = t.real;
            break;
        case 41:
            p.scaleX = t.real;
            break;
        case 42:
            p.scaleY = t.real;
            break;
        case 50:
            p.radians = t.real * std::numbers::pi / 180.0;
            break;
        case 62:
            p.aci = static_cast<std::int32_t>(t.integer);
            break;
        case 67:
            in.paper = t.integer == 1;
            break;
        case 70:
        case 71:
            in.plain = in.plain && t.integer <= 1;
            break;
        default:
            break;
    }
}

RawInsert ReadInsert(std::uint32_t record, const std::vector<RawTag>& tags) {
    RawInsert in;
    in.placement.record = record;
    in.placement.layer = "0";
    for (const RawTag& t : tags) TakeInsertGroup(in, t);
    const DxfPlacement& p = in.placement;
    in.plain = in.plain && PlainExtrusion(tags) && p.scaleX != 0.0 && p.scaleY != 0.0 &&
               std::isfinite(p.scaleX * p.scaleY * p.radians);
    return in;
}

DxfBlockCurve ReadCurve(std::string_view type, const std::vector<RawTag>& tags) {
    DxfBlockCurve c;
    c.circle = type == "CIRCLE";
    c.layer = "0";
    for (const RawTag& t : tags) {
        switch (t.code) {
            case 6:
                c.linetype = std::string(t.text);
                break;
            case 8:
                c.layer = std::string(t.text);
                break;
            case 10:
                c.a.x = t.real;
                break;
            case 20:
                c.a.y = t.real;
                break;
            case 11:
                c.b.x = t.real;
                break;
            case 21:
                c.b.y = t.real;
                break;
            case 40:
                c.radius = t.real;
                break;
            case 48:
                c.linetypeScale = t.real;
                break;
            case 50:
                c.startDegrees = t.real;
                break;
            case 51:
                c.endDegrees = t.real;
                break;
            case 62:
                c.aci = static_cast<std::int32_t>(t.integer);
                break;
            default:
                break;
        }
    }
    if (type == "LINE") c.radius = 0.0;
    return c;
}

// A DIMENSION's groups; none unless linear or aligned and seen from above.
std::optional<DxfDimensionPlace> ReadDimension(std::uint32_t record,
                                               const std::vector<RawTag>& tags) {
    DxfDimensionPlace d;
    d.record = record;
    d.layer = "0";
    std::int64_t type = 0;  // linear when the record does not say
    bool paper = false;
    for (const RawTag& t : tags) {
        switch (t.code) {
            case 8:
                d.layer = std::string(t.text);
                break;
            case 10:
                d.line.x = t.real;
                break;
            case 20:
                d.line.y = t.real;
                break;
            case 13:
                d.first.x = t.real;
                break;
            case 23:
                d.first.y = t.real;
                break;
            case 14:
                d.second.x = t.real;
                break;
            case 24:
                d.second.y = t.real;
                break;
            case 50:
                d.radians = t.real * std::numbers::pi / 180.0;
                break;
            case 62:
                d.aci = static_cast<std::int32_t>(t.integer);
                break;
            case 67:
                paper = t.integer == 1;
                break;
            case 70:
                type = t.integer & 7;
                break;
            default:
                break;
        }
    }
    if (paper || !PlainExtrusion(tags) || (type != 0 && type != 1)) return std::nullopt;
    if (type == 1) {
        const Vec2 v = d.second - d.first;
        if (v.x == 0.0 && v.y == 0.0) return std::nullopt;
        d.radians = std::atan2(v.y, v.x);
    }
    if (!std::isfinite(d.radians)) return std::nullopt;
    return d;
}

// A DIMENSION that draws its block where it stands, for its parts: its block's key, layer and
// colour (what the block's layer 0 and colour by block take).
struct RawDimensionBlock {
    std::uint32_t record = 0;
    std::string key;
    std::string layer = "0";
    std::int32_t aci = 256;
};

std::optional<RawDimensionBlock> ReadOtherDimension(std::uint32_t record,
                                                    const std::vector<RawTag>& tags) {
    RawDimensionBlock d;
    d.record = record;
    std::int64_t type = 0;
    bool paper = false;
    for (const RawTag& t : tags) {
        if (t.code == 2) d.key = LayerKey(t.text);
        if (t.code == 8) d.layer = std::string(t.text);
        if (t.code == 62) d.aci = static_cast<std::int32_t>(t.integer);
        if (t.code == 67) paper = t.integer == 1;
        if (t.code == 70) type = t.integer & 7;
    }
    if (paper || !PlainExtrusion(tags) || type < 2 || type > 6 || d.key.empty()) {
        return std::nullopt;
    }
    return d;
}

// x' = a x + b y + c, y' = d x + e y + f.
struct Map2 {
    double a = 1.0, b = 0.0, c = 0.0, d = 0.0, e = 1.0, f = 0.0;
    [[nodiscard]] Vec2 operator()(Vec2 p) const {
        return {a * p.x + b * p.y + c, d * p.x + e * p.y + f};
    }
    [[nodiscard]] Map2 Then(const Map2& n) const {  // this after n
        return {a * n.a + b * n.d, a * n.b + b * n.e, a * n.c + b * n.f + c,
                d * n.a + e * n.d, d * n.b + e * n.e, d * n.c + e * n.f + f};
    }
};

// Where an insert puts its block's content (base: the block's base point).
Map2 InsertMap(const DxfPlacement& p, Vec2 base) {
    const double cs = std::cos(p.radians);
    const double sn = std::sin(p.radians);
    const Map2 turn{cs * p.scaleX, -sn * p.scaleY, p.at.x, sn * p.scaleX, cs * p.scaleY, p.at.y};
    return turn.Then(Map2{1.0, 0.0, -base.x, 0.0, 1.0, -base.y});
}

// The curve where m puts it; none when m stretches an arc or circle out of round.
std::optional<DxfBlockCurve> Mapped(DxfBlockCurve c, const Map2& m) {
    if (!c.circle && c.radius == 0.0) {
        c.a = m(c.a);
        c.b = m(c.b);
        return c;
    }
    const double s1 = std::hypot(m.a, m.d);
    const double s2 = std::hypot(m.b, m.e);
    if (!(s1 > 0.0) || std::abs(s1 - s2) > 1e-9 * s1 ||
        std::abs(m.a * m.b + m.d * m.e) > 1e-9 * s1 * s2) {
        return std::nullopt;
    }
    // A turn through phi, after a mirror in the x axis when m mirrors: direction t goes to
    // phi + t, or phi - t (and the arc then runs from its end).
    const double phi = std::atan2(m.d, m.a) * 180.0 / std::numbers::pi;
    if (m.a * m.e - m.b * m.d < 0.0) {
        const double start = c.startDegrees;
        c.startDegrees = phi - c.endDegrees;
        c.endDegrees = phi - start;
    } else {
        c.startDegrees += phi;
        c.endDegrees += phi;
    }
    c.a = m(c.a);
    c.radius = std::abs(c.radius) * s1;
    return c;
}

class Scanner {
public:
    explicit Scanner(const DxfSource& source)
        : m_source(source), m_reader(source.bytes, source.layout, source.fileName) {}

    DxfBlockStructure Run() {
        std::vector<RawInsert> top;
        std::vector<RawTag> tags;
        for (std::size_t r = 0; r + 1 < m_source.records.size(); ++r) {
            if (!Read(r, tags)) continue;
            Sections(r, tags, top);
        }
        for (RawInsert& in : top) {
            if (in.paper || !in.plain) continue;
            const auto block = Keep(in.key, 0);
            if (!block) continue;
            in.placement.block = *block;
            m_out.inserts.push_back(in.placement);
            const auto attributes = m_attributes.find(in.placement.record);
            if (attributes == m_attributes.end()) continue;
            // Its attributes are drawn as texts of their own, beside the insert.
            for (const std::uint32_t r : attributes->second) {
                m_out.blockOfRecord[r] = DxfBlockStructure::kModelSpace;
                m_out.insertLayerOf[r] = in.placement.layer;
                m_out.where.entities.push_back(r);
            }
        }
        for (const RawDimensionBlock& d : m_otherDimensions) {
            DxfDimensionParts parts{d.record, {}};
            Parts(d.key, Map2{}, d.layer, d.aci, 0, parts.curves);
            m_out.dimensionParts.push_back(std::move(parts));
        }
        m_out.where.blockContent = true;
        return std::move(m_out);
    }

private:
    // The tags of record r; false when it cannot be read.
    bool Read(std::size_t r, std::vector<RawTag>& tags) {
        tags.clear();
        const std::size_t end = m_source.records[r + 1];
        m_reader.Seek(m_source.records[r], 1);
        DxfTag tag;
        try {
            while (m_reader.Offset() < end && m_reader.Next(tag)) {
                tags.push_back({tag.code, TrimDxf(tag.value), tag.real, tag.integer});
            }
        } catch (const FileError&) {
            return false;
        }
        return !tags.empty() && tags.front().code == 0;
    }

    // Whether a record of type draws on a layout (a viewport only shows model space).
    static bool PaperShape(std::string_view type) {
        return type != "VIEWPORT" && type != "VERTEX" && type != "SEQEND" && type != "ATTRIB" &&
               type != "SECTION" && type != "ENDSEC" && type != "BLOCK" && type != "ENDBLK";
    }

    static std::string_view Group(const std::vector<RawTag>& tags, int code) {
        for (const RawTag& t : tags) {
            if (t.code == code) return t.text;
        }
        return {};
    }

    void Sections(std::size_t r, const std::vector<RawTag>& tags, std::vector<RawInsert>& top) {
        const std::string_view type = tags.front().text;
        DxfUnderlayRecords& where = m_out.where;
        const auto index = static_cast<std::uint32_t>(r);
        if (type == "SECTION") {
            m_section = Group(tags, 2);
            if (m_section == "HEADER") where.header = r;
            if (m_section == "TABLES") where.tablesFirst = r;
            if (m_section == "BLOCKS") where.blocksFirst = r;
        } else if (type == "ENDSEC") {
            if (m_section == "TABLES") where.tablesLast = r;
            if (m_section == "BLOCKS") where.blocksLast = r;
            m_section = {};
        } else if (type == "INSERT") {
            m_lastInsert = index;
            if (m_section == "ENTITIES") top.push_back(ReadInsert(index, tags));
        } else if (type == "DIMENSION" && m_section == "ENTITIES") {
            if (auto d = ReadDimension(index, tags)) m_out.dimensions.push_back(std::move(*d));
            if (auto d = ReadOtherDimension(index, tags))
                m_otherDimensions.push_back(std::move(*d));
        } else if (type == "ATTRIB" && m_lastInsert) {
            m_attributes[*m_lastInsert].push_back(index);
        } else if (type != "SEQEND") {
            m_lastInsert.reset();
        }
        if (m_section == "BLOCKS") Blocks(index, type, tags);
        if (m_section == "TABLES") Linetypes(type, tags);
        if (m_section == "TABLES" && type == "STYLE" && CellFont(Group(tags, 3))) {
            m_cellStyles.insert(LayerKey(Group(tags, 2)));
        }
        if (type == "TEXT" || type == "MTEXT" || type == "ATTRIB" || type == "ATTDEF") {
            const std::string_view style = Group(tags, 7);
            if (m_cellStyles.contains(LayerKey(style.empty() ? "STANDARD" : style))) {
                m_out.cellTexts.insert(index);
            }
        }
        if (m_section == "HEADER" && type == "SECTION") {
            std::string_view variable;
            for (const RawTag& t : tags) {
                if (t.code == 9) variable = t.text;
                if (variable == "$LTSCALE" && t.code == 40) m_out.linetypes.SetDrawingScale(t.real);
            }
        }
        if (m_section == "ENTITIES" && PaperShape(type) && Group(tags, 67) == "1") {
            ++m_out.paperRecords;
        }
    }

    // A LAYER's linetype and an LTYPE's pattern, as the underlay takes them.
    void Linetypes(std::string_view type, const std::vector<RawTag>& tags) {
        if (type == "LAYER") {
            m_out.linetypes.SetLayerLinetype(LayerKey(Group(tags, 2)), Group(tags, 6));
        } else if (type == "LTYPE") {
            std::vector<double> pattern;
            for (const RawTag& t : tags) {
                if (t.code == 49) pattern.push_back(t.real);
            }
            const auto decoded = [&](int code) {
                return DecodeDxfString(Group(tags, code), m_source.version, m_source.codePage);
            };
            m_out.linetypes.AddLinetype(decoded(2), std::move(pattern), decoded(3));
        }
    }

    void Blocks(std::uint32_t r, std::string_view type, const std::vector<RawTag>& tags) {
        if (type == "BLOCK") {
            RawBlock block;
            block.name = DecodeDxfString(Group(tags, 2), m_source.version, m_source.codePage);
            for (const RawTag& t : tags) {
                if (t.code == 10) block.base.x = t.real;
                if (t.code == 20) block.base.y = t.real;
            }
            m_current = LayerKey(Group(tags, 2));
            m_raw[m_current] = std::move(block);
        } else if (type == "ENDBLK") {
            m_current.clear();
        } else if (m_current.starts_with("*PAPER_SPACE") && PaperShape(type)) {
            ++m_out.paperRecords;
        } else if (!m_current.empty() && type != "VERTEX" && type != "SEQEND" && type != "ATTRIB") {
            m_raw[m_current].records.push_back(r);
        }
    }

    // The index of block key's kept content; none when it is missing, inserts itself, or nests
    // too deep (its inserts are then drawn).
    std::optional<std::uint32_t> Keep(const std::string& key, int depth) {
        const auto done = m_kept.find(key);
        if (done != m_kept.end()) return done->second;
        const auto raw = m_raw.find(key);
        if (raw == m_raw.end() || depth >= kMaxKeptDepth) return std::nullopt;
        m_kept.emplace(key, std::nullopt);  // while its content is read: a cycle
        DxfBlockContent content{raw->second.name, raw->second.base, {}, {}, {}};
        std::vector<RawTag> tags;
        for (const std::uint32_t r : raw->second.records) {
            if (!Read(r, tags)) continue;
            Content(r, tags, content, depth);
        }
        const auto index = static_cast<std::uint32_t>(m_out.blocks.size());
        for (const std::uint32_t r : content.drawn) {
            m_out.blockOfRecord[r] = index;
            m_out.where.entities.push_back(r);
        }
        m_out.blocks.push_back(std::move(content));
        m_kept[key] = index;
        return index;
    }

    void Content(std::uint32_t r, const std::vector<RawTag>& tags, DxfBlockContent& content,
                 int depth) {
        const std::string_view type = tags.front().text;
        if (type == "LINE" || ((type == "ARC" || type == "CIRCLE") && PlainExtrusion(tags))) {
            content.curves.push_back(ReadCurve(type, tags));
            return;
        }
        if (type == "INSERT") {
            RawInsert in = ReadInsert(r, tags);
            // Attributes of an insert inside a block are drawn with it.
            const bool plain = in.plain && !m_attributes.contains(r);
            const auto block = plain ? Keep(in.key, depth + 1) : std::nullopt;
            if (block) {
                in.placement.block = *block;
                content.inserts.push_back(in.placement);
                return;
            }
        }
        content.drawn.push_back(r);
    }

    // The lines, arcs and circles block key draws under m, nested inserts' too; layer 0 and
    // colour by block (0) take layer's and aci.
    void Parts(const std::string& key, const Map2& m, const std::string& layer, std::int32_t aci,
               int depth, std::vector<DxfBlockCurve>& out) {
        const auto raw = m_raw.find(key);
        if (raw == m_raw.end() || depth >= kMaxKeptDepth) return;
        const std::vector<std::uint32_t> records = raw->second.records;  // m_raw may grow
        std::vector<RawTag> tags;
        for (const std::uint32_t r : records) {
            if (!Read(r, tags)) continue;
            const std::string_view type = tags.front().text;
            if (type == "LINE" || ((type == "ARC" || type == "CIRCLE") && PlainExtrusion(tags))) {
                auto curve = Mapped(ReadCurve(type, tags), m);
                if (!curve) continue;
                if (curve->layer == "0") curve->layer = layer;
                if (curve->aci == 0) curve->aci = aci;
                out.push_back(std::move(*curve));
            } else if (type == "INSERT") {
                const RawInsert in = ReadInsert(r, tags);
                const auto inner = m_raw.find(in.key);
                if (!in.plain || inner == m_raw.end()) continue;
                const DxfPlacement& p = in.placement;
                Parts(in.key, m.Then(InsertMap(p, inner->second.base)),
                      p.layer == "0" ? layer : p.layer, p.aci == 0 ? aci : p.aci, depth + 1, out);
            }
        }
    }

    const DxfSource& m_source;
    DxfTagReader m_reader;
    DxfBlockStructure m_out;
    std::string_view m_section;
    std::string m_current;
    std::unordered_map<std::string, RawBlock> m_raw;
    std::unordered_map<std::string, std::optional<std::uint32_t>> m_kept;
    std::vector<RawDimensionBlock> m_otherDimensions;
    std::optional<std::uint32_t> m_lastInsert;  // the insert whose attributes may follow
    std::set<std::string> m_cellStyles;         // text styles (LayerKey) in a cell font
    std::unordered_map<std::uint32_t, std::vector<std::uint32_t>> m_attributes;  // by insert
};

}  // namespace

DxfBlockStructure ReadDxfBlockStructure(const DxfSource& source) { return Scanner(source).Run(); }

}  // namespace pelimator::board
