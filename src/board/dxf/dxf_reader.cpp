// Reading DXF files in one pass over their tags: every record kept as its byte range, typed data
// parsed only for what the board shows (lines, arcs, circles, polylines), the layer table, and
// the header values and places a save patches.
#include <array>
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
#include "board/dxf/dxf_file.h"
#include "board/dxf/dxf_linetypes.h"
#include "board/dxf/dxf_names.h"
#include "board/dxf/dxf_underlay.h"
#include "board/model/units.h"

namespace pelimator::board {

namespace {

constexpr double kDegree = std::numbers::pi / 180.0;
constexpr std::size_t kMaxFileBytes = std::size_t{1} << 31U;
// Polyline segments flatter than this are straight.
constexpr double kMinBulge = 1e-12;
// Degrees: an arc whose ends are closer than this in angle is a full circle.
constexpr double kFullCircleSlack = 1e-9;

enum class Section : std::uint8_t { None, Header, Tables, Blocks, Entities, Objects, Other };

enum class Kind : std::uint8_t {
    Other,
    Section,
    Header,
    TableHead,
    Layer,
    Appid,
    BlockRecord,
    Ltype,
    Line,
    Arc,
    Circle,
    LwPolyline,
    Polyline,
    Vertex,
    Seqend,
    OtherEntity,
    Dictionary,
};

// A layer name as written, with what its LAYER record (if any) said.
struct RawLayer {
    std::string name;
    std::size_t record = kNoDxfRecord;
    std::int64_t flags = 0;
    std::int64_t colour = 7;
    std::optional<std::int64_t> trueColour;
    std::optional<std::int32_t> number;  // Pelimator's extended data
    std::optional<std::string> boardName;
    std::string_view linetype;  // group 6
    bool ours = false;
};

struct PolyVertex {
    Vec2 point;
    double bulge = 0.0;
};

std::string FormatNumber(double value) {
    std::array<char, 64> buffer{};
    std::snprintf(buffer.data(), buffer.size(), "%.10g", value);
    return buffer.data();
}

bool EqualsNoCase(std::string_view a, std::string_view b) noexcept {
    return LayerKey(a) == LayerKey(b);
}

std::optional<std::int32_t> PlainNumber(std::string_view name) {
    if (name.empty() || name.size() > 10) return std::nullopt;
    if (name.size() > 1 && name.front() == '0') return std::nullopt;
    long long value = 0;
    for (const char c : name) {
        if (c < '0' || c > '9') return std::nullopt;
        value = value * 10 + (c - '0');
    }
    if (value > std::numeric_limits<std::int32_t>::max()) return std::nullopt;
    return static_cast<std::int32_t>(value);
}

std::optional<std::pair<std::int32_t, std::int32_t>> ParseScale(std::string_view text) {
    const auto colon = text.find(':');
    if (colon == std::string_view::npos) return std::nullopt;
    const auto numerator = PlainNumber(TrimDxf(text.substr(0, colon)));
    const auto denominator = PlainNumber(TrimDxf(text.substr(colon + 1)));
    if (!numerator || !denominator || *numerator <= 0 || *denominator <= 0) return std::nullopt;
    return std::pair{*numerator, *denominator};
}

// The scale from $DIMSCALE alone (files of other programs): 1:N or N:1 when it is a whole
// number or its inverse is; 1:1 otherwise.
std::pair<std::int32_t, std::int32_t> ScaleFromFactor(double factor) {
    constexpr double kMax = std::numeric_limits<std::int32_t>::max();
    if (!(factor > 0.0) || !std::isfinite(factor)) return {1, 1};
    const auto whole = [](double x) {
        return x <= kMax && std::abs(x - std::round(x)) <= 1e-9 * x;
    };
    if (factor >= 1.0 && whole(factor)) return {1, static_cast<std::int32_t>(std::round(factor))};
    if (factor < 1.0 && whole(1.0 / factor)) {
        return {static_cast<std::int32_t>(std::round(1.0 / factor)), 1};
    }
    return {1, 1};
}

// Group codes whose value says how many items follow; a count the rest of the file cannot hold
// is damaged data.
bool IsCount(std::string_view type, int code) noexcept {
    const auto in = [code](int low, int high) { return code >= low && code <= high; };
    if (type == "LWPOLYLINE") return code == 90;
    if (type == "SPLINE") return in(72, 74);
    if (type == "LEADER") return code == 76;
    if (type == "HATCH") return in(91, 99) || in(72, 79);
    if (type == "MTEXT") return code == 73 || code == 75;
    return false;
}

class Parser {
public:
    Parser(DxfSource& source, DxfReadResult& result, const DxfReadOptions& options)
        : m_source(source),
          m_result(result),
          m_options(options),
          m_reader(source.bytes, source.layout, source.fileName) {}

    void Run() {
        const std::string_view data = m_source.bytes;
        if (data.find_first_not_of(" \t\r\n") == std::string_view::npos) {
            throw FileError("図面ファイル「" + m_source.fileName +
                            "」を開けません: ファイルが空です");
        }
        // Records come about every 150 bytes in drawings of lines and arcs. Room reserved
        // beyond what is used is never touched, so it costs no memory.
        m_source.records.reserve(data.size() / 100 + 16);
        m_result.content.entities.reserve(data.size() / 100 + 16);
        m_source.entityRecord.reserve(data.size() / 100 + 16);
        bool sawEof = false;
        while (m_reader.Next(m_tag)) {
            if (m_tag.code == 0) {
                FinishRecord();
                if (BeginRecord()) {
                    sawEof = true;
                    break;
                }
                continue;
            }
            OnTag();
        }
        if (!sawEof) m_reader.Fail("ファイルが途中で切れています (終わりの EOF がありません)");
        FlushPolyline();
        // A section or table left open ends where the file ends.
        const std::size_t eof = m_source.records.back();
        for (DxfPlace* place : {&m_source.header, &m_source.tables, &m_source.entities}) {
            if (place->found && place->end == 0) place->end = eof;
        }
        for (DxfTablePlace* table : {&m_source.layerTable, &m_source.appidTable}) {
            if (table->found && table->endTab == 0) table->endTab = eof;
        }
        if (m_source.entitiesInsert == kNoDxfRecord)
            m_source.entitiesInsert = m_source.records.back();
        if (m_source.tablesInsert == kNoDxfRecord) m_source.tablesInsert = m_source.entitiesInsert;
        m_source.records.push_back(static_cast<std::uint32_t>(m_tag.end));
        Finish();
    }

private:
    [[nodiscard]] std::string_view Value() const noexcept { return TrimDxf(m_tag.value); }
    [[nodiscard]] std::size_t RecordIndex() const noexcept { return m_source.records.size() - 1; }

    // Starts the record whose "0" tag was just read; true for "0 EOF".
    bool BeginRecord() {
        m_source.records.push_back(static_cast<std::uint32_t>(m_tag.begin));
        m_type = Value();
        m_kind = Kind::Other;
        m_handleCode = 5;
        m_sequenceHead = false;
        if (m_type == "EOF") {
            if (m_inSection) EofInSection();
            return true;
        }
        if (m_type == "SECTION") {
            if (m_inSection) {
                EndSequence(false);
                Close("次のセクションの前");
            }
            CloseSection();
            m_kind = Kind::Section;
            m_sectionBegin = m_tag.begin;
            m_inSection = true;
            m_sectionName = {};
            return false;
        }
        if (m_type == "ENDSEC") {
            EndSequence(m_section == Section::Entities);
            CloseSection();
            m_inSection = false;
            return false;
        }
        if (m_section == Section::Entities || m_section == Section::Blocks) CheckSequence();
        switch (m_section) {
            case Section::Tables:
                BeginTableRecord();
                break;
            case Section::Entities:
                BeginEntity();
                break;
            case Section::Objects:
                BeginObject();
                break;
            default:
                break;
        }
        return false;
    }

    // A record inside an open sequence (a POLYLINE's vertices, an INSERT's attributes) must be
    // one of it or its SEQEND: ezdxf refuses anything else, even when recovering, so it is
    // refused here with both lines named.
    void CheckSequence() {
        if (m_sequence.open) {
            if (m_type == "SEQEND") {
                m_sequence.open = false;
            } else if (m_type != m_sequence.member) {
                m_reader.Fail(m_sequence.where + "の " + m_sequence.type +
                              " を閉じる SEQEND がないまま " + std::string(m_type) +
                              " が始まっています");
            }
        }
        if (m_type == "POLYLINE" || m_type == "INSERT") {
            m_sequenceHead = true;
            m_sequence.where = m_reader.Where();
            m_sequence.type = std::string(m_type);
            m_sequence.handle.clear();
            m_sequence.layer = "0";
            m_attributesFollow = false;
        }
    }

    // The sequence a record ends; at the end of ENTITIES it is closed there (ezdxf reads it
    // so), elsewhere refused as CheckSequence refuses.
    void EndSequence(bool endOfEntities) {
        if (!m_sequence.open) return;
        if (!endOfEntities) {
            m_reader.Fail(m_sequence.where + "の " + m_sequence.type +
                          " を閉じる SEQEND がないまま " + std::string(m_type) + " になっています");
        }
        m_sequence.open = false;
        m_source.closings.push_back({m_tag.begin, true, m_sequence.handle, m_sequence.layer});
        Repaired(m_sequence.where + "の " + m_sequence.type +
                 " を閉じる SEQEND がないので、ENTITIES セクションの終わりで閉じました");
    }

    // The record after a sequence's head: its tags said whether one follows.
    void OpenSequence() {
        if (!m_sequenceHead) return;
        m_sequenceHead = false;
        if (m_sequence.type == "POLYLINE") {
            m_sequence.member = "VERTEX";
        } else if (m_attributesFollow) {
            m_sequence.member = "ATTRIB";
        } else {
            return;
        }
        m_sequence.open = true;
    }

    void OnSequenceTag() {
        if (m_tag.code == 5) m_sequence.handle = std::string(Value());
        if (m_tag.code == 8) m_sequence.layer = std::string(Value());
        if (m_tag.code == 66) m_attributesFollow = m_tag.integer != 0;
    }

    // "0 EOF" inside a section: the file ends there only when nothing follows (ezdxf's recovery
    // closes the section then); data after it would be silently cut, so that is refused.
    void EofInSection() {
        const std::string_view rest = std::string_view(m_source.bytes).substr(m_tag.end);
        if (rest.find_first_not_of(std::string_view(" \t\r\n\0\x1a", 6)) !=
            std::string_view::npos) {
            m_reader.Fail("セクション " + SectionLabel() +
                          " の終わり (ENDSEC) より前に EOF があり、その後にもデータが続きます");
        }
        EndSequence(m_section == Section::Entities);
        Close("ファイルの終わり (EOF) の前");
        CloseSection();
        m_inSection = false;
    }

    [[nodiscard]] std::string SectionLabel() const {
        return m_sectionName.empty() ? std::string("(名前なし)") : std::string(m_sectionName);
    }

    // The open section lacks its ENDSEC: closed where the record just begun starts.
    void Close(const char* where) {
        m_source.closings.push_back({m_tag.begin, false, {}, {}});
        Repaired("セクション " + SectionLabel() + " の終わり (ENDSEC) がないので、" + where +
                 "で閉じました");
    }

    void Repaired(const std::string& what) {
        m_result.report.repairs.push_back(m_reader.Where() + ": " + what);
    }

    // Ends the open section (and table) at the record just begun.
    void CloseSection() {
        if (m_table != nullptr && m_table->endTab == 0) m_table->endTab = m_tag.begin;
        m_table = nullptr;
        m_tableName = {};
        if (m_section == Section::Header) m_source.header.end = m_tag.begin;
        if (m_section == Section::Tables) {
            m_source.tables.end = m_tag.begin;
            m_underlay.tablesLast = RecordIndex();
        }
        if (m_section == Section::Blocks) m_underlay.blocksLast = RecordIndex();
        if (m_section == Section::Entities) {
            m_source.entities.end = m_tag.begin;
            FlushPolyline();
        }
        m_section = Section::None;
    }

    void BeginTableRecord() {
        if (m_type == "TABLE") {
            if (m_table != nullptr && m_table->endTab == 0) m_table->endTab = m_tag.begin;
            m_kind = Kind::TableHead;
            m_table = nullptr;
            return;
        }
        if (m_type == "ENDTAB") {
            if (m_table != nullptr) {
                m_table->endTab = m_tag.begin;
                m_table->closed = true;
            }
            m_table = nullptr;
            m_tableName = {};
            return;
        }
        if (m_tableName == "LAYER" && m_type == "LAYER") {
            m_kind = Kind::Layer;
            m_layer = RawLayer{};
            m_layer.record = RecordIndex();
        } else if (m_tableName == "APPID") {
            m_kind = Kind::Appid;
        } else if (m_tableName == "BLOCK_RECORD") {
            m_kind = Kind::BlockRecord;
            m_blockHandle = {};
        } else if (m_tableName == "LTYPE") {
            m_kind = Kind::Ltype;
            m_ltypeName = {};
            m_ltypePattern.clear();
        } else if (m_type == "DIMSTYLE") {
            m_handleCode = 105;
        }
    }

    void BeginEntity() {
        if (m_type == "VERTEX") {
            m_kind = Kind::Vertex;
        } else if (m_type == "SEQEND") {
            m_kind = Kind::Seqend;
        } else {
            FlushPolyline();
            ++m_counts[std::string(m_type)];
            if (m_type == "LINE") {
                m_kind = Kind::Line;
            } else if (m_type == "ARC") {
                m_kind = Kind::Arc;
            } else if (m_type == "CIRCLE") {
                m_kind = Kind::Circle;
            } else if (m_type == "LWPOLYLINE") {
                m_kind = Kind::LwPolyline;
                // The underlay adds its width, if it has one.
                m_underlay.entities.push_back(static_cast<std::uint32_t>(RecordIndex()));
            } else if (m_type == "POLYLINE") {
                m_kind = Kind::Polyline;
                m_underlay.entities.push_back(static_cast<std::uint32_t>(RecordIndex()));
            } else {
                m_kind = Kind::OtherEntity;
                // Attributes are drawn with their insert.
                if (m_type != "ATTRIB" && m_type != "ATTDEF") {
                    m_underlay.entities.push_back(static_cast<std::uint32_t>(RecordIndex()));
                }
                m_countCheck = IsCount(m_type, 72) || IsCount(m_type, 73) || IsCount(m_type, 76) ||
                               IsCount(m_type, 91);
            }
        }
        m_entity = EntityFields{};
        if (m_kind == Kind::LwPolyline) m_vertices.clear();
    }

    void OnTag() {
        const int code = m_tag.code;
        if (m_sequenceHead) OnSequenceTag();
        if (code == m_handleCode && m_kind != Kind::Header && m_kind != Kind::Section) {
            std::uint64_t handle = 0;
            if (ParseHandle(m_tag.value, handle) && handle > m_maxHandle) m_maxHandle = handle;
        }
        switch (m_kind) {
            case Kind::Section:
                if (code == 2) OnSectionName();
                break;
            case Kind::Header:
                OnHeaderTag();
                break;
            case Kind::TableHead:
                OnTableHeadTag();
                break;
            case Kind::Layer:
                OnLayerTag();
                break;
            case Kind::Appid:
                if (code == 2 && Value() == kDxfAppName) m_source.hasOurAppid = true;
                break;
            case Kind::BlockRecord:
                if (code == 5) m_blockHandle = Value();
                if (code == 2 && EqualsNoCase(Value(), "*Model_Space")) {
                    m_source.modelSpaceHandle = std::string(m_blockHandle);
                }
                break;
            case Kind::Ltype:
                if (code == 2 && EqualsNoCase(Value(), "Continuous")) {
                    m_source.continuous = std::string(Value());
                }
                if (code == 2) m_ltypeName = Value();
                if (code == 49) m_ltypePattern.push_back(m_tag.real);
                break;
            case Kind::Line:
            case Kind::Arc:
            case Kind::Circle:
            case Kind::Polyline:
            case Kind::Vertex:
                OnEntityTag();
                break;
            case Kind::LwPolyline:
                OnLwPolylineTag();
                break;
            case Kind::OtherEntity:
                if (m_countCheck && IsCount(m_type, code)) CheckCount();
                break;
            case Kind::Dictionary:
                OnDictionaryTag();
                break;
            default:
                break;
        }
    }

    // Dictionaries of the OBJECTS section, for the plot style new layers take: the root (the
    // section's first record) names the ACAD_PLOTSTYLENAME dictionary, which holds "Normal".
    void BeginObject() {
        const bool root = !m_sawObject;
        m_sawObject = true;
        if (m_type != "DICTIONARY" && m_type != "ACDBDICTIONARYWDFLT") return;
        m_kind = Kind::Dictionary;
        m_dictionary = {};
        m_dictionary.root = root;
    }

    void OnDictionaryTag() {
        switch (m_tag.code) {
            case 5:
                m_dictionary.handle = std::string(Value());
                break;
            case 3:
                m_dictionary.entry = Value();
                break;
            case 340:
                m_dictionary.fallback = std::string(Value());
                break;
            case 350:
            case 360:
                if (m_dictionary.root && m_dictionary.entry == "ACAD_PLOTSTYLENAME") {
                    m_plotStyleDictionary = std::string(Value());
                } else if (m_dictionary.entry == "Normal") {
                    m_dictionary.normal = std::string(Value());
                }
                m_dictionary.entry = {};
                break;
            default:
                break;
        }
    }

    void FinishDictionary() {
        std::string& style =
            m_dictionary.normal.empty() ? m_dictionary.fallback : m_dictionary.normal;
        if (!m_dictionary.root && !style.empty() && !m_dictionary.handle.empty()) {
            m_plotStyles.emplace(m_dictionary.handle, std::move(style));
        }
    }

    // The plot style new layers take (R2000 on): what the file's plot style dictionary calls
    // "Normal" (as ezdxf looks it up for a layer without one), else what its layers use.
    void FindPlotStyle() {
        if (m_source.version < "AC1015") return;
        const auto found = m_plotStyles.find(m_plotStyleDictionary);
        m_source.plotStyle = found != m_plotStyles.end() ? found->second : m_layerPlotStyle;
    }

    void OnSectionName() {
        const std::string_view name = Value();
        m_kind = Kind::Other;  // only the first name counts
        m_section = Section::Other;
        if (name == "HEADER") {
            m_section = Section::Header;
            m_kind = Kind::Header;
            m_source.header.found = true;
            m_source.header.begin = m_sectionBegin;
            m_underlay.header = RecordIndex();
        } else if (name == "TABLES") {
            m_section = Section::Tables;
            m_source.tables.found = true;
            m_source.tables.begin = m_sectionBegin;
            m_underlay.tablesFirst = RecordIndex();
        } else if (name == "ENTITIES") {
            m_section = Section::Entities;
            m_source.entities.found = true;
            m_source.entities.begin = m_sectionBegin;
        } else if (name == "BLOCKS") {
            m_section = Section::Blocks;
            m_underlay.blocksFirst = RecordIndex();
        } else if (name == "OBJECTS") {
            m_section = Section::Objects;
        }
        m_sectionName = name;
        if (m_source.tablesInsert == kNoDxfRecord &&
            (name == "BLOCKS" || name == "ENTITIES" || name == "OBJECTS")) {
            m_source.tablesInsert = m_sectionBegin;
        }
        if (m_source.entitiesInsert == kNoDxfRecord &&
            (name == "OBJECTS" || name == "THUMBNAILIMAGE" || name == "ACDSDATA")) {
            m_source.entitiesInsert = m_sectionBegin;
        }
    }

    void OnHeaderTag() {
        const int code = m_tag.code;
        if (code == 9) {
            m_variable = Value();
            return;
        }
        const DxfPlace place{true, m_tag.begin, m_tag.end};
        if (m_variable == "$ACADVER" && code == 1) {
            m_source.version = std::string(Value());
        } else if (m_variable == "$DWGCODEPAGE" && code == 3) {
            m_codePage = std::string(Value());
        } else if (m_variable == "$HANDSEED" && code == 5) {
            (void)ParseHandle(m_tag.value, m_handSeed);
            m_source.handSeed = place;
        } else if (m_variable == "$LTSCALE" && code == 40) {
            m_linetypes.SetDrawingScale(m_tag.real);
        } else if (m_variable == "$HANDLING" && code == 70) {
            m_handling = m_tag.integer != 0;
        } else if (m_variable == "$DIMSCALE" && code == 40) {
            m_dimScale = m_tag.real;
            m_source.dimScale = place;
        } else if (m_variable == "$CLAYER" && code == 8) {
            m_currentLayerName = std::string(Value());
            m_source.currentLayerTag = place;
        } else if (m_variable == "$INSUNITS" && code == 70) {
            m_units = m_tag.integer;
            m_source.unitTag = place;
        } else if (m_variable == "$CUSTOMPROPERTYTAG" && code == 1) {
            m_propertyTag = Value();
        } else if (m_variable == "$CUSTOMPROPERTY" && code == 1 &&
                   m_propertyTag == kDxfScaleProperty) {
            m_exactScale = ParseScale(Value());
            m_source.scaleProperty = place;
        }
    }

    void OnTableHeadTag() {
        const int code = m_tag.code;
        if (code == 2) {
            m_tableName = Value();
            m_table = m_tableName == "LAYER"   ? &m_source.layerTable
                      : m_tableName == "APPID" ? &m_source.appidTable
                                               : nullptr;
            if (m_table != nullptr) m_table->found = true;
        } else if (m_table != nullptr && code == 5) {
            m_table->handle = std::string(Value());
        } else if (m_table != nullptr && code == 70) {
            m_table->count = {true, m_tag.begin, m_tag.end};
            m_table->countValue = m_tag.integer;
        }
    }

    void OnLayerTag() {
        switch (m_tag.code) {
            case 2:
                m_layer.name = std::string(Value());
                break;
            case 70:
                m_layer.flags = m_tag.integer;
                break;
            case 62:
                m_layer.colour = m_tag.integer;
                break;
            case 420:
                m_layer.trueColour = m_tag.integer;
                break;
            case 6:
                m_layer.linetype = Value();
                break;
            case 390:
                if (m_layerPlotStyle.empty()) m_layerPlotStyle = std::string(Value());
                break;
            case 1001:
                m_layer.ours = Value() == kDxfAppName;
                break;
            case 1071:
                if (m_layer.ours) m_layer.number = static_cast<std::int32_t>(m_tag.integer);
                break;
            case 1000:
                if (m_layer.ours) m_layer.boardName = std::string(m_tag.value);
                break;
            default:
                break;
        }
    }

    struct EntityFields {
        std::string_view layer = "0";
        bool paper = false;
        Vec2 p10;
        Vec2 p11;
        double radius = 0.0;
        double angle1 = 0.0;
        double angle2 = 360.0;
        double bulge = 0.0;
        std::int64_t flags = 0;
        std::array<double, 3> extrusion = {0.0, 0.0, 1.0};
        std::int64_t colour = 256;  // BYLAYER
        std::optional<std::int64_t> trueColour;
        std::string_view linetype;  // group 6; empty: BYLAYER
        double linetypeScale = 1.0;
    };

    // What an entity's linetype is resolved from once the tables are known.
    struct LineStyle {
        std::string_view linetype;
        std::string_view layer;
        double scale = 1.0;
        friend bool operator==(const LineStyle&, const LineStyle&) = default;
    };

    // The entity's own colour packed as DocumentSource::OwnColours holds it; 0 when by layer.
    // BYBLOCK outside a block shows as colour 7, as CAD programs show it.
    [[nodiscard]] static std::uint32_t OwnColourOf(const EntityFields& e) noexcept {
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

    void OnEntityTag() {
        switch (m_tag.code) {
            case 8:
                m_entity.layer = Value();
                break;
            case 62:
                m_entity.colour = m_tag.integer;
                break;
            case 420:
                m_entity.trueColour = m_tag.integer;
                break;
            case 6:
                m_entity.linetype = Value();
                break;
            case 48:
                m_entity.linetypeScale = m_tag.real;
                break;
            case 67:
                m_entity.paper = m_tag.integer != 0;
                if (m_entity.paper && m_section == Section::Entities)
                    m_underlay.paperEntities = true;
                break;
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
            case 210:
            case 220:
            case 230:
                m_entity.extrusion[static_cast<std::size_t>((m_tag.code - 210) / 10)] = m_tag.real;
                break;
            default:
                break;
        }
    }

    void OnLwPolylineTag() {
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

    void CheckCount() {
        const std::size_t rest = m_source.bytes.size() - m_reader.Offset();
        if (m_tag.integer < 0 || static_cast<std::uint64_t>(m_tag.integer) > rest / 4) {
            m_reader.Fail("グループコード " + std::to_string(m_tag.code) + " の件数 " +
                          std::to_string(m_tag.integer) + " がファイルの大きさに合いません");
        }
    }

    void FinishRecord() {
        OpenSequence();
        switch (m_kind) {
            case Kind::Dictionary:
                FinishDictionary();
                break;
            case Kind::Layer:
                AddRawLayer();
                break;
            case Kind::Ltype:
                m_linetypes.AddLinetype(m_ltypeName, std::move(m_ltypePattern));
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
                AddArc(m_entity.p10, m_entity.radius, from, to, *mirror, type,
                       LayerOf(m_entity.layer));
                ++m_taken[type];
                break;
            }
            case Kind::LwPolyline: {
                const auto mirror = Mirror();
                if (m_entity.paper || !mirror) break;
                m_polyOpen = true;
                m_polyType = "LWPOLYLINE";
                m_polyRecord = RecordIndex();
                m_polyClosed = (m_entity.flags & 1) != 0;
                m_polyMirror = *mirror;
                m_polyLayer = LayerOf(m_entity.layer);
                m_polyColour = OwnColourOf(m_entity);
                m_polyStyle = StyleOf(m_entity);
                for (PolyVertex& v : m_vertices) {
                    CheckPoint(v.point, "LWPOLYLINE");
                    if (m_polyMirror) {
                        v.point.x = -v.point.x;
                        v.bulge = -v.bulge;
                    }
                }
                FlushPolyline();
                break;
            }
            case Kind::Polyline: {
                // 3-D polylines, meshes and polyface meshes are not flat drawings.
                constexpr std::int64_t kNotFlat = 8 | 16 | 64;
                const auto mirror = Mirror();
                if (m_entity.paper || !mirror || (m_entity.flags & kNotFlat) != 0) break;
                m_polyOpen = true;
                m_polyType = "POLYLINE";
                m_polyRecord = RecordIndex();
                m_polyClosed = (m_entity.flags & 1) != 0;
                m_polyMirror = *mirror;
                m_polyLayer = LayerOf(m_entity.layer);
                m_polyColour = OwnColourOf(m_entity);
                m_polyStyle = StyleOf(m_entity);
                m_vertices.clear();
                break;
            }
            case Kind::Vertex:
                if (m_polyOpen) {
                    Vec2 point = m_entity.p10;
                    double bulge = m_entity.bulge;
                    CheckPoint(point, "POLYLINE");
                    if (m_polyMirror) {
                        point.x = -point.x;
                        bulge = -bulge;
                    }
                    m_vertices.push_back({point, bulge});
                }
                break;
            case Kind::Seqend:
                FlushPolyline();
                break;
            default:
                break;
        }
        m_kind = Kind::Other;
    }

    // Whether the entity's plane is the drawing plane seen from below (its coordinates mirror
    // in X); none when it is tilted (the entity is then not shown).
    [[nodiscard]] std::optional<bool> Mirror() const {
        const std::array<double, 3>& d = m_entity.extrusion;
        if (std::abs(d[0]) < 1e-9 && std::abs(d[1]) < 1e-9 && d[2] != 0.0) return d[2] < 0.0;
        return std::nullopt;
    }

    void CheckPoint(Vec2 p, const char* type) const {
        if (std::abs(p.x) <= kDxfMaxCoordinate && std::abs(p.y) <= kDxfMaxCoordinate) return;
        m_reader.Fail(std::string(type) + " の座標 (" + FormatNumber(p.x) + ", " +
                      FormatNumber(p.y) + ") が扱える範囲を超えています");
    }

    void CheckRadius(double radius, const char* type) const {
        if (radius > 0.0 && radius <= kDxfMaxCoordinate) return;
        m_reader.Fail(std::string(type) + " の半径 " + FormatNumber(radius) +
                      " が正しくありません");
    }

    // The raw layer index of a name as written (layers of the table come first).
    std::int32_t LayerOf(std::string_view name) {
        if (name.empty()) name = "0";
        if (name == m_lastLayerName) return m_lastLayer;
        auto found = m_rawIndex.find(std::string(name));
        if (found == m_rawIndex.end()) {
            found = m_rawIndex.emplace(std::string(name), m_raws.size()).first;
            RawLayer raw;
            raw.name = std::string(name);
            m_raws.push_back(std::move(raw));
        }
        m_lastLayerName = found->first;
        m_lastLayer = static_cast<std::int32_t>(found->second);
        return m_lastLayer;
    }

    void AddRawLayer() {
        m_linetypes.SetLayerLinetype(m_layer.name, m_layer.linetype);
        const auto [found, added] = m_rawIndex.emplace(m_layer.name, m_raws.size());
        if (!added) {
            // A name already used by entities before the table (rare): the record tells more.
            RawLayer& known = m_raws[found->second];
            if (known.record == kNoDxfRecord) {
                std::string name = known.name;
                known = m_layer;
                known.name = std::move(name);
            }
            return;  // a second record of the same name: the first one counts
        }
        m_raws.push_back(m_layer);
        m_lastLayerName = {};
    }

    void Push(const EntityData& entity) {
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

    [[nodiscard]] static LineStyle StyleOf(const EntityFields& e) noexcept {
        return {e.linetype, e.layer.empty() ? std::string_view("0") : e.layer, e.linetypeScale};
    }

    // The linetypes of the board's entities and layers, by the rule the underlay follows.
    void ResolveLinetypes() {
        if (m_linetypes.Empty()) return;
        std::map<std::vector<double>, std::uint32_t> known;
        const auto indexOf = [&](std::optional<std::vector<double>> pattern) {
            if (!pattern) return DocumentSource::kSolidLine;
            const auto [found, added] =
                known.emplace(*pattern, static_cast<std::uint32_t>(m_source.dashPatterns.size()));
            if (added) m_source.dashPatterns.push_back(std::move(*pattern));
            return found->second;
        };
        std::vector<std::uint32_t> styleDash;
        styleDash.reserve(m_styles.size());
        for (const LineStyle& style : m_styles) {
            styleDash.push_back(
                indexOf(m_linetypes.PatternOf(style.linetype, style.layer, style.scale)));
        }
        m_source.entityDash.reserve(m_entityStyle.size());
        for (const std::uint32_t style : m_entityStyle)
            m_source.entityDash.push_back(styleDash[style]);
        for (const DxfLayerEntry& layer : m_source.layers) {
            const std::uint32_t dash = indexOf(m_linetypes.PatternOf("", layer.rawName, 1.0));
            if (dash != DocumentSource::kSolidLine)
                m_source.layerDash.emplace_back(layer.read.number, dash);
        }
    }

    void AddLine(Vec2 start, Vec2 end, std::int32_t layer) {
        Push(MakeLine(start, end, layer));
        ++m_result.report.lines;
    }

    // An arc about centre from angle1 to angle2 (degrees, counter-clockwise in its own plane).
    void AddArc(Vec2 centre, double radius, double angle1, double angle2, bool mirror,
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

    void AddBulge(Vec2 a, Vec2 b, double bulge, std::int32_t layer) {
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

    void FlushPolyline() {
        if (!m_polyOpen) return;
        const std::size_t n = m_vertices.size();
        for (std::size_t i = 0; i + 1 < n; ++i) {
            AddBulge(m_vertices[i].point, m_vertices[i + 1].point, m_vertices[i].bulge,
                     m_polyLayer);
        }
        if (m_polyClosed && n >= 2) {
            AddBulge(m_vertices[n - 1].point, m_vertices[0].point, m_vertices[n - 1].bulge,
                     m_polyLayer);
        }
        ++m_taken[m_polyType];
        m_polyOpen = false;
    }

    // The code page, the layers and their numbers, the scale and the report, once every tag
    // was read.
    void Finish() {
        m_source.handles = m_source.Modern() || m_handling;
        m_source.nextHandle = std::max(m_handSeed, m_maxHandle + 1);
        if (!m_source.Utf8()) {
            if (!m_codePage.empty()) {
                m_source.codePage = m_codePage;
            } else if (m_reader.SawNonAscii()) {
                // UTF-8 first: Shift-JIS text is almost never valid UTF-8, while UTF-8 Japanese
                // often passes as Shift-JIS byte pairs.
                m_source.codePage = m_reader.AllUtf8()       ? "UTF-8"
                                    : m_reader.AllShiftJis() ? "ANSI_932"
                                                             : "ANSI_1252";
                m_source.codePageGuessed = true;
                m_result.report.guessedCodePage = m_source.codePage;
            }
        }
        FindPlotStyle();
        if (m_options.underlay) BuildUnderlay();
        // The current layer is a layer of the drawing even when no record or entity names it.
        if (m_currentLayerName) m_currentRaw = LayerOf(*m_currentLayerName);
        BuildLayers();
        ResolveLinetypes();
        TakeUnit();
        const auto scale = m_exactScale ? *m_exactScale : ScaleFromFactor(m_dimScale);
        m_source.scaleNumerator = m_result.content.scaleNumerator = scale.first;
        m_source.scaleDenominator = m_result.content.scaleDenominator = scale.second;
        m_source.scaleStored = m_exactScale.has_value() || scale != std::pair{1, 1};

        m_source.entityPrint.reserve(m_result.content.entities.size());
        for (const EntityData& entity : m_result.content.entities) {
            m_source.entityPrint.push_back(EntityPrint(entity));
        }
        DxfOpenReport& report = m_result.report;
        report.version = m_source.version;
        for (const auto& [type, count] : m_counts) {
            const auto taken = m_taken.find(type);
            const std::size_t used = taken == m_taken.end() ? 0 : taken->second;
            if (count > used) {
                report.skippedKinds[type] = count - used;
                report.skipped += count - used;
            }
        }
    }

    // Board layers from the raw names: names that decode to the same text (DXF compares them
    // without case) are one layer; numbers come from Pelimator's extended data, then from
    // names that are plain numbers, then the next free numbers in table order.
    void BuildLayers() {
        std::vector<std::size_t> boardOf(m_raws.size());
        std::vector<std::size_t> firstRaw;  // per board layer
        std::unordered_map<std::string, std::size_t> byKey;
        std::vector<std::string> names;
        for (std::size_t i = 0; i < m_raws.size(); ++i) {
            std::string name = DecodeDxfString(m_raws[i].name, m_source.version, m_source.codePage);
            const auto [found, added] = byKey.emplace(LayerKey(name), firstRaw.size());
            if (added) {
                firstRaw.push_back(i);
                names.push_back(std::move(name));
            }
            boardOf[i] = found->second;
        }
        std::vector<std::optional<std::int32_t>> numbers(firstRaw.size());
        std::set<std::int32_t> used;
        for (std::size_t b = 0; b < firstRaw.size(); ++b) {
            const RawLayer& raw = m_raws[firstRaw[b]];
            if (raw.number && used.insert(*raw.number).second) numbers[b] = raw.number;
        }
        for (std::size_t b = 0; b < firstRaw.size(); ++b) {
            if (numbers[b]) continue;
            const auto plain = PlainNumber(names[b]);
            if (plain && used.insert(*plain).second) numbers[b] = plain;
        }
        used.insert(0);  // "0" is always layer 0, even when the file has no such layer
        std::int32_t next = *used.rbegin();
        bool hasZero = false;
        for (std::size_t b = 0; b < firstRaw.size(); ++b) {
            if (!numbers[b]) {
                do {
                    next = next == std::numeric_limits<std::int32_t>::max() ? 1 : next + 1;
                } while (used.contains(next));
                used.insert(next);
                numbers[b] = next;
            }
            hasZero = hasZero || *numbers[b] == 0;
        }
        if (!hasZero) {
            DxfLayerEntry zero{LayerData{0, "0", {}, true}, "0", kNoDxfRecord, false};
            m_source.layers.push_back(zero);
            m_result.content.layers.push_back(zero.read);
        }
        for (std::size_t b = 0; b < firstRaw.size(); ++b) {
            const RawLayer& raw = m_raws[firstRaw[b]];
            LayerData layer;
            layer.number = *numbers[b];
            layer.name = raw.boardName
                             ? DecodeDxfString(*raw.boardName, m_source.version, m_source.codePage)
                             : names[b];
            layer.colour = raw.trueColour ? UnpackRgb(static_cast<std::int32_t>(*raw.trueColour))
                                          : AciToRgb(static_cast<std::int32_t>(raw.colour));
            layer.visible = raw.colour >= 0 && (raw.flags & 1) == 0;
            m_source.layers.push_back({layer, raw.name, raw.record, raw.ours});
            m_result.content.layers.push_back(layer);
        }
        for (EntityData& entity : m_result.content.entities) {
            entity.layer = *numbers[boardOf[static_cast<std::size_t>(entity.layer)]];
        }
        if (m_currentRaw) {
            m_source.currentLayer = m_result.content.currentLayer =
                *numbers[boardOf[static_cast<std::size_t>(*m_currentRaw)]];
        }
        if (m_result.underlay) {
            const auto board = [&](std::int32_t raw) {
                return *numbers[boardOf[static_cast<std::size_t>(raw)]];
            };
            for (UnderlayItem& item : m_result.underlay->items) item.layer = board(item.layer);
            for (UnderlayPoint& point : m_result.underlay->snapPoints) {
                point.layer = board(point.layer);
            }
        }
    }

    // The unit $INSUNITS names; a number no unit has counts as none, and the report says so.
    void TakeUnit() {
        m_source.unitCode = m_result.content.unitCode = kNoUnit;
        if (!m_units) return;
        const bool known = *m_units >= 0 && *m_units <= std::numeric_limits<std::int32_t>::max() &&
                           FindUnit(static_cast<std::int32_t>(*m_units)) != nullptr;
        if (!known) {
            m_result.report.unknownUnit = *m_units;
            return;
        }
        m_source.unitCode = m_result.content.unitCode = static_cast<std::int32_t>(*m_units);
    }

    // What model space draws besides lines and arcs, from the records noted while reading.
    void BuildUnderlay() {
        m_result.report.paperSpace = m_underlay.paperEntities;
        if (m_underlay.entities.empty() && m_underlay.blocksLast == 0) return;
        const std::function<std::int32_t(std::string_view)> layerOf =
            [this](std::string_view name) { return LayerOf(name); };
        DxfUnderlayBudget budget;
        budget.limit = DxfUnderlayWorkLimit(m_source.bytes.size());
        auto underlay = std::make_shared<Underlay>(BuildDxfUnderlay(
            m_source, m_underlay, layerOf, &m_result.report.beneathKinds, &budget));
        m_result.report.leftOutKinds = std::move(budget.leftOut);
        m_result.report.workLimit = budget.limit;
        m_result.report.paperSpace = m_result.report.paperSpace || underlay->paperSpace;
        if (!underlay->Empty()) m_result.underlay = std::move(underlay);
    }

    // A POLYLINE, or an INSERT with attributes, and what its SEQEND needs.
    struct Sequence {
        bool open = false;
        std::string type;
        std::string_view member;  // the records it holds: VERTEX or ATTRIB
        std::string where;        // "N 行目" of its head
        std::string handle;
        std::string layer;
    };

    struct DictionaryRecord {
        bool root = false;
        std::string handle;
        std::string_view entry;  // the name of the entry whose handle comes next
        std::string normal;      // the "Normal" entry
        std::string fallback;    // the default entry (340)
    };

    DxfSource& m_source;
    DxfReadResult& m_result;
    const DxfReadOptions& m_options;
    DxfTagReader m_reader;
    DxfTag m_tag;

    Section m_section = Section::None;
    bool m_inSection = false;  // between SECTION and its ENDSEC
    std::string_view m_sectionName;
    Sequence m_sequence;
    bool m_sequenceHead = false;  // the record being read may open a sequence
    bool m_attributesFollow = false;
    bool m_sawObject = false;
    DictionaryRecord m_dictionary;
    std::string m_plotStyleDictionary;
    std::unordered_map<std::string, std::string> m_plotStyles;  // dictionary -> its Normal
    std::string m_layerPlotStyle;  // the first plot style a LAYER record names
    Kind m_kind = Kind::Other;
    std::string_view m_type;
    int m_handleCode = 5;
    std::size_t m_sectionBegin = 0;
    std::uint64_t m_maxHandle = 0;

    std::string_view m_variable;
    std::string m_codePage;
    std::uint64_t m_handSeed = 0;
    bool m_handling = false;
    double m_dimScale = 1.0;
    std::string_view m_propertyTag;
    std::optional<std::pair<std::int32_t, std::int32_t>> m_exactScale;
    std::optional<std::string> m_currentLayerName;  // $CLAYER as written
    std::optional<std::int32_t> m_currentRaw;       // its raw layer
    std::optional<std::int64_t> m_units;            // $INSUNITS

    std::string_view m_tableName;
    std::string_view m_ltypeName;
    std::vector<double> m_ltypePattern;
    DxfLinetypes m_linetypes;
    std::vector<LineStyle> m_styles;           // the linetypes entities gave, in runs
    std::vector<std::uint32_t> m_entityStyle;  // per entity: into m_styles
    DxfTablePlace* m_table = nullptr;
    std::string_view m_blockHandle;
    RawLayer m_layer;
    std::vector<RawLayer> m_raws;
    std::unordered_map<std::string, std::size_t> m_rawIndex;
    std::string_view m_lastLayerName;
    std::int32_t m_lastLayer = 0;

    EntityFields m_entity;
    bool m_countCheck = false;
    std::map<std::string, std::size_t> m_counts;
    std::map<std::string, std::size_t> m_taken;

    DxfUnderlayRecords m_underlay;

    bool m_polyOpen = false;
    bool m_polyClosed = false;
    bool m_polyMirror = false;
    const char* m_polyType = "POLYLINE";
    std::size_t m_polyRecord = 0;
    std::int32_t m_polyLayer = 0;
    std::uint32_t m_polyColour = 0;  // the polyline's own colour, for its segments
    LineStyle m_polyStyle;           // and its linetype
    std::vector<PolyVertex> m_vertices;
};

}  // namespace

std::uint64_t EntityPrint(const EntityData& e) noexcept {
    std::uint64_t hash = 1469598103934665603ULL;
    const auto mix = [&hash](std::uint64_t value) {
        hash ^= value;
        hash *= 1099511628211ULL;
        hash ^= hash >> 29U;
    };
    const auto bits = [](double value) {
        std::uint64_t b = 0;
        std::memcpy(&b, &value, sizeof b);
        return b;
    };
    mix(static_cast<std::uint64_t>(e.kind) | (e.visible ? 2U : 0U));
    mix(static_cast<std::uint32_t>(e.layer));
    mix((static_cast<std::uint64_t>(static_cast<std::uint32_t>(e.style)) << 32U) |
        static_cast<std::uint32_t>(e.subStyle));
    for (const double v :
         {e.start.x, e.start.y, e.end.x, e.end.y, e.center.x, e.center.y, e.radius}) {
        mix(bits(v));
    }
    return hash;
}

std::string DxfOpenReport::Summary() const {
    std::string text =
        "線 " + std::to_string(lines) + " 本、円弧 " + std::to_string(arcs) + " 本を読み込みました";
    std::size_t beneath = 0;
    std::string unshownKinds;
    std::size_t unshown = 0;
    for (const auto& [kind, count] : skippedKinds) {
        const auto drawn = beneathKinds.find(kind);
        const std::size_t shown = drawn == beneathKinds.end() ? 0 : std::min(drawn->second, count);
        beneath += shown;
        if (count > shown) {
            unshown += count - shown;
            unshownKinds += " " + kind + " " + std::to_string(count - shown);
        }
    }
    if (unshown > 0) {
        text += " (表示しない図形 " + std::to_string(unshown) + " 個:" + unshownKinds +
                "。保存時はそのまま残します)";
    }
    // First after the counts: what is missing from the view and what was repaired matter more
    // than what is shown.
    if (!leftOutKinds.empty()) {
        std::size_t count = 0;
        std::string kinds;
        for (const auto& [kind, n] : leftOutKinds) {
            count += n;
            kinds += " " + kind + " " + std::to_string(n);
        }
        text += "。表示の作業量が上限 (" + std::to_string(workLimit / 10'000) +
                " 万) に達したので、図形 " + std::to_string(count) + " 個 (" + kinds.substr(1) +
                ") は一部または全部を表示しません (ブロックの配列やハッチの模様が多すぎます。" +
                "ファイルにはそのまま残ります)";
    }
    constexpr std::size_t kRepairsNamed = 3;
    for (std::size_t i = 0; i < repairs.size() && i < kRepairsNamed; ++i) {
        text += (i == 0 ? "。ファイルの構造を補いました (保存時も補います): " : "; ") + repairs[i];
    }
    if (repairs.size() > kRepairsNamed) {
        text += " ほか " + std::to_string(repairs.size() - kRepairsNamed) + " 件";
    }
    if (beneath > 0) {
        text += "。文字やブロックなど " + std::to_string(beneath) + " 個は線の下に表示します";
    }
    if (paperSpace) text += "。ペーパー空間のレイアウトは表示しません (保存時はそのまま残します)";
    if (unknownUnit) {
        text += "。単位の番号 ($INSUNITS) " + std::to_string(*unknownUnit) +
                " は知らない単位なので、単位なし (mm) として扱います";
    }
    if (guessedCodePage == "ANSI_932") {
        text += "。文字コードの指定がないので Shift-JIS として読みました";
    } else if (!guessedCodePage.empty()) {
        text += "。文字コードの指定がないので " + guessedCodePage + " として読みました";
    }
    return text;
}

DxfReadResult ReadDxfBytes(std::string bytes, const std::string& fileName,
                           const DxfReadOptions& options) {
    DxfReadResult result;
    auto source = std::make_shared<DxfSource>();
    source->fileName = fileName;
    source->bytes = std::move(bytes);
    source->layout = DetectLayout(source->bytes);
    if (source->bytes.size() >= kMaxFileBytes) {
        throw FileError("図面ファイル「" + fileName + "」を開けません: ファイルが大きすぎます");
    }
    try {
        Parser(*source, result, options).Run();
    } catch (const std::bad_alloc&) {
        throw FileError("図面ファイル「" + fileName + "」を開けません: メモリが足りません");
    }
    result.source = std::move(source);
    return result;
}

DxfReadResult ReadDxfText(std::string_view text, const std::string& fileName) {
    return ReadDxfBytes(std::string(text), fileName);
}

DxfReadResult ReadDxfFile(const std::string& path, const DxfReadOptions& options) {
    return ReadDxfBytes(ReadWholeFile(path, kMaxFileBytes - 1), FileNameOf(path), options);
}

}  // namespace pelimator::board
