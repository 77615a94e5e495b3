// Copying what is selected in one drawing and pasting it into another: the lines and arcs carried
// in real millimetres with their layers' names, so that a drawing in other units (or a Jw_cad
// drawing on paper at a layer group's scale) gets them at their true size.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "board/model/document.h"
#include "board/model/selection.h"

namespace pelimator::board {

inline constexpr const char* kPasteTitle = "貼り付け";

struct DrawingClip {
    std::vector<EntityData> entities;     // in real millimetres
    std::vector<std::string> layerNames;  // the layer name of each entity in its drawing
    Vec2 base;                            // the reference point, in real millimetres
    std::size_t leftBehind = 0;           // records drawn beneath (texts, hatches...) not carried
    [[nodiscard]] bool Empty() const noexcept { return entities.empty(); }
};

// How many real millimetres one unit of board layer `layer` of the drawing stands for: the
// unit's ($INSUNITS; none counts as millimetres), or for a drawing on paper the layer group's
// scale.
[[nodiscard]] double MillimetresPerUnit(const BoardDocument& document, std::int32_t layer);

// The lines and arcs of selection (a file's polyline as its segments), with base given in the
// drawing's units.
[[nodiscard]] DrawingClip ClipSelection(const BoardDocument& document, const Selection& selection,
                                        Vec2 base);

enum class PasteLayer : std::uint8_t {
    Current,   // everything onto the current layer
    SameName,  // onto the layer of the same name, made when missing
};

struct PasteResult {
    Selection pasted;
    std::vector<std::string> madeLayers;  // layers made for the paste, by name
    std::size_t leftBehind = 0;           // as in the clip
};

// One undoable step adding clip with its reference point at `at` (the target's units). HostError,
// with nothing changed, while an edit step is open or when the clip holds nothing.
PasteResult PasteClip(BoardDocument& document, const DrawingClip& clip, Vec2 at, PasteLayer layers);

// The status bar's words for a paste: 「12 個の図形を貼り付けました」 and what was made or left.
[[nodiscard]] std::string PasteReport(const PasteResult& result);

}  // namespace pelimator::board
