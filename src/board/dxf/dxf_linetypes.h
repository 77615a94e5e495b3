// A DXF file's linetypes: the dashed patterns of its LTYPE table, the layers' linetypes and
// $LTSCALE, and the one rule that gives an entity its pattern. The shapes drawn beneath and the
// board's own entities both take their dashes from here.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

namespace pelimator::board {

class DxfLinetypes {
public:
    // An LTYPE record: name (group 2) and its elements (group 49: + dash, - gap, 0 dot). Only
    // patterns with a gap are kept; the others draw solid.
    void AddLinetype(std::string_view name, std::vector<double> pattern);
    // A LAYER record's linetype (group 6).
    void SetLayerLinetype(std::string_view layer, std::string_view linetype);
    // $LTSCALE; values not above 0 are ignored.
    void SetDrawingScale(double scale);

    // The pattern an entity is drawn in, in drawing units, or none for a solid line: linetype
    // as the entity gives it (group 6; empty or BYLAYER: its layer's; BYBLOCK: the insert's,
    // blockLinetype, itself resolved against the insert's layer when BYLAYER), scaled by
    // $LTSCALE, the entity's own scale (group 48; not above 0: 1) and insertScale (the scale of
    // the inserts it is drawn through). Outside inserts BYBLOCK draws solid.
    [[nodiscard]] std::optional<std::vector<double>> PatternOf(
        std::string_view linetype, std::string_view layer, double entityScale,
        std::string_view blockLinetype = "CONTINUOUS", std::string_view blockLayer = "0",
        double insertScale = 1.0) const;

    [[nodiscard]] bool Empty() const noexcept { return m_dashed.empty(); }

private:
    [[nodiscard]] std::string LayerLinetype(std::string_view layer) const;

    std::unordered_map<std::string, std::vector<double>> m_dashed;  // by LayerKey of the name
    std::unordered_map<std::string, std::string> m_layers;          // layer key -> linetype key
    double m_scale = 1.0;
};

}  // namespace pelimator::board
