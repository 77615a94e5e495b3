// Documents: scale, snapping, the view and the document that holds them.
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
                        "は正の整数にしてください: " + std::to_string(value));
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

bool BoardSnap::SnapPoint(host::HostPoint& point, const host::HostView& view) {
    const Vec2 p{point.X(), point.Y()};
    if (!IsFinite(p)) return false;
    const auto* boardView = dynamic_cast<const BoardView*>(&view);
    const ViewTransform transform = boardView != nullptr ? boardView->Transform() : ViewTransform{};
    if (const auto target = FindTarget(p, transform)) {
        point.SetX(target->point.x);
        point.SetY(target->point.y);
    }
    return true;
}

std::optional<SnapTarget> BoardSnap::FindTarget(Vec2 p, const ViewTransform& transform) const {
    if (!IsFinite(p)) return std::nullopt;
    if (m_settings.endPointSnap) {
        const double radius = m_settings.captureRadiusPixels / transform.pixelsPerUnit;
        const BoardLayers& layers = *m_layers;
        const auto hit = m_drawing->FindNearestSnap(
            p, radius, [&](const EntityData& e) { return e.visible && layers.IsShown(e.layer); });
        if (hit) {
            return SnapTarget{hit->point,
                              hit->kind == SnapPointKind::Center ? SnapTargetKind::Center
                                                                 : SnapTargetKind::EndPoint,
                              hit->entity};
        }
    }
    if (m_settings.gridSnap) {
        const double s = m_settings.gridSpacing;
        const Vec2 node{std::round(p.x / s) * s, std::round(p.y / s) * s};
        if (IsFinite(node)) return SnapTarget{node, SnapTargetKind::Grid, 0};
    }
    return std::nullopt;
}

void BoardSnap::SetSettings(const SnapSettings& settings) {
    if (!(settings.gridSpacing > 0.0) || !std::isfinite(settings.gridSpacing)) {
        throw HostError("グリッドの間隔は正の数にしてください");
    }
    if (!(settings.captureRadiusPixels >= 0.0) || !std::isfinite(settings.captureRadiusPixels)) {
        throw HostError("スナップの範囲は 0 以上の数にしてください");
    }
    m_settings = settings;
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
