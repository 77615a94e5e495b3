// How long a DXF text's run is, for the width of the Jw_cad cells it becomes: texts in a font
// Jw_cad lays out in cells keep their width factor's cells, others span the length the board
// draws them (its proportional CJK face).
#pragma once

#include <string_view>

namespace pelimator::board {

// The advance of a run in Noto Sans CJK JP, the face the board draws a DXF's texts in, in ems:
// ASCII, Latin-1 and the common punctuation by the face's own advances, half-width kana half
// an em, other characters below U+0800 (Latin, Greek, Cyrillic) 0.62, the rest (CJK, full-width
// forms) 1.
[[nodiscard]] double ProportionalAdvance(std::string_view utf8) noexcept;

// Whether a DXF text style's font is one whose runs are Jw_cad's cells: named in Japanese (as
// Jw_cad names its faces: ＭＳ ゴシック, ＭＳ 明朝, ...) or an MS Gothic / Mincho file.
[[nodiscard]] bool CellFont(std::string_view font) noexcept;

}  // namespace pelimator::board
