// Jw_cad's text layout in character cells.
#include "board/render/text_cells.h"

#include <QFontMetricsF>
#include <QTransform>
#include <array>

namespace pelimator::board {

bool IsHalfWidth(char32_t c) noexcept {
    return c < 0x80 || (c >= 0xFF61 && c <= 0xFF9F) || c == 0xA5 || c == 0x203E;
}

std::vector<TextCell> LayTextCells(const QString& text, double spacing, double fitWidth) {
    std::vector<TextCell> cells;
    double x = 0.0;
    double lastGap = 0.0;
    for (qsizetype i = 0; i < text.size();) {
        const char32_t c = text.at(i).isHighSurrogate() && i + 1 < text.size()
                               ? QChar::surrogateToUcs4(text.at(i), text.at(i + 1))
                               : text.at(i).unicode();
        const qsizetype length = c > 0xFFFF ? 2 : 1;
        const double width = IsHalfWidth(c) ? 0.5 : 1.0;
        cells.push_back({i, length, x, width});
        lastGap = width * spacing;
        x += width + lastGap;
        i += length;
    }
    const double run = x - lastGap;
    if (fitWidth > 0.0 && run > 0.0) {
        const double k = fitWidth / run;
        for (TextCell& cell : cells) {
            cell.x *= k;
            cell.width *= k;
        }
    }
    return cells;
}

const QFont& FaceFont(std::uint8_t face) {
    static const std::array<QFont, 4> fonts = [] {
        std::array<QFont, 4> f;
        for (std::size_t i = 0; i < f.size(); ++i) {
            const bool serif = (i & kFaceSerif) != 0U;
            f[i] = QFont(serif ? QStringLiteral("Noto Serif CJK JP")
                               : QStringLiteral("Noto Sans Mono CJK JP"));
            f[i].setStyleHint(serif ? QFont::Serif : QFont::SansSerif);
            f[i].setPixelSize(kTextFontPixels);
            f[i].setBold((i & kFaceBold) != 0U);
        }
        return f;
    }();
    return fonts[face & (kFaceSerif | kFaceBold)];
}

QPainterPath CellTextPath(const QString& text, const std::vector<TextCell>& cells,
                          std::uint8_t face) {
    const QFont& font = FaceFont(face);
    const QFontMetricsF metrics(font);
    const double shear = (face & kFaceItalic) != 0U ? kItalicShear : 0.0;
    QPainterPath path;
    for (const TextCell& cell : cells) {
        const QString glyph = text.mid(cell.begin, cell.length);
        QPainterPath one;
        one.addText(0.0, 0.0, font, glyph);
        if (one.isEmpty()) continue;
        const double advance = metrics.horizontalAdvance(glyph);
        const double sx = advance > 0.0 ? cell.width / advance : 1.0 / kTextFontPixels;
        const double sy = 1.0 / kTextFontPixels;
        // Font pixels to the cell: x scaled to the cell's width, y to the text height, leaning
        // right as y goes up for an italic face.
        const QTransform into(sx, 0.0, -shear * sy, sy, cell.x + shear * kCellEmDescent,
                              -kCellEmDescent);
        path.addPath(into.map(one));
    }
    return path;
}

}  // namespace pelimator::board
