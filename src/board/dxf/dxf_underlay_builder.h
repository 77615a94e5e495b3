// The builder of what a DXF file draws beneath the board's own lines, shared by its files: one
// file per family of what it reads. dxf_underlay.cpp: the entry point, reading records, resolving
// an entity's properties and adding items; dxf_underlay_tables.cpp: the layer and linetype tables
// and the blocks; dxf_underlay_walk.cpp: each record by type and the walk through inserts and
// dimensions; dxf_underlay_curves.cpp: lines, circles, ellipses, polylines, splines and the like;
// dxf_underlay_text.cpp: TEXT, ATTRIB and MTEXT with their inline codes; dxf_underlay_hatch.cpp:
// hatch boundaries and patterns; dxf_underlay_multileader.cpp: multileaders and tables;
// dxf_underlay_mline.cpp: multilines and construction lines; dxf_underlay_image.cpp: the frames
// of images and wipeouts; dxf_underlay_tolerance.cpp: feature control frames.
#pragma once

#include <algorithm>
#include <array>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <limits>
#include <map>
#include <numbers>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "board/dxf/dxf_common_groups.h"
#include "board/dxf/dxf_file.h"
#include "board/dxf/dxf_linetypes.h"
#include "board/dxf/dxf_multileader.h"
#include "board/dxf/dxf_tags.h"
#include "board/dxf/dxf_underlay.h"
#include "board/model/underlay.h"

namespace pelimator::board::underlay {

// What the MTEXT reader leaves in a line for \L \l \O \o (underline on, off, overline on, off),
// for TextSpecials to take out as rules: control characters no decoded text holds.
inline constexpr std::array<char, 4> kRuleMarkers{'\x0E', '\x0F', '\x10', '\x11'};
// The same for \K \k (strike-through on, off).
inline constexpr std::array<char, 2> kStrikeMarkers{'\x12', '\x13'};
// Where the reader starts a run of a line (a height or width changes, a stack starts or ends),
// and where a stack's numerator ends: both taken out of the line's text, the second shown '/'.
inline constexpr char kRunMarker = '\x14';
inline constexpr char kStackMarker = '\x15';

// How far a run of an MTEXT line advances it, in the entity's text heights, by the estimated
// advance of its characters: a stack as wide as its wider part, a diagonal one as both.
[[nodiscard]] double MTextRunAdvance(const MTextLine& line, const MTextRun& run);

// A stacked fraction, in its own height s, about the middle of its line's height (the writer's
// pictures of the real multileaders' diagonal stacks, whose parts stand in \H0.7x groups): the
// numerator's baseline and the denominator's at these shares of s from the middle; a diagonal
// stack's slash through the middle where the numerator ends, half as wide and high as these.
// A stack over a bar (/) or without one (^, a tolerance): each part centred over the wider,
// ezdxf's layout (the parts 1.2 s apart from the bar on the middle).
inline constexpr double kDiagonalNumerator = 0.0;
inline constexpr double kDiagonalDenominator = -1.0;
inline constexpr double kDiagonalHalfWidth = 0.57;
inline constexpr double kDiagonalHalfHeight = 0.82;
inline constexpr double kStackNumerator = 0.2;
inline constexpr double kStackDenominator = -1.2;

// One drawn run of an MTEXT line, in the line's frame (x along from its left end, y up from its
// baseline; drawing units, before the entity's map).
struct MTextPiece {
    std::string text;
    Vec2 at;  // the left end of its baseline
    double size = 1.0;
    double width = 1.0;
    double advance = 0.0;  // estimated
    std::vector<TextRule> rules;
    std::vector<TextRule> strikes;
    std::vector<MTextFaceRun> faces;  // its runs of one face, from its own first byte
};
// An MTEXT line laid out by its runs: their pieces, stacks' bars, its height (its tallest plain
// run's), its top above its baseline (stacks may stand higher) and its estimated advance.
struct MTextLineLayout {
    std::vector<MTextPiece> pieces;
    std::vector<std::array<Vec2, 2>> bars;
    double height = 0.0;
    double top = 0.0;
    double advance = 0.0;
};
[[nodiscard]] MTextLineLayout LayOutMTextLine(const MTextLine& line, double height);

inline constexpr double kDegree = std::numbers::pi / 180.0;
inline constexpr double kTwoPi = 2.0 * std::numbers::pi;
// Curves are flattened to chords within this share of their radius (and at most 720 a turn).
inline constexpr double kRelativeTolerance = 1e-3;
inline constexpr int kMaxCurveSegments = 720;
// Blocks nest at most this deep (a block that inserts itself stops here).
inline constexpr int kMaxDepth = 16;
// At most this many records are visited through inserts (arrays of nested blocks that draw
// little or nothing would otherwise take ages).
inline constexpr std::size_t kMaxVisits = 2'000'000;
// Work units (see DxfUnderlayBudget) of what is kept, in points' worth of memory (16 bytes): a
// drawn item with its box in the index, a text run besides its characters, a snap point with its
// index entry.
inline constexpr std::size_t kItemUnits = 8;
inline constexpr std::size_t kTextUnits = 6;
inline constexpr std::size_t kSnapUnits = 4;
// MTEXT lines are this many text heights apart at line spacing factor 1.
inline constexpr double kLineSpacing = 5.0 / 3.0;

// Whether a point can be drawn: coordinates beyond the reader's limit are damaged data (they
// would also spoil the extents that opening zooms to).
// A handle as the tables are keyed by it: upper case.
inline std::string UpperHandle(std::string_view handle) {
    std::string out(handle);
    for (char& c : out) {
        if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
    }
    return out;
}

inline bool Usable(Vec2 p) noexcept {
    return std::abs(p.x) <= kDxfMaxCoordinate && std::abs(p.y) <= kDxfMaxCoordinate;
}

struct DimensionShape;
struct MLineShape;

struct Tag {
    int code = 0;
    std::string_view text;
    double real = 0.0;
    std::int64_t integer = 0;
};

// One group code of a kind of record and what its value sets in that kind's fields: each kind's
// groups are one table (ReadGroups reads a record by it).
template <class Fields>
struct GroupField {
    int code = 0;
    void (*take)(Fields&, const Tag&) = nullptr;
};

// The fields of a record from its tags by its kind's table; where a code comes more than once,
// the table's entry says what the later tags do (most take the last).
template <class Fields, std::size_t N>
Fields ReadGroups(const std::vector<Tag>& tags, const std::array<GroupField<Fields>, N>& table) {
    Fields fields;
    for (const Tag& t : tags) {
        for (const GroupField<Fields>& group : table) {
            if (group.code == t.code) group.take(fields, t);
        }
    }
    return fields;
}

// x' = a x + b y + c, y' = d x + e y + f.
struct Affine {
    double a = 1, b = 0, c = 0, d = 0, e = 1, f = 0;
    [[nodiscard]] Vec2 operator()(Vec2 p) const noexcept {
        return {a * p.x + b * p.y + c, d * p.x + e * p.y + f};
    }
    [[nodiscard]] Vec2 Vector(Vec2 v) const noexcept {
        return {a * v.x + b * v.y, d * v.x + e * v.y};
    }
    [[nodiscard]] double Scale() const noexcept { return std::sqrt(std::abs(a * e - b * d)); }
    friend Affine operator*(const Affine& m, const Affine& n) noexcept {
        return {m.a * n.a + m.b * n.d, m.a * n.b + m.b * n.e, m.a * n.c + m.b * n.f + m.c,
                m.d * n.a + m.e * n.d, m.d * n.b + m.e * n.e, m.d * n.c + m.e * n.f + m.f};
    }
};

inline Affine Translate(Vec2 t) { return {1, 0, t.x, 0, 1, t.y}; }
inline Affine Rotate(double radians) {
    const double c = std::cos(radians);
    const double s = std::sin(radians);
    return {c, -s, 0, s, c, 0};
}
inline Affine ScaleBy(double sx, double sy) { return {sx, 0, 0, 0, sy, 0}; }
inline constexpr Affine kMirrorX{-1, 0, 0, 0, 1, 0};

struct LayerInfo {
    Rgb colour;
    bool frozen = false;
};

// A text style's face: its TrueType family (an index into Underlay::fonts) and bold flag.
struct TextFace {
    std::uint32_t font = kNoUnderlayIndex;
    bool bold = false;
};

struct Block {
    Vec2 base;
    std::vector<std::uint32_t> records;
};

// What an entity inherits from the inserts around it.
struct Context {
    Affine m;
    std::string_view layer = "0";  // the insert's layer (for entities on layer 0)
    Rgb blockColour{0, 0, 0};      // BYBLOCK
    std::string_view blockLinetype = "CONTINUOUS";
    int depth = 0;
};

// The properties an entity's common tags give.
using Common = DxfCommonGroups;

class Builder {
public:
    Builder(const DxfSource& source, const DxfUnderlayRecords& where,
            const std::function<std::int32_t(std::string_view)>& layerOf,
            std::map<std::string, std::size_t>* shownKinds, DxfUnderlayBudget& budget)
        : m_source(source),
          m_where(where),
          m_layerOf(layerOf),
          m_shownKinds(shownKinds),
          m_budget(budget),
          m_reader(source.bytes, source.layout, source.fileName) {}

    Underlay Run() {
        if (m_where.header != kNoDxfRecord) ReadHeader(m_where.header);
        for (std::size_t r = m_where.tablesFirst; r < m_where.tablesLast; ++r) ReadTableRecord(r);
        ReadBlocks();
        m_underlay.paperSpace = m_underlay.paperSpace || m_where.paperEntities;
        const Context top;
        for (const std::uint32_t r : m_where.entities) {
            m_record = r;  // what it draws is that record's, blocks and attributes included
            const bool spentBefore = m_spent;
            Entity(r, top, !m_where.blockContent);
            // What the limit cut short or skipped is named in the open report.
            const std::string_view type = spentBefore ? TypeOf(r) : m_topType;
            // The board draws polylines itself; only a width would be missing.
            if (m_spent && type != "LWPOLYLINE" && type != "POLYLINE") {
                ++m_budget.leftOut[std::string(type)];
            }
        }
        DrawInfiniteLines();
        m_underlay.Finish();
        return std::move(m_underlay);
    }

private:
    // The tags of record r (its "0" tag first); false when it cannot be read.
    bool Read(std::size_t r, std::vector<Tag>& tags);

    [[nodiscard]] std::string Decode(std::string_view raw) const;

    [[nodiscard]] std::string_view TypeOf(std::size_t r);

    void ReadHeader(std::size_t r);

    void ReadTableRecord(std::size_t r);
    // A STYLE record: its face, and its handle for what names it so.
    void ReadTextStyle(const std::vector<Tag>& tags);

    void ReadBlocks();

    [[nodiscard]] const LayerInfo* Layer(std::string_view name) const;

    static Common ReadCommon(const std::vector<Tag>& tags);

    // The entity's properties resolved against its context.
    struct Resolved {
        std::string_view layer;
        std::int32_t boardLayer = 0;
        Rgb colour;
        std::uint32_t dash = kNoUnderlayIndex;
        bool frozen = false;   // on a frozen layer
        bool byLayer = false;  // coloured by the layer the record itself is on
    };

    Resolved Resolve(const Common& c, const Context& ctx);

    std::uint32_t DashIndex(std::vector<double> scaled, std::array<std::string, 2> name);

    // Takes work units from the budget; false (and nothing taken) once it cannot give them, and
    // from then on for everything: the rest of the drawing stays in the file, unshown.
    [[nodiscard]] bool Spend(std::size_t units);

    UnderlayItem& AddItem(UnderlayKind kind, const Resolved& r);

    void Snap(Vec2 p, UnderlayPointKind kind, const Resolved& r);

    // A polyline through points already mapped to the drawing.
    void AddPolyline(const std::vector<Vec2>& pts, bool closed, const Resolved& r,
                     double width = 0.0);

    void AddFill(const std::vector<std::vector<Vec2>>& rings, const Resolved& r);

    // Points of an arc about centre (in the entity's plane, mapped by m), sweep in radians
    // (negative: clockwise), flattened within the tolerance.
    static void ArcPoints(const Affine& m, Vec2 centre, double rx, double ry, double rotation,
                          double start, double sweep, std::vector<Vec2>& out);

    // Appends a bulged segment a-b (not including a) in the entity's plane.
    static void BulgePoints(const Affine& m, Vec2 a, Vec2 b, double bulge, std::vector<Vec2>& out);

    // The entity plane's map: ctx's, mirrored for an entity seen from below; none when tilted.
    static std::optional<Affine> Plane(const Common& c, const Affine& m);

    void Entity(std::size_t r, const Context& ctx, bool top);

    // Whether the board takes a model-space record as its own lines and arcs (drawing here only
    // what it cannot, a polyline's width): flat polylines. A 3-D polyline is drawn here whole.
    static bool BoardTakes(std::string_view type, const std::vector<Tag>& tags);

    void Draw(std::size_t r, std::string_view type, const std::vector<Tag>& tags,
              const std::optional<Affine>& plane, const Common& common, const Resolved& res,
              const Context& ctx, bool top);

    void Line(const std::vector<Tag>& tags, const Affine& m, const Resolved& r);

    void PointEntity(const std::vector<Tag>& tags, const Affine& m, const Resolved& r);

    void Circle(const std::vector<Tag>& tags, const Affine& m, const Resolved& r, bool full);

    void Ellipse(const std::vector<Tag>& tags, const Affine& m, const Resolved& r);

    // LWPOLYLINE: at the top level the board draws its segments; only a width is added here.
    // Start and end width of the segment leaving each vertex.
    using Widths = std::vector<std::pair<double, double>>;
    void LwPolyline(const std::vector<Tag>& tags, const Affine& m, const Resolved& r, bool top);

    // A polyline with its widths: one item when it is thin or evenly wide; else (besides the
    // centre line in a block) each wide segment: straight tapers as filled quadrilaterals, the
    // others at their larger width. At the top level the board draws the centre line.
    void PolylineOf(const std::vector<Vec2>& local, const std::vector<double>& bulges, bool closed,
                    const Affine& m, const Resolved& r, const Widths& widths, bool top);

    void Polyline(std::size_t r, const std::vector<Tag>& tags, const Affine& plane,
                  const Affine& flat, const Resolved& res, bool top);

    void Corners(const std::vector<Tag>& tags, const Affine& m, const Resolved& r, bool filled);

    void Leader(const std::vector<Tag>& tags, const Affine& m, const Resolved& r);

    void Spline(const std::vector<Tag>& tags, const Affine& m, const Resolved& r);

    // A curve through fit points: a natural cubic spline in each coordinate over the chord
    // lengths, 16 points a span.
    static std::vector<Vec2> ThroughFitPoints(const std::vector<Vec2>& fit);

    // The point of a rational B-spline at u in knot span `span` (de Boor's algorithm).
    static Vec2 DeBoor(std::size_t span, double u, std::size_t p, const std::vector<double>& t,
                       const std::vector<Vec2>& c, const std::vector<double>& w);

    void Text(const std::vector<Tag>& tags, const Affine& m, const Resolved& r, bool attrib);

    void AddText(UnderlayText text, const Affine& m, Vec2 origin, Vec2 xAxis, Vec2 yAxis,
                 const Resolved& r);

    // The family and bold flag of a text's style (7, else Standard), and the Jw_cad text kind its
    // extended data keeps.
    void TakeFace(const std::vector<Tag>& tags, UnderlayText& text) const;
    // The face an MTEXT line's inline \f or \F code gives it, over its style's.
    void CodedFace(const MTextLine& line, UnderlayText& text);
    // Text's runs of one face (UnderlayText::faceRuns) where the MTEXT line's codes change its face
    // partway, each the style's (tags) or as its code says.
    void FaceRuns(const std::vector<Tag>& tags, const std::vector<MTextFaceRun>& faces,
                  UnderlayText& text);
    // The family and bold flag of the text style named so (LayerKey, "#" and a handle; empty:
    // Standard).
    void StyleFace(std::string_view style, UnderlayText& text) const;

    // Where an MTEXT's lines stand, in its own frame (x along its direction, y up, from its
    // point, before the transform): by their estimated advance, the top of the first line and
    // the last line's baseline.
    struct MTextBox {
        Vec2 at;
        Vec2 along{1.0, 0.0};
        Vec2 up{0.0, 1.0};
        double left = 0.0;
        double right = 0.0;
        double top = 0.0;
        double bottom = 0.0;
        bool drawn = false;  // some line was laid out
    };
    MTextBox MText(const std::vector<Tag>& tags, const Affine& m, const Resolved& r);
    // The pieces and stacks' bars of one laid-out MTEXT line, its baseline's left end at start.
    void MTextPieces(const std::vector<Tag>& tags, const MTextLine& line,
                     const MTextLineLayout& laid, Vec2 start, Vec2 along, Vec2 up,
                     std::uint8_t column, const Affine& m, const Resolved& r);

    void Hatch(const std::vector<Tag>& tags, const Affine& m, const Resolved& r);

    // A pattern line family of a hatch, in the entity's plane: lines through base + k offset
    // along direction, dashed (empty: solid).
    struct PatternLine {
        Vec2 base;
        Vec2 direction;
        Vec2 offset;
        std::vector<double> dashes;
    };

    // The pattern line families of a hatch's pattern data (tags from i on; none when absent).
    static std::vector<PatternLine> ReadPatternLines(const std::vector<Tag>& tags, std::size_t i);

    // The pattern lines inside the boundary rings (even-odd), from the pattern data after the
    // boundary (tags from i on); a family denser than kMaxHatchLines lines is left out.
    void HatchPattern(const std::vector<Tag>& tags, std::size_t i, const Affine& m,
                      const std::vector<std::vector<Vec2>>& rings, const Resolved& r);

    // The dashes of a pattern (+ dash, - gap, 0 dot) on q + t d for t in [from, to], the pattern
    // starting at t = 0; one segment when solid.
    static void DashSegments(Vec2 q, Vec2 d, double from, double to,
                             const std::vector<double>& dashes, double period,
                             std::vector<Vec2>& out);

    // Reads one edge of a hatch boundary from tags[i]; returns where the next edge may start.
    static std::size_t HatchEdge(const std::vector<Tag>& tags, std::size_t i, std::int64_t edge,
                                 const Affine& m, std::vector<Vec2>& ring);

    void Insert(std::size_t r, const std::vector<Tag>& tags, const Affine& m, const Common& common,
                const Resolved& res, const Context& ctx);
    void InsertAttributes(std::size_t r, const Common& common, const Resolved& res,
                          const Context& ctx);

    void Dimension(const std::vector<Tag>& tags, const Affine& m, const Resolved& res,
                   const Context& ctx);

    // The records of a block drawn by map m, as an insert's: on layer 0 they take its layer,
    // colour and linetype.
    void BlockContent(const std::vector<std::uint32_t>& records, const Affine& m,
                      const Common& common, const Resolved& res, const Context& ctx);

    // MLINE: each element of its style along the vertices' miter points, broken where its
    // parameters say, with the caps, miters and fill its style (340, else by name) asks for.
    void MLine(const std::vector<Tag>& tags, const Affine& m, const Common& common,
               const Resolved& res, const Context& ctx);

    // The MLINESTYLE objects, read when the first multiline needs them.
    void ReadMLineStyles();
    struct MLineStyle;
    // A style's elements by offset, lowest first.
    static std::vector<std::size_t> MLineOrder(const MLineStyle& style);
    void MLineElements(const MLineShape& shape, const Affine& m, const std::vector<Resolved>& look);
    void MLineEnds(const MLineShape& shape, const MLineStyle& style, const Affine& m,
                   const std::vector<Resolved>& look);

    // XLINE and RAY: kept until everything else is drawn, then clipped to the box around it
    // (DrawInfiniteLines).
    void InfiniteLine(const std::vector<Tag>& tags, const Affine& m, const Resolved& res, bool ray,
                      bool top);
    void DrawInfiniteLines();

    // IMAGE and WIPEOUT: the frame of their clip boundary (else of the whole image).
    void ImageFrame(const std::vector<Tag>& tags, const Affine& m, const Resolved& res);

    // TOLERANCE: its feature control frame's boxes and texts (dxf_underlay_tolerance.cpp).
    void Tolerance(const std::vector<Tag>& tags, const Affine& m, const Resolved& res);

    // PDF, DWF and DGN underlays: their insertion point, to snap to.
    void UnderlayPoint(const std::vector<Tag>& tags, const Affine& m, const Resolved& res);

    // ACAD_TABLE: its anonymous block at its insertion point, turned to its direction.
    void Table(const std::vector<Tag>& tags, const Affine& m, const Common& common,
               const Resolved& res, const Context& ctx);

    // MULTILEADER: its text (as an MTEXT) or block, its leader lines with a closed filled
    // arrowhead each and their doglegs.
    void MultiLeader(const std::vector<Tag>& tags, const Affine& m, const Common& common,
                     const Resolved& res, const Context& ctx);
    // A multileader's text frame, and the underline its attachment asks for at each leader.
    void MultiLeaderTextLines(const dxf_roles::MultiLeaderShape& shape, const MTextBox& box,
                              const Affine& m, const Resolved& res);

    const DxfSource& m_source;
    const DxfUnderlayRecords& m_where;
    const std::function<std::int32_t(std::string_view)>& m_layerOf;
    std::map<std::string, std::size_t>* m_shownKinds;
    DxfUnderlayBudget& m_budget;
    bool m_spent = false;        // the budget ran out: nothing more is drawn
    std::string_view m_topType;  // the model-space record being drawn
    DxfTagReader m_reader;
    Underlay m_underlay;
    DxfLinetypes m_linetypes;
    std::size_t m_visits = 0;
    std::uint32_t m_record = kNoUnderlayIndex;  // the model-space record being drawn
    std::string m_recordLayer;                  // and the layer it is on
    std::unordered_map<std::string, LayerInfo> m_layers;
    std::unordered_map<std::string, Block> m_blocks;
    // Block names by the handle of their BLOCK_RECORD (upper case), for what names a block so.
    std::unordered_map<std::string, std::string> m_blockRecords;
    std::unordered_map<std::string, TextFace> m_textFaces;        // by style name (LayerKey)
    std::unordered_map<std::string, std::string> m_styleHandles;  // upper-case handle -> name
    std::array<std::vector<Tag>, kMaxDepth + 2> m_tags;
    std::unordered_map<std::uint32_t, std::vector<Tag>> m_blockTags;
    struct MLineElement {
        double offset = 0.0;
        std::int64_t colour = 256;
        std::string linetype;
    };
    struct MLineStyle {
        std::int64_t flags = 0;
        std::int64_t fill = 256;
        std::vector<MLineElement> elements;
    };
    // By the handle of the style (upper case), and by "name:" and its name.
    std::unordered_map<std::string, MLineStyle> m_mlineStyles;
    bool m_mlineStylesRead = false;
    // A construction line mapped to the drawing, with what its item takes.
    struct InfiniteRecord {
        Vec2 at;
        Vec2 direction;  // unit
        bool ray = false;
        bool top = false;  // a model-space record itself (counted as shown)
        std::int32_t layer = 0;
        Rgb colour;
        std::uint32_t dash = kNoUnderlayIndex;
        bool byLayer = false;
        std::uint32_t record = kNoUnderlayIndex;
    };
    std::vector<InfiniteRecord> m_infinite;
    // Arrow size and overall scale of dimensions and leaders: the header's ($DIMASZ, $DIMSCALE),
    // and each dimension style's own where it gives them (by LayerKey of its name).
public:
    struct DimensionLook;  // what a dimension's style says about its look
    struct ArrowStyle {
        std::optional<double> size;
        std::optional<double> scale;
        std::optional<double> textHeight;  // DIMTXT (140)
        std::optional<double> tick;        // DIMTSZ (142): ticks instead of arrows when > 0
        std::optional<double> offset;      // DIMEXO (42): the gap before an extension line
        std::optional<double> extension;   // DIMEXE (44): how far it runs past the dimension line
        std::optional<double> decimals;    // DIMDEC (271)
        std::optional<double> angleDecimals;  // DIMADEC (179)
        std::optional<double> gap;            // DIMGAP (147): text to dimension line
        std::optional<double> lengthFactor;   // DIMLFAC (144): measured lengths scaled
        std::optional<double> zeros;          // DIMZIN (78): zeros left out
        std::optional<double> units;          // DIMLUNIT (277): 3/4 feet and inches, 5 fractions
        std::optional<double> separator;      // DIMDSEP (278): the decimal separator
        std::optional<double> lineInside;     // DIMTOFL (172): the line drawn inside the curve
        std::optional<double> level;          // DIMTOH (74): text outside kept horizontal
        std::optional<double> centreMark;     // DIMCEN (141): the centre's cross, half its size
        // DIMTXSTY: its text style's name (LayerKey; 7 in R12), or "#" and its STYLE's handle in
        // upper case (340, and a dimension's override); empty: not given.
        std::string textStyle;
        // Takes a style variable from a DIMSTYLE record's or override's tag (by its group
        // code: value the tag's real or integer as the code holds); false when the code is not
        // one of these.
        bool Take(int code, double value);
        bool Take(const Tag& t);
    };

private:
    ArrowStyle m_headerArrow;
    std::unordered_map<std::string, ArrowStyle> m_dimStyles;
    // The arrow length of an entity of the named style, with its own overrides (XDATA).
    [[nodiscard]] double ArrowLength(std::string_view style, const ArrowStyle& own) const;

    // A dimension whose block is missing, drawn from its definition points, style and text.
    void DrawDimension(const std::vector<Tag>& tags, const Affine& m, const Resolved& res);
    void DimensionArrow(Vec2 tip, Vec2 inward, const DimensionLook& look, const Affine& m,
                        const Resolved& res);
    void DimensionText(const std::string& text, Vec2 at, double angle, const DimensionLook& look,
                       const Affine& m, const Resolved& res);
    [[nodiscard]] double StyleValue(std::string_view style, const ArrowStyle& own,
                                    std::optional<double> ArrowStyle::*field,
                                    double fallback) const;
    [[nodiscard]] DimensionLook LookOf(std::string_view style, const ArrowStyle& own) const;
    [[nodiscard]] static std::string DimensionValue(const DimensionShape& s,
                                                    std::optional<double> measured,
                                                    const DimensionLook& look);
};

}  // namespace pelimator::board::underlay
