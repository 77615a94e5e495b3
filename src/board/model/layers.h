// Layers of a drawing (number, name, colour, visibility) and the current layer.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "board/model/drawing.h"
#include "board/model/types.h"
#include "host/host.h"

namespace pelimator::board {

struct LayerData {
    std::int32_t number = 0;
    std::string name;
    Rgb colour;  // black unless set
    bool visible = true;
    friend bool operator==(const LayerData&, const LayerData&) = default;
};

// The layer table: numbers are unique, kept in the order added. A new drawing has layer 0 named
// "0". Entities may name a layer the table lacks; they are drawn as if it were visible, in the
// default colour. Layer edits are not undo steps; they mark the drawing modified. A layer added
// through the host (Add) goes with the next edit step that adds entities instead: undoing that
// step removes it again, unless something lies on it (BoardDrawing::AttachToNextStep).
class BoardLayers final : public host::HostLayers,
                          public std::enable_shared_from_this<BoardLayers> {
public:
    [[nodiscard]] static std::shared_ptr<BoardLayers> Create(BoardDrawingPtr drawing);

    [[nodiscard]] std::int32_t IndexOf(std::int32_t number) const override;
    // Adds a layer; flags are ignored. An empty name becomes the number's digits. HostError when
    // the number exists.
    host::HostLayerPtr Add(std::int32_t number, const std::string& name,
                           std::int32_t flags) override;
    // The same in a colour.
    host::HostLayerPtr Add(std::int32_t number, const std::string& name, Rgb colour);

    [[nodiscard]] std::size_t Count() const noexcept { return m_layers.size(); }
    // HostError for an index out of range.
    [[nodiscard]] const LayerData& At(std::size_t index) const;
    // The layer with this number, or nullptr.
    [[nodiscard]] const LayerData* Find(std::int32_t number) const noexcept;
    // Whether entities on this layer are shown (true for a number the table lacks).
    [[nodiscard]] bool IsShown(std::int32_t number) const noexcept;
    // A live handle onto the layer at index (HostError when out of range).
    [[nodiscard]] host::HostLayerPtr Item(std::size_t index);

    // Edits by number; HostError when no layer has it.
    void SetName(std::int32_t number, const std::string& name);
    void SetColour(std::int32_t number, Rgb colour);
    void SetVisible(std::int32_t number, bool visible);
    // Removes a layer; its entities stay. HostError for a missing number or for layer 0.
    void Remove(std::int32_t number);
    // Adds or replaces a whole layer (used when opening files).
    void Put(const LayerData& layer);
    // Back to the single layer 0 "0".
    void Reset();

private:
    explicit BoardLayers(BoardDrawingPtr drawing);
    [[nodiscard]] LayerData& Require(std::int32_t number);

    BoardDrawingPtr m_drawing;
    std::vector<LayerData> m_layers;
};
using BoardLayersPtr = std::shared_ptr<BoardLayers>;

// A handle onto one layer of a table, by number.
class BoardLayer final : public host::HostLayer {
public:
    BoardLayer(BoardLayersPtr layers, std::int32_t number)
        : m_layers(std::move(layers)), m_number(number) {}
    [[nodiscard]] std::int32_t Number() const override { return m_number; }
    // HostError when the layer was removed.
    [[nodiscard]] std::string Name() const override;

private:
    BoardLayersPtr m_layers;
    std::int32_t m_number;
};

// The current layer of a document: new entities drawn in the board go there. Any number is
// accepted (a missing layer is not created).
class BoardCurrentAttributes final : public host::HostCurrentAttributes {
public:
    explicit BoardCurrentAttributes(BoardDrawingPtr drawing) : m_drawing(std::move(drawing)) {}
    [[nodiscard]] std::int32_t Layer() const override { return m_layer; }
    void SetLayer(std::int32_t layer) override;

private:
    BoardDrawingPtr m_drawing;
    std::int32_t m_layer = 0;
};

}  // namespace pelimator::board
