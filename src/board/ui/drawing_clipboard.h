// The board's clipboard shared by every open drawing: what Ctrl+C kept in one tab, for Ctrl+V in
// another (within one drawing the controller copies the records themselves).
#pragma once

#include <cstddef>
#include <optional>

#include "board/model/clip.h"

namespace pelimator::board {

// Keeps the selection of from, with its reference point base (from's units).
void KeepForOtherDrawings(const BoardDocumentPtr& from, const Selection& selection, Vec2 base);

// Whether something kept came from a drawing other than here (or one since closed).
[[nodiscard]] bool ClipFromOtherDrawing(const BoardDocument& here);

// The kept reference point in here's units, and the box of what was kept there (as if pasted
// at the same place); none when nothing is kept.
[[nodiscard]] Vec2 ClipBaseIn(const BoardDocument& here);
[[nodiscard]] std::optional<Box> ClipBoxIn(const BoardDocument& here);

// How many entities are kept; above kBigPaste a paste autosaves first.
[[nodiscard]] std::size_t KeptClipSize();
inline constexpr std::size_t kBigPaste = 10000;

// Pastes what was kept into here with its reference point at `at`, onto layers of the same names.
PasteResult PasteKeptClip(BoardDocument& here, Vec2 at);

}  // namespace pelimator::board
