// The DXF reader's parser, shared by its files: one file per job. dxf_reader.cpp: the walk
// through sections and records, the checks of the file's structure and the end of the read;
// dxf_reader_tables.cpp: the header variables, the layer and linetype tables, the plot style
// dictionaries and the board's layers made from them; dxf_reader_entities.cpp: the lines, arcs,
// circles and polylines the board takes, with their colours and linetypes.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <utility>
#include <vector>

#include "board/dxf/dxf_common_groups.h"
#include "board/dxf/dxf_file.h"
#include "board/dxf/dxf_linetypes.h"
#include "board/dxf/dxf_tags.h"
#include "board/dxf/dxf_underlay.h"

namespace pelimator::board::reader {

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

class Parser {
public:
    Parser(DxfSource& source, DxfReadResult& result, const DxfReadOptions& options)
        : m_source(source),
          m_result(result),
          m_options(options),
          m_reader(source.bytes, source.layout, source.fileName) {}

    void Run();

private:
    [[nodiscard]] std::string_view Value() const noexcept { return TrimDxf(m_tag.value); }
    [[nodiscard]] std::size_t RecordIndex() const noexcept { return m_source.records.size() - 1; }

    // Starts the record whose "0" tag was just read; true for "0 EOF".
    bool BeginRecord();

    // A record inside an open sequence (a POLYLINE's vertices, an INSERT's attributes) must be
    // one of it or its SEQEND: ezdxf refuses anything else, even when recovering, so it is
    // refused here with both lines named.
    void CheckSequence();

    // The sequence a record ends; at the end of ENTITIES it is closed there (ezdxf reads it
    // so), elsewhere refused as CheckSequence refuses.
    void EndSequence(bool endOfEntities);

    // The record after a sequence's head: its tags said whether one follows.
    void OpenSequence();

    void OnSequenceTag();

    // "0 EOF" inside a section: the file ends there only when nothing follows (ezdxf's recovery
    // closes the section then); data after it would be silently cut, so that is refused.
    void EofInSection();

    [[nodiscard]] std::string SectionLabel() const;

    // The open section lacks its ENDSEC: closed where the record just begun starts.
    void Close(const char* where);

    void Repaired(const std::string& what);

    // Ends the open section (and table) at the record just begun.
    void CloseSection();

    void BeginTableRecord();

    void BeginEntity();

    void OnTag();

    // Dictionaries of the OBJECTS section, for the plot style new layers take: the root (the
    // section's first record) names the ACAD_PLOTSTYLENAME dictionary, which holds "Normal".
    void BeginObject();

    void OnDictionaryTag();

    void FinishDictionary();

    // The plot style new layers take (R2000 on): what the file's plot style dictionary calls
    // "Normal" (as ezdxf looks it up for a layer without one), else what its layers use.
    void FindPlotStyle();

    void OnSectionName();

    void OnHeaderTag();

    void OnTableHeadTag();

    void OnLayerTag();

    // The common groups and the ones the board's own entities take.
    struct EntityFields : DxfCommonGroups {
        Vec2 p10;
        Vec2 p11;
        double radius = 0.0;
        double angle1 = 0.0;
        double angle2 = 360.0;
        double bulge = 0.0;
        std::int64_t flags = 0;
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
    [[nodiscard]] static std::uint32_t OwnColourOf(const EntityFields& e) noexcept;

    void OnEntityTag();

    void OnLwPolylineTag();

    void CheckCount();

    // The board's part of the record just read, by its kind.
    void FinishRecord();
    // The polyline record just read starts a polyline of the board (type: its kind's name).
    void OpenPolyline(const char* type, bool mirror);
    void TakeLwPolyline();
    void TakePolyline();
    void TakeVertex();

    // Whether the entity's plane is the drawing plane seen from below (its coordinates mirror
    // in X); none when it is tilted (the entity is then not shown).
    [[nodiscard]] std::optional<bool> Mirror() const;

    void CheckPoint(Vec2 p, const char* type) const;

    void CheckRadius(double radius, const char* type) const;

    // The raw layer index of a name as written (layers of the table come first).
    std::int32_t LayerOf(std::string_view name);

    void AddRawLayer();

    void Push(const EntityData& entity);

    [[nodiscard]] static LineStyle StyleOf(const EntityFields& e) noexcept;

    // The linetypes of the board's entities and layers, by the rule the underlay follows.
    void ResolveLinetypes();

    void AddLine(Vec2 start, Vec2 end, std::int32_t layer);

    // An arc about centre from angle1 to angle2 (degrees, counter-clockwise in its own plane).
    void AddArc(Vec2 centre, double radius, double angle1, double angle2, bool mirror,
                const char* type, std::int32_t layer);

    void AddBulge(Vec2 a, Vec2 b, double bulge, std::int32_t layer);

    void FlushPolyline();

    // The code page, the layers and their numbers, the scale and the report, once every tag
    // was read.
    void Finish();

    // Board layers from the raw names: names that decode to the same text (DXF compares them
    // without case) are one layer; numbers come from Pelimator's extended data, then from
    // names that are plain numbers, then the next free numbers in table order.
    void BuildLayers();

    // The unit $INSUNITS names; a number no unit has counts as none, and the report says so.
    void TakeUnit();

    // What model space draws besides lines and arcs, from the records noted while reading.
    void BuildUnderlay();

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
    std::size_t m_released = 0;  // the file before this is released (see BeginRecord)

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
    std::uint64_t m_minHandle = ~std::uint64_t{0};

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
    std::string_view m_ltypeDescription;
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

}  // namespace pelimator::board::reader
