// What a JWW file shows besides the board's lines and arcs: elliptic arcs, points, text, solids,
// dimensions and block inserts, with Jw_cad's pen colours and line types.
#pragma once

#include <array>
#include <cstddef>
#include <map>
#include <string>
#include <vector>

#include "board/jww/jww_shapes.h"
#include "board/model/underlay.h"

namespace pelimator::board::jww {

// The screen colour of pen number pen as the file's header sets it: pens 1-9, the SXF colours
// 100-356; 0 and anything else: pen 2's.
[[nodiscard]] Rgb PenRgb(const Header& header, std::uint16_t pen) noexcept;

// The dash pattern of a Jw_cad line type (pen style) in paper millimetres (+ dash, - gap), empty
// for solid lines: the header's bit pattern (most significant of its bits first) over a unit of
// 4 paper mm.
[[nodiscard]] std::vector<double> PenDashes(const Header& header, std::uint8_t penStyle);

// Builds the underlay of shapes (the entity list's) and of the blocks they insert, each group's
// coordinates times its factor (see JwwSource::GroupFactor); shownKinds, when given, counts what
// is drawn by Japanese name.
[[nodiscard]] Underlay BuildUnderlay(const Header& header, const std::array<double, 16>& factors,
                                     const std::vector<Shape>& shapes,
                                     const std::vector<Block>& blocks,
                                     std::map<std::string, std::size_t>* shownKinds);

}  // namespace pelimator::board::jww
