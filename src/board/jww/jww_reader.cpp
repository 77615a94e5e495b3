// Reading JWW files: the header, the entity list and the block definitions, keeping the bytes and
// the archive's tags after the entity list for a lossless save.
//
// The layout, as Jw_cad's author describes it (MFC CArchive, little-endian; CString: BYTE length,
// 0xFF then WORD, 0xFFFF there then DWORD; a list: WORD count, 0xFFFF then DWORD, then each
// object with its class tag). "v" is the DWORD version after the signature:
//
//   "JwwData." DWORD v                      v: 230, 300, 351, 420, 600, 700 (7.x and 8.x)
//   CString memo, DWORD paper, DWORD write group
//   16 × { DWORD state, DWORD write layer, double scale (1:scale), DWORD protect,
//          16 × { DWORD layer state, DWORD layer protect } }
//   14 DWORD, 5 DWORD dimension settings, DWORD, DWORD max line width
//   double × 2 print origin, double print scale, DWORD print set, DWORD grid mode,
//   double grid minimum, double × 2 grid step, double × 2 grid origin
//   256 CString layer names (group by group), 16 CString group names
//   double shadow level, double latitude, DWORD 9-15 flag, double wall shadow level
//   v >= 300: double × 2 sky chart
//   DWORD 2.5-D unit, double × 3 view scale and origin, double × 3 range scale and origin
//   v >= 300: 8 × { double × 3, DWORD group } mark jumps   else: 4 × { double × 3 }
//   v >= 300: double × 3, DWORD, double × 3, DWORD (text background)
//   double × 10 parallel line steps, double
//   10 × { DWORD screen colour (COLORREF), DWORD width }   pens 0-9
//   10 × { DWORD print colour, DWORD width, double point radius }
//   8 × { DWORD pattern, DWORD bits per unit, DWORD pitch, DWORD print pitch }   line types 2-9
//   5 × { DWORD × 5 } random lines 11-15, 4 × { DWORD × 4 } double-length types 16-19
//   11 DWORD drawing and printing switches
//   v >= 223: DWORD, DWORD, DWORD × 3, double × 5 (drawing time, 2.5-D eye)
//   v >= 225: double × 4, v >= 230: DWORD × 2 (solid colour)
//   v >= 420: 257 × { DWORD colour, DWORD width } SXF colours 100-356,
//             257 × { CString name, DWORD, DWORD, double }, 33 × { DWORD × 4 },
//             33 × { CString name, DWORD segments, double × 10 }
//   10 × { double × 3, DWORD } text kinds, double × 3, DWORD × 2, double × 2, DWORD,
//   double × 3, double × 3
//   the entity list, the block definition list, and from v 700 the embedded images (kept as
//   bytes: they hold no archive tags).
//
// Every entity: DWORD group, BYTE pen style, WORD pen colour, v >= 351: WORD pen width, WORD
// layer, WORD group, WORD flags. Then CDataSen: double × 4 (start, end). CDataEnko: double × 7
// (centre, radius, start, sweep, tilt in radians, flatness), DWORD full circle. CDataTen: double
// × 2, DWORD temporary, pen style 100: DWORD code, double angle, double scale. CDataMoji: double
// × 4 (start, end), DWORD kind, double × 4 (width, height, spacing, angle in degrees), CString
// font, CString text. CDataSolid: double × 8, pen colour 10: DWORD RGB. CDataSunpou: a line and a
// text (each a whole entity without tag), v >= 420: WORD SXF mode, 2 lines, 4 points. CDataBlock:
// double × 5 (point, scale x, y, rotation in radians), DWORD block number. CDataList: DWORD
// number, DWORD referenced, DWORD time, CString name, its own list.
#include <algorithm>
#include <cmath>
#include <cstring>
#include <numbers>
#include <unordered_map>

#include "base/errors.h"
#include "base/file.h"
#include "base/memory.h"
#include "board/jww/jww_archive.h"
#include "board/jww/jww_file.h"
#include "board/jww/jww_text.h"
#include "board/jww/jww_underlay.h"

namespace pelimator::board {

namespace {

using jww::ArchiveReader;
using jww::Common;
using jww::Shape;
using jww::ShapeKind;
using jww::TagKind;

// Files larger than this are refused before anything is read.
constexpr std::size_t kMaxFileBytes = std::size_t{1} << 31U;
// Block definitions nest no deeper than this.
constexpr int kMaxDepth = 32;
// The smallest entity record (tag, common part without width, a point's fields): bounds what a
// count may reserve.
constexpr std::size_t kSmallestEntity = 2 + 13 + 16;
// Memory of one board entity read (with its fingerprint, colour, pen and line type), and of one
// class of the archive's map (a hash node).
constexpr std::uint64_t kEntityBytes =
    sizeof(EntityData) + sizeof(std::uint64_t) + 4 * sizeof(std::uint32_t) + sizeof(JwwRecord);
constexpr std::uint64_t kClassEntryBytes = 32;

enum class ClassKind : std::uint8_t { Sen, Enko, Ten, Moji, Solid, Sunpou, Block, List };

std::optional<ClassKind> KindOfClass(std::string_view name) {
    static constexpr std::array<std::pair<std::string_view, ClassKind>, 8> kClasses{{
        {"CDataSen", ClassKind::Sen},
        {"CDataEnko", ClassKind::Enko},
        {"CDataTen", ClassKind::Ten},
        {"CDataMoji", ClassKind::Moji},
        {"CDataSolid", ClassKind::Solid},
        {"CDataSunpou", ClassKind::Sunpou},
        {"CDataBlock", ClassKind::Block},
        {"CDataList", ClassKind::List},
    }};
    for (const auto& [known, kind] : kClasses) {
        if (known == name) return kind;
    }
    return std::nullopt;
}

// The board layer of an entity: group × 16 + layer (both taken modulo 16, as Jw_cad has 16).
std::int32_t BoardLayerOf(const Common& common) {
    return static_cast<std::int32_t>((common.groupLayer & 0xFU) * 16U + (common.layer & 0xFU));
}

// How often (in objects) the reader looks at the cancel flag and at what it has spent.
constexpr std::uint32_t kCheckEvery = 4096;

class Reader {
public:
    Reader(std::string_view bytes, const std::string& fileName, JwwSource& source,
           const JwwReadOptions& options)
        : m_in(bytes, fileName),
          m_source(source),
          m_header(source.header),
          m_fileName(fileName),
          m_cancel(options.cancel),
          m_budget(options.memoryBudget != 0 ? options.memoryBudget : ReadMemoryBudget()) {}

    void Run(JwwReadResult& result) {
        ReadHeader();
        m_result = &result;
        // The entity list.
        m_source.entityCountAt = m_in.Position();
        m_source.entityCount = m_in.Count();
        m_source.entityCountEnd = m_in.Position();
        Reserve(m_source.entityCount);
        // What has been read is let go from memory as the list goes on (a mapped file's pages).
        std::size_t released = 0;
        for (std::uint32_t i = 0; i < m_source.entityCount; ++i) {
            m_record = &m_source.records.emplace_back();
            ReadObject(m_topShapes, 0);
            m_record = nullptr;
            if (m_in.Position() - released >= kReleaseStep) {
                m_source.bytes.Release(released, m_in.Position());
                released = m_in.Position();
            }
        }
        m_source.entitiesEnd = m_in.Position();
        m_source.mapCount = m_mapCount;
        m_source.classIndex.assign(m_source.classNames.size(), 0);
        m_source.listClasses.assign(m_classMap.begin(), m_classMap.end());
        std::sort(m_source.listClasses.begin(), m_source.listClasses.end());
        for (const auto& [index, classId] : m_classMap) {
            // The last map index stored for each class (indexes grow through the file).
            std::uint32_t& kept = m_source.classIndex[classId];
            kept = std::max(kept, index);
        }
        // The block definitions: their tags are renumbered when entities are added.
        m_recordTags = true;
        const std::uint32_t blocks = m_in.Count();
        for (std::uint32_t i = 0; i < blocks; ++i) ReadObject(m_topShapes, 0);
        // Embedded images (from version 700) and anything after: kept as bytes. Their count is
        // there in every such file: without it the file was cut short.
        if (m_header.version >= 700 && m_in.Remaining() < 4) {
            m_in.Fail(
                "ファイルの末尾が欠けています (途中で切れています): 最後の 4 バイト (画像の数) "
                "のうち " +
                std::to_string(m_in.Remaining()) + " バイトしかありません");
        }
    }

    std::vector<Shape> TakeShapes() { return std::move(m_topShapes); }
    std::vector<jww::Block> TakeBlocks() { return std::move(m_blocks); }

private:
    // ---- header ----
    // The header, section by section (see the layout at the top of this file).
    void ReadHeader() {
        ReadSignatureAndVersion();
        m_header.memo = m_in.Text();
        m_header.paper = m_in.Dword();
        m_header.writeGroup = m_in.Dword();
        ReadGroups();
        Dwords(14 + 5 + 1 + 1);
        Doubles(3);
        Dwords(2);
        Doubles(5);
        for (auto& group : m_header.layerName) {
            for (auto& name : group) name = m_in.Text();
        }
        for (auto& name : m_header.groupName) name = m_in.Text();
        SkipViews();
        ReadPensAndLineTypes();
        const std::uint32_t v = m_header.version;
        Dwords(11);
        if (v >= 223) {
            Dwords(5);
            Doubles(5);
        }
        if (v >= 225) Doubles(4);
        if (v >= 230) Dwords(2);
        if (v >= 420) ReadSxfTables();
        for (int n = 0; n < 10; ++n) {
            Doubles(3);
            Dwords(1);
        }
        Doubles(3);
        Dwords(2);
        Doubles(2);
        Dwords(1);
        Doubles(6);
    }

    void ReadSignatureAndVersion() {
        if (m_in.Remaining() < 12 || m_in.Bytes().substr(0, 8) != kJwwSignature) {
            if (IsCutJwwBytes(m_in.Bytes()) || m_in.Remaining() < 12) {
                m_in.Fail("ファイルが " + std::to_string(m_in.Remaining()) +
                              " バイトしかなく短すぎます (JWW の先頭の「JwwData.」と版の 12 "
                              "バイトもありません)",
                          m_in.Remaining());
            }
            m_in.Fail("先頭が「JwwData.」ではありません", 0);
        }
        m_in.Skip(8);
        const std::uint32_t v = m_in.Dword();
        if (v != 230 && (v < 300 || v > 700)) {
            m_in.Fail("版 " + std::to_string(v) + " の JWW には対応していません (230、300〜700)",
                      8);
        }
        m_header.version = v;
    }

    // Group states, write layers and scales (where each scale lies, for a save), layer states.
    void ReadGroups() {
        for (std::size_t g = 0; g < 16; ++g) {
            m_header.groupState[g] = m_in.Dword();
            m_header.writeLayer[g] = m_in.Dword();
            m_header.scaleAt[g] = m_in.Position();
            m_header.scale[g] = m_in.Double();
            m_in.Dword();  // protection
            for (std::size_t l = 0; l < 16; ++l) {
                m_header.layerState[g][l] = m_in.Dword();
                m_in.Dword();  // protection
            }
        }
    }

    // Shadows, sky chart, the 2.5-D view and range, mark jumps, text background, parallel steps.
    void SkipViews() {
        const std::uint32_t v = m_header.version;
        Doubles(2);
        Dwords(1);
        Doubles(1);
        if (v >= 300) Doubles(2);
        Dwords(1);
        Doubles(6);
        if (v >= 300) {
            for (int n = 0; n < 8; ++n) {
                Doubles(3);
                Dwords(1);
            }
            Doubles(3);
            Dwords(1);
            Doubles(3);
            Dwords(1);
        } else {
            Doubles(12);
        }
        Doubles(11);
    }

    // Screen colours of pens 0-9, their print settings, line types 2-9, random lines, and
    // double-length types 16-19.
    void ReadPensAndLineTypes() {
        for (std::size_t n = 0; n <= 9; ++n) {
            m_header.penColour[n] = m_in.Dword();
            m_in.Dword();
        }
        for (int n = 0; n <= 9; ++n) {
            Dwords(2);
            Doubles(1);
        }
        for (std::size_t n = 2; n <= 9; ++n) ReadLineType(n);
        Dwords(std::size_t{5} * 5);
        for (std::size_t n = 16; n <= 19; ++n) ReadLineType(n);
    }

    // SXF colours 100-356 and their names, SXF line types and their names (version 420 on).
    void ReadSxfTables() {
        for (std::size_t n = 0; n <= 256; ++n) {
            m_header.penColour[100 + n] = m_in.Dword();
            m_in.Dword();
        }
        for (std::size_t n = 0; n <= 256; ++n) {
            m_header.sxfColourName[n] = m_in.Text();
            Dwords(2);
            Doubles(1);
        }
        for (std::size_t n = 30; n <= 62; ++n) ReadLineType(n);
        for (std::size_t n = 0; n <= 32; ++n) {
            m_header.sxfLineTypeName[n] = m_in.Text();
            m_header.sxfSegments[n] = m_in.Dword();
            for (double& pitch : m_header.sxfPitch[n]) pitch = m_in.Double();
        }
    }

    void ReadLineType(std::size_t n) {
        m_header.lineType[n] = m_in.Dword();
        m_header.lineTypeBits[n] = m_in.Dword();
        m_in.Dword();
        m_header.lineTypePitch[n] = m_in.Dword();
    }

    void Dwords(std::size_t count) { m_in.Skip(4 * count); }
    void Doubles(std::size_t count) { m_in.Skip(8 * count); }

    // ---- objects ----
    void Reserve(std::uint32_t count) {
        const std::size_t most = m_in.Remaining() / kSmallestEntity;
        const std::size_t n = std::min<std::size_t>(count, most);
        RefuseBeyondBudget(std::uint64_t{n} * kEntityBytes);
        m_result->content.entities.reserve(n);
        m_source.entityPrint.reserve(n);
        m_source.entityColour.reserve(n);
        m_source.entityRecord.reserve(n);
        m_source.records.reserve(n);
        m_source.entityPen.reserve(n);
        m_source.entityDash.reserve(n);
    }

    // What the read holds so far that grows with the bytes read: shapes, the tags kept for a
    // save, the classes of the archive's map.
    [[nodiscard]] std::uint64_t Grown() const noexcept {
        return m_shapeCount * sizeof(Shape) +
               std::uint64_t{m_source.tailTags.size()} * sizeof(JwwTag) +
               std::uint64_t{m_classMap.size()} * kClassEntryBytes;
    }

    // Refuses a read that would need more than the budget, naming both figures.
    void RefuseBeyondBudget(std::uint64_t needed) const {
        if (needed <= m_budget) return;
        throw FileError("ファイル「" + m_fileName + "」を開くには約 " + MemorySizeText(needed) +
                        " のメモリが要ります (使えるのは約 " + MemorySizeText(m_budget) +
                        " です)。開きません");
    }

    // Every kCheckEvery objects: gives up when asked to, and refuses a file whose whole read,
    // judged from what the part read so far cost, would not fit in memory (a file of null tags
    // and tiny records costs ten times its size).
    void Step() {
        if (++m_objects % kCheckEvery != 0) return;
        if (m_cancel != nullptr && m_cancel->load(std::memory_order_relaxed)) {
            throw Cancelled("「" + m_fileName + "」の読み込みを取り消しました");
        }
        // The board's entities are reserved up front (Reserve): counted as they stand.
        const double perByte = static_cast<double>(Grown()) /
                               static_cast<double>(std::max<std::size_t>(m_in.Position(), 1));
        RefuseBeyondBudget(
            std::uint64_t{m_result->content.entities.capacity()} * kEntityBytes +
            static_cast<std::uint64_t>(perByte * static_cast<double>(m_in.Bytes().size())));
    }

    std::uint32_t NextIndex() {
        if (m_mapCount > jww::kMaxMapIndex) m_in.Fail("図形が多すぎます");
        return m_mapCount++;
    }

    void NoteTag(std::size_t at, TagKind kind, std::uint32_t index, std::uint16_t classId = 0) {
        if (!m_recordTags) return;
        JwwTag tag;
        tag.at = static_cast<std::uint32_t>(at);
        tag.size = static_cast<std::uint8_t>(m_in.Position() - at);
        tag.kind = kind;
        tag.index = index;
        tag.classId = classId;
        m_source.tailTags.push_back(tag);
    }

    // One object of a list: its tag, then its fields. Shapes go to into (block definitions to
    // the block list).
    // A class stored at its first use: schema, name; its id among the file's classes.
    std::uint16_t ReadNewClass(std::size_t at) {
        const std::uint16_t schema = m_in.Word();
        const std::uint16_t length = m_in.Word();
        if (length == 0 || length > 64) m_in.Fail("図形の種類の名前が壊れています", at);
        const std::size_t nameAt = m_in.Position();
        m_in.Skip(length);
        const std::string name(m_in.Bytes().substr(nameAt, length));
        if (!KindOfClass(name)) m_in.Fail("未対応の図形の種類「" + name + "」があります", at);
        if (m_source.schema == 0) m_source.schema = schema;
        std::uint16_t classId = 0;
        const auto known = std::find(m_source.classNames.begin(), m_source.classNames.end(), name);
        if (known != m_source.classNames.end()) {
            classId = static_cast<std::uint16_t>(known - m_source.classNames.begin());
        } else {
            classId = static_cast<std::uint16_t>(m_source.classNames.size());
            m_source.classNames.push_back(name);
        }
        m_classMap.emplace(NextIndex(), classId);
        NoteTag(at, TagKind::NewClass, 0, classId);
        if (m_recordTags)
            m_source.tailTags.back().end = static_cast<std::uint32_t>(m_in.Position());
        return classId;
    }

    void ReadObject(std::vector<Shape>& into, int depth) {
        Step();
        const std::size_t at = m_in.Position();
        std::uint32_t index = 0;
        const TagKind tag = m_in.Tag(index);
        std::uint16_t classId = 0;
        JwwRecord* const record = m_record;
        m_record = nullptr;  // what the record holds is not a record of its own
        if (record != nullptr) {
            record->at = static_cast<std::uint32_t>(at);
            record->tag = tag;
            record->object = index;
        }
        switch (tag) {
            case TagKind::Null:
                NoteTag(at, tag, 0);
                if (record != nullptr) record->body = record->end = record->at + 2;
                return;
            case TagKind::ObjectRef:
                if (index == 0 || index >= m_mapCount)
                    m_in.Fail("存在しない図形を参照しています", at);
                NoteTag(at, tag, index);
                if (record != nullptr) {
                    record->body = record->end = static_cast<std::uint32_t>(m_in.Position());
                }
                return;  // the same object again: shown once
            case TagKind::ClassRef: {
                const auto found = m_classMap.find(index);
                if (found == m_classMap.end())
                    m_in.Fail("存在しない図形の種類を参照しています", at);
                classId = found->second;
                NoteTag(at, tag, index);
                break;
            }
            case TagKind::NewClass:
                classId = ReadNewClass(at);
                break;
        }
        const std::uint32_t object = NextIndex();
        const std::size_t before = into.size();
        if (record != nullptr) {
            record->classId = classId;
            record->object = object;
            record->body = static_cast<std::uint32_t>(m_in.Position());
            m_recordKey = static_cast<std::uint32_t>(m_source.records.size() - 1);
        }
        ReadFields(*KindOfClass(m_source.classNames[classId]), into, depth);
        if (record != nullptr) {
            record->end = static_cast<std::uint32_t>(m_in.Position());
            record->nested = KindOfClass(m_source.classNames[classId]) == ClassKind::List;
            for (std::size_t i = before; i < into.size(); ++i) into[i].record = m_recordKey;
            m_recordKey = Shape::kNoRecord;
        }
        m_shapeCount += into.size() - before;
    }

    Common ReadCommon() {
        Common c;
        c.group = m_in.Dword();
        c.penStyle = m_in.Byte();
        c.penColour = m_in.Word();
        if (m_header.version >= 351) c.penWidth = m_in.Word();
        c.layer = m_in.Word();
        c.groupLayer = m_in.Word();
        c.flags = m_in.Word();
        return c;
    }

    Vec2 Point() {
        const double x = m_in.Double();
        const double y = m_in.Double();
        return {x, y};
    }

    Shape ReadSen() {
        Shape s;
        s.kind = ShapeKind::Line;
        s.common = ReadCommon();
        s.p[0] = Point();
        s.p[1] = Point();
        return s;
    }

    Shape ReadEnko() {
        Shape s;
        s.kind = ShapeKind::Arc;
        s.common = ReadCommon();
        s.p[0] = Point();
        s.radius = m_in.Double();
        s.startAngle = m_in.Double();
        s.sweep = m_in.Double();
        s.tilt = m_in.Double();
        s.flatness = m_in.Double();
        s.full = m_in.Dword() != 0;
        return s;
    }

    Shape ReadTen() {
        Shape s;
        s.kind = ShapeKind::Point;
        s.common = ReadCommon();
        s.p[0] = Point();
        s.temporary = m_in.Dword() != 0;
        if (s.common.penStyle == 100) {
            s.code = m_in.Dword();
            s.angle = m_in.Double();
            s.sizeX = m_in.Double();
        }
        return s;
    }

    Shape ReadMoji() {
        Shape s;
        s.kind = ShapeKind::Text;
        s.common = ReadCommon();
        s.p[0] = Point();
        s.p[1] = Point();
        s.textKind = m_in.Dword();
        s.sizeX = m_in.Double();
        s.sizeY = m_in.Double();
        s.spacing = m_in.Double();
        s.angle = m_in.Double();
        s.font = m_in.Text();
        s.text = m_in.Text();
        return s;
    }

    Shape ReadSolid() {
        Shape s;
        s.kind = ShapeKind::Solid;
        s.common = ReadCommon();
        for (Vec2& corner : s.p) corner = Point();
        if (s.common.penColour == 10) s.rgb = m_in.Dword();
        return s;
    }

    Shape ReadBlock() {
        Shape s;
        s.kind = ShapeKind::Insert;
        s.common = ReadCommon();
        s.p[0] = Point();
        s.sizeX = m_in.Double();
        s.sizeY = m_in.Double();
        s.angle = m_in.Double();
        s.code = m_in.Dword();
        return s;
    }

    void ReadFields(ClassKind kind, std::vector<Shape>& into, int depth) {
        switch (kind) {
            case ClassKind::Sen:
                Take(ReadSen(), into, depth);
                return;
            case ClassKind::Enko:
                Take(ReadEnko(), into, depth);
                return;
            case ClassKind::Ten:
                into.push_back(ReadTen());
                return;
            case ClassKind::Moji:
                into.push_back(ReadMoji());
                return;
            case ClassKind::Solid:
                into.push_back(ReadSolid());
                return;
            case ClassKind::Block:
                into.push_back(ReadBlock());
                return;
            case ClassKind::Sunpou: {
                (void)ReadCommon();
                into.push_back(ReadSen());
                into.push_back(ReadMoji());
                if (m_header.version >= 420) {
                    m_in.Word();  // SXF mode
                    into.push_back(ReadSen());
                    into.push_back(ReadSen());
                    for (int n = 0; n < 4; ++n) into.push_back(ReadTen());
                }
                return;
            }
            case ClassKind::List: {
                if (depth >= kMaxDepth) m_in.Fail("ブロックの入れ子が深すぎます");
                (void)ReadCommon();
                jww::Block block;
                block.number = m_in.Dword();
                m_in.Dword();  // referenced
                m_in.Dword();  // time of definition
                block.name = m_in.Text();
                const std::uint32_t count = m_in.Count();
                for (std::uint32_t i = 0; i < count; ++i) ReadObject(block.shapes, depth + 1);
                m_blocks.push_back(std::move(block));
                return;
            }
        }
    }

    // Whether the board holds the shape as an entity of its own: a line, or an arc of a circle
    // (an elliptic arc is shown beneath).
    static bool BoardHolds(const Shape& shape) {
        switch (shape.kind) {
            case ShapeKind::Line:
                return true;
            case ShapeKind::Arc:
                return std::abs(shape.flatness - 1.0) < 1e-12;
            case ShapeKind::Point:
            case ShapeKind::Text:
            case ShapeKind::Solid:
            case ShapeKind::Insert:
                return false;
        }
        return false;
    }

    // A line or a circular arc of the entity list becomes a board entity; anything else (and
    // everything inside block definitions) is shown beneath.
    void Take(Shape shape, std::vector<Shape>& into, int depth) {
        const bool topLevel = depth == 0 && &into == &m_topShapes && !m_recordTags;
        if (!topLevel || !BoardHolds(shape)) {
            into.push_back(std::move(shape));
            return;
        }
        // In the file's own units, paper millimetres: where Jw_cad puts it on the paper.
        EntityData e;
        e.layer = BoardLayerOf(shape.common);
        if (shape.kind == ShapeKind::Line) {
            e.kind = EntityKind::Line;
            e.start = shape.p[0];
            e.end = shape.p[1];
            ++m_result->report.lines;
        } else {
            e.kind = EntityKind::Arc;
            e.center = shape.p[0];
            e.radius = shape.radius;
            double start = shape.startAngle + shape.tilt;
            double sweep = shape.full ? 0.0 : shape.sweep;
            if (sweep < 0.0) {
                start += sweep;
                sweep = -sweep;
            }
            e.start = e.center + shape.radius * Vec2{std::cos(start), std::sin(start)};
            const double end = start + sweep;
            e.end =
                shape.full ? e.start : e.center + shape.radius * Vec2{std::cos(end), std::sin(end)};
            ++m_result->report.arcs;
        }
        for (const Vec2 v : {e.start, e.end, e.center}) {
            if (!std::isfinite(v.x) || !std::isfinite(v.y) || std::abs(v.x) > kJwwMaxCoordinate ||
                std::abs(v.y) > kJwwMaxCoordinate) {
                m_in.Fail("座標が大きすぎるか数ではありません");
            }
        }
        if (!std::isfinite(e.radius) || e.radius < 0.0 || e.radius > kJwwMaxCoordinate) {
            m_in.Fail("半径が正しくありません");
        }
        m_source.entityPrint.push_back(JwwEntityPrint(e));
        m_source.entityRecord.push_back(m_recordKey);
        m_source.entityColour.push_back(kOwnColour | PackedColour(shape.common.penColour));
        m_source.entityPen.push_back(std::uint32_t{shape.common.penStyle} |
                                     (std::uint32_t{shape.common.penColour} << 8U));
        m_source.entityDash.push_back(DashOf(shape.common.penStyle));
        m_result->content.entities.push_back(e);
    }

    // The pattern of a line type, kept once per pen style.
    std::uint32_t DashOf(std::uint8_t penStyle) {
        std::optional<std::uint32_t>& index = m_dashOfStyle[penStyle];
        if (!index) {
            std::vector<double> dashes = jww::PenDashes(m_header, penStyle);
            index = DocumentSource::kSolidLine;
            if (!dashes.empty()) {
                index = static_cast<std::uint32_t>(m_source.dashPatterns.size());
                m_source.dashPatterns.push_back(std::move(dashes));
            }
        }
        return *index;
    }

    [[nodiscard]] std::uint32_t PackedColour(std::uint16_t pen) const {
        const Rgb rgb = jww::PenRgb(m_header, pen);
        return static_cast<std::uint32_t>(PackRgb(rgb));
    }

    ArchiveReader m_in;
    JwwSource& m_source;
    jww::Header& m_header;
    JwwReadResult* m_result = nullptr;
    std::uint32_t m_mapCount = 1;
    // Map index -> class: looked up for every object, so indexed (a file may hold millions).
    std::unordered_map<std::uint32_t, std::uint16_t> m_classMap;
    std::array<std::optional<std::uint32_t>, 256> m_dashOfStyle{};
    bool m_recordTags = false;
    // The entity list's record being read (until its tag is read), and its key (its fields).
    JwwRecord* m_record = nullptr;
    std::uint32_t m_recordKey = Shape::kNoRecord;
    std::vector<Shape> m_topShapes;
    std::vector<jww::Block> m_blocks;
    std::string m_fileName;
    const std::atomic<bool>* m_cancel;
    std::uint64_t m_budget;
    std::uint64_t m_objects = 0;
    std::uint64_t m_shapeCount = 0;  // shapes kept, in the list and in blocks
};

}  // namespace

bool IsJwwBytes(std::string_view bytes) noexcept { return bytes.substr(0, 8) == kJwwSignature; }

bool IsCutJwwBytes(std::string_view bytes) noexcept {
    return !bytes.empty() && bytes.size() < 12 &&
           (kJwwSignature.starts_with(bytes) || bytes.starts_with(kJwwSignature));
}

bool IsJwwFile(const std::string& path) {
    const FileRead read = TryReadWholeFile(path, kMaxFileBytes - 1);
    return read.status == ReadStatus::Ok && IsJwwBytes(read.content);
}

JwwReadResult ReadJwwBytes(FileBytes bytes, const std::string& fileName,
                           const JwwReadOptions& options) {
    JwwReadResult result;
    auto source = std::make_shared<JwwSource>();
    source->fileName = fileName;
    source->bytes = std::move(bytes);
    Reader reader(source->bytes, fileName, *source, options);
    try {
        reader.Run(result);
    } catch (const std::bad_alloc&) {
        throw FileError("ファイル「" + fileName + "」を開けません: メモリが足りません");
    }
    const jww::Header& header = source->header;
    result.report.version = header.version;
    result.content.layers = JwwLayerTable(header);
    result.currentLayer = source->WriteLayer();
    // The board's scale stays 1:1: its units are the paper's millimetres (RealPerPaper gives
    // each group's real size).
    result.blocks = reader.TakeBlocks();
    result.shapes = reader.TakeShapes();
    result.report.blocks = result.blocks.size();
    if (options.underlay) {
        jww::UnderlayBudget budget;
        budget.limit = jww::JwwUnderlayWorkLimit(source->bytes.size());
        auto underlay = std::make_shared<Underlay>(jww::BuildUnderlay(
            header, result.shapes, result.blocks, &result.report.shownKinds, &budget));
        result.report.leftOut = budget.leftOut;
        result.report.workLimit = budget.limit;
        if (!underlay->Empty()) result.underlay = std::move(underlay);
    }
    result.source = std::move(source);
    return result;
}

JwwReadResult ReadJwwFile(const std::string& path, const JwwReadOptions& options) {
    return ReadJwwBytes(MapWholeFile(path, kMaxFileBytes - 1), FileNameOf(path), options);
}

}  // namespace pelimator::board
