// A new, empty JWW drawing (version 700) for drawings saved as JWW that were not read from one.
#include <algorithm>
#include <array>
#include <cstddef>
#include <iterator>

#include "board/jww/jww_archive.h"
#include "board/jww/jww_file.h"
#include "board/jww/jww_text.h"

namespace pelimator::board {

namespace {

using jww::PutDouble;
using jww::PutDword;

// Strings as Jw_cad 8 writes them in a version 700 file: UTF-16.
void PutString(std::string& out, std::string_view utf8) {
    jww::PutWideString(out, jww::ToUtf16(utf8));
}

void Dwords(std::string& out, int count, std::uint32_t value = 0) {
    for (int i = 0; i < count; ++i) PutDword(out, value);
}

void Doubles(std::string& out, int count, double value = 0.0) {
    for (int i = 0; i < count; ++i) PutDouble(out, value);
}

constexpr std::uint32_t ColorRef(std::uint8_t r, std::uint8_t g, std::uint8_t b) {
    return jww::PackColorRef({r, g, b});
}

// Screen colours of pens 0-9 on a white background: background, cyan, black, green, yellow,
// magenta, blue, teal, pink, grey.
constexpr std::array<std::uint32_t, 10> kPens = {
    ColorRef(255, 255, 255), ColorRef(0, 160, 160),  ColorRef(0, 0, 0),   ColorRef(0, 150, 0),
    ColorRef(190, 170, 0),   ColorRef(200, 0, 200),  ColorRef(0, 0, 220), ColorRef(0, 120, 120),
    ColorRef(255, 100, 160), ColorRef(128, 128, 128)};

// Line types 2-9 (dotted 1-3, chain 1-2, double chain 1-2, auxiliary) and 16-19 (double
// length) as Jw_cad's own drawings hold them: pattern, bits used, print pitch (0.1 mm a bit).
struct LineType {
    std::uint32_t pattern;
    std::uint32_t bits;
    std::uint32_t printPitch;
};
constexpr std::array<LineType, 8> kLineTypes = {{{0x99999999U, 4, 10},
                                                 {0xC3C3C3C3U, 8, 10},
                                                 {0xE7E7E7E7U, 8, 10},
                                                 {0xF99FF99FU, 16, 10},
                                                 {0xFFF99FFFU, 32, 10},
                                                 {0xF24FF24FU, 16, 10},
                                                 {0xFFF24FFFU, 32, 10},
                                                 {0x22222222U, 4, 10}}};
constexpr std::array<LineType, 4> kDoubleLineTypes = {
    {{0xFFF99FFFU, 32, 20}, {0xFFF24FFFU, 32, 20}, {0xFFFE7FFFU, 32, 20}, {0xFFFE7FFFU, 32, 40}}};

// The name a board layer gives a JWW layer: without the "G-L " the reader puts in front.
std::string JwwLayerName(const std::string& name) {
    if (name.size() >= 3 && name[1] == '-') {
        return name.size() > 4 && name[3] == ' ' ? name.substr(4) : std::string();
    }
    return name;
}

// Group states, write layers, scales and layer states: a hidden board layer hidden (state 0),
// the write layer (state 3, in the write group) the first shown one, all else editable. When
// every layer is hidden, layer 0-0 is the write layer and so shown.
int WriteLayerOf(const std::array<bool, 256>& hidden) {
    const std::ptrdiff_t first = std::ranges::find(hidden, false) - hidden.begin();
    return first == std::ssize(hidden) ? 0 : static_cast<int>(first);
}

void PutGroups(std::string& out, double scale, const std::array<bool, 256>& hidden) {
    const int writing = WriteLayerOf(hidden);
    for (int g = 0; g < 16; ++g) {
        const bool writeGroup = g == writing / 16;
        PutDword(out, writeGroup ? 3 : 2);  // writing / editable
        PutDword(out, writeGroup ? writing % 16 : 0);
        PutDouble(out, scale);
        PutDword(out, 0);
        for (int l = 0; l < 16; ++l) {
            const int number = g * 16 + l;
            const bool hide = hidden[static_cast<std::size_t>(number)];
            PutDword(out, number == writing ? 3 : hide ? 0 : 2);
            PutDword(out, 0);
        }
    }
}

// Dimension and print settings, the grid, and the 256 layer and 16 group names.
void PutSettingsAndNames(std::string& out, const std::array<std::string, 256>& names) {
    Dwords(out, 14 + 5 + 1);
    PutDword(out, 1);  // max line width
    Doubles(out, 2);
    PutDouble(out, 1.0);  // print scale
    Dwords(out, 2);
    Doubles(out, 5);
    for (const std::string& name : names) PutString(out, name);
    for (int g = 0; g < 16; ++g) PutString(out, "");
}

// Shadows, the 2.5-D view and range, the mark jumps, the text background and the parallel line
// steps.
void PutViews(std::string& out) {
    Doubles(out, 2);
    Dwords(out, 1);
    Doubles(out, 1);
    Doubles(out, 2);  // sky chart
    Dwords(out, 1);
    PutDouble(out, 1.0);
    Doubles(out, 2);
    PutDouble(out, 1.0);
    Doubles(out, 2);
    for (int n = 0; n < 8; ++n) {
        PutDouble(out, 1.0);
        Doubles(out, 2);
        Dwords(out, 1);
    }
    Doubles(out, 3);
    Dwords(out, 1);
    Doubles(out, 3);
    Dwords(out, 1);
    Doubles(out, 11);
}

void PutLineType(std::string& out, const LineType& type) {
    PutDword(out, type.pattern);
    PutDword(out, type.bits);
    PutDword(out, type.printPitch / 10);  // screen pitch
    PutDword(out, type.printPitch);
}

// Pens 0-9 on screen and in print, line types 2-9, random lines 11-15, double-length types
// 16-19.
void PutPensAndLineTypes(std::string& out) {
    for (std::size_t n = 0; n <= 9; ++n) {
        PutDword(out, kPens[n]);
        PutDword(out, 1);
    }
    for (std::size_t n = 0; n <= 9; ++n) {
        PutDword(out, kPens[n]);
        PutDword(out, 1);
        PutDouble(out, 0.3);
    }
    for (const LineType& type : kLineTypes) PutLineType(out, type);
    Dwords(out, 5 * 5);
    for (const LineType& type : kDoubleLineTypes) PutLineType(out, type);
}

// Drawing and printing switches, drawing time, the 2.5-D eye and solid colour, then the SXF
// colours, line types and their names.
void PutSwitchesAndSxf(std::string& out) {
    Dwords(out, 11);
    Dwords(out, 5);
    Doubles(out, 5);
    Doubles(out, 4);
    Dwords(out, 2);
    for (int n = 0; n <= 256; ++n) {
        PutDword(out, 0);
        PutDword(out, 1);
    }
    for (int n = 0; n <= 256; ++n) {
        PutString(out, "");
        PutDword(out, 0);
        PutDword(out, 1);
        PutDouble(out, 0.3);
    }
    Dwords(out, 33 * 4);
    for (int n = 0; n <= 32; ++n) {
        PutString(out, "");
        PutDword(out, 0);
        Doubles(out, 10);
    }
}

// Text kinds 1-10 and the free text settings.
void PutTextKinds(std::string& out) {
    for (int n = 1; n <= 10; ++n) {
        const double size = 1.0 + 0.5 * n;
        PutDouble(out, size);
        PutDouble(out, size);
        PutDouble(out, 0.0);
        PutDword(out, 2);
    }
    Doubles(out, 3, 3.0);
    PutDword(out, 2);
    PutDword(out, 1);
    Doubles(out, 2);
    Dwords(out, 1);
    Doubles(out, 6);
}

}  // namespace

std::string NewJwwBytes(std::span<const LayerData> layers, double scale) {
    std::array<std::string, 256> names;
    std::array<bool, 256> hidden{};
    for (const LayerData& layer : layers) {
        if (layer.number >= 0 && layer.number < 256) {
            names[static_cast<std::size_t>(layer.number)] = JwwLayerName(layer.name);
            hidden[static_cast<std::size_t>(layer.number)] = !layer.visible;
        }
    }
    std::string out(kJwwSignature);
    PutDword(out, 700);
    PutString(out, "");
    PutDword(out, 3);                                                      // A3
    PutDword(out, static_cast<std::uint32_t>(WriteLayerOf(hidden) / 16));  // write group
    PutGroups(out, scale, hidden);
    PutSettingsAndNames(out, names);
    PutViews(out);
    PutPensAndLineTypes(out);
    PutSwitchesAndSxf(out);
    PutTextKinds(out);
    jww::PutCount(out, 0);  // entities
    jww::PutCount(out, 0);  // block definitions
    PutDword(out, 0);       // embedded images
    return out;
}

}  // namespace pelimator::board
