// The DXF symbol tables of a converted Jw_cad drawing: its layers as the board names them, its
// dashed line types with Jw_cad's patterns under names every reader draws dashed, and one text
// style per font.
#include <algorithm>
#include <array>
#include <cmath>
#include <limits>
#include <numeric>
#include <string>
#include <utility>
#include <vector>

#include "board/convert/jww_to_dxf_parts.h"
#include "board/jww/jww_underlay.h"

namespace pelimator::board::convert {

namespace {

// Jw_cad's layer states: 0 hidden, 1 shown only (not to be edited), 2 editable, 3 the write
// layer; the same for groups.
constexpr std::uint32_t kHiddenState = 0;
constexpr std::uint32_t kShownOnlyState = 1;

// A TrueType style's flags (ACAD's 1071): Shift-JIS (128) as its charset, and bold.
constexpr long long kShiftJisCharset = 128LL << 8U;
constexpr long long kTrueTypeBold = 0x2000000;

std::int32_t BoardLayerNumber(const jww::Common& common) {
    return static_cast<std::int32_t>((common.groupLayer & 0xFU) * 16U + (common.layer & 0xFU));
}

void SymbolHead(DxfOut& out, const char* type, const std::string& handle, const std::string& owner,
                const char* subclass) {
    out.Put(0, type);
    out.Put(5, handle);
    out.Put(330, owner);
    out.Put(100, "AcDbSymbolTableRecord");
    out.Put(100, subclass);
}

// Linetype names that DXF readers know by name, with their usual patterns (millimetres: the
// inch patterns times 25.4; "2" half as long, "X2" twice). Some readers (LibreCAD) draw their
// own pattern for a name they know and any other name solid, so a dashed Jw_cad type takes the
// nearest of these; the LTYPE record still holds Jw_cad's own pattern, which the others draw.
struct KnownLinetype {
    std::string name;
    jww::DashShape shape;
};

const std::vector<KnownLinetype>& KnownLinetypes() {
    static const std::vector<KnownLinetype> kKnown = [] {
        const std::array<std::pair<const char*, std::vector<double>>, 7> families{{
            {"DOT", {0.0, -6.35}},
            {"DASHED", {12.7, -6.35}},
            {"HIDDEN", {6.35, -3.175}},
            {"DASHDOT", {12.7, -6.35, 0.0, -6.35}},
            {"CENTER", {31.75, -6.35, 6.35, -6.35}},
            {"DIVIDE", {12.7, -6.35, 0.0, -6.35, 0.0, -6.35}},
            {"BORDER", {12.7, -6.35, 12.7, -6.35, 0.0, -6.35}},
        }};
        const std::array<std::pair<const char*, double>, 3> sizes{
            {{"", 1.0}, {"2", 0.5}, {"X2", 2.0}}};
        std::vector<KnownLinetype> known;
        for (const auto& [family, pattern] : families) {
            for (const auto& [suffix, factor] : sizes) {
                jww::DashShape shape = jww::ShapeOfDashes(pattern);
                shape.period *= factor;
                known.push_back({std::string(family) + suffix, shape});
            }
        }
        return known;
    }();
    return kKnown;
}

// A pattern as DXF readers take it: from a dash, dashes and gaps alternating. Jw_cad's bits
// split a dash at the pattern's ends and can put gaps together; ezdxf reads the elements in
// pairs, so [1, -2, 1] came out as 1 mm dashes 2 mm apart, not 2 mm ones. The split dash is
// made whole at the start (the line's first dash as long as the others).
std::vector<double> AlternatingDashes(const std::vector<double>& dashes) {
    std::vector<double> out;
    for (const double d : dashes) {
        if (!out.empty() && (out.back() < 0.0) == (d < 0.0)) {
            out.back() += d;
        } else {
            out.push_back(d);
        }
    }
    if (out.size() > 1 && (out.front() < 0.0) == (out.back() < 0.0)) {
        out.front() += out.back();
        out.pop_back();
    }
    if (!out.empty() && out.front() < 0.0) std::rotate(out.begin(), out.begin() + 1, out.end());
    return out;
}

}  // namespace

int LineweightOf(std::uint16_t penWidth) noexcept {
    static constexpr std::array<int, 24> kWeights = {0,  5,   9,   13,  15,  18,  20,  25,
                                                     30, 35,  40,  50,  53,  60,  70,  80,
                                                     90, 100, 106, 120, 140, 158, 200, 211};
    if (penWidth == 0) return -3;
    int best = kWeights.front();
    for (const int w : kWeights) {
        if (std::abs(w - penWidth) < std::abs(best - penWidth)) best = w;
    }
    return best;
}

DxfTables::DxfTables(const jww::Header& header, std::span<const LayerData> layers,
                     const TemplateHandles& owners, DxfHandles& handles)
    : m_header(header), m_owners(owners), m_handles(handles) {
    for (const LayerData& layer : layers) m_boardNames[layer.number] = layer.name;
}

std::string DxfTables::Layer(const jww::Common& common, bool temporary) {
    const std::int32_t number = BoardLayerNumber(common);
    LayerRecord& record = m_layers[{number, temporary}];
    if (record.name.empty()) {
        const auto found = m_boardNames.find(number);
        const std::string base = found != m_boardNames.end() ? found->second : "";
        record.name = DxfSymbolName(base, std::to_string(number));
        if (temporary) record.name += " 仮点";
        const std::size_t g = common.groupLayer & 0xFU;
        const std::size_t l = common.layer & 0xFU;
        const std::uint32_t groupState = m_header.groupState[g];
        const std::uint32_t state = m_header.layerState[g][l];
        record.shown = groupState != kHiddenState && state != kHiddenState;
        record.locked = groupState == kShownOnlyState || state == kShownOnlyState;
        record.plotted = !temporary;
    }
    return record.name;
}

std::string DxfTables::Linetype(std::uint8_t penStyle) {
    const auto found = m_linetypes.find(penStyle);
    if (found != m_linetypes.end()) return found->second;
    std::string name;
    const std::vector<double> dashes = jww::PenDashes(m_header, penStyle);
    if (!dashes.empty()) {
        // The nearest known name no other type of the file has taken; when all are taken, the
        // Jw_cad name.
        const jww::DashShape shape = jww::ShapeOfDashes(dashes);
        double cost = std::numeric_limits<double>::max();
        for (const KnownLinetype& known : KnownLinetypes()) {
            const double c = jww::DashDistance(known.shape, shape);
            if (c < cost && !m_linetypeNames.contains(known.name)) {
                cost = c;
                name = known.name;
            }
        }
        if (name.empty()) {
            name = DxfSymbolName(jww::LineTypeName(m_header, penStyle),
                                 "JW" + std::to_string(penStyle));
        }
        m_linetypeNames.insert(name);
    }
    m_linetypes.emplace(penStyle, name);
    return name;
}

std::string DxfTables::TextStyle(const std::string& font, bool bold) {
    if (font.empty() && !bold) return "Standard";
    auto [it, added] = m_styles.emplace(std::pair{font, bold}, std::string());
    if (added) {
        it->second = DxfSymbolName(font, "JW" + std::to_string(m_styles.size()));
        if (bold) it->second += " 太字";
    }
    return it->second;
}

void DxfTables::WriteLayers(DxfOut& out) const {
    for (const auto& [key, layer] : m_layers) {
        SymbolHead(out, "LAYER", m_handles.Next(), m_owners.layerTable, "AcDbLayerTableRecord");
        out.Put(2, layer.name);
        // A hidden layer is off (its colour negative) and frozen too: readers that print off
        // layers (LibreCAD) leave frozen ones out.
        out.PutInt(70, (layer.locked ? 4 : 0) | (layer.shown ? 0 : 1));
        out.PutInt(62, layer.shown ? layer.aci : -layer.aci);
        out.Put(6, "Continuous");
        out.PutInt(290, layer.plotted ? 1 : 0);
        out.PutInt(370, -3);
        if (!m_owners.plotStyle.empty()) out.Put(390, m_owners.plotStyle);
        if (!m_owners.material.empty()) out.Put(347, m_owners.material);
    }
}

void DxfTables::WriteLinetypes(DxfOut& out) const {
    for (const auto& [style, name] : m_linetypes) {
        if (name.empty()) continue;
        // Paper millimetres: each entity's linetype scale makes them real size.
        const std::vector<double> dashes = AlternatingDashes(jww::PenDashes(m_header, style));
        SymbolHead(out, "LTYPE", m_handles.Next(), m_owners.linetypeTable,
                   "AcDbLinetypeTableRecord");
        out.Put(2, name);
        out.PutInt(70, 0);
        out.Put(3, "Jw_cad " + jww::LineTypeName(m_header, style));
        out.PutInt(72, 65);
        out.PutInt(73, static_cast<long long>(dashes.size()));
        double total = 0.0;
        for (const double d : dashes) total += std::abs(d);
        out.Put(40, total);
        for (const double d : dashes) {
            out.Put(49, d);
            out.PutInt(74, 0);
        }
    }
}

void DxfTables::WriteStyles(DxfOut& out) const {
    for (const auto& [face, name] : m_styles) {
        const auto& [font, bold] = face;
        SymbolHead(out, "STYLE", m_handles.Next(), m_owners.styleTable, "AcDbTextStyleTableRecord");
        out.Put(2, name);
        out.PutInt(70, 0);
        out.Put(40, 0.0);
        out.Put(41, 1.0);
        out.Put(50, 0.0);
        out.PutInt(71, 0);
        out.Put(42, 2.5);
        out.Put(3, font);
        out.Put(4, "");
        // The family and weight as AutoCAD names a TrueType face: its family, then the charset
        // (Shift-JIS) in the second byte and bold as 0x2000000.
        out.Put(1001, "ACAD");
        out.Put(1000, font);
        out.PutInt(1071, kShiftJisCharset + (bold ? kTrueTypeBold : 0));
    }
}

}  // namespace pelimator::board::convert
