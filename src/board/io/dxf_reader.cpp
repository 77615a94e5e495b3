// Reading drawings from DXF text through dxflib, with every value it hands over checked.
#include <cmath>
#include <cstdio>
#include <istream>
#include <limits>
#include <numbers>
#include <optional>
#include <set>
#include <streambuf>
#include <unordered_map>

#include <dxflib/dl_creationadapter.h>
#include <dxflib/dl_dxf.h>

#include "base/file.h"
#include "board/io/dxf_colour.h"
#include "board/io/dxf_file.h"
#include "board/io/dxf_names.h"
#include "board/io/dxf_scan.h"
#include "base/errors.h"

namespace pelimator::board {

namespace {

constexpr double kDegree = std::numbers::pi / 180.0;
constexpr std::size_t kMaxFileBytes = std::size_t{1} << 31U;
// Polyline segments flatter than this are straight.
constexpr double kMinBulge = 1e-12;
// Degrees: an arc whose ends are closer than this in angle is a full circle.
constexpr double kFullCircleSlack = 1e-9;

struct LayerRecord {
    std::string rawName;  // as in the file, for the extended data found by the scan
    std::string name;     // decoded
    Rgb colour;
    bool visible = true;
    bool declared = false;  // in the layer table (not only named by entities)
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

// A read-only stream buffer over text that outlives it.
class ViewBuffer final : public std::streambuf {
public:
    explicit ViewBuffer(std::string_view text) {
        // The get area is only read from; streambuf merely lacks a const interface.
        char* begin =
            const_cast<char*>(text.data());  // NOLINT(cppcoreguidelines-pro-type-const-cast)
        setg(begin, begin, begin + text.size());
    }
};

class Builder final : public DL_CreationAdapter {
public:
    explicit Builder(const DxfScan& scan) : m_scan(scan) {}

    [[nodiscard]] const std::string& Problem() const noexcept { return m_problem; }

    void setVariableString(const std::string& key, const std::string& value,
                           int /*code*/) override {
        if (key == "$ACADVER") m_acadVersion = value;
        if (key == "$DWGCODEPAGE") m_codePage = value;
        if (key == "$CUSTOMPROPERTYTAG") m_propertyTag = value;
        if (key == "$CUSTOMPROPERTY" && m_propertyTag == kDxfScaleProperty) {
            m_exactScale = ParseScale(value);
        }
    }
    void setVariableDouble(const std::string& key, double value, int /*code*/) override {
        if (key == "$DIMSCALE") m_dimScale = value;
    }

    void addLayer(const DL_LayerData& data) override {
        if (Failed()) return;
        const DL_Attributes layerAttributes = getAttributes();
        const std::string raw(TrimDxf(data.name));
        const std::size_t index = LayerIndex(raw);
        LayerRecord& layer = m_layers[index];
        if (layer.declared) return;  // a second record of the same name: the first one counts
        layer.declared = true;
        layer.colour = layerAttributes.getColor24() >= 0 ? UnpackRgb(layerAttributes.getColor24())
                                                         : AciToRgb(layerAttributes.getColor());
        layer.visible = layerAttributes.getColor() >= 0 && !data.off && (data.flags & 1) == 0;
    }

    void addBlock(const DL_BlockData& /*data*/) override { m_inBlock = true; }
    void endBlock() override { m_inBlock = false; }

    void addLine(const DL_LineData& data) override {
        FlushPolyline();
        if (!Takes()) return;
        const Vec2 start{data.x1, data.y1};
        const Vec2 end{data.x2, data.y2};
        if (!CheckPoint(start, "LINE") || !CheckPoint(end, "LINE")) return;
        AddLine(start, end, CurrentLayer());
        ++m_taken["LINE"];
    }

    void addArc(const DL_ArcData& data) override {
        FlushPolyline();
        if (!Takes()) return;
        const auto mirror = Mirror("ARC");
        if (!mirror) return;
        AddArc({data.cx, data.cy}, data.radius, data.angle1, data.angle2, *mirror, "ARC");
    }

    void addCircle(const DL_CircleData& data) override {
        FlushPolyline();
        if (!Takes()) return;
        const auto mirror = Mirror("CIRCLE");
        if (!mirror) return;
        AddArc({data.cx, data.cy}, data.radius, 0.0, 360.0, *mirror, "CIRCLE");
    }

    void addPolyline(const DL_PolylineData& data) override {
        FlushPolyline();
        if (Failed() || m_inBlock) return;
        // Polylines of the ENTITIES section arrive in file order; the scan knew their types.
        const bool light = m_polylineIndex < m_scan.polylineIsLight.size() &&
                           m_scan.polylineIsLight[m_polylineIndex];
        ++m_polylineIndex;
        m_polyType = light ? "LWPOLYLINE" : "POLYLINE";
        if (!Takes()) return;
        // 3-D polylines, meshes and polyface meshes are not flat drawings.
        constexpr int kNotFlat = 8 | 16 | 64;
        const auto mirror = Mirror(m_polyType.c_str());
        if ((data.flags & kNotFlat) != 0 || !mirror) return;
        m_polyOpen = true;
        m_polyClosed = (data.flags & 1) != 0;
        m_polyMirror = *mirror;
        m_polyLayer = CurrentLayer();
        m_polyVertices.clear();
    }

    void addVertex(const DL_VertexData& data) override {
        if (!m_polyOpen || Failed()) return;
        Vec2 point{data.x, data.y};
        double bulge = data.bulge;
        if (!CheckPoint(point, m_polyType.c_str())) return;
        if (m_polyMirror) {
            point.x = -point.x;
            bulge = -bulge;
        }
        m_polyVertices.push_back({point, bulge});
    }

    void endSequence() override { FlushPolyline(); }
    // The board holds no points: a POINT only ends a pending polyline and is counted as passed
    // over.
    void addPoint(const DL_PointData& /*data*/) override { FlushPolyline(); }

    // Ends a polyline still open at the end of the file (its checks may still fail).
    void EndOfFile() { FlushPolyline(); }

    DxfReadResult Finish() {
        DxfReadResult result;
        const std::vector<std::int32_t> numbers = NumberLayers();
        for (std::size_t i = 0; i < m_layers.size(); ++i) {
            const LayerRecord& record = m_layers[i];
            const auto extra = m_scan.layerExtras.find(record.rawName);
            std::string name = record.name;
            if (extra != m_scan.layerExtras.end() && extra->second.name) {
                name = DecodeDxfString(*extra->second.name, m_acadVersion, m_codePage);
            }
            result.content.layers.push_back({numbers[i], name, record.colour, record.visible});
        }
        if (std::find(numbers.begin(), numbers.end(), 0) == numbers.end()) {
            result.content.layers.insert(result.content.layers.begin(),
                                         LayerData{0, "0", {}, true});
        }
        result.content.entities = std::move(m_entities);
        for (EntityData& entity : result.content.entities) {
            entity.layer = numbers[static_cast<std::size_t>(entity.layer)];
        }
        const auto scale = m_exactScale ? *m_exactScale : ScaleFromFactor(m_dimScale);
        result.content.scaleNumerator = scale.first;
        result.content.scaleDenominator = scale.second;

        DxfOpenReport& report = result.report;
        report.lines = m_lines;
        report.arcs = m_arcs;
        for (const auto& [type, count] : m_scan.entityCounts) {
            const auto taken = m_taken.find(type);
            const std::size_t used = taken == m_taken.end() ? 0 : taken->second;
            if (count > used) {
                report.skippedKinds[type] = count - used;
                report.skipped += count - used;
            }
        }
        return result;
    }

private:
    [[nodiscard]] bool Failed() const noexcept { return !m_problem.empty(); }

    void Fail(const std::string& what) {
        if (!Failed()) m_problem = what;
    }

    // Whether the entity being reported belongs to the model space drawing.
    [[nodiscard]] bool Takes() {
        return !Failed() && !m_inBlock && !getAttributes().isInPaperSpace();
    }

    // Whether the entity's plane is the drawing plane seen from below (its coordinates mirror
    // in X), none (and counted as passed over) when it is tilted.
    std::optional<bool> Mirror(const char* type) {
        const DL_Extrusion* plane = getExtrusion();
        if (plane == nullptr) return false;
        const double* direction = plane->getDirection();
        if (std::abs(direction[0]) < 1e-9 && std::abs(direction[1]) < 1e-9) {
            return direction[2] < 0.0;
        }
        (void)type;
        return std::nullopt;
    }

    bool CheckPoint(Vec2 p, const char* type) {
        if (IsFinite(p) && std::abs(p.x) <= kDxfMaxCoordinate &&
            std::abs(p.y) <= kDxfMaxCoordinate) {
            return true;
        }
        Fail(std::string(type) + " の座標 (" + FormatNumber(p.x) + ", " + FormatNumber(p.y) +
             ") が扱える範囲を超えています");
        return false;
    }

    bool CheckRadius(double radius, const char* type) {
        if (radius > 0.0 && radius <= kDxfMaxCoordinate) return true;
        Fail(std::string(type) + " の半径 " + FormatNumber(radius) + " が正しくありません");
        return false;
    }

    std::size_t LayerIndex(const std::string& raw) {
        if (const auto known = m_layerByRaw.find(raw); known != m_layerByRaw.end()) {
            return known->second;
        }
        std::string name = DecodeDxfString(raw, m_acadVersion, m_codePage);
        const std::string key = LayerKey(name);
        auto found = m_layerByKey.find(key);
        if (found == m_layerByKey.end()) {
            found = m_layerByKey.emplace(key, m_layers.size()).first;
            m_layers.push_back({raw, std::move(name), {}, true, false});
        }
        m_layerByRaw.emplace(raw, found->second);
        return found->second;
    }

    std::int32_t CurrentLayer() {
        std::string raw(TrimDxf(getAttributes().getLayer()));
        if (raw.empty()) raw = "0";
        return static_cast<std::int32_t>(LayerIndex(raw));
    }

    void AddLine(Vec2 start, Vec2 end, std::int32_t layer) {
        m_entities.push_back(MakeLine(start, end, layer));
        ++m_lines;
    }

    // An arc about centre from angle1 to angle2 (degrees, counter-clockwise in its own plane).
    void AddArc(Vec2 centre, double radius, double angle1, double angle2, bool mirror,
                const char* type) {
        if (!CheckPoint(centre, type) || !CheckRadius(radius, type)) return;
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
        EntityData arc = MakeArc(centre, start, end, CurrentLayer());
        arc.radius = radius;
        m_entities.push_back(arc);
        ++m_arcs;
        ++m_taken[type];
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
        if (!CheckPoint(centre, m_polyType.c_str()) || !CheckRadius(radius, m_polyType.c_str())) {
            return;
        }
        EntityData arc = theta > 0.0 ? MakeArc(centre, a, b, layer) : MakeArc(centre, b, a, layer);
        arc.radius = radius;
        m_entities.push_back(arc);
        ++m_arcs;
    }

    void FlushPolyline() {
        if (!m_polyOpen) return;
        m_polyOpen = false;
        if (Failed()) return;
        const std::size_t n = m_polyVertices.size();
        for (std::size_t i = 0; i + 1 < n; ++i) {
            AddBulge(m_polyVertices[i].point, m_polyVertices[i + 1].point, m_polyVertices[i].bulge,
                     m_polyLayer);
        }
        if (m_polyClosed && n >= 2) {
            AddBulge(m_polyVertices[n - 1].point, m_polyVertices[0].point,
                     m_polyVertices[n - 1].bulge, m_polyLayer);
        }
        ++m_taken[m_polyType];
    }

    // Layer numbers: Pelimator's extended data first, then "0" and names that are plain
    // numbers, then the next free numbers in table order.
    std::vector<std::int32_t> NumberLayers() const {
        std::vector<std::optional<std::int32_t>> numbers(m_layers.size());
        std::set<std::int32_t> used;
        for (std::size_t i = 0; i < m_layers.size(); ++i) {
            const auto extra = m_scan.layerExtras.find(m_layers[i].rawName);
            if (m_layers[i].declared && extra != m_scan.layerExtras.end() && extra->second.number &&
                used.insert(*extra->second.number).second) {
                numbers[i] = extra->second.number;
            }
        }
        for (std::size_t i = 0; i < m_layers.size(); ++i) {
            if (numbers[i]) continue;
            const auto plain = PlainNumber(m_layers[i].name);
            if (plain && used.insert(*plain).second) numbers[i] = plain;
        }
        used.insert(0);  // "0" is always layer 0, even when the file has no such layer
        std::int32_t next = *used.rbegin();
        std::vector<std::int32_t> result(m_layers.size());
        for (std::size_t i = 0; i < m_layers.size(); ++i) {
            if (!numbers[i]) {
                do {
                    next = next == std::numeric_limits<std::int32_t>::max() ? 1 : next + 1;
                } while (used.contains(next));
                used.insert(next);
                numbers[i] = next;
            }
            result[i] = *numbers[i];
        }
        return result;
    }

    const DxfScan& m_scan;
    std::string m_problem;
    std::string m_acadVersion = "AC1009";
    std::string m_codePage;
    std::string m_propertyTag;
    std::optional<std::pair<std::int32_t, std::int32_t>> m_exactScale;
    double m_dimScale = 1.0;
    bool m_inBlock = false;

    std::vector<LayerRecord> m_layers;
    std::unordered_map<std::string, std::size_t> m_layerByKey;
    std::unordered_map<std::string, std::size_t> m_layerByRaw;  // names as written in the file

    std::vector<EntityData> m_entities;
    std::size_t m_lines = 0;
    std::size_t m_arcs = 0;
    std::map<std::string, std::size_t> m_taken;

    bool m_polyOpen = false;
    bool m_polyClosed = false;
    bool m_polyMirror = false;
    std::size_t m_polylineIndex = 0;
    std::string m_polyType;
    std::int32_t m_polyLayer = 0;
    std::vector<PolyVertex> m_polyVertices;
};

}  // namespace

std::string DxfOpenReport::Summary() const {
    std::string text =
        "線 " + std::to_string(lines) + " 本、円弧 " + std::to_string(arcs) + " 本を読み込みました";
    if (skipped > 0) {
        text += " (読み飛ばした図形 " + std::to_string(skipped) + " 個:";
        for (const auto& [kind, count] : skippedKinds) {
            text += " " + kind + " " + std::to_string(count);
        }
        text += ")";
    }
    return text;
}

DxfReadResult ReadDxfText(std::string_view text, const std::string& fileName) {
    const DxfScan scan = ScanDxf(text, fileName);
    const std::string prefix = "図面ファイル「" + fileName + "」を開けません: ";
    // dxflib reads a stream; this one reads the checked text in place instead of a copy of it.
    ViewBuffer buffer(text.substr(scan.begin, scan.end - scan.begin));
    std::istream stream(&buffer);
    Builder builder(scan);
    try {
        DL_Dxf dxf;
        if (!dxf.in(stream, &builder)) throw FileError(prefix + "DXF として読めません");
    } catch (const FileError&) {
        throw;
    } catch (const std::bad_alloc&) {
        throw FileError(prefix + "メモリが足りません");
    } catch (const std::exception& e) {
        throw FileError(prefix + "DXF として読めません (" + e.what() + ")");
    }
    builder.EndOfFile();
    if (!builder.Problem().empty()) throw FileError(prefix + builder.Problem());
    return builder.Finish();
}

DxfReadResult ReadDxfFile(const std::string& path) {
    const std::string text = ReadWholeFile(path, kMaxFileBytes);
    return ReadDxfText(text, FileNameOf(path));
}

}  // namespace pelimator::board
