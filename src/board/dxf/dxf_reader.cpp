// Reading DXF files in one pass over their tags: every record kept as its byte range, typed data
// parsed only for what the board shows (lines, arcs, circles, polylines), the layer table, and
// the header values and places a save patches. This file: the walk through sections and records,
// the checks of the file's structure, the end of the read and the entry points.
#include <algorithm>
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
#include "base/huge_pages.h"
#include "board/dxf/dxf_colour.h"
#include "board/dxf/dxf_dimension_block.h"
#include "board/dxf/dxf_names.h"
#include "board/dxf/dxf_reader_parser.h"
#include "board/model/units.h"

namespace pelimator::board::reader {

namespace {

bool EqualsNoCase(std::string_view a, std::string_view b) noexcept {
    return LayerKey(a) == LayerKey(b);
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

}  // namespace

void Parser::Run() {
    const std::string_view data = m_source.bytes;
    if (data.find_first_not_of(" \t\r\n") == std::string_view::npos) {
        throw FileError("図面ファイル「" + m_source.fileName + "」を開けません: ファイルが空です");
    }
    // Records come about every 150 bytes in drawings of lines and arcs. Room reserved
    // beyond what is used is never touched, so it costs no memory.
    ReserveHuge(m_source.records, data.size() / 100 + 16);
    ReserveHuge(m_result.content.entities, data.size() / 100 + 16);
    ReserveHuge(m_source.entityRecord, data.size() / 100 + 16);
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
    if (m_source.entitiesInsert == kNoDxfRecord) m_source.entitiesInsert = m_source.records.back();
    if (m_source.tablesInsert == kNoDxfRecord) m_source.tablesInsert = m_source.entitiesInsert;
    m_source.records.push_back(static_cast<std::uint32_t>(m_tag.end));
    Finish();
}

bool Parser::BeginRecord() {
    m_source.records.push_back(static_cast<std::uint32_t>(m_tag.begin));
    // What has been read is let go from memory as the file goes on (a mapped file's pages).
    if (m_tag.begin - m_released >= kReleaseStep) {
        m_source.bytes.Release(m_released, m_tag.begin);
        m_released = m_tag.begin;
        if (m_options.cancel != nullptr && m_options.cancel->load(std::memory_order_relaxed)) {
            throw Cancelled("「" + m_source.fileName + "」の読み込みを取り消しました");
        }
    }
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
        // The header is read variable by variable; blocks only for their sequences.
        case Section::None:
        case Section::Header:
        case Section::Blocks:
        case Section::Other:
            break;
    }
    return false;
}

void Parser::CheckSequence() {
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

void Parser::EndSequence(bool endOfEntities) {
    if (!m_sequence.open) return;
    if (!endOfEntities) {
        m_reader.Fail(m_sequence.where + "の " + m_sequence.type + " を閉じる SEQEND がないまま " +
                      std::string(m_type) + " になっています");
    }
    m_sequence.open = false;
    m_source.closings.push_back({m_tag.begin, true, m_sequence.handle, m_sequence.layer});
    Repaired(m_sequence.where + "の " + m_sequence.type +
             " を閉じる SEQEND がないので、ENTITIES セクションの終わりで閉じました");
}

void Parser::OpenSequence() {
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

void Parser::OnSequenceTag() {
    if (m_tag.code == 5) m_sequence.handle = std::string(Value());
    if (m_tag.code == 8) m_sequence.layer = std::string(Value());
    if (m_tag.code == 66) m_attributesFollow = m_tag.integer != 0;
}

void Parser::EofInSection() {
    const std::string_view rest = std::string_view(m_source.bytes).substr(m_tag.end);
    if (rest.find_first_not_of(std::string_view(" \t\r\n\0\x1a", 6)) != std::string_view::npos) {
        m_reader.Fail("セクション " + SectionLabel() +
                      " の終わり (ENDSEC) より前に EOF があり、その後にもデータが続きます");
    }
    EndSequence(m_section == Section::Entities);
    Close("ファイルの終わり (EOF) の前");
    CloseSection();
    m_inSection = false;
}

std::string Parser::SectionLabel() const {
    return m_sectionName.empty() ? std::string("(名前なし)") : std::string(m_sectionName);
}

void Parser::Close(const char* where) {
    m_source.closings.push_back({m_tag.begin, false, {}, {}});
    Repaired("セクション " + SectionLabel() + " の終わり (ENDSEC) がないので、" + where +
             "で閉じました");
}

void Parser::Repaired(const std::string& what) {
    m_result.report.repairs.push_back(m_reader.Where() + ": " + what);
}

void Parser::CloseSection() {
    if (m_table != nullptr && m_table->endTab == 0) m_table->endTab = m_tag.begin;
    m_table = nullptr;
    m_tableName = {};
    if (m_section == Section::Header) m_source.header.end = m_tag.begin;
    if (m_section == Section::Tables) {
        m_source.tables.end = m_tag.begin;
        m_underlay.tablesLast = RecordIndex();
    }
    if (m_section == Section::Blocks) m_underlay.blocksLast = RecordIndex();
    if (m_section == Section::Objects) m_source.objects.last = RecordIndex();
    if (m_sectionName == "CLASSES" && m_source.classes.last == 0)
        m_source.classes.last = RecordIndex();
    if (m_section == Section::Entities) {
        m_source.entities.end = m_tag.begin;
        FlushPolyline();
    }
    m_section = Section::None;
}

void Parser::BeginEntity() {
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

void Parser::OnTag() {
    const int code = m_tag.code;
    if (m_sequenceHead) OnSequenceTag();
    if (code == m_handleCode && m_kind != Kind::Header && m_kind != Kind::Section) {
        std::uint64_t handle = 0;
        if (ParseHandle(m_tag.value, handle)) {
            m_maxHandle = std::max(m_maxHandle, handle);
            m_minHandle = std::min(m_minHandle, handle);
        }
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
            if (code == 3) m_ltypeDescription = Value();
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
        // Records the reader skips, and a sequence's end (it holds nothing to read).
        case Kind::Other:
        case Kind::Seqend:
            break;
    }
}

void Parser::OnSectionName() {
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
        m_source.objects.first = RecordIndex();
    } else if (name == "CLASSES") {
        m_source.classes.first = RecordIndex();
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

void Parser::CheckCount() {
    const std::size_t rest = m_source.bytes.size() - m_reader.Offset();
    if (m_tag.integer < 0 || static_cast<std::uint64_t>(m_tag.integer) > rest / 4) {
        m_reader.Fail("グループコード " + std::to_string(m_tag.code) + " の件数 " +
                      std::to_string(m_tag.integer) + " がファイルの大きさに合いません");
    }
}

void Parser::Finish() {
    m_source.handles = m_source.Modern() || m_handling;
    // Past the highest handle there is no room when the file holds it (the seed may be anything).
    m_source.maxHandle = m_maxHandle;
    m_source.minHandle = m_minHandle;
    m_source.nextHandle =
        m_maxHandle == ~std::uint64_t{0} ? 0 : std::max(m_handSeed, m_maxHandle + 1);
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

void Parser::BuildUnderlay() {
    m_result.report.paperSpace = m_underlay.paperEntities;
    if (m_underlay.entities.empty() && m_underlay.blocksLast == 0) return;
    const std::function<std::int32_t(std::string_view)> layerOf = [this](std::string_view name) {
        return LayerOf(name);
    };
    // Construction lines are drawn across the board's own entities too.
    for (const EntityData& e : m_result.content.entities) {
        const double r = e.kind == EntityKind::Line ? 0.0 : e.radius;
        const Vec2 low = e.kind == EntityKind::Line
                             ? Vec2{std::min(e.start.x, e.end.x), std::min(e.start.y, e.end.y)}
                             : e.center - Vec2{r, r};
        const Vec2 high = e.kind == EntityKind::Line
                              ? Vec2{std::max(e.start.x, e.end.x), std::max(e.start.y, e.end.y)}
                              : e.center + Vec2{r, r};
        std::optional<Box>& extents = m_underlay.boardExtents;
        if (!extents) extents = Box{low, high};
        Box& box = *extents;
        box.min = {std::min(box.min.x, low.x), std::min(box.min.y, low.y)};
        box.max = {std::max(box.max.x, high.x), std::max(box.max.y, high.y)};
    }
    DxfUnderlayBudget budget;
    budget.limit = DxfUnderlayWorkLimit(m_source.bytes.size());
    auto underlay = std::make_shared<Underlay>(
        BuildDxfUnderlay(m_source, m_underlay, layerOf, &m_result.report.beneathKinds, &budget));
    m_result.report.leftOutKinds = std::move(budget.leftOut);
    m_result.report.workLimit = budget.limit;
    m_result.report.paperSpace = m_result.report.paperSpace || underlay->paperSpace;
    if (!underlay->Empty()) m_result.underlay = std::move(underlay);
}

}  // namespace pelimator::board::reader

namespace pelimator::board {

namespace {

constexpr std::size_t kMaxFileBytes = std::size_t{1} << 31U;

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
    if (!leftOutKinds.empty()) text += "。" + LeftOutText();
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

std::string DxfOpenReport::LeftOutText() const {
    if (leftOutKinds.empty()) return {};
    std::size_t count = 0;
    std::string kinds;
    for (const auto& [kind, n] : leftOutKinds) {
        count += n;
        kinds += " " + kind + " " + std::to_string(n);
    }
    return "表示の作業量が上限 (" + std::to_string(workLimit / 10'000) +
           " 万) に達したので、図形 " + std::to_string(count) + " 個 (" + kinds.substr(1) +
           ") は一部または全部を表示しません (ブロックの配列やハッチの模様が多すぎます。" +
           "ファイルにはそのまま残ります)";
}

DxfReadResult ReadDxfBytes(FileBytes bytes, const std::string& fileName,
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
        reader::Parser(*source, result, options).Run();
        source->blockIndex = ReadDxfBlockIndex(*source);
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
    return ReadDxfBytes(MapWholeFile(path, kMaxFileBytes - 1), FileNameOf(path), options);
}

}  // namespace pelimator::board
