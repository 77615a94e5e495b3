// A DXF file's linetypes: the dashed patterns of its LTYPE table, the layers' linetypes and
// $LTSCALE, and the one rule that gives an entity its pattern. The shapes drawn beneath and the
// board's own entities both take their dashes from here.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <tuple>
#include <unordered_map>
#include <vector>

namespace pelimator::board {

// A linetype's name (group 2) and description (group 3) as its file gives them (decoded).
struct DxfLinetypeLabel {
    std::string name;
    std::string description;
    bool operator==(const DxfLinetypeLabel&) const = default;
    bool operator<(const DxfLinetypeLabel& other) const {
        return std::tie(name, description) < std::tie(other.name, other.description);
    }
};

class DxfLinetypes {
public:
    // An LTYPE record: name (group 2), its elements (group 49: + dash, - gap, 0 dot) and
    // description (group 3). Only patterns with a gap are kept; the others draw solid.
    void AddLinetype(std::string_view name, std::vector<double> pattern,
                     std::string_view description = {});
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

    // The name and description of the dashed linetype PatternOf draws the same entity in; none
    // where it draws solid.
    [[nodiscard]] const DxfLinetypeLabel* LabelOf(std::string_view linetype, std::string_view layer,
                                                  std::string_view blockLinetype = "CONTINUOUS",
                                                  std::string_view blockLayer = "0") const;

    [[nodiscard]] bool Empty() const noexcept { return m_dashed.empty(); }

private:
    [[nodiscard]] std::string LayerLinetype(std::string_view layer) const;
    // The key (LayerKey of its name) of the linetype an entity names, through its layer and
    // insert.
    [[nodiscard]] std::string Resolved(std::string_view linetype, std::string_view layer,
                                       std::string_view blockLinetype,
                                       std::string_view blockLayer) const;

    std::unordered_map<std::string, std::vector<double>> m_dashed;  // by LayerKey of the name
    std::unordered_map<std::string, DxfLinetypeLabel> m_labels;     // the dashed ones' labels
    std::unordered_map<std::string, std::string> m_layers;          // layer key -> linetype key
    double m_scale = 1.0;
};

}  // namespace pelimator::board
