// Jw_cad drawings as DXF at real size: the entity list in its order, the block definitions, and
// the symbol tables they need, spliced into the built-in empty AutoCAD 2007 drawing.
#include "board/convert/jww_to_dxf.h"

#include <algorithm>
#include <array>
#include <cstdlib>
#include <set>
#include <string_view>

#include "base/errors.h"
#include "base/file.h"
#include "board/convert/jww_to_dxf_parts.h"
#include "board/jww/jww_archive.h"

namespace pelimator::board {

// The built-in empty drawing (board/dxf: new_drawing.dxf, compiled in).
std::string_view NewDrawingDxf() noexcept;

namespace {

using convert::DxfHandles;
using convert::DxfOut;
using convert::DxfPlace;
using jww::Shape;
using jww::ShapeKind;

// ---- the entity list ----

jww::Common ReadCommon(jww::ArchiveReader& in, std::uint32_t version) {
    jww::Common c;
    c.group = in.Dword();
    c.penStyle = in.Byte();
    c.penColour = in.Word();
    if (version >= 351) c.penWidth = in.Word();
    c.layer = in.Word();
    c.groupLayer = in.Word();
    c.flags = in.Word();
    return c;
}

// A line or a circular arc the board took as its own entity, read again from its record (the
// board keeps neither its pen width nor its exact angles).
Shape RecordShape(const JwwSource& source, std::uint32_t key) {
    const JwwRecord& record = source.records.at(key);
    const std::string_view fields =
        std::string_view(source.bytes).substr(record.body, record.end - record.body);
    jww::ArchiveReader in(fields, source.fileName);
    Shape s;
    s.record = key;
    s.common = ReadCommon(in, source.header.version);
    s.p[0] = {in.Double(), in.Double()};
    if (source.ClassOf(key) == "CDataSen") {
        s.kind = ShapeKind::Line;
        s.p[1] = {in.Double(), in.Double()};
        return s;
    }
    s.kind = ShapeKind::Arc;
    s.radius = in.Double();
    s.startAngle = in.Double();
    s.sweep = in.Double();
    s.tilt = in.Double();
    s.flatness = in.Double();
    s.full = in.Dword() != 0;
    return s;
}

// Every shape of the entity list in the file's order: the board's lines and arcs and the rest.
std::vector<Shape> EntityList(const JwwReadResult& read) {
    const JwwSource& source = *read.source;
    std::vector<Shape> board;
    const std::size_t count = std::min(read.content.entities.size(), source.entityRecord.size());
    board.reserve(count);
    for (std::size_t i = 0; i < count; ++i) {
        board.push_back(RecordShape(source, source.entityRecord[i]));
    }
    std::vector<Shape> all;
    all.reserve(board.size() + read.shapes.size());
    std::merge(board.begin(), board.end(), read.shapes.begin(), read.shapes.end(),
               std::back_inserter(all),
               [](const Shape& a, const Shape& b) { return a.record < b.record; });
    return all;
}

// ---- the template ----

struct TemplatePair {
    std::string_view code;  // as written, with its leading spaces
    std::string_view value;
    [[nodiscard]] int Code() const { return std::atoi(std::string(code).c_str()); }
};

std::vector<TemplatePair> TemplatePairs() {
    std::vector<TemplatePair> pairs;
    const std::string_view text = NewDrawingDxf();
    std::size_t at = 0;
    const auto line = [&]() {
        const std::size_t end = text.find('\n', at);
        std::string_view l = text.substr(at, end - at);
        at = end == std::string_view::npos ? text.size() : end + 1;
        if (!l.empty() && l.back() == '\r') l.remove_suffix(1);
        return l;
    };
    while (at < text.size()) {
        const std::string_view code = line();
        pairs.push_back({code, line()});
    }
    return pairs;
}

// The template's owners and its first free handle.
convert::TemplateHandles FindOwners(const std::vector<TemplatePair>& pairs, std::uint64_t& seed) {
    convert::TemplateHandles owners;
    std::string_view table;
    std::string_view record;
    std::string_view handle;
    std::string_view name;
    bool tableHead = false;
    for (std::size_t i = 0; i < pairs.size(); ++i) {
        const int code = pairs[i].Code();
        const std::string_view v = pairs[i].value;
        if (code == 9 && v == "$HANDSEED" && i + 1 < pairs.size()) {
            seed = std::strtoull(std::string(pairs[i + 1].value).c_str(), nullptr, 16);
        } else if (code == 0) {
            tableHead = v == "TABLE";
            record = v;
            name = {};
        } else if (code == 2 && tableHead) {
            table = v;
        } else if (code == 2) {
            name = v;
            if (table == "BLOCK_RECORD" && v == "*Model_Space") owners.modelSpace = handle;
        } else if (code == 5 && tableHead) {
            if (table == "LAYER") owners.layerTable = v;
            if (table == "LTYPE") owners.linetypeTable = v;
            if (table == "STYLE") owners.styleTable = v;
            if (table == "BLOCK_RECORD") owners.blockRecordTable = v;
        } else if (code == 5) {
            handle = v;
        } else if (record == "LAYER" && name == "0" && code == 390) {
            owners.plotStyle = v;
        } else if (record == "LAYER" && name == "0" && code == 347) {
            owners.material = v;
        }
    }
    if (owners.modelSpace.empty() || owners.layerTable.empty() || seed == 0) {
        throw FileError("内蔵の空の DXF 図面が壊れています");
    }
    return owners;
}

// ---- the drawing ----

// What the conversion adds to each place of the template.
struct Additions {
    DxfOut layers, linetypes, styles, blockRecords, blocks, entities, header;
};

// Block names unique in the drawing (DXF compares them without case).
std::unordered_map<std::uint32_t, std::string> BlockNames(const std::vector<jww::Block>& blocks) {
    std::unordered_map<std::uint32_t, std::string> names;
    std::set<std::string> taken{"*MODEL_SPACE", "*PAPER_SPACE"};
    for (const jww::Block& block : blocks) {
        const std::string base =
            convert::DxfSymbolName(block.name, "JWBLOCK" + std::to_string(block.number));
        std::string name = base;
        for (int n = 2;; ++n) {
            std::string key = name;
            for (char& c : key) c = static_cast<char>(c >= 'a' && c <= 'z' ? c - 32 : c);
            if (taken.insert(key).second) break;
            name = base + "_" + std::to_string(n);
        }
        names.emplace(block.number, name);
    }
    return names;
}

class Converter {
public:
    Converter(const JwwReadResult& read, const convert::TemplateHandles& owners,
              DxfHandles& handles)
        : m_read(read),
          m_owners(owners),
          m_handles(handles),
          m_tables(read.source->header, read.content.layers, owners, handles),
          m_blockNames(BlockNames(read.blocks)),
          m_writer(read.source->header, m_tables, handles, m_blockNames) {}

    void Run(Additions& add) {
        WriteBlocks(add);
        WriteEntities(add);
        m_tables.WriteLayers(add.layers);
        m_tables.WriteLinetypes(add.linetypes);
        m_tables.WriteStyles(add.styles);
    }
    [[nodiscard]] const convert::DxfEntityWriter& Writer() const { return m_writer; }

private:
    void WriteBlocks(Additions& add) {
        for (const jww::Block& block : m_read.blocks) {
            const std::string record = m_handles.Next();
            const std::string& name = m_blockNames.at(block.number);
            add.blockRecords.Put(0, "BLOCK_RECORD");
            add.blockRecords.Put(5, record);
            add.blockRecords.Put(330, m_owners.blockRecordTable);
            add.blockRecords.Put(100, "AcDbSymbolTableRecord");
            add.blockRecords.Put(100, "AcDbBlockTableRecord");
            add.blockRecords.Put(2, name);
            add.blockRecords.Put(340, "0");
            add.blockRecords.PutInt(70, 4);  // millimetres
            add.blockRecords.PutInt(280, 1);
            add.blockRecords.PutInt(281, 0);
            convert::BlockBegin(add.blocks, record, name, false, m_handles);
            // In paper millimetres: each insert carries its group's scale.
            const DxfPlace inside{record, 1.0, true};
            for (const Shape& shape : block.shapes) m_writer.Write(shape, inside, add.blocks);
            convert::BlockEnd(add.blocks, record, m_handles);
        }
    }

    void WriteEntities(Additions& add) {
        const JwwSource& source = *m_read.source;
        const std::vector<Shape> list = EntityList(m_read);
        m_blockWritten = m_writer.Written();
        for (std::size_t i = 0; i < list.size();) {
            std::size_t end = i + 1;
            while (end < list.size() && list[end].record == list[i].record) ++end;
            const Shape& first = list[i];
            const DxfPlace place{m_owners.modelSpace, source.GroupScale(first.common.groupLayer),
                                 false};
            if (first.record != Shape::kNoRecord && source.ClassOf(first.record) == "CDataSunpou") {
                m_writer.WriteDimension(std::span(list).subspan(i, end - i), place, add.entities,
                                        add.blockRecords, add.blocks, m_owners.blockRecordTable);
            } else {
                for (std::size_t k = i; k < end; ++k) m_writer.Write(list[k], place, add.entities);
            }
            i = end;
        }
    }

public:
    // What model space holds: everything written less what the block definitions hold.
    [[nodiscard]] std::map<std::string, std::size_t> ModelSpace() const {
        std::map<std::string, std::size_t> out = m_writer.Written();
        for (const auto& [type, n] : m_blockWritten) out[type] -= n;
        std::erase_if(out, [](const auto& item) { return item.second == 0; });
        return out;
    }

private:
    const JwwReadResult& m_read;
    const convert::TemplateHandles& m_owners;
    DxfHandles& m_handles;
    convert::DxfTables m_tables;
    std::unordered_map<std::uint32_t, std::string> m_blockNames;
    convert::DxfEntityWriter m_writer;
    std::map<std::string, std::size_t> m_blockWritten;
};

// Header values: the scales, the paper's limits at the write group's scale and a note of every
// group's scale and the paper as drawing properties.
void WriteHeader(const JwwSource& source, DxfOut& out) {
    const jww::Header& h = source.header;
    const double scale = source.GroupScale(h.writeGroup);
    out.Put(9, "$LTSCALE");
    out.Put(40, 1.0);
    if (const auto paper = jww::PaperSizeMm(h.paper)) {
        const auto [w, ht] = *paper;
        out.Put(9, "$LIMMIN");
        out.Put(10, -w / 2.0 * scale);
        out.Put(20, -ht / 2.0 * scale);
        out.Put(9, "$LIMMAX");
        out.Put(10, w / 2.0 * scale);
        out.Put(20, ht / 2.0 * scale);
    }
    std::string scales;
    for (std::size_t g = 0; g < 16; ++g) {
        if (g != 0) scales += ' ';
        scales += convert::DxfHex(g) + ":1/" + convert::ShortestNumber(source.GroupScale(g));
    }
    out.Put(9, "$CUSTOMPROPERTYTAG");
    out.Put(1, "JwwGroupScales");
    out.Put(9, "$CUSTOMPROPERTY");
    out.Put(1, scales);
    out.Put(9, "$CUSTOMPROPERTYTAG");
    out.Put(1, "JwwPaper");
    out.Put(9, "$CUSTOMPROPERTY");
    out.Put(1, jww::PaperSizeMm(h.paper) ? "A" + std::to_string(h.paper)
                                         : "Jw_cad " + std::to_string(h.paper));
}

// The template with the additions spliced in: table records before each ENDTAB, blocks and
// entities before their section's ENDSEC, header values patched.
std::string Splice(const std::vector<TemplatePair>& pairs, const Additions& add, std::uint64_t seed,
                   double dimScale) {
    std::string out;
    std::string_view section;
    std::string_view table;
    bool sectionHead = false;
    bool tableHead = false;
    bool scaleWritten = false;
    std::string patch;  // the value the next pair gets, when set
    for (const TemplatePair& pair : pairs) {
        const int code = pair.Code();
        std::string_view value = pair.value;
        if (!patch.empty()) {
            value = patch;
        }
        if (code == 0 && value == "ENDTAB") {
            if (table == "LAYER") out += add.layers.Text();
            if (table == "LTYPE") out += add.linetypes.Text();
            if (table == "STYLE") out += add.styles.Text();
            if (table == "BLOCK_RECORD") out += add.blockRecords.Text();
        } else if (code == 0 && value == "ENDSEC") {
            if (section == "HEADER") out += add.header.Text();
            if (section == "BLOCKS") out += add.blocks.Text();
            if (section == "ENTITIES") out += add.entities.Text();
        }
        out += pair.code;
        out += '\n';
        out += value;
        out += '\n';
        patch.clear();
        if (code == 9 && pair.value == "$HANDSEED") {
            patch = convert::DxfHex(seed);
        } else if (code == 9 && pair.value == "$DIMSCALE") {
            patch = convert::DxfNumber(dimScale);
        } else if (code == 9 && pair.value == "$DWGCODEPAGE") {
            patch = "ANSI_932";
        } else if (code == 9 && pair.value == "$CUSTOMPROPERTY" && !scaleWritten) {
            // The board's scale of the drawing: the write group's.
            const auto ratio = JwwScaleRatio(dimScale);
            patch = ratio ? std::to_string(ratio->first) + ":" + std::to_string(ratio->second)
                          : std::string("1:1");
            scaleWritten = true;
        }
        if (code == 0) {
            sectionHead = value == "SECTION";
            tableHead = value == "TABLE";
        } else if (code == 2 && sectionHead) {
            section = value;
            sectionHead = false;
        } else if (code == 2 && tableHead) {
            table = value;
            tableHead = false;
        }
    }
    return out;
}

void AddLosses(const std::map<std::string, std::size_t>& approximated,
               std::vector<std::string>& losses) {
    for (const auto& [what, n] : approximated) {
        losses.push_back("DXF にない Jw_cad の図形: " + what + " " + std::to_string(n) + " 個");
    }
}

}  // namespace

std::string JwwAsDxfBytes(const JwwReadResult& read, JwwDxfReport* report) {
    if (read.source == nullptr) throw FileError("変換する JWW 図面がありません");
    const std::vector<TemplatePair> pairs = TemplatePairs();
    std::uint64_t seed = 0;
    const convert::TemplateHandles owners = FindOwners(pairs, seed);
    DxfHandles handles(seed);
    Additions add;
    Converter converter(read, owners, handles);
    converter.Run(add);
    WriteHeader(*read.source, add.header);
    const double scale = read.source->GroupScale(read.source->header.writeGroup);
    std::string text = Splice(pairs, add, handles.Seed(), scale);
    if (report != nullptr) {
        report->written = converter.ModelSpace();
        report->blocks = read.blocks.size();
        AddLosses(converter.Writer().Approximated(), report->losses);
    }
    return text;
}

std::string JwwStateAsDxfBytes(const JwwSource& source, const DrawingState& state,
                               JwwDxfReport* report) {
    JwwReadOptions options;
    options.underlay = false;
    const JwwReadResult read =
        ReadJwwBytes(FileBytes(SavedJwwBytes(source, state)), source.fileName, options);
    std::string text = JwwAsDxfBytes(read, report);
    if (report != nullptr) {
        std::vector<std::string> unkept = JwwSaveLosses(source, state);
        report->losses.insert(report->losses.end(), unkept.begin(), unkept.end());
    }
    return text;
}

std::vector<std::string> JwwAsDxfLosses(const JwwSource& source, const DrawingState& state) {
    JwwDxfReport report;
    (void)JwwStateAsDxfBytes(source, state, &report);
    return report.losses;
}

void WriteJwwAsDxf(const std::string& path, const JwwSource& source, const DrawingState& state) {
    ReplaceFileContent(path, JwwStateAsDxfBytes(source, state));
}

}  // namespace pelimator::board
