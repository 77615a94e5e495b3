// Jw_cad's text layout: every character in a cell of its own, full or half width, with the text's
// spacing between cells, each glyph scaled to fill its cell; and the faces texts are drawn in.
#pragma once

#include <QFont>
#include <QPainterPath>
#include <QString>
#include <cstdint>
#include <vector>

#include "board/model/underlay.h"

namespace pelimator::board {

// One character's cell: its UTF-16 span in the text and its place along the run, in x units
// (one full-width cell) from the text's start.
struct TextCell {
    qsizetype begin = 0;
    qsizetype length = 0;
    double x = 0.0;
    double width = 0.0;
};

// Whether a character takes a half cell: what Shift-JIS holds in one byte (ASCII, half-width kana).
[[nodiscard]] bool IsHalfWidth(char32_t c) noexcept;

// The cells of text with spacing (x units) after each full cell, half of it after a half cell;
// with fitWidth > 0 the run is rescaled to end at fitWidth.
[[nodiscard]] std::vector<TextCell> LayTextCells(const QString& text, double spacing,
                                                 double fitWidth);

// The font a face is drawn in, at kTextFontPixels: Noto Serif CJK JP or Noto Sans Mono CJK JP
// (whose half-width glyphs are drawn for half cells, as ＭＳ ゴシック's), bold as asked (italic is
// sheared by CellTextPath, the CJK fonts having no italic).
inline constexpr int kTextFontPixels = 100;
[[nodiscard]] const QFont& FaceFont(std::uint8_t face);

// The glyphs of text, each scaled to fill its cell, in text units: x along the run (x units),
// y down (text heights), the start point at the origin as the bottom of the cells; a full-width
// glyph's em box fills its cell's height.
[[nodiscard]] QPainterPath CellTextPath(const QString& text, const std::vector<TextCell>& cells,
                                        std::uint8_t face);

}  // namespace pelimator::board
