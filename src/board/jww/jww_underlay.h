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

// Jw_cad's name of pen colour pen (「線色2」, 「補助線色」, an SXF colour by the file's name for
// it) and of line type penStyle (「実線」, 「一点鎖1」, 「ランダム線2」); "" for 0.
[[nodiscard]] std::string PenColourName(const Header& header, std::uint16_t pen);
[[nodiscard]] std::string LineTypeName(const Header& header, std::uint8_t penStyle);

// The length of a text's run as Jw_cad lays it out: a character that takes two bytes in Shift-JIS
// is one cell, width wide, any other half a cell; spacing follows every character but the last,
// halved after a half cell.
[[nodiscard]] double CellsWidth(const std::string& utf8, double width, double spacing);

// The dash pattern of a Jw_cad line type (pen style) in paper millimetres (+ dash, - gap), empty
// for solid lines: the header's pattern of 1-32 bits, most significant first, each bit as long
// as the type's print pitch in tenths of a millimetre (Jw_cad's defaults: 10, 20 for the double
// length types 16-18, 40 for 19). The SXF types (30-62) by their own runs in paper mm where the
// header gives them (dash, gap, ...), else by their bit patterns. Random lines (11-15) show solid.
[[nodiscard]] std::vector<double> PenDashes(const Header& header, std::uint8_t penStyle);

// What a dash pattern (+ dash, - gap, 0 dot) looks like, for finding the nearest of others:
// dashes and dots a period (the pattern taken round, a dash split at its ends one), the period's
// length and the share of it inked (a dot as a tenth of the period, at least 1e-3).
struct DashShape {
    int marks = 0;
    double period = 0.0;
    double share = 1.0;
};
[[nodiscard]] DashShape ShapeOfDashes(const std::vector<double>& dashes);
// How unlike two shapes are: ten for each mark more or fewer, then the ratios of the periods
// and of the shares (as logarithms).
[[nodiscard]] double DashDistance(const DashShape& a, const DashShape& b);

// The work the underlay may cost, counted by what it generates rather than what it reads, in
// units of about one point kept or one shape visited: a shape visited 1 (inside blocks too, at
// every insert), a point 1, a snap point 4, a drawn item 8, a text 6 plus its bytes. Blocks that
// insert blocks multiply a small file into millions of shapes; past the limit the rest is not
// shown. The limit grows with the file (what a file holds itself is not cut) up to a cap.
inline constexpr std::size_t kJwwUnderlayBaseWork = 8'000'000;
inline constexpr std::size_t kJwwUnderlayBytesPerWork = 8;
inline constexpr std::size_t kJwwUnderlayMaxWork = 40'000'000;
// The limit for a file of fileBytes bytes.
[[nodiscard]] std::size_t JwwUnderlayWorkLimit(std::size_t fileBytes) noexcept;

// The budget of one build: its limit, what was spent, and how many of the entity list's shapes
// were not shown whole because the limit was reached.
struct UnderlayBudget {
    std::size_t limit = kJwwUnderlayBaseWork;
    std::size_t used = 0;
    std::size_t leftOut = 0;
};

// Builds the underlay of shapes (the entity list's) and of the blocks they insert, in the file's
// paper millimetres; shownKinds, when given, counts what is drawn by Japanese name. budget, when
// given, bounds the work (else kJwwUnderlayBaseWork) and reports what it left out.
[[nodiscard]] Underlay BuildUnderlay(const Header& header, const std::vector<Shape>& shapes,
                                     const std::vector<Block>& blocks,
                                     std::map<std::string, std::size_t>* shownKinds,
                                     UnderlayBudget* budget = nullptr);

}  // namespace pelimator::board::jww
