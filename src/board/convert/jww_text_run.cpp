// DXF texts as Jw_cad runs. A DXF text's height is its cap height, Jw_cad's its cells' (the em's):
// the sizes go up by 1 / kCellCapHeight, as the DXF conversion takes them down. Jw_cad holds a
// run's start and end, not an alignment: the run starts where the DXF's writer put its start,
// where it said (a TEXT aligned otherwise than left on its baseline), and is as long as the writer
// measured it (centred or right-aligned); else from the alignment point by the run's cells. Cells
// that end before the run's end get the spacing that takes them there. Under-, overlines and
// strike-throughs lie along the cells of their characters, at the cells' bottom, top and middle.
#include "board/convert/jww_text_run.h"

#include <algorithm>
#include <cmath>
#include <numbers>
#include <string>

#include "board/convert/text_advance.h"
#include "board/jww/jww_underlay.h"

namespace pelimator::board {

namespace {

// The width of the cells of a DXF text that becomes a Jw_cad text (capWidth: its cap height
// times its width factor, paper mm). A text in a font Jw_cad lays out in cells keeps the cells
// of its width factor; any other spans, in cells of one width, the length the board draws it:
// its proportional face's advance, a fitted run its own length.
double CellWidth(const UnderlayText& t, double capWidth, bool cellFont) {
    const double cells = capWidth / kCellCapHeight;
    const double halves = jww::CellsWidth(t.utf8, 2.0, 0.0);
    if (cellFont || !(halves > 0.0)) return cells;
    const double length =
        t.fitWidth > 0.0 ? t.fitWidth * capWidth : ProportionalAdvance(t.utf8) * cells;
    return length > 0.0 ? 2.0 * length / halves : cells;
}

}  // namespace

std::optional<JwwTextRun> JwwRunOf(const UnderlayText& t, Vec2 origin, double factor,
                                   bool cellFont) {
    const Vec2 xAxis = factor * t.xAxis;
    const Vec2 yAxis = factor * t.yAxis;
    const double capWidth = std::hypot(xAxis.x, xAxis.y);
    if (!(capWidth > 0.0)) return {};
    const Vec2 along{xAxis.x / capWidth, xAxis.y / capWidth};
    // Up across the baseline; an oblique text's y axis leans along it by its slant.
    const double across = along.x * yAxis.y - along.y * yAxis.x;
    const double capHeight = std::abs(across);
    if (!(capHeight > 0.0)) return {};
    const Vec2 up = across > 0.0 ? Vec2{-along.y, along.x} : Vec2{along.y, -along.x};
    const double slant = (along.x * yAxis.x + along.y * yAxis.y) / capHeight;
    JwwTextRun run;
    run.height = capHeight / kCellCapHeight;
    run.width = CellWidth(t, capWidth, cellFont);
    const double cells = jww::CellsWidth(t.utf8, run.width, 0.0);
    Vec2 start{(t.origin.x - origin.x) * factor, (t.origin.y - origin.y) * factor};
    double length = cells;
    double drop = kCellEmDescent;
    if (t.writerStart) {
        start = start + t.startOffset.x * xAxis + t.startOffset.y * yAxis;
        if (t.writerLength > 0.0) length = t.writerLength * capWidth;
    } else {
        // A fitted run keeps its length, any other is as long as its cells.
        if (t.fitWidth > 0.0) length = t.fitWidth * capWidth;
        start = start - (0.5 * t.hAlign * length) * along;
        // To the bottom of the cells, in cell heights: from the baseline the em's part below it,
        // from the middle that and half a cap height, from the top that and a cap height.
        drop = t.vAlign == 0   ? kCellEmDescent
               : t.vAlign == 2 ? kCellEmDescent + 0.5 * kCellCapHeight
               : t.vAlign == 3 ? kCellEmDescent + kCellCapHeight
                               : 0.0;
    }
    run.aligned = t.fitWidth <= 0.0 && (t.hAlign != 0 || t.vAlign != 0);
    run.start = start - (drop * run.height) * up;
    run.end = run.start + length * along;
    // The run's length per unit of spacing, which is Jw_cad's only way to a farther end.
    const double perSpacing = jww::CellsWidth(t.utf8, run.width, 1.0) - cells;
    if (perSpacing > 0.0 && length - cells > 1e-9 * std::max(1.0, length)) {
        run.spacing = (length - cells) / perSpacing;
    }
    run.degrees = std::atan2(along.y, along.x) * 180.0 / std::numbers::pi;
    // A turned text's axes leave a slant of 1e-17 or so: upright.
    run.italic = slant > 1e-6;
    run.sheared = run.italic;
    run.slanted = std::abs(slant - (run.italic ? kItalicShear : 0.0)) > 1e-6;
    // An upright text in an italic face (an MTEXT's \f code) is Jw_cad's italic, which leans.
    const double lean = !run.italic && (t.face & kFaceItalic) != 0U ? kItalicShear : slant;
    run.italic = run.italic || (t.face & kFaceItalic) != 0U;
    run.fromBelow = across < 0.0;
    // Where a byte of the text begins and ends its cells along the run (fitted to its end), on
    // the side Jw_cad stands its cells.
    const Vec2 cellsUp{-along.y, along.x};
    const double total = jww::CellsWidth(t.utf8, run.width, run.spacing);
    const double stretch = total > 0.0 ? length / total : 1.0;
    // A rule rises this share of the cells' height, leaning with an italic run's glyphs.
    const auto add = [&](const TextRule& rule, double rise) {
        const std::size_t size = t.utf8.size();
        const std::size_t first = std::min<std::size_t>(rule.from, size);
        const std::size_t last = std::min<std::size_t>(rule.to, size);
        if (first >= last) return;
        const std::string before = t.utf8.substr(0, first);
        const double from = jww::CellsWidth(before, run.width + run.spacing, 0.0) * stretch;
        const double to = jww::CellsWidth(t.utf8.substr(0, last), run.width, run.spacing) * stretch;
        const Vec2 lift = (rise * run.height) * cellsUp + (lean * rise * run.height) * along;
        run.rules.push_back({run.start + from * along + lift, run.start + to * along + lift});
    };
    for (const TextRule& rule : t.rules) add(rule, rule.over ? 1.0 : 0.0);
    for (const TextRule& rule : t.strikes) add(rule, kCellStrikeAt);
    return run;
}

std::vector<JwwTextPiece> JwwRunPieces(const UnderlayText& t, const JwwTextRun& run) {
    const std::size_t size = t.utf8.size();
    if (t.faceRuns.empty()) {
        return {{0, size, run.start, run.end, t.font, t.face, run.italic}};
    }
    const double radians = run.degrees * std::numbers::pi / 180.0;
    const Vec2 along{std::cos(radians), std::sin(radians)};
    const double total = jww::CellsWidth(t.utf8, run.width, run.spacing);
    const double length = std::hypot(run.end.x - run.start.x, run.end.y - run.start.y);
    const double stretch = total > 0.0 ? length / total : 1.0;
    std::vector<JwwTextPiece> pieces;
    for (std::size_t k = 0; k < t.faceRuns.size(); ++k) {
        const TextFaceRun& face = t.faceRuns[k];
        const std::size_t from = k == 0 ? 0 : std::min<std::size_t>(face.from, size);
        const std::size_t to =
            k + 1 < t.faceRuns.size() ? std::min<std::size_t>(t.faceRuns[k + 1].from, size) : size;
        if (from >= to) continue;
        JwwTextPiece piece{from, to, run.start, run.end, face.font, face.face, false};
        // A piece starts where the cells before it and their spacing end, and ends where its
        // own last cell does.
        if (from > 0) {
            const double at = jww::CellsWidth(t.utf8.substr(0, from), run.width + run.spacing, 0.0);
            piece.start = run.start + (at * stretch) * along;
        }
        if (to < size) {
            const double at = jww::CellsWidth(t.utf8.substr(0, to), run.width, run.spacing);
            piece.end = run.start + (at * stretch) * along;
        }
        piece.italic = run.sheared || (face.face & kFaceItalic) != 0U;
        pieces.push_back(piece);
    }
    return pieces;
}

}  // namespace pelimator::board
