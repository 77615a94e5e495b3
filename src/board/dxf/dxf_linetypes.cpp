// A DXF file's linetypes and the rule that gives an entity its dash pattern.
#include "board/dxf/dxf_linetypes.h"

#include <algorithm>

#include "board/dxf/dxf_names.h"

namespace pelimator::board {

void DxfLinetypes::AddLinetype(std::string_view name, std::vector<double> pattern,
                               std::string_view description) {
    const bool dashed =
        std::any_of(pattern.begin(), pattern.end(), [](double v) { return v < 0.0; });
    if (!dashed) return;
    // The first of a name counts.
    if (m_dashed.emplace(LayerKey(name), std::move(pattern)).second) {
        m_labels.emplace(LayerKey(name),
                         DxfLinetypeLabel{std::string(name), std::string(description)});
    }
}

void DxfLinetypes::SetLayerLinetype(std::string_view layer, std::string_view linetype) {
    m_layers.emplace(LayerKey(layer), LayerKey(linetype));
}

void DxfLinetypes::SetDrawingScale(double scale) {
    if (scale > 0.0) m_scale = scale;
}

std::string DxfLinetypes::LayerLinetype(std::string_view layer) const {
    const auto found = m_layers.find(LayerKey(layer.empty() ? "0" : layer));
    return found == m_layers.end() ? std::string() : found->second;
}

std::optional<std::vector<double>> DxfLinetypes::PatternOf(
    std::string_view linetype, std::string_view layer, double entityScale,
    std::string_view blockLinetype, std::string_view blockLayer, double insertScale) const {
    if (m_dashed.empty()) return std::nullopt;
    const auto type = m_dashed.find(Resolved(linetype, layer, blockLinetype, blockLayer));
    if (type == m_dashed.end()) return std::nullopt;
    const double scale = m_scale * (entityScale > 0.0 ? entityScale : 1.0) * insertScale;
    std::vector<double> scaled = type->second;
    for (double& v : scaled) v *= scale;
    return scaled;
}

const DxfLinetypeLabel* DxfLinetypes::LabelOf(std::string_view linetype, std::string_view layer,
                                              std::string_view blockLinetype,
                                              std::string_view blockLayer) const {
    if (m_labels.empty()) return nullptr;
    const auto found = m_labels.find(Resolved(linetype, layer, blockLinetype, blockLayer));
    return found != m_labels.end() ? &found->second : nullptr;
}

std::string DxfLinetypes::Resolved(std::string_view linetype, std::string_view layer,
                                   std::string_view blockLinetype,
                                   std::string_view blockLayer) const {
    std::string key = LayerKey(linetype.empty() ? "BYLAYER" : linetype);
    if (key == "BYLAYER") key = LayerLinetype(layer);
    if (key == "BYBLOCK") {
        key = LayerKey(blockLinetype.empty() ? "BYLAYER" : blockLinetype);
        if (key == "BYLAYER") key = LayerLinetype(blockLayer);
    }
    return key;
}

}  // namespace pelimator::board
