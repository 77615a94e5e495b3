// Writing drawings as DXF through dxflib: AutoCAD 2007 format (UTF-8 text), lines and arcs with
// their layers, layer numbers in extended data and the scale in the header.
#include <charconv>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <memory>
#include <numbers>
#include <set>
#include <unordered_map>
#include <unordered_set>

#include <dxflib/dl_dxf.h>

#include "base/file.h"
#include "board/io/dxf_colour.h"
#include "board/io/dxf_file.h"
#include "board/io/dxf_names.h"
#include "board/io/dxf_scan.h"
#include "base/errors.h"

namespace pelimator::board {

namespace {

constexpr double kRadiansToDegrees = 180.0 / std::numbers::pi;

struct OutLayer {
    LayerData data;
    std::string dxfName;
};

std::string Hex(unsigned long long value) {
    std::array<char, 32> buffer{};
    std::snprintf(buffer.data(), buffer.size(), "%llX", value);
    return buffer.data();
}

// DXF names for the layers: unique without case, "0" for layer 0, others kept as far as DXF
// allows. Entities naming a layer the table lacks get a layer named by its number.
std::vector<OutLayer> PlanLayers(const DrawingContent& content) {
    std::vector<OutLayer> layers;
    std::unordered_map<std::int32_t, std::size_t> byNumber;
    for (const LayerData& layer : content.layers) {
        if (byNumber.emplace(layer.number, layers.size()).second) layers.push_back({layer, {}});
    }
    if (!byNumber.contains(0)) {
        byNumber.emplace(0, layers.size());
        layers.push_back({LayerData{0, "0", {}, true}, {}});
    }
    for (const EntityData& entity : content.entities) {
        if (byNumber.emplace(entity.layer, layers.size()).second) {
            layers.push_back({LayerData{entity.layer, std::to_string(entity.layer), {}, true}, {}});
        }
    }
    std::unordered_set<std::string> taken{"0"};
    for (OutLayer& layer : layers) {
        if (layer.data.number == 0) {
            layer.dxfName = "0";
            continue;
        }
        std::string name = SanitizeLayerName(layer.data.name);
        if (name.empty()) name = std::to_string(layer.data.number);
        if (taken.contains(LayerKey(name))) {
            const std::string base = name + "_" + std::to_string(layer.data.number);
            name = base;
            for (int i = 2; taken.contains(LayerKey(name)); ++i) {
                name = base + "_" + std::to_string(i);
            }
        }
        taken.insert(LayerKey(name));
        layer.dxfName = name;
    }
    return layers;
}

// The board's own name survives in extended data when DXF could not take it as it is; it has
// to fit one line of the file.
bool NeedsNameInXData(const OutLayer& layer) {
    if (layer.dxfName == layer.data.name) return false;
    if (layer.data.name.size() > 255) return false;
    for (const char c : layer.data.name) {
        if (static_cast<unsigned char>(c) < 0x20U) return false;
    }
    return TrimDxf(layer.data.name) == layer.data.name;
}

void WriteHeader(DL_WriterA& dw, const DrawingContent& content, std::size_t handles) {
    dw.sectionHeader();
    dw.dxfString(9, "$ACADVER");
    dw.dxfString(1, "AC1021");  // 2007: text is UTF-8 for every reader
    dw.dxfString(9, "$DWGCODEPAGE");
    dw.dxfString(3, "ANSI_1252");
    dw.dxfString(9, "$HANDSEED");
    dw.dxfString(5, Hex(handles));
    dw.dxfString(9, "$INSUNITS");
    dw.dxfInt(70, 4);  // millimetres
    dw.dxfString(9, "$MEASUREMENT");
    dw.dxfInt(70, 1);  // metric
    dw.dxfString(9, "$DIMSCALE");
    dw.dxfReal(40, static_cast<double>(content.scaleDenominator) / content.scaleNumerator);
    dw.dxfString(9, "$CUSTOMPROPERTYTAG");
    dw.dxfString(1, kDxfScaleProperty);
    dw.dxfString(9, "$CUSTOMPROPERTY");
    dw.dxfString(
        1, std::to_string(content.scaleNumerator) + ":" + std::to_string(content.scaleDenominator));
    dw.sectionEnd();
}

void WriteTables(DL_Dxf& dxf, DL_WriterA& dw, const std::vector<OutLayer>& layers) {
    dw.sectionTables();
    dxf.writeVPort(dw);
    dw.tableLinetypes(3);
    dxf.writeLinetype(dw, DL_LinetypeData("BYBLOCK", "BYBLOCK", 0, 0, 0.0));
    dxf.writeLinetype(dw, DL_LinetypeData("BYLAYER", "BYLAYER", 0, 0, 0.0));
    dxf.writeLinetype(dw, DL_LinetypeData("CONTINUOUS", "Continuous", 0, 0, 0.0));
    dw.tableEnd();
    dw.tableLayers(static_cast<int>(layers.size()));
    for (const OutLayer& layer : layers) {
        const DL_Attributes attributes("", NearestAci(layer.data.colour),
                                       PackRgb(layer.data.colour), -3, "CONTINUOUS");
        dxf.writeLayer(dw, DL_LayerData(layer.dxfName, 0, !layer.data.visible), attributes);
        dw.dxfString(1001, kDxfAppName);
        if (NeedsNameInXData(layer)) dw.dxfString(1000, layer.data.name);
        dw.dxfInt(1071, layer.data.number);
    }
    dw.tableEnd();
    dw.tableStyle(1);
    dxf.writeStyle(dw, DL_StyleData("standard", 0, 2.5, 1.0, 0.0, 0, 2.5, "txt", ""));
    dw.tableEnd();
    dxf.writeView(dw);
    dxf.writeUcs(dw);
    dw.tableAppid(2);
    dxf.writeAppid(dw, "ACAD");
    dxf.writeAppid(dw, kDxfAppName);
    dw.tableEnd();
    dxf.writeDimStyle(dw, 1, 1, 1, 1, 1);
    dxf.writeBlockRecord(dw);
    dw.tableEnd();
    dw.sectionEnd();
}

void WriteBlocks(DL_Dxf& dxf, DL_WriterA& dw) {
    dw.sectionBlocks();
    for (const char* name : {"*Model_Space", "*Paper_Space", "*Paper_Space0"}) {
        dxf.writeBlock(dw, DL_BlockData(name, 0, 0.0, 0.0, 0.0));
        dxf.writeEndBlock(dw, name);
    }
    dw.sectionEnd();
}

void CheckEntity(const EntityData& entity, std::size_t index, const std::string& path) {
    const auto inRange = [](Vec2 p) {
        return IsFinite(p) && std::abs(p.x) <= kDxfMaxCoordinate &&
               std::abs(p.y) <= kDxfMaxCoordinate;
    };
    bool good = inRange(entity.start) && inRange(entity.end);
    if (entity.kind == EntityKind::Arc) {
        good = inRange(entity.center) && entity.radius > 0.0 && entity.radius <= kDxfMaxCoordinate;
    }
    if (!good) {
        throw FileError("ファイル「" + FileNameOf(path) + "」を保存できません: " +
                        std::to_string(index + 1) + " 番目の図形の座標が扱える範囲を超えています");
    }
}

void WriteEntities(DL_Dxf& dxf, DL_WriterA& dw, const DrawingContent& content,
                   const std::vector<OutLayer>& layers, const std::string& path) {
    std::unordered_map<std::int32_t, DL_Attributes> attributesOf;
    for (const OutLayer& layer : layers) {
        attributesOf.emplace(layer.data.number,
                             DL_Attributes(layer.dxfName, 256, -1, -1, "BYLAYER"));
    }
    dw.sectionEntities();
    std::size_t index = 0;
    for (const EntityData& entity : content.entities) {
        CheckEntity(entity, index++, path);
        const DL_Attributes& attributes = attributesOf.at(entity.layer);
        if (entity.kind == EntityKind::Line) {
            dxf.writeLine(
                dw,
                DL_LineData(entity.start.x, entity.start.y, 0.0, entity.end.x, entity.end.y, 0.0),
                attributes);
        } else {
            const ArcAngles angles = AnglesOf(entity);
            const double from = angles.start * kRadiansToDegrees;
            const bool full = angles.sweep >= 2.0 * std::numbers::pi;
            const double to =
                full ? from + 360.0 : (angles.start + angles.sweep) * kRadiansToDegrees;
            dxf.writeArc(dw,
                         DL_ArcData(entity.center.x, entity.center.y, 0.0, entity.radius, from, to),
                         attributes);
        }
    }
    dw.sectionEnd();
}

// dxflib's own output stream flushes often, formats reals to 16 fixed decimals and reports no
// write errors. This sink takes its place: buffered, the shortest fixed notation that reads back
// to the very same double, and errors checked at the end. dxflib still decides what is written.
class BufferedWriter final : public DL_WriterA {
public:
    BufferedWriter(std::FILE* file, DL_Codes::version dxfVersion)
        : DL_WriterA("/dev/null", dxfVersion), m_file(file) {}

    void dxfReal(int gc, double value) const override {
        Code(gc);
        std::array<char, 512> buffer{};
        const auto result = std::to_chars(buffer.data(), buffer.data() + buffer.size(), value,
                                          std::chars_format::fixed);
        Put(buffer.data(), static_cast<std::size_t>(result.ptr - buffer.data()));
    }
    void dxfInt(int gc, int value) const override {
        Code(gc);
        std::array<char, 16> buffer{};
        const auto result = std::to_chars(buffer.data(), buffer.data() + buffer.size(), value);
        Put(buffer.data(), static_cast<std::size_t>(result.ptr - buffer.data()));
    }
    void dxfHex(int gc, int value) const override {
        Code(gc);
        std::array<char, 16> buffer{};
        const auto result = std::to_chars(buffer.data(), buffer.data() + buffer.size(),
                                          static_cast<unsigned int>(value), 16);
        for (char* c = buffer.data(); c != result.ptr; ++c) {
            if (*c >= 'a' && *c <= 'f') *c = static_cast<char>(*c - 'a' + 'A');
        }
        Put(buffer.data(), static_cast<std::size_t>(result.ptr - buffer.data()));
    }
    void dxfString(int gc, const char* value) const override {
        Code(gc);
        Put(value, std::strlen(value));
    }
    void dxfString(int gc, const std::string& value) const override {
        Code(gc);
        Put(value.data(), value.size());
    }

private:
    void Code(int gc) const {
        // Group codes right-aligned in three columns, as DXF writers customarily do.
        std::array<char, 16> buffer{' ', ' '};
        const std::size_t pad = gc < 10 ? 2 : (gc < 100 ? 1 : 0);
        const auto result = std::to_chars(buffer.data() + pad, buffer.data() + buffer.size(), gc);
        *result.ptr = '\n';
        std::fwrite(buffer.data(), 1, static_cast<std::size_t>(result.ptr + 1 - buffer.data()),
                    m_file);
    }
    void Put(const char* data, std::size_t size) const {
        std::fwrite(data, 1, size, m_file);
        std::fputc('\n', m_file);
    }

    std::FILE* m_file;
};

}  // namespace

void WriteDxfFile(const std::string& path, const DrawingContent& content) {
    if (content.scaleNumerator <= 0 || content.scaleDenominator <= 0) {
        throw FileError("ファイル「" + FileNameOf(path) +
                        "」を保存できません: 縮尺が正しくありません");
    }
    const std::vector<OutLayer> layers = PlanLayers(content);
    WriteFileAtomically(path, [&](const std::string& tempPath) {
        const std::string failure = "ファイル「" + FileNameOf(path) + "」を保存できません: ";
        std::FILE* file = std::fopen(tempPath.c_str(), "wb");
        if (file == nullptr) throw FileError(failure + "書き込み用に開けません");
        std::unique_ptr<std::FILE, int (*)(std::FILE*)> closer(file, &std::fclose);
        std::setvbuf(file, nullptr, _IOFBF, std::size_t{1} << 20U);
        DL_Dxf dxf;
        BufferedWriter dw(file, DL_Codes::AC1015);
        // Handles: a few hundred for the tables and objects, one per layer and entity.
        const std::size_t handles = 0x1000 + 2 * (layers.size() + content.entities.size());
        WriteHeader(dw, content, handles);
        WriteTables(dxf, dw, layers);
        WriteBlocks(dxf, dw);
        WriteEntities(dxf, dw, content, layers, path);
        dxf.writeObjects(dw);
        dxf.writeObjectsEnd(dw);
        dw.dxfEOF();
        const bool failed = std::fflush(file) != 0 || std::ferror(file) != 0;
        if (std::fclose(closer.release()) != 0 || failed) {
            throw FileError(failure +
                            "書き込みが途中で失敗しました (ディスクの空きを確かめてください)");
        }
    });
}

}  // namespace pelimator::board
