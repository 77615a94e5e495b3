// Copy and paste between drawings through real millimetres.
#include "board/model/clip.h"

#include <algorithm>
#include <cmath>
#include <unordered_map>

#include "board/model/units.h"
#include "host/errors.h"

namespace pelimator::board {

namespace {

// The entity with every length multiplied by factor, about the origin.
EntityData Scaled(EntityData e, double factor) {
    e.start = factor * e.start;
    e.end = factor * e.end;
    e.center = factor * e.center;
    e.radius *= factor;
    return e;
}

std::string LayerName(const BoardDocument& document, std::int32_t layer) {
    const LayerData* data = document.LayerTable()->Find(layer);
    return data != nullptr ? data->name : std::to_string(layer);
}

// The target layer for a name: the first of that name, else a new one (its number one past the
// highest); a drawing on paper has a fixed set of layers, so there the current one.
std::int32_t LayerForName(BoardDocument& document, const std::string& name,
                          std::vector<std::string>& made) {
    BoardLayers& layers = *document.LayerTable();
    std::int32_t highest = 0;
    for (std::size_t i = 0; i < layers.Count(); ++i) {
        if (layers.At(i).name == name) return layers.At(i).number;
        highest = std::max(highest, layers.At(i).number);
    }
    const std::int32_t current = document.CurrentAttributesModel()->Layer();
    if (document.Source() && document.Source()->RealPerPaper(current)) return current;
    (void)layers.Add(highest + 1, name, 0);
    made.push_back(name);
    return highest + 1;
}

}  // namespace

double MillimetresPerUnit(const BoardDocument& document, std::int32_t layer) {
    if (document.Source()) {
        if (const auto real = document.Source()->RealPerPaper(layer)) return *real;
    }
    const UnitDefinition* unit = FindUnit(document.UnitCode());
    return unit != nullptr ? unit->millimetres : 1.0;
}

DrawingClip ClipSelection(const BoardDocument& document, const Selection& selection, Vec2 base) {
    DrawingClip clip;
    const BoardDrawing& drawing = *document.DrawingModel();
    clip.entities.reserve(selection.entities.size());
    for (const std::size_t i : selection.entities) {
        if (i >= drawing.Count() || drawing.IsErased(i)) continue;
        const EntityData& e = drawing.Entities()[i];
        clip.entities.push_back(Scaled(e, MillimetresPerUnit(document, e.layer)));
        clip.layerNames.push_back(LayerName(document, e.layer));
    }
    clip.base = MillimetresPerUnit(document, document.CurrentAttributesModel()->Layer()) * base;
    clip.leftBehind = selection.records.size();
    return clip;
}

PasteResult PasteClip(BoardDocument& document, const DrawingClip& clip, Vec2 at,
                      PasteLayer layers) {
    if (clip.Empty()) throw HostError("貼り付ける図形がありません");
    if (!IsFinite(at)) throw HostError("貼り付けの位置が正しくありません");
    BoardDrawing& drawing = *document.DrawingModel();
    PasteResult result;
    result.leftBehind = clip.leftBehind;
    EditStep step;
    step.added.reserve(clip.entities.size());
    std::unordered_map<std::string, std::int32_t> layerOf;
    const std::int32_t current = document.CurrentAttributesModel()->Layer();
    for (std::size_t k = 0; k < clip.entities.size(); ++k) {
        std::int32_t layer = current;
        if (layers == PasteLayer::SameName) {
            const std::string& name = clip.layerNames[k];
            const auto found = layerOf.find(name);
            layer = found != layerOf.end()
                        ? found->second
                        : layerOf.emplace(name, LayerForName(document, name, result.madeLayers))
                              .first->second;
        }
        // Relative to the reference point in millimetres, then into this layer's units.
        EntityData e = clip.entities[k];
        e.start = e.start - clip.base;
        e.end = e.end - clip.base;
        e.center = e.center - clip.base;
        e = Scaled(e, 1.0 / MillimetresPerUnit(document, layer));
        MoveEntity(e, at);
        e.layer = layer;
        step.added.push_back(e);
        step.addedRecords.push_back(kNoRecordKey);
    }
    const std::size_t first = drawing.Count();
    drawing.Apply(kPasteTitle, std::move(step));
    for (std::size_t i = 0; i < clip.entities.size(); ++i)
        result.pasted.entities.push_back(first + i);
    return result;
}

std::string PasteReport(const PasteResult& result) {
    std::string text = std::to_string(result.pasted.entities.size()) + " 個の図形を貼り付けました";
    if (!result.madeLayers.empty()) {
        text += " (レイヤ";
        for (const std::string& name : result.madeLayers) text += " 「" + name + "」";
        text += " を作りました)";
    }
    if (result.leftBehind > 0) {
        text += "、文字などの " + std::to_string(result.leftBehind) +
                " 個はほかの図面へは貼り付けられません";
    }
    return text;
}

}  // namespace pelimator::board
