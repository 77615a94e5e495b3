// A document of the board: a named drawing with its layers, current layer, scale, snapping,
// grid and its view.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "board/model/drawing.h"
#include "board/model/layers.h"
#include "board/model/snap.h"
#include "board/model/types.h"
#include "board/model/underlay.h"
#include "board/model/units.h"
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
    // The linetypes of the file's entities by entity index, resolved as the file gives them (the
    // entity's own, by layer; scaled by the drawing's and the entity's linetype scales):
    // kSolidLine, or an index into DashPatterns(). Entities past the end (those the board added)
    // take LayerDash of their layer.
    [[nodiscard]] virtual std::span<const std::uint32_t> EntityDashes() const { return {}; }
    // The linetype of a board layer at the drawing's linetype scale: kSolidLine or an index into
    // DashPatterns().
    [[nodiscard]] virtual std::uint32_t LayerDash(std::int32_t /*layer*/) const {
        return kSolidLine;
    }
    // Dash patterns in drawing units: + dash, - gap, 0 dot.
    [[nodiscard]] virtual std::span<const std::vector<double>> DashPatterns() const { return {}; }

    static constexpr std::uint32_t kSolidLine = 0xFFFFFFFFU;

    // The record of every entity the file gave the board, by entity index (as RecordOf).
    [[nodiscard]] virtual std::span<const std::uint32_t> EntityRecords() const { return {}; }
    // The record's kind as the file names it ("LINE", "TEXT"), "" when unknown.
    [[nodiscard]] virtual std::string RecordKind(std::uint32_t /*record*/) const { return {}; }
    // The linetype the record names, "" when it follows its layer.
    [[nodiscard]] virtual std::string RecordLinetype(std::uint32_t /*record*/) const { return {}; }
    // The record's colour as the file names it: "BYLAYER" (also when it names none), "BYBLOCK",
    // its colour number ("1") or "トゥルーカラー"; "" when unknown.
    [[nodiscard]] virtual std::string RecordColourName(std::uint32_t /*record*/) const {
        return {};
    }
    // Why the record cannot be moved, turned or copied exactly (a Japanese sentence naming its
    // kind), or "" when it can.
    [[nodiscard]] virtual std::string PlacementRefusal(std::uint32_t /*record*/) const {
        return {};
    }
    // Why the record cannot take this placement exactly (a kind that moves but does not turn),
    // a Japanese sentence naming its kind; "" when it can. What PlacementRefusal says first.
    [[nodiscard]] virtual std::string PlacementRefusalFor(
        std::uint32_t record, const RecordPlacement& /*placement*/) const {
        return PlacementRefusal(record);
    }
    // Why this file cannot take the record of file pasted into it (what the record needs that
    // this file lacks and the paste cannot make: a table's style), a Japanese sentence naming its
    // kind; "" when it can.
    [[nodiscard]] virtual std::string PasteRefusalFrom(const DocumentSource& /*file*/,
                                                       std::uint32_t /*record*/) const {
        return {};
    }
    // The placement the record takes for placement after the earlier ones: the same, but for a
    // kind that takes a mirror otherwise (a table stays reading forwards: a turn and a move).
    [[nodiscard]] virtual RecordPlacement PlacementOf(
        std::uint32_t /*record*/, const std::vector<RecordPlacement>& /*earlier*/,
        const RecordPlacement& placement) const {
        return placement;
    }
    // Why a copy of the record cannot be made whole (it owns an object of the file a copy would
    // share), a Japanese sentence naming its kind; "" when it can.
    [[nodiscard]] virtual std::string CopyRefusal(std::uint32_t /*record*/) const { return {}; }
    // The form records of this file take when copied whole into another file ("" when they
    // cannot be): a paste carries records only between files of the same form.
    [[nodiscard]] virtual std::string RecordForm() const { return {}; }
    // Why each record cannot be pasted whole into another file of its form (a Japanese
    // sentence naming its kind, "" when it can): it cannot be placed or copied, or a block it
    // needs cannot be.
    [[nodiscard]] virtual std::vector<std::string> PasteRefusals(
        std::span<const std::uint32_t> records) const {
        std::vector<std::string> refusals;
        for (const std::uint32_t record : records) {
            std::string refusal = PlacementRefusal(record);
            refusals.push_back(refusal.empty() ? CopyRefusal(record) : refusal);
        }
        return refusals;
    }
    // Why the file read can no longer back a save or an edit of its records (another program
    // rewrote it in place), a Japanese sentence naming it; "" when it still can.
    [[nodiscard]] virtual std::string Damage() const { return {}; }
    // The path of the file read ("" for a drawing not read from a file).
    [[nodiscard]] virtual std::string FilePath() const { return {}; }
    // For a drawing whose units are paper millimetres (a Jw_cad drawing): how many real
    // millimetres one unit of board layer `layer` stands for, its layer group's N of 1:N. None
    // when the drawing's units are real lengths at the document's one scale (DXF, a new drawing).
    [[nodiscard]] virtual std::optional<double> RealPerPaper(std::int32_t /*layer*/) const {
        return std::nullopt;
    }
    // Jw_cad's names of the pen colour and line type of entity (「線色2」, 「点線1」), each ""
    // when the file does not give the entity one of its own (and for entities the board added).
    struct PenNames {
        std::string colour;
        std::string lineType;
    };
    [[nodiscard]] virtual PenNames EntityPenNames(std::size_t /*entity*/) const { return {}; }
    // The sheet the file's own program lays the drawing on, in drawing units (a Jw_cad
    // drawing's paper, centred on the origin); none when the file names none.
    [[nodiscard]] virtual std::optional<Box> Paper() const { return std::nullopt; }
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
    // The unit UnitCode names; no unit counts as millimetres.
    [[nodiscard]] host::DrawingUnit Unit() override;
    [[nodiscard]] host::HostSnapPtr Snap() override { return m_snap; }
    // Makes this the application's active document (HostError once it was closed).
    void Activate() override;
    // RunAlongEntity among the shown entities of shown layers, within the snap's capture radius
    // in view's pixels, flattened to 0.01 paper-mm.
    [[nodiscard]] host::HostPointListPtr PathAlong(const host::HostPoint& point,
                                                   const host::HostView& view) override;

    [[nodiscard]] const std::string& Name() const noexcept { return m_name; }
    void SetName(std::string name);
    // The drawing's unit of length by its number (board/model/units.h); millimetres for a new
    // drawing. HostError for a number no unit has.
    [[nodiscard]] std::int32_t UnitCode() const noexcept { return m_unitCode; }
    void SetUnitCode(std::int32_t code);
    // Drawing units per paper millimetre: the scale's Denominator ÷ Numerator, divided by the
    // unit's millimetres. What 0.01 paper-mm of curve tolerance or a sheet at scale works in.
    [[nodiscard]] double UnitsPerPaperMillimetre() const noexcept;
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
    // Sets what the file draws as read; what is shown follows the drawing's record edits.
    void SetUnderlay(UnderlayPtr underlay);
    // The underlay as read, before any edit.
    [[nodiscard]] const UnderlayPtr& BaseUnderlay() const noexcept { return m_baseUnderlay; }

    ~BoardDocument() override;
    BoardDocument(const BoardDocument&) = delete;
    BoardDocument& operator=(const BoardDocument&) = delete;
    BoardDocument(BoardDocument&&) = delete;
    BoardDocument& operator=(BoardDocument&&) = delete;

private:
    BoardDocument(std::string name, std::weak_ptr<BoardApplication> application);

    std::string m_name;
    std::string m_path;
    std::int32_t m_unitCode = kMillimetres;
    std::weak_ptr<BoardApplication> m_application;
    BoardDrawingPtr m_drawing;
    BoardLayersPtr m_layers;
    std::shared_ptr<BoardCurrentAttributes> m_attributes;
    BoardScalePtr m_scale;
    BoardSnapPtr m_snap;
    BoardViewPtr m_view;
    // Shows the base underlay with the drawing's record edits applied.
    void ShowEditedUnderlay();

    std::shared_ptr<const DocumentSource> m_source;
    UnderlayPtr m_baseUnderlay;
    UnderlayPtr m_underlay;
    std::uint64_t m_underlaySerial = 0;  // the drawing's RecordSerial the shown underlay has
    UnderlayPtr m_editedUnderlay;        // the base with the record edits, lines cut as read
    // What the construction lines are cut around (the board's entities and the rest of the
    // underlay): as read, and as shown.
    std::optional<Box> m_readAround;
    std::optional<Box> m_shownAround;
    ObserverId m_drawingObserver = 0;
};
using BoardDocumentPtr = std::shared_ptr<BoardDocument>;

// The status bar's words for the scale that lengths on board layer `layer` are at: 「縮尺 1:100」
// and 「  単位 m」 when the unit names one; for a drawing in paper millimetres (a Jw_cad drawing)
// 「図寸 mm  縮尺 1:100 (レイヤグループ 1)」, the layer's group's scale.
[[nodiscard]] std::string ScaleText(const BoardDocument& document, std::int32_t layer);
// A length on board layer `layer` in words: for a drawing in paper millimetres the paper's and
// the real size, 「17 mm (実寸 1.7 m)」; "" for a drawing whose units are real lengths.
[[nodiscard]] std::string LengthOnLayerText(const BoardDocument& document, std::int32_t layer,
                                            double length);

}  // namespace pelimator::board
