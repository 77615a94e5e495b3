// A document of the board: a named drawing with its layers, current layer, scale, snapping,
// grid and its view.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <span>
#include <string>

#include "board/model/drawing.h"
#include "board/model/layers.h"
#include "board/model/snap.h"
#include "board/model/types.h"
#include "board/model/underlay.h"
#include "host/host.h"

namespace pelimator::board {

class BoardApplication;
class BoardDocument;

// Drawing scale Numerator:Denominator, both positive; 1:1 for a new drawing. Setting 0 or a
// negative number raises HostError and keeps the old value.
class BoardScale final : public host::HostScale {
public:
    explicit BoardScale(BoardDrawingPtr drawing) : m_drawing(std::move(drawing)) {}
    [[nodiscard]] std::int32_t Numerator() const override { return m_numerator; }
    void SetNumerator(std::int32_t value) override;
    [[nodiscard]] std::int32_t Denominator() const override { return m_denominator; }
    void SetDenominator(std::int32_t value) override;
    // Denominator / Numerator: drawing units per paper unit.
    [[nodiscard]] double Factor() const noexcept {
        return static_cast<double>(m_denominator) / m_numerator;
    }

private:
    BoardDrawingPtr m_drawing;
    std::int32_t m_numerator = 1;
    std::int32_t m_denominator = 1;
};
using BoardScalePtr = std::shared_ptr<BoardScale>;

class BoardView;

// The view showing one document, with its zoom / pan transform. The document owns its view.
class BoardView final : public host::HostView {
public:
    explicit BoardView(std::weak_ptr<BoardDocument> document) : m_document(std::move(document)) {}
    // HostError when the document was closed and is gone.
    [[nodiscard]] host::HostDocumentPtr Document() const override;
    [[nodiscard]] std::shared_ptr<BoardDocument> DocumentModel() const noexcept {
        return m_document.lock();
    }

    [[nodiscard]] const ViewTransform& Transform() const noexcept { return m_transform; }
    // HostError unless pixelsPerUnit is positive and finite and origin is finite.
    void SetTransform(const ViewTransform& transform);

private:
    std::weak_ptr<BoardDocument> m_document;
    ViewTransform m_transform;
};
using BoardViewPtr = std::shared_ptr<BoardView>;

// What a document opened from a file keeps of that file so that saving can write it back. The
// file layer defines its content; the model only holds it.
class DocumentSource {
public:
    virtual ~DocumentSource() = default;
    // The record of the file entity came from (the same for every segment of one polyline), or
    // none for an entity the board added.
    [[nodiscard]] virtual std::optional<std::size_t> RecordOf(std::size_t /*entity*/) const {
        return std::nullopt;
    }
    // The colours the file gave its entities themselves, by entity index: 0 for "by layer" (and
    // past the end), else kOwnColour | 0xRRGGBB.
    [[nodiscard]] virtual std::span<const std::uint32_t> OwnColours() const { return {}; }
};

// Marks a packed colour of DocumentSource::OwnColours as the entity's own.
inline constexpr std::uint32_t kOwnColour = 0x1000000U;

class BoardDocument final : public host::HostDocument,
                            public std::enable_shared_from_this<BoardDocument> {
public:
    // A new empty drawing: layer 0 "0" current, scale 1:1, not modified.
    [[nodiscard]] static std::shared_ptr<BoardDocument> Create(
        std::string name, std::weak_ptr<BoardApplication> application);

    [[nodiscard]] host::HostDrawingPtr Drawing() override { return m_drawing; }
    [[nodiscard]] host::HostLayersPtr Layers() override { return m_layers; }
    [[nodiscard]] host::HostCurrentAttributesPtr CurrentAttributes() override {
        return m_attributes;
    }
    [[nodiscard]] host::HostScalePtr Scale() override { return m_scale; }
    [[nodiscard]] host::HostSnapPtr Snap() override { return m_snap; }
    // Makes this the application's active document (HostError once it was closed).
    void Activate() override;
    // RunAlongEntity among the shown entities of shown layers, within the snap's capture radius
    // in view's pixels, flattened to 0.01 paper-mm.
    [[nodiscard]] host::HostPointListPtr PathAlong(const host::HostPoint& point,
                                                   const host::HostView& view) override;

    [[nodiscard]] const std::string& Name() const noexcept { return m_name; }
    void SetName(std::string name);
    // The file it was opened from or saved to; empty for a new drawing.
    [[nodiscard]] const std::string& Path() const noexcept { return m_path; }
    void SetPath(std::string path) { m_path = std::move(path); }

    // The board's own types behind the host accessors above.
    [[nodiscard]] const BoardDrawingPtr& DrawingModel() const noexcept { return m_drawing; }
    [[nodiscard]] const BoardLayersPtr& LayerTable() const noexcept { return m_layers; }
    [[nodiscard]] const std::shared_ptr<BoardCurrentAttributes>& CurrentAttributesModel()
        const noexcept {
        return m_attributes;
    }
    [[nodiscard]] const BoardScalePtr& ScaleModel() const noexcept { return m_scale; }
    [[nodiscard]] const BoardSnapPtr& SnapModel() const noexcept { return m_snap; }
    // The view showing this document (one per document).
    [[nodiscard]] const BoardViewPtr& View() const noexcept { return m_view; }
    // What was kept of the file the drawing was opened from (null for a new drawing).
    [[nodiscard]] const std::shared_ptr<const DocumentSource>& Source() const noexcept {
        return m_source;
    }
    void SetSource(std::shared_ptr<const DocumentSource> source) { m_source = std::move(source); }
    // What the file draws besides the board's lines and arcs, shown beneath them (null: nothing).
    [[nodiscard]] const UnderlayPtr& UnderlayModel() const noexcept { return m_underlay; }
    void SetUnderlay(UnderlayPtr underlay) {
        m_snap->SetUnderlay(underlay);
        m_underlay = std::move(underlay);
    }

private:
    BoardDocument(std::string name, std::weak_ptr<BoardApplication> application);

    std::string m_name;
    std::string m_path;
    std::weak_ptr<BoardApplication> m_application;
    BoardDrawingPtr m_drawing;
    BoardLayersPtr m_layers;
    std::shared_ptr<BoardCurrentAttributes> m_attributes;
    BoardScalePtr m_scale;
    BoardSnapPtr m_snap;
    BoardViewPtr m_view;
    std::shared_ptr<const DocumentSource> m_source;
    UnderlayPtr m_underlay;
};
using BoardDocumentPtr = std::shared_ptr<BoardDocument>;

}  // namespace pelimator::board
