// Documents: scale, the view and the document that holds them.
#include "board/model/document.h"

#include <array>
#include <charconv>
#include <cmath>
#include <string>
#include <unordered_map>

#include "board/model/application.h"
#include "board/model/chains.h"
#include "board/model/curve.h"
#include "board/model/underlay_edits.h"
#include "host/errors.h"
#include "host/point_list.h"

namespace pelimator::board {

namespace {
void CheckScalePart(std::int32_t value, const char* part) {
    if (value <= 0) {
        throw HostError(std::string("縮尺の") + part +
                        "は正の整数にして下さい: " + std::to_string(value));
    }
}
}  // namespace

void BoardScale::SetNumerator(std::int32_t value) {
    CheckScalePart(value, "分子");
    if (value == m_numerator) return;
    m_numerator = value;
    m_drawing->NoteChange(DrawingChange::Scale);
}

void BoardScale::SetDenominator(std::int32_t value) {
    CheckScalePart(value, "分母");
    if (value == m_denominator) return;
    m_denominator = value;
    m_drawing->NoteChange(DrawingChange::Scale);
}

host::HostDocumentPtr BoardView::Document() const {
    auto document = m_document.lock();
    if (!document) throw HostError("この画面の図面は閉じられています");
    return document;
}

void BoardView::SetTransform(const ViewTransform& transform) {
    if (!(transform.pixelsPerUnit > 0.0) || !std::isfinite(transform.pixelsPerUnit) ||
        !IsFinite(transform.origin)) {
        throw HostError("表示の倍率または位置が正しくありません");
    }
    m_transform = transform;
}

host::HostPointListPtr BoardDocument::PathAlong(const host::HostPoint& point,
                                                const host::HostView& view) {
    const Vec2 p{point.X(), point.Y()};
    if (!IsFinite(p)) return nullptr;
    const auto* boardView = dynamic_cast<const BoardView*>(&view);
    const ViewTransform transform = boardView != nullptr ? boardView->Transform() : ViewTransform{};
    const double radius = m_snap->Settings().captureRadiusPixels / transform.pixelsPerUnit;
    const BoardLayers& layers = *m_layers;
    const auto run = RunAlongEntity(
        *m_drawing, p, radius, kDefaultCurveTolerance * UnitsPerPaperMillimetre(),
        [&](const EntityData& e) { return e.visible && layers.IsShown(e.layer); },
        [this](std::size_t entity) -> std::optional<std::size_t> {
            return m_source ? m_source->RecordOf(entity) : std::nullopt;
        });
    std::vector<Vec2> points;
    if (run) {
        points = run->points;
    } else if (m_underlay) {
        // Nothing of the board's own there: a curve the file draws beneath (a spline, an
        // ellipse, a line inside a block), as shown.
        points = OutlineAlong(*m_underlay, p, radius,
                              [&](std::int32_t layer) { return layers.IsShown(layer); });
    }
    if (points.size() < 2) return nullptr;
    auto list = std::make_shared<host::PlainPointList>();
    list->Reserve(static_cast<std::int32_t>(points.size()));
    for (const Vec2 q : points) list->Add(q.x, q.y);
    return list;
}

std::shared_ptr<BoardDocument> BoardDocument::Create(std::string name,
                                                     std::weak_ptr<BoardApplication> application) {
    std::shared_ptr<BoardDocument> document(
        new BoardDocument(std::move(name), std::move(application)));
    document->m_view = std::make_shared<BoardView>(document);
    // Heard before any window's observer: an undo shows the file's records where they were.
    std::weak_ptr<BoardDocument> weak = document;
    document->m_drawingObserver = document->m_drawing->AddObserver([weak](DrawingChange change) {
        if (change != DrawingChange::Entities && change != DrawingChange::History) return;
        if (const auto self = weak.lock()) self->ShowEditedUnderlay();
    });
    return document;
}

namespace {

bool SameBox(const std::optional<Box>& a, const std::optional<Box>& b) noexcept {
    if (!a || !b) return !a && !b;
    return a->min == b->min && a->max == b->max;
}

}  // namespace

BoardDocument::~BoardDocument() { m_drawing->RemoveObserver(m_drawingObserver); }

void BoardDocument::SetUnderlay(UnderlayPtr underlay) {
    m_baseUnderlay = std::move(underlay);
    m_editedUnderlay.reset();
    m_readAround.reset();
    m_shownAround.reset();
    if (m_baseUnderlay && m_baseUnderlay->HasUnbounded()) {
        m_readAround = UnionOf(m_drawing->Bounds(), m_baseUnderlay->Extents());
    }
    m_underlaySerial = m_drawing->RecordSerial() + 1;  // not yet shown
    ShowEditedUnderlay();
}

void BoardDocument::ShowEditedUnderlay() {
    const bool recordsEdited = m_underlaySerial != m_drawing->RecordSerial();
    // Construction lines follow the drawing's extents, which any edit may change.
    if (!recordsEdited && !(m_editedUnderlay && m_editedUnderlay->HasUnbounded())) return;
    if (recordsEdited) {
        m_underlaySerial = m_drawing->RecordSerial();
        m_editedUnderlay = m_baseUnderlay;
        if (!m_drawing->RecordEdits().empty()) {
            std::unordered_map<std::int32_t, Rgb> layerColours;
            for (std::size_t i = 0; i < m_layers->Count(); ++i) {
                layerColours.emplace(m_layers->At(i).number, m_layers->At(i).colour);
            }
            m_editedUnderlay = std::make_shared<const Underlay>(
                EditedUnderlay(m_baseUnderlay ? *m_baseUnderlay : Underlay{},
                               m_drawing->RecordEdits(), layerColours));
        }
    }
    UnderlayPtr shown = m_editedUnderlay;
    if (shown && shown->HasUnbounded()) {
        // Cut again when what they are cut around is no longer what it was as read.
        const std::optional<Box> bounds = m_drawing->Bounds();
        const std::optional<Box> around = UnionOf(bounds, shown->Extents());
        if (!recordsEdited && SameBox(around, m_shownAround)) return;
        m_shownAround = around;
        if (!SameBox(around, m_readAround)) {
            shown = std::make_shared<const Underlay>(RecutUnbounded(*shown, bounds));
        }
    }
    m_snap->SetUnderlay(shown);
    m_underlay = std::move(shown);
}

BoardDocument::BoardDocument(std::string name, std::weak_ptr<BoardApplication> application)
    : m_name(std::move(name)),
      m_application(std::move(application)),
      m_drawing(BoardDrawing::Create()),
      m_layers(BoardLayers::Create(m_drawing)),
      m_attributes(std::make_shared<BoardCurrentAttributes>(m_drawing)),
      m_scale(std::make_shared<BoardScale>(m_drawing)),
      m_snap(std::make_shared<BoardSnap>(m_drawing, m_layers)) {}

void BoardDocument::Activate() {
    auto application = m_application.lock();
    if (!application) throw HostError("図面を開いているアプリケーションがありません");
    application->ActivateDocument(this);
}

void BoardDocument::SetName(std::string name) { m_name = std::move(name); }

void BoardDocument::SetUnitCode(std::int32_t code) {
    if (FindUnit(code) == nullptr) {
        throw HostError("図面の単位の番号 " + std::to_string(code) + " は使えません");
    }
    if (code == m_unitCode) return;
    m_unitCode = code;
    m_drawing->NoteChange(DrawingChange::Scale);
}

host::DrawingUnit BoardDocument::Unit() {
    const UnitDefinition* unit = FindUnit(m_unitCode);
    return {unit->millimetres, unit->symbol};
}

double BoardDocument::UnitsPerPaperMillimetre() const noexcept {
    return m_scale->Factor() / FindUnit(m_unitCode)->millimetres;
}

namespace {

// A length for the status bar: up to three decimals, without trailing zeros.
std::string Decimal(double value) {
    std::array<char, 64> text{};
    const auto written =
        std::to_chars(text.data(), text.data() + text.size(), value, std::chars_format::fixed, 3);
    std::string out(text.data(), written.ptr);
    if (out.find('.') != std::string::npos) {
        out.erase(out.find_last_not_of('0') + 1);
        if (out.back() == '.') out.pop_back();
    }
    return out == "-0" ? "0" : out;
}

// N of 1:N as a whole number where it is one.
std::string ScaleNumber(double n) {
    return std::abs(n - std::round(n)) < 1e-9 * n ? Decimal(std::round(n)) : Decimal(n);
}

std::optional<double> RealPerPaperOf(const BoardDocument& document, std::int32_t layer) {
    return document.Source() ? document.Source()->RealPerPaper(layer) : std::nullopt;
}

}  // namespace

std::string ScaleText(const BoardDocument& document, std::int32_t layer) {
    if (const auto real = RealPerPaperOf(document, layer)) {
        std::string text = "図寸 mm  縮尺 1:" + ScaleNumber(*real);
        if (layer >= 0 && layer < 256) {
            text += " (レイヤグループ " + std::string(1, "0123456789ABCDEF"[layer / 16]) + ")";
        }
        return text;
    }
    const BoardScale& scale = *document.ScaleModel();
    std::string text =
        "縮尺 " + std::to_string(scale.Numerator()) + ":" + std::to_string(scale.Denominator());
    // The unit the drawing's lengths are in, when it names one.
    const UnitDefinition* unit = FindUnit(document.UnitCode());
    if (unit != nullptr && *unit->symbol != '\0') text += "  単位 " + std::string(unit->symbol);
    return text;
}

std::string LengthOnLayerText(const BoardDocument& document, std::int32_t layer, double length) {
    const auto real = RealPerPaperOf(document, layer);
    if (!real) return {};
    const double millimetres = length * *real;
    const std::string realText = std::abs(millimetres) >= 1000.0
                                     ? Decimal(millimetres / 1000.0) + " m"
                                     : Decimal(millimetres) + " mm";
    return Decimal(length) + " mm (実寸 " + realText + ")";
}

}  // namespace pelimator::board
