// The layer table and the current layer.
#include "board/model/layers.h"

#include <algorithm>
#include <string>

#include "host/errors.h"

namespace pelimator::board {

namespace {
std::string MissingLayer(std::int32_t number) {
    return "レイヤ " + std::to_string(number) + " がありません";
}
}  // namespace

std::shared_ptr<BoardLayers> BoardLayers::Create(BoardDrawingPtr drawing) {
    return std::shared_ptr<BoardLayers>(new BoardLayers(std::move(drawing)));
}

BoardLayers::BoardLayers(BoardDrawingPtr drawing) : m_drawing(std::move(drawing)) {
    m_layers.push_back({0, "0", {}, true});
}

std::int32_t BoardLayers::IndexOf(std::int32_t number) const {
    for (std::size_t i = 0; i < m_layers.size(); ++i) {
        if (m_layers[i].number == number) return static_cast<std::int32_t>(i);
    }
    return -1;
}

host::HostLayerPtr BoardLayers::Add(std::int32_t number, const std::string& name,
                                    std::int32_t /*flags*/) {
    return Add(number, name, Rgb{});
}

host::HostLayerPtr BoardLayers::Add(std::int32_t number, const std::string& name, Rgb colour) {
    if (Find(number) != nullptr) {
        throw HostError("レイヤ " + std::to_string(number) + " はすでにあります");
    }
    m_layers.push_back({number, name.empty() ? std::to_string(number) : name, colour, true});
    // A layer made for what is drawn next goes and comes back with that step: undoing a line
    // that needed a new layer leaves the drawing as it was. It stays while anything lies on it.
    const std::weak_ptr<BoardLayers> self = weak_from_this();
    const LayerData added = m_layers.back();
    m_drawing->AttachToNextStep(
        {[self, number] {
             const auto layers = self.lock();
             if (!layers) return;
             const auto entities = layers->m_drawing->Entities();
             const bool used =
                 std::any_of(entities.begin(), entities.end(),
                             [number](const EntityData& e) { return e.layer == number; });
             if (!used) {
                 std::erase_if(layers->m_layers,
                               [number](const LayerData& layer) { return layer.number == number; });
             }
         },
         [self, added] {
             const auto layers = self.lock();
             if (layers && layers->Find(added.number) == nullptr) layers->m_layers.push_back(added);
         }},
        DrawingChange::Layers);
    return std::make_shared<BoardLayer>(shared_from_this(), number);
}

const LayerData& BoardLayers::At(std::size_t index) const {
    if (index >= m_layers.size()) {
        throw HostError("レイヤの番号が範囲外です: " + std::to_string(index));
    }
    return m_layers[index];
}

const LayerData* BoardLayers::Find(std::int32_t number) const noexcept {
    for (const auto& layer : m_layers) {
        if (layer.number == number) return &layer;
    }
    return nullptr;
}

bool BoardLayers::IsShown(std::int32_t number) const noexcept {
    const LayerData* layer = Find(number);
    return layer == nullptr || layer->visible;
}

host::HostLayerPtr BoardLayers::Item(std::size_t index) {
    return std::make_shared<BoardLayer>(shared_from_this(), At(index).number);
}

LayerData& BoardLayers::Require(std::int32_t number) {
    for (auto& layer : m_layers) {
        if (layer.number == number) return layer;
    }
    throw HostError(MissingLayer(number));
}

void BoardLayers::SetName(std::int32_t number, const std::string& name) {
    Require(number).name = name.empty() ? std::to_string(number) : name;
    m_drawing->NoteChange(DrawingChange::Layers);
}

void BoardLayers::SetColour(std::int32_t number, Rgb colour) {
    Require(number).colour = colour;
    m_drawing->NoteChange(DrawingChange::Layers);
}

void BoardLayers::SetVisible(std::int32_t number, bool visible) {
    Require(number).visible = visible;
    m_drawing->NoteChange(DrawingChange::Layers);
}

void BoardLayers::Remove(std::int32_t number) {
    if (number == 0) throw HostError("レイヤ 0 は削除できません");
    (void)Require(number);
    std::erase_if(m_layers, [number](const LayerData& layer) { return layer.number == number; });
    m_drawing->NoteChange(DrawingChange::Layers);
}

void BoardLayers::Put(const LayerData& layer) {
    LayerData stored = layer;
    if (stored.name.empty()) stored.name = std::to_string(stored.number);
    const std::int32_t index = IndexOf(layer.number);
    if (index >= 0) {
        m_layers[static_cast<std::size_t>(index)] = stored;
    } else {
        m_layers.push_back(stored);
    }
    m_drawing->NoteChange(DrawingChange::Layers);
}

void BoardLayers::Reset() {
    m_layers.assign(1, LayerData{0, "0", {}, true});
    m_drawing->NoteChange(DrawingChange::Layers);
}

std::string BoardLayer::Name() const {
    const LayerData* layer = m_layers->Find(m_number);
    if (layer == nullptr) throw HostError(MissingLayer(m_number));
    return layer->name;
}

void BoardCurrentAttributes::SetLayer(std::int32_t layer) {
    if (layer == m_layer) return;
    m_layer = layer;
    m_drawing->NoteChange(DrawingChange::Layers);
}

}  // namespace pelimator::board
