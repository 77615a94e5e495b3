// TEXT, ATTRIB and MTEXT in the underlay, and the MTEXT inline codes and TEXT control codes.
#include <algorithm>
#include <array>
#include <optional>

#include "base/errors.h"
#include "board/dxf/dxf_colour.h"
#include "board/dxf/dxf_names.h"
#include "board/dxf/dxf_underlay_builder.h"
#include "board/model/entity.h"

namespace pelimator::board {

using underlay::kRuleMarkers;
using underlay::kStrikeMarkers;

namespace {

// Appends the UTF-8 of code point c.
void AppendUtf8(std::string& out, std::uint32_t c) {
    if (c < 0x80) {
        out += static_cast<char>(c);
    } else if (c < 0x800) {
        out += static_cast<char>(0xC0 | (c >> 6U));
        out += static_cast<char>(0x80 | (c & 0x3FU));
    } else if (c < 0x10000) {
        out += static_cast<char>(0xE0 | (c >> 12U));
        out += static_cast<char>(0x80 | ((c >> 6U) & 0x3FU));
        out += static_cast<char>(0x80 | (c & 0x3FU));
    } else {
        out += static_cast<char>(0xF0 | (c >> 18U));
        out += static_cast<char>(0x80 | ((c >> 12U) & 0x3FU));
        out += static_cast<char>(0x80 | ((c >> 6U) & 0x3FU));
        out += static_cast<char>(0x80 | (c & 0x3FU));
    }
}

}  // namespace

std::string TextSpecials(std::string_view text) { return TextSpecials(text, nullptr); }

std::string TextSpecials(std::string_view text, std::vector<TextRule>* rules,
                         std::vector<TextRule>* strikes) {
    std::string out;
    out.reserve(text.size());
    // Where the under-, overline and strike-through now drawn began (npos: none is).
    std::array<std::size_t, 3> open{std::string::npos, std::string::npos, std::string::npos};
    const auto toggle = [&](std::size_t which, std::optional<bool> on = {}) {
        std::size_t& from = open.at(which);
        const bool drawn = from != std::string::npos;
        if (on.value_or(!drawn) == drawn) return;
        std::vector<TextRule>* to = which == 2 ? strikes : rules;
        if (drawn && to != nullptr && out.size() > from) {
            to->push_back({static_cast<std::uint32_t>(from), static_cast<std::uint32_t>(out.size()),
                           which == 1});
        }
        from = drawn ? std::string::npos : out.size();
    };
    for (std::size_t i = 0; i < text.size();) {
        const char marker = text[i];
        if (marker >= kRuleMarkers[0] && marker <= kStrikeMarkers[1]) {
            // An MTEXT line's \L \l \O \o \K \k, marked by its reader.
            const auto k = static_cast<std::size_t>(marker - kRuleMarkers[0]);
            toggle(k / 2, k % 2 == 0);
            ++i;
            continue;
        }
        if (text.substr(i, 2) != "%%" || i + 2 >= text.size()) {
            out += text[i++];
            continue;
        }
        const char c = static_cast<char>(std::tolower(static_cast<unsigned char>(text[i + 2])));
        if (c == 'c') {
            AppendUtf8(out, 0x2300);
        } else if (c == 'd') {
            AppendUtf8(out, 0x00B0);
        } else if (c == 'p') {
            AppendUtf8(out, 0x00B1);
        } else if (c == '%') {
            out += '%';
        } else if (c == 'u' || c == 'o' || c == 'k') {
            toggle(c == 'u' ? 0 : c == 'o' ? 1 : 2);
        } else if (std::isdigit(static_cast<unsigned char>(c)) != 0) {
            std::size_t k = i + 2;
            std::uint32_t code = 0;
            while (k < text.size() && k < i + 5 &&
                   std::isdigit(static_cast<unsigned char>(text[k])) != 0) {
                code = code * 10 + static_cast<std::uint32_t>(text[k] - '0');
                ++k;
            }
            AppendUtf8(out, code);
            i = k;
            continue;
        } else {
            out += "%%";
            i += 2;
            continue;
        }
        i += 3;
    }
    // A line still drawn at the end runs to it.
    for (std::size_t which = 0; which < open.size(); ++which) toggle(which, false);
    return out;
}

namespace underlay {

namespace {

// TEXT and ATTRIB (attrib: group 74 gives the vertical alignment, and 70 may hide it).
struct TextFields {
    std::string_view raw;
    Vec2 p10;
    Vec2 p11;
    bool has11 = false;
    double height = 1.0;
    double widthFactor = 1.0;
    double rotation = 0.0;   // radians
    double oblique = 0.0;    // radians
    bool invisible = false;  // an attribute's flag
    std::int64_t generation = 0;
    std::int64_t h = 0;
    std::int64_t v73 = 0;
    std::int64_t v74 = 0;
};

constexpr std::array<GroupField<TextFields>, 14> kTextGroups{{
    {1, [](TextFields& f, const Tag& t) { f.raw = t.text; }},
    {10, [](TextFields& f, const Tag& t) { f.p10.x = t.real; }},
    {20, [](TextFields& f, const Tag& t) { f.p10.y = t.real; }},
    {11,
     [](TextFields& f, const Tag& t) {
         f.p11.x = t.real;
         f.has11 = true;
     }},
    {21, [](TextFields& f, const Tag& t) { f.p11.y = t.real; }},
    {40, [](TextFields& f, const Tag& t) { f.height = t.real; }},
    {41, [](TextFields& f, const Tag& t) { f.widthFactor = t.real; }},
    {50, [](TextFields& f, const Tag& t) { f.rotation = t.real * kDegree; }},
    {51, [](TextFields& f, const Tag& t) { f.oblique = t.real * kDegree; }},
    {70, [](TextFields& f, const Tag& t) { f.invisible = f.invisible || (t.integer & 1) != 0; }},
    {71, [](TextFields& f, const Tag& t) { f.generation = t.integer; }},
    {72, [](TextFields& f, const Tag& t) { f.h = t.integer; }},
    {73, [](TextFields& f, const Tag& t) { f.v73 = t.integer; }},
    {74, [](TextFields& f, const Tag& t) { f.v74 = t.integer; }},
}};

struct MTextFields {
    std::string raw;        // group 3, the text's first parts, in order
    std::string_view tail;  // group 1, its last part
    Vec2 p10;
    Vec2 direction{1.0, 0.0};
    bool hasDirection = false;
    double height = 1.0;
    double rotation = 0.0;  // radians
    bool hasRotation = false;
    double spacing = 1.0;
    double boxWidth = 0.0;
    std::int64_t attachment = 1;
    bool mirror = false;  // seen from below (extrusion Z negative)
};

constexpr std::array<GroupField<MTextFields>, 12> kMTextGroups{{
    {3, [](MTextFields& f, const Tag& t) { f.raw += t.text; }},
    {1, [](MTextFields& f, const Tag& t) { f.tail = t.text; }},
    {10, [](MTextFields& f, const Tag& t) { f.p10.x = t.real; }},
    {20, [](MTextFields& f, const Tag& t) { f.p10.y = t.real; }},
    {11,
     [](MTextFields& f, const Tag& t) {
         f.direction.x = t.real;
         f.hasDirection = true;
     }},
    {21, [](MTextFields& f, const Tag& t) { f.direction.y = t.real; }},
    {40, [](MTextFields& f, const Tag& t) { f.height = t.real; }},
    {44, [](MTextFields& f, const Tag& t) { f.spacing = t.real; }},
    {41, [](MTextFields& f, const Tag& t) { f.boxWidth = t.real; }},
    {50,
     [](MTextFields& f, const Tag& t) {
         f.rotation = t.real * kDegree;
         f.hasRotation = true;
     }},
    {71, [](MTextFields& f, const Tag& t) { f.attachment = t.integer; }},
    {230, [](MTextFields& f, const Tag& t) { f.mirror = t.real < 0.0; }},
}};

}  // namespace

void Builder::Text(const std::vector<Tag>& tags, const Affine& m, const Resolved& r, bool attrib) {
    const TextFields f = ReadGroups(tags, kTextGroups);
    if (attrib && f.invisible) return;  // an invisible attribute
    const std::int64_t h = f.h;
    const std::int64_t v = attrib ? f.v74 : f.v73;
    const double height = f.height;
    const double widthFactor = f.widthFactor > 0.0 ? f.widthFactor : 1.0;
    if (!(height > 0.0) || !std::isfinite(height) || f.raw.empty()) return;
    UnderlayText text;
    text.utf8 = TextSpecials(Decode(f.raw), &text.rules, &text.strikes);
    const bool aligned = h == 3 || h == 5;
    const bool plain = h == 0 && v == 0;
    const Vec2 p10 = f.p10;
    const Vec2 p11 = f.p11;
    Vec2 origin = plain || !f.has11 ? p10 : p11;
    const double rotation = f.rotation;
    const double slant = std::tan(f.oblique);
    Vec2 xAxis = height * widthFactor * Vec2{std::cos(rotation), std::sin(rotation)};
    Vec2 yAxis = height * Vec2{-std::sin(rotation) + slant * std::cos(rotation),
                               std::cos(rotation) + slant * std::sin(rotation)};
    if (aligned && f.has11 && p10 != p11) {
        // Between the two points along their direction; "aligned" keeps the proportions.
        const double angle = std::atan2(p11.y - p10.y, p11.x - p10.x);
        const double length = Distance(p10, p11);
        const Vec2 along{std::cos(angle), std::sin(angle)};
        const Vec2 up{-along.y, along.x};
        double hgt = height;
        if (h == 3) hgt = length / std::max(EstimatedAdvance(text.utf8), 1e-9) / widthFactor;
        xAxis = hgt * widthFactor * along;
        yAxis = hgt * (up + slant * along);
        origin = p10;
        text.fitWidth = length / (hgt * widthFactor);
    } else {
        text.hAlign = static_cast<std::uint8_t>(h == 4 ? 1 : std::clamp<std::int64_t>(h, 0, 2));
        text.vAlign = static_cast<std::uint8_t>(h == 4 ? 2 : std::clamp<std::int64_t>(v, 0, 3));
    }
    if ((f.generation & 2) != 0) xAxis = -1.0 * xAxis;
    if ((f.generation & 4) != 0) yAxis = -1.0 * yAxis;
    const double det = xAxis.x * yAxis.y - xAxis.y * yAxis.x;
    if (!aligned && !plain && f.has11 && p10 != p11 && std::abs(det) > 0.0) {
        // The writer's own start of the run on its baseline (group 10), in the text's frame,
        // and from it the run's length it measured: twice the way to a centre, once to a right.
        const Vec2 d = p10 - p11;
        text.writerStart = true;
        text.startOffset = {(d.x * yAxis.y - d.y * yAxis.x) / det,
                            (xAxis.x * d.y - xAxis.y * d.x) / det};
        const double length = text.hAlign == 1   ? -2.0 * text.startOffset.x
                              : text.hAlign == 2 ? -text.startOffset.x
                                                 : 0.0;
        text.writerLength = length > 0.0 ? length : 0.0;
    }
    TakeFace(tags, text);
    AddText(std::move(text), m, origin, xAxis, yAxis, r);
}

void Builder::TakeFace(const std::vector<Tag>& tags, UnderlayText& text) const {
    std::string style = "STANDARD";
    bool ours = false;
    bool kindFollows = false;
    for (const Tag& t : tags) {
        if (t.code == 7) style = LayerKey(t.text);
        if (t.code == 1001) ours = t.text == kDxfAppName;
        if (ours && t.code == 1000) kindFollows = t.text == kDxfJwwTextKind;
        // Jw_cad's kinds are below 10000 (the flags above it are held elsewhere).
        if (ours && kindFollows && t.code == 1070 && t.integer >= 0 && t.integer < 10000) {
            text.jwwKind = static_cast<std::uint16_t>(t.integer);
            kindFollows = false;
        }
    }
    StyleFace(style, text);
}

void Builder::StyleFace(std::string_view style, UnderlayText& text) const {
    std::string key = style.empty() ? std::string("STANDARD") : std::string(style);
    if (key.starts_with('#')) {
        const auto named = m_styleHandles.find(key.substr(1));
        if (named == m_styleHandles.end()) return;
        key = named->second;
    }
    const auto found = m_textFaces.find(key);
    if (found == m_textFaces.end()) return;
    text.font = found->second.font;
    if (found->second.bold) text.face |= kFaceBold;
}

void Builder::CodedFace(const MTextLine& line, UnderlayText& text) {
    text.face &= static_cast<std::uint8_t>(~(kFaceBold | kFaceItalic));
    text.font = kNoUnderlayIndex;
    if (line.family.empty()) return;  // a shape font: Jw_cad's own, as a style's
    if (line.bold) text.face |= kFaceBold;
    if (line.italic) text.face |= kFaceItalic;
    auto& fonts = m_underlay.fonts;
    const auto found = std::find(fonts.begin(), fonts.end(), line.family);
    text.font = static_cast<std::uint32_t>(found - fonts.begin());
    if (found == fonts.end()) fonts.push_back(line.family);
}

void Builder::FaceRuns(const std::vector<Tag>& tags, const std::vector<MTextFaceRun>& faces,
                       UnderlayText& text) {
    bool other = false;
    for (const MTextFaceRun& run : faces) {
        UnderlayText faced;
        TakeFace(tags, faced);
        if (run.faceCoded) {
            MTextLine coded;
            coded.family = run.family;
            coded.bold = run.bold;
            coded.italic = run.italic;
            CodedFace(coded, faced);
        }
        other = other || faced.font != text.font || faced.face != text.face;
        text.faceRuns.push_back({static_cast<std::uint32_t>(run.from), faced.font, faced.face});
    }
    if (!other) text.faceRuns.clear();
}

void Builder::AddText(UnderlayText text, const Affine& m, Vec2 origin, Vec2 xAxis, Vec2 yAxis,
                      const Resolved& r) {
    // A character's box is what the painter lays out.
    if (text.utf8.empty() || !Spend(text.utf8.size() + kTextUnits + kItemUnits)) return;
    text.origin = m(origin);
    text.xAxis = m.Vector(xAxis);
    text.yAxis = m.Vector(yAxis);
    if (!Usable(text.origin) || !Usable(text.xAxis) || !Usable(text.yAxis)) return;
    Snap(text.origin, UnderlayPointKind::Insertion, r);
    UnderlayItem& item = AddItem(UnderlayKind::Text, r);
    item.text = static_cast<std::uint32_t>(m_underlay.texts.size());
    m_underlay.texts.push_back(std::move(text));
}

Builder::MTextBox Builder::MText(const std::vector<Tag>& tags, const Affine& m, const Resolved& r) {
    MTextBox box;
    // An embedded object (101: the column and frame data AutoCAD 2018 writes) ends the MTEXT's own
    // groups: its 10, 11, 40, 41 are not the text's point, direction, height and width. (A
    // multi-line attribute's embedded MTEXT is its text, read with the attribute.)
    const auto embedded = std::ranges::find_if(tags, [](const Tag& t) { return t.code == 101; });
    MTextFields f = embedded == tags.end()
                        ? ReadGroups(tags, kMTextGroups)
                        : ReadGroups(std::vector<Tag>(tags.begin(), embedded), kMTextGroups);
    std::string& raw = f.raw;
    const double height = f.height;
    const double rotation = f.rotation;
    double spacing = f.spacing;
    const Vec2 direction = f.direction;
    const bool hasDirection = f.hasDirection;
    const bool mirror = f.mirror;
    const Vec2 p10 = f.p10;
    const std::int64_t attachment = f.attachment;
    const double boxWidth = f.boxWidth;
    raw += f.tail;
    if (!(height > 0.0) || !std::isfinite(height) || raw.empty() || !Spend(raw.size())) return box;
    if (!(spacing > 0.0)) spacing = 1.0;
    // Its point and direction are the drawing's, an angle alone its plane system's (seen from
    // below, x is the drawing's -x); neither: the drawing's x. Seen from below its letters face
    // the other way (up is the extrusion across the direction).
    Vec2 along{1.0, 0.0};
    if (hasDirection && Length(direction) > 0.0) {
        along = direction * (1.0 / Length(direction));
    } else if (f.hasRotation) {
        along = {mirror ? -std::cos(rotation) : std::cos(rotation), std::sin(rotation)};
    }
    const Vec2 up = mirror ? Vec2{along.y, -along.x} : Vec2{-along.y, along.x};
    const std::vector<MTextLine> lines =
        WrapMText(ParseMText(Decode(raw), height), height, boxWidth);
    const auto column =
        static_cast<std::uint8_t>((std::clamp<std::int64_t>(attachment, 1, 9) - 1) % 3);
    const std::int64_t row = (std::clamp<std::int64_t>(attachment, 1, 9) - 1) / 3;
    // Baselines from the top: the first one a line's top down, the next ones spacing apart by
    // their height, and further by what a stack puts above it.
    std::vector<MTextLineLayout> laid;
    std::vector<double> below;
    double y = 0.0;
    for (std::size_t i = 0; i < lines.size(); ++i) {
        laid.push_back(LayOutMTextLine(lines[i], height));
        const MTextLineLayout& line = laid.back();
        y += i == 0 ? line.top : kLineSpacing * spacing * line.height + (line.top - line.height);
        below.push_back(y);
    }
    const double total = lines.empty() ? 0.0 : below.back();
    const double shift = row == 0 ? 0.0 : row == 1 ? 0.5 * total : total;
    box.at = p10;
    box.along = along;
    box.up = up;
    box.top = shift;
    box.bottom = shift - total;
    for (std::size_t i = 0; i < lines.size(); ++i) {
        if (lines[i].text.empty()) continue;
        const MTextLineLayout& line = laid[i];
        const double left = -0.5 * column * line.advance;
        box.left = box.drawn ? std::min(box.left, left) : left;
        box.right = box.drawn ? std::max(box.right, left + line.advance) : left + line.advance;
        box.drawn = true;
        MTextPieces(tags, lines[i], line, p10 + (shift - below[i]) * up + left * along, along, up,
                    column, m, r);
    }
    return box;
}

void Builder::MTextPieces(const std::vector<Tag>& tags, const MTextLine& line,
                          const MTextLineLayout& laid, Vec2 start, Vec2 along, Vec2 up,
                          std::uint8_t column, const Affine& m, const Resolved& r) {
    Resolved lineStyle = r;
    if (line.colour > 0 && line.colour < 256) lineStyle.colour = AciToRgb(line.colour);
    const auto at = [&](Vec2 p) { return start + p.x * along + p.y * up; };
    for (const MTextPiece& piece : laid.pieces) {
        UnderlayText text;
        text.utf8 = piece.text;
        text.rules = piece.rules;
        text.strikes = piece.strikes;
        text.hAlign = column;
        TakeFace(tags, text);
        // The face in force where the piece starts (the line's where it starts the line).
        MTextLine first;
        first.faceCoded = line.faceCoded;
        first.family = line.family;
        first.bold = line.bold;
        first.italic = line.italic;
        if (!piece.faces.empty() && piece.faces.front().from == 0) {
            first.faceCoded = piece.faces.front().faceCoded;
            first.family = piece.faces.front().family;
            first.bold = piece.faces.front().bold;
            first.italic = piece.faces.front().italic;
        }
        if (first.faceCoded) CodedFace(first, text);
        FaceRuns(tags, piece.faces, text);
        // Each piece aligned as its line is, at its own share of the line.
        const Vec2 origin = at(piece.at + Vec2{0.5 * column * piece.advance, 0.0});
        AddText(std::move(text), m, origin, piece.size * piece.width * along, piece.size * up,
                lineStyle);
    }
    for (const auto& bar : laid.bars) AddPolyline({m(at(bar[0])), m(at(bar[1]))}, false, lineStyle);
}

}  // namespace underlay

}  // namespace pelimator::board
