// Edits of what is selected, each one undoable step: erase, move, copy, rotate, mirror, scale
// and change layer.
// A file's record is edited as a whole (the save writes it back changed); kinds whose geometry
// cannot be placed exactly are refused before anything changes.
#pragma once

#include <cstdint>
#include <string>

#include "board/model/document.h"
#include "board/model/edit_step.h"
#include "board/model/selection.h"

namespace pelimator::board {

// Step titles.
inline constexpr const char* kEraseTitle = "削除";
inline constexpr const char* kMoveTitle = "移動";
inline constexpr const char* kCopyTitle = "複写";
inline constexpr const char* kRotateTitle = "回転";
inline constexpr const char* kLayerTitle = "レイヤ変更";
inline constexpr const char* kMirrorTitle = "鏡像";
inline constexpr const char* kScaleTitle = "拡大縮小";

// Each applies one step to document's drawing and returns what is selected afterwards (for a
// copy: the copies; erased: nothing). An empty selection changes nothing. HostError, with
// nothing changed, when a selected record's kind cannot be placed exactly (move, copy, rotate),
// when the layer does not exist, or while an edit step is open.
Selection EraseSelection(BoardDocument& document, const Selection& selection);
Selection MoveSelection(BoardDocument& document, const Selection& selection, Vec2 delta);
Selection CopySelection(BoardDocument& document, const Selection& selection, Vec2 delta);
// Degrees, counter-clockwise, about pivot.
Selection RotateSelection(BoardDocument& document, const Selection& selection, Vec2 pivot,
                          double degrees);
Selection ChangeLayerOfSelection(BoardDocument& document, const Selection& selection,
                                 std::int32_t layer);
// Reflected in the line through first and second (which must differ); texts keep reading
// forwards.
Selection MirrorSelection(BoardDocument& document, const Selection& selection, Vec2 first,
                          Vec2 second);
// Scaled about base by factor (positive).
Selection ScaleSelection(BoardDocument& document, const Selection& selection, Vec2 base,
                         double factor);

}  // namespace pelimator::board
