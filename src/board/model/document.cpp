// Documents: scale, the view and the document that holds them.
#include "board/model/document.h"

#include <cmath>
#include <string>

#include "board/model/application.h"
#include "host/errors.h"

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

std::shared_ptr<BoardDocument> BoardDocument::Create(std::string name,
                                                     std::weak_ptr<BoardApplication> application) {
    std::shared_ptr<BoardDocument> document(
        new BoardDocument(std::move(name), std::move(application)));
    document->m_view = std::make_shared<BoardView>(document);
    return document;
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

}  // namespace pelimator::board
