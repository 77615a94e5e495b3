// Selection and the edit commands on one canvas while no tool is picking: click, window and
// crossing window, Shift to add or take away, Esc, Ctrl+A, Delete, and move, copy and rotate by
// picked points with a band that shows the moved entities.
#pragma once

#include <QImage>
#include <QLineEdit>
#include <QObject>
#include <QPointF>
#include <QString>
#include <QWidget>
#include <functional>
#include <optional>

#include "board/model/application.h"
#include "board/model/edit_step.h"
#include "board/model/selection.h"

namespace pelimator::board {

class Canvas;

// What the next left click gives: a selection, or a point of a running command.
// ClipBase: the reference point of a copy to the board's clipboard; PasteTarget: where it goes.
enum class EditMode : std::uint8_t {
    Select,
    MoveBase,
    MoveTarget,
    CopyBase,
    CopyTarget,
    RotatePivot,
    RotateAngle,
    ClipBase,
    PasteTarget,
    MirrorFirst,   // the mirror line's first point
    MirrorSecond,  // its second
    ScaleBase,
    ScaleFactor  // a typed factor, or a reference length picked and then the new length
};

// Above this many selected things the band shows the selection's box, not its entities.
inline constexpr std::size_t kBandEntityLimit = 2000;
// Above this many the highlight is the selection's box too.
inline constexpr std::size_t kHighlightEntityLimit = 20000;

class EditController final : public QObject {
    Q_OBJECT

public:
    // Watches canvas (its events and painting); application gives the running tool.
    EditController(BoardApplicationPtr application, Canvas* canvas);

    [[nodiscard]] const Selection& Current() const noexcept { return m_selection; }
    void SetSelection(Selection selection);
    // Keeps only what is still shown and recomputes the box (after an undo or redo).
    void DrawingChanged();
    [[nodiscard]] EditMode Mode() const noexcept { return m_mode; }
    // The box the band and a large highlight draw (kept up to date with the drawing).
    [[nodiscard]] const std::optional<Box>& SelectionBox() const noexcept { return m_box; }
    // The field a rotation angle is typed into (shown while the angle is asked for).
    [[nodiscard]] QLineEdit* AngleInput() const noexcept { return m_angleInput; }

    // The commands (menus and keys call these).
    void SelectAll();
    void ClearSelection();
    void EraseSelected();
    void StartMove();
    void StartCopy();
    void StartRotate();
    void StartMirror();
    void StartScale();
    // Ctrl+C: the selection, with a reference point picked next, kept for Paste; Ctrl+V: a copy
    // of what was kept, its reference point put at the point picked next.
    void StartClip();
    void StartPaste();
    // Turns the selection by degrees about the picked centre (the typed angle; RotateAngle only).
    void RotateBy(double degrees);
    // Mirrors the selection in the line through first and second.
    void MirrorBy(Vec2 first, Vec2 second);
    // Scales the selection about the picked base point by factor (ScaleFactor only).
    void ScaleBy(double factor);
    // Ends a running command, keeping the selection.
    void CancelCommand();
    // Puts the selection on layer.
    void ChangeLayer(std::int32_t layer);
    // Paints the highlight, the window and the band (the overlay calls it).
    void Paint(QPainter& painter) const;

signals:
    // A sentence for the status bar (the selection, a prompt, or why an edit was refused).
    void message(const QString& text);
    void failed(const QString& text);
    // Before a paste of more than kBigPaste entities from another drawing (handled at once).
    void bigPasteComing();

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
    void Prompt(EditMode mode, const QString& text);
    void Finish();  // back to selecting, the angle field hidden
    // Shows the typed-input field, for an angle or for an offset from the base point.
    void ShowInput(bool angle);
    // A move's, copy's or paste's target: picked, or the base point plus a typed offset.
    void Target(Vec2 p);
    void TypedTarget(const QString& text);
    // Ctrl+V of what another tab kept: pasted with its reference point at `at`.
    void PasteFromOther(Vec2 at);
    // The points and the typed factor of a mirror or a scale.
    void PickMirrorOrScale(Vec2 p);
    void TypedFactor(const QString& text);
    [[nodiscard]] std::optional<RecordPlacement> MirrorOrScaleBand() const;
    // The selection the band draws: the kept one while pasting.
    [[nodiscard]] const Selection& Moving() const noexcept;
    // Where the band puts what moves: none unless a command waits for its target or angle.
    [[nodiscard]] std::optional<RecordPlacement> BandPlacement() const;
    // Outlines of the selection's entities and records, placed when placement is given.
    void DrawOutlines(QPainter& painter, const Selection& selection,
                      const std::optional<RecordPlacement>& placement) const;
    // The parts of Paint: the selection highlighted, what moves, the window being dragged.
    void PaintHighlight(QPainter& painter) const;
    void PaintBand(QPainter& painter, const RecordPlacement& band) const;
    void PaintWindow(QPainter& painter) const;
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
    std::optional<Box> m_box;         // of m_selection
    std::optional<Vec2> m_reference;  // a scale's reference point (its length is 1)
    Selection m_clip;                 // kept by Ctrl+C, with its reference point and box
    Vec2 m_clipBase;
    std::optional<Box> m_clipBox;
    bool m_pasteFromOther = false;  // this paste brings what another drawing kept
    QLineEdit* m_angleInput;
    // The highlight as last drawn, and what it was drawn for.
    struct HighlightKey {
        std::uint64_t selection = 0;
        std::uint64_t drawing = 0;
        double pixelsPerUnit = 0.0;
        Vec2 origin;
        QSize size;
        friend bool operator==(const HighlightKey&, const HighlightKey&) = default;
    };
    std::uint64_t m_selectionSerial = 0;
    mutable QImage m_highlight;
    mutable HighlightKey m_highlightKey;
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
// M move, C copy, R rotate, I mirror, S scale; Ctrl+C copies with a reference point, Ctrl+V
// pastes by it.
void AddEditCommands(QMenu* menu, QWidget* window, const std::function<Canvas*()>& current);

}  // namespace pelimator::board
