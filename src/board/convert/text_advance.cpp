// Run lengths of DXF texts in the board's proportional face, and the fonts Jw_cad lays in cells.
#include "board/convert/text_advance.h"

#include <algorithm>
#include <array>
#include <cctype>
#include <cstdint>

namespace pelimator::board {

namespace {

// Noto Sans CJK JP's advances, thousandths of an em: U+0020-U+007E,
constexpr std::array<std::uint16_t, 95> kAscii{
    224, 323, 474, 555, 555, 921, 680, 278, 338, 338, 467, 555, 278, 347, 278, 392, 555, 555, 555,
    555, 555, 555, 555, 555, 555, 555, 278, 278, 555, 555, 555, 474, 946, 608, 657, 638, 688, 589,
    552, 689, 728, 293, 535, 646, 543, 812, 723, 742, 633, 742, 635, 596, 599, 721, 575, 878, 573,
    531, 603, 338, 392, 338, 555, 559, 606, 563, 618, 510, 620, 554, 325, 564, 607, 275, 275, 552,
    284, 926, 610, 606, 620, 620, 388, 468, 377, 607, 521, 802, 498, 521, 475, 338, 270, 338, 555,
};
// U+00A0-U+00FF (°, ±, ×, Ø: full width or not, as the face has them),
constexpr std::array<std::uint16_t, 96> kLatin1{
    224, 323,  555, 555, 555, 555, 270,  1000, 606, 832, 386, 479, 555, 347, 473, 606,
    370, 1000, 411, 411, 606, 628, 1000, 561,  606, 411, 407, 479, 873, 903, 889, 474,
    608, 608,  608, 608, 608, 608, 918,  638,  589, 589, 589, 589, 293, 293, 293, 293,
    712, 723,  742, 742, 742, 742, 742,  1000, 742, 721, 721, 721, 721, 531, 652, 643,
    563, 563,  563, 563, 563, 563, 877,  510,  554, 554, 554, 554, 275, 275, 275, 275,
    608, 610,  606, 606, 606, 606, 606,  1000, 606, 607, 607, 607, 607, 521, 620, 521,
};
// U+2010-U+2027 (dashes, quotes, ellipsis).
constexpr std::array<std::uint16_t, 24> kPunctuation{
    1000, 347, 536, 536,  894,  1000, 1000, 1000, 278,  278,  278,  1000,
    474,  474, 474, 1000, 1000, 1000, 340,  1000, 1000, 1000, 1000, 1000,
};

// The advance of code point c in thousandths of an em.
std::uint16_t Advance(char32_t c) {
    if (c >= 0x20 && c < 0x7F) return kAscii[c - 0x20];
    if (c >= 0xA0 && c < 0x100) return kLatin1[c - 0xA0];
    if (c >= 0x2010 && c < 0x2028) return kPunctuation[c - 0x2010];
    if (c >= 0xFF61 && c <= 0xFF9F) return 500;  // half-width katakana
    if (c < 0x800) return 620;                   // other Latin, Greek, Cyrillic: about so
    return 1000;
}

}  // namespace

double ProportionalAdvance(std::string_view utf8) noexcept {
    double ems = 0.0;
    for (std::size_t i = 0; i < utf8.size();) {
        const auto lead = static_cast<unsigned char>(utf8[i]);
        const std::size_t bytes = lead < 0x80 ? 1 : lead < 0xE0 ? 2 : lead < 0xF0 ? 3 : 4;
        char32_t c = bytes == 1 ? lead : lead & (0x7FU >> bytes);
        for (std::size_t k = 1; k < bytes && i + k < utf8.size(); ++k) {
            c = (c << 6U) | (static_cast<unsigned char>(utf8[i + k]) & 0x3FU);
        }
        if (c >= 0x20) ems += Advance(c) / 1000.0;
        i += bytes;
    }
    return ems;
}

bool CellFont(std::string_view font) noexcept {
    if (std::any_of(font.begin(), font.end(),
                    [](char c) { return static_cast<unsigned char>(c) >= 0x80; })) {
        return true;
    }
    // msgothic.ttc, MS Mincho, ms-gothic...: "ms", then gothic or mincho.
    std::array<char, 64> lower{};
    std::size_t n = 0;
    for (const char c : font) {
        if (n == lower.size()) break;
        if (std::isalpha(static_cast<unsigned char>(c)) != 0) {
            lower[n++] = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
        }
    }
    const std::string_view letters(lower.data(), n);
    return letters.starts_with("ms") && (letters.find("gothic") != std::string_view::npos ||
                                         letters.find("mincho") != std::string_view::npos);
}

}  // namespace pelimator::board
