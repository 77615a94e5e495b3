// Selection and the edit commands on one canvas while no tool is picking: click, window and
// crossing window, Shift to add or take away, Esc, Ctrl+A, Delete, and move, copy and rotate by
// picked points with a band that shows the moved entities.
#pragma once

#include <QObject>
#include <QPointF>
#include <QString>
#include <QWidget>
#include <functional>
#include <optional>

#include "board/model/application.h"
#include "board/model/selection.h"

namespace pelimator::board {

class Canvas;

// What the next left click gives: a selection, or a point of a running command.
enum class EditMode : std::uint8_t { Select, MoveBase, MoveTarget, CopyBase, CopyTarget,
                                     RotatePivot, RotateAngle };

// Above this many selected entities the band shows the selection's box, not its entities.
inline constexpr std::size_t kBandEntityLimit = 2000;

class EditController final : public QObject {
    Q_OBJECT

public:
    // Watches canvas (its events and painting); application gives the running tool.
    EditController(BoardApplicationPtr application, Canvas* canvas);

    [[nodiscard]] const Selection& Current() const noexcept { return m_selection; }
    void SetSelection(Selection selection);
    [[nodiscard]] EditMode Mode() const noexcept { return m_mode; }

    // The commands (menus and keys call these).
    void SelectAll();
    void ClearSelection();
    void EraseSelected();
    void StartMove();
    void StartCopy();
    void StartRotate();
    // Puts the selection on layer.
    void ChangeLayer(std::int32_t layer);
    // Paints the highlight, the window and the band (the overlay calls it).
    void Paint(QPainter& painter) const;

signals:
    // A sentence for the status bar (the selection, a prompt, or why an edit was refused).
    void message(const QString& text);
    void failed(const QString& text);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    [[nodiscard]] bool ToolPicking() const;
    void Press(QPointF screen, bool shift);
    void Release(QPointF screen, bool shift);
    void DoubleClick(QPointF screen);
    void Pick(QPointF screen);  // a command's point
    [[nodiscard]] Vec2 Snapped(QPointF screen) const;
    void Announce();
    template <typename Edit>
    void Run(Edit&& edit);

    BoardApplicationPtr m_application;
    Canvas* m_canvas;
    QWidget* m_overlay;
    Selection m_selection;
    EditMode m_mode = EditMode::Select;
    std::optional<QPointF> m_pressAt;
    std::optional<QPointF> m_dragTo;
    std::optional<Vec2> m_base;
    std::optional<Vec2> m_cursor;
};

}  // namespace pelimator::board

class QMenu;
class QStatusBar;

namespace pelimator::board {

// The controller watching canvas, or null.
[[nodiscard]] EditController* EditControllerOf(const Canvas* canvas);

// Gives canvas its controller: messages to statusBar, refusals and failures to fail.
void AttachEditController(const BoardApplicationPtr& application, Canvas* canvas,
                          QStatusBar* statusBar, const std::function<void(const QString&)>& fail);

// Adds the selection and edit commands to menu, acting on the canvas current() gives. Keys as in
// QCAD: Delete, Ctrl+A, Esc (on the canvas), and its two-letter commands shortened to one key:
// M move, C copy, R rotate; Ctrl+C / Ctrl+V copy with a base point.
void AddEditCommands(QMenu* menu, QWidget* window, const std::function<Canvas*()>& current);

}  // namespace pelimator::board
