// The mirror and scale commands of the edit controller: the points they ask for, the typed
// factor, and where the band shows the selection going.
#include <QLineEdit>
#include <cmath>
#include <numbers>

#include "board/ui/edit_controller.h"
#include "geometry/typed_offset.h"

namespace pelimator::board {

void EditController::StartMirror() {
    if (m_selection.Empty() || ToolPicking()) return;
    Prompt(EditMode::MirrorFirst,
           QStringLiteral("鏡像: 対称軸の 1 点目をクリックして下さい (Esc で中止)"));
}

void EditController::StartScale() {
    if (m_selection.Empty() || ToolPicking()) return;
    Prompt(EditMode::ScaleBase, QStringLiteral("拡大縮小: 基点をクリックして下さい (Esc で中止)"));
}

void EditController::PickMirrorOrScale(Vec2 p) {
    switch (m_mode) {
        case EditMode::MirrorFirst:
            m_base = p;
            Prompt(EditMode::MirrorSecond,
                   QStringLiteral("鏡像: 対称軸の 2 点目をクリックして下さい (Esc で中止)"));
            break;
        case EditMode::MirrorSecond:
            if (p == *m_base) {
                emit message(QStringLiteral("鏡像: 1 点目と異なる点をクリックして下さい"));
                break;
            }
            MirrorBy(*m_base, p);
            break;
        case EditMode::ScaleBase:
            m_base = p;
            m_mode = EditMode::ScaleFactor;
            ShowInput(false);
            m_angleInput->setPlaceholderText(QStringLiteral("倍率 (2、0.5、1/2)"));
            emit message(QStringLiteral(
                "拡大縮小: 倍率を入力して Enter、または基準の長さの点と新しい長さの点をクリック"));
            break;
        case EditMode::ScaleFactor:
            if (!m_reference) {
                if (Distance(*m_base, p) == 0.0) {
                    emit message(QStringLiteral("拡大縮小: 基点と異なる点をクリックして下さい"));
                    break;
                }
                m_reference = p;
                emit message(QStringLiteral("拡大縮小: 新しい長さの点をクリックして下さい"));
                break;
            }
            if (const double length = Distance(*m_base, p); length > 0.0) {
                ScaleBy(length / Distance(*m_base, *m_reference));
            }
            break;
        case EditMode::Select:
        case EditMode::MoveBase:
        case EditMode::MoveTarget:
        case EditMode::CopyBase:
        case EditMode::CopyTarget:
        case EditMode::RotatePivot:
        case EditMode::RotateAngle:
        case EditMode::ClipBase:
        case EditMode::PasteTarget:
            break;
    }
}

void EditController::TypedFactor(const QString& text) {
    const auto typed = ParseTypedFactor(text.toStdString());
    if (!typed.ok) {
        emit failed(QString::fromStdString(typed.error));
        return;
    }
    ScaleBy(typed.value);
}

std::optional<RecordPlacement> EditController::MirrorOrScaleBand() const {
    if (!m_base || !m_cursor) return std::nullopt;
    if (m_mode == EditMode::MirrorSecond && !(*m_cursor == *m_base)) {
        const Vec2 along = *m_cursor - *m_base;
        RecordPlacement band{
            *m_base, 2.0 * std::atan2(along.y, along.x) * 180.0 / std::numbers::pi, {}};
        band.mirror = true;
        return band;
    }
    if (m_mode == EditMode::ScaleFactor && m_reference) {
        RecordPlacement band{*m_base, 0.0, {}};
        band.factor = Distance(*m_base, *m_cursor) / Distance(*m_base, *m_reference);
        return band;
    }
    return std::nullopt;
}

}  // namespace pelimator::board
