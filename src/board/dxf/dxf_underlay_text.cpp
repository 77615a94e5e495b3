// TEXT, ATTRIB and MTEXT in the underlay, and the MTEXT inline codes and TEXT control codes.
#include "base/errors.h"
#include "board/dxf/dxf_colour.h"
#include "board/dxf/dxf_names.h"
#include "board/dxf/dxf_underlay_builder.h"
#include "board/model/entity.h"

namespace pelimator::board {

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

// The number at the start of text (after an optional sign), and how many bytes it took.
double LeadingNumber(std::string_view text, std::size_t& used) {
    std::size_t k = 0;
    while (k < text.size() && (std::isdigit(static_cast<unsigned char>(text[k])) != 0 ||
                               text[k] == '.' || (k == 0 && (text[k] == '-' || text[k] == '+')))) {
        ++k;
    }
    used = k;
    if (k == 0) return 0.0;
    try {
        return std::stod(std::string(text.substr(0, k)));
    } catch (const std::exception&) {
        return 0.0;
    }
}

}  // namespace

std::vector<MTextLine> WrapMText(std::vector<MTextLine> lines, double height, double width) {
    if (!(width > 0.0) || !(height > 0.0)) return lines;
    std::vector<MTextLine> out;
    const auto length = [](unsigned char c) { return EstimateCharacter(c).bytes; };
    for (MTextLine& line : lines) {
        const double unit = height * line.height * line.width;  // drawing units per text unit
        const std::string& text = line.text;
        // One pass: each piece is the longest run from `start` that fits, cut at the last space
        // in it when there is one; a line that fits whole is kept as it is.
        std::size_t start = 0;
        while (start < text.size()) {
            std::size_t cut = start;
            std::size_t space = std::string::npos;
            double advance = 0.0;
            bool fits = true;
            for (std::size_t i = start; i < text.size();) {
                const auto c = static_cast<unsigned char>(text[i]);
                const EstimatedCharacter character = EstimateCharacter(c);
                advance += character.advance;
                if (advance * unit > width) {
                    fits = false;
                    break;
                }
                if (c == ' ') space = i;
                i += character.bytes;
                cut = i;
            }
            if (fits) break;
            if (space != std::string::npos && space > start) cut = space;
            // Not even one character fits: one a line.
            if (cut == start) cut = start + length(static_cast<unsigned char>(text[start]));
            cut = std::min(cut, text.size());
            MTextLine head;  // not a copy of line: its text may be long
            head.text = text.substr(start, cut - start);
            head.height = line.height;
            head.width = line.width;
            head.colour = line.colour;
            out.push_back(std::move(head));
            start = cut;
            while (start < text.size() && text[start] == ' ') ++start;
        }
        line.text.erase(0, start);
        out.push_back(std::move(line));
    }
    return out;
}

std::string TextSpecials(std::string_view text) {
    std::string out;
    out.reserve(text.size());
    for (std::size_t i = 0; i < text.size();) {
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
            // Under-, over- and strike-through lines are not drawn.
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
    return out;
}

std::vector<MTextLine> ParseMText(std::string_view text, double height) {
    std::vector<MTextLine> lines(1);
    MTextLine state;  // what is in force
    const auto startLine = [&] {
        MTextLine line;
        line.height = state.height;
        line.width = state.width;
        line.colour = state.colour;
        lines.push_back(line);
    };
    // A parameter up to ';' (or the end).
    const auto parameter = [&](std::size_t& i) {
        const std::size_t end = text.find(';', i);
        const std::string_view value =
            text.substr(i, end == std::string_view::npos ? std::string_view::npos : end - i);
        i = end == std::string_view::npos ? text.size() : end + 1;
        return value;
    };
    // What a {} group changed is undone at its end.
    std::vector<MTextLine> groups;
    for (std::size_t i = 0; i < text.size();) {
        const char c = text[i];
        if (c == '{') {
            groups.push_back(state);
            ++i;
            continue;
        }
        if (c == '}') {
            if (!groups.empty()) {
                state = groups.back();
                groups.pop_back();
            }
            ++i;
            continue;
        }
        if (c == '\n' || (c == '^' && i + 1 < text.size() && text[i + 1] == 'J')) {
            startLine();
            i += c == '\n' ? 1 : 2;
            continue;
        }
        if (c == '^' && i + 1 < text.size() && text[i + 1] == 'I') {
            lines.back().text += ' ';
            i += 2;
            continue;
        }
        if (c != '\\' || i + 1 >= text.size()) {
            lines.back().text += c;
            ++i;
            continue;
        }
        const char code = text[i + 1];
        i += 2;
        switch (code) {
            case 'P':
            case 'X':
                startLine();
                break;
            case 'N':
                startLine();  // a new column: shown as a new line
                break;
            case '~':
                lines.back().text += ' ';
                break;
            case '\\':
            case '{':
            case '}':
                lines.back().text += code;
                break;
            case 'L':
            case 'l':
            case 'O':
            case 'o':
            case 'K':
            case 'k':
                break;
            case 'H':
            case 'W': {
                const std::string_view value = parameter(i);
                std::size_t used = 0;
                const double number = LeadingNumber(value, used);
                const bool relative =
                    used < value.size() && (value[used] == 'x' || value[used] == 'X');
                double& factor = code == 'H' ? state.height : state.width;
                if (number > 0.0) {
                    factor = relative ? factor * number : (code == 'H' ? number / height : number);
                }
                if (lines.back().text.empty()) {
                    lines.back().height = state.height;
                    lines.back().width = state.width;
                }
                break;
            }
            case 'C': {
                std::size_t used = 0;
                state.colour = static_cast<int>(LeadingNumber(parameter(i), used));
                if (lines.back().text.empty() || lines.back().colour < 0) {
                    lines.back().colour = state.colour;
                }
                break;
            }
            case 'S': {
                std::string_view value = parameter(i);
                std::string stacked;
                for (const char s : value) stacked += s == '^' || s == '#' ? '/' : s;
                lines.back().text += stacked;
                break;
            }
            case 'f':
            case 'F':
            case 'c':
            case 'A':
            case 'Q':
            case 'T':
            case 'p':
                (void)parameter(i);
                break;
            case 'U':
            case 'M':
                // Escapes the file layer left as they were: kept as written.
                lines.back().text += '\\';
                lines.back().text += code;
                break;
            default:
                lines.back().text += code;
                break;
        }
    }
    for (MTextLine& line : lines) line.text = TextSpecials(line.text);
    return lines;
}

namespace underlay {

void Builder::Text(const std::vector<Tag>& tags, const Affine& m, const Resolved& r, bool attrib) {
    std::string raw;
    Vec2 p10;
    Vec2 p11;
    bool has11 = false;
    double height = 1.0;
    double widthFactor = 1.0;
    double rotation = 0.0;
    double oblique = 0.0;
    std::int64_t generation = 0;
    std::int64_t h = 0;
    std::int64_t v = 0;
    for (const Tag& t : tags) {
        switch (t.code) {
            case 1:
                raw = t.text;
                break;
            case 10:
                p10.x = t.real;
                break;
            case 20:
                p10.y = t.real;
                break;
            case 11:
                p11.x = t.real;
                has11 = true;
                break;
            case 21:
                p11.y = t.real;
                break;
            case 40:
                height = t.real;
                break;
            case 41:
                widthFactor = t.real;
                break;
            case 50:
                rotation = t.real * kDegree;
                break;
            case 51:
                oblique = t.real * kDegree;
                break;
            case 70:
                if (attrib && (t.integer & 1) != 0) return;  // invisible attribute
                break;
            case 71:
                generation = t.integer;
                break;
            case 72:
                h = t.integer;
                break;
            case 73:
                if (!attrib) v = t.integer;
                break;
            case 74:
                if (attrib) v = t.integer;
                break;
            default:
                break;
        }
    }
    if (!(height > 0.0) || !std::isfinite(height) || raw.empty()) return;
    if (!(widthFactor > 0.0)) widthFactor = 1.0;
    UnderlayText text;
    text.utf8 = TextSpecials(Decode(raw));
    const bool aligned = h == 3 || h == 5;
    const bool plain = h == 0 && v == 0;
    Vec2 origin = plain || !has11 ? p10 : p11;
    Vec2 xAxis = height * widthFactor * Vec2{std::cos(rotation), std::sin(rotation)};
    Vec2 yAxis = height * Vec2{-std::sin(rotation) + std::tan(oblique) * std::cos(rotation),
                               std::cos(rotation) + std::tan(oblique) * std::sin(rotation)};
    if (aligned && has11 && p10 != p11) {
        // Between the two points along their direction; "aligned" keeps the proportions.
        const double angle = std::atan2(p11.y - p10.y, p11.x - p10.x);
        const double length = Distance(p10, p11);
        const Vec2 along{std::cos(angle), std::sin(angle)};
        const Vec2 up{-along.y, along.x};
        double hgt = height;
        if (h == 3) hgt = length / std::max(EstimatedAdvance(text.utf8), 1e-9) / widthFactor;
        xAxis = hgt * widthFactor * along;
        yAxis = hgt * up;
        origin = p10;
        text.fitWidth = length / (hgt * widthFactor);
    } else {
        text.hAlign = static_cast<std::uint8_t>(h == 4 ? 1 : std::clamp<std::int64_t>(h, 0, 2));
        text.vAlign = static_cast<std::uint8_t>(h == 4 ? 2 : std::clamp<std::int64_t>(v, 0, 3));
    }
    if ((generation & 2) != 0) xAxis = -1.0 * xAxis;
    if ((generation & 4) != 0) yAxis = -1.0 * yAxis;
    AddText(std::move(text), m, origin, xAxis, yAxis, r);
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

void Builder::MText(const std::vector<Tag>& tags, const Affine& m, const Resolved& r) {
    std::string raw;
    std::string tail;
    Vec2 p10;
    Vec2 direction{1.0, 0.0};
    bool hasDirection = false;
    double height = 1.0;
    double rotation = 0.0;
    double spacing = 1.0;
    double boxWidth = 0.0;
    std::int64_t attachment = 1;
    bool mirror = false;
    for (const Tag& t : tags) {
        switch (t.code) {
            case 3:
                raw += t.text;
                break;
            case 1:
                tail = t.text;
                break;
            case 10:
                p10.x = t.real;
                break;
            case 20:
                p10.y = t.real;
                break;
            case 11:
                direction.x = t.real;
                hasDirection = true;
                break;
            case 21:
                direction.y = t.real;
                break;
            case 40:
                height = t.real;
                break;
            case 44:
                spacing = t.real;
                break;
            case 41:
                boxWidth = t.real;
                break;
            case 50:
                rotation = t.real * kDegree;
                break;
            case 71:
                attachment = t.integer;
                break;
            case 230:
                mirror = t.real < 0.0;
                break;
            default:
                break;
        }
    }
    raw += tail;
    if (!(height > 0.0) || !std::isfinite(height) || raw.empty() || !Spend(raw.size())) return;
    if (!(spacing > 0.0)) spacing = 1.0;
    Vec2 along = hasDirection && Length(direction) > 0.0
                     ? direction * (1.0 / Length(direction))
                     : Vec2{std::cos(rotation), std::sin(rotation)};
    const Affine map = mirror && !hasDirection ? m * kMirrorX : m;
    const Vec2 up{-along.y, along.x};
    const std::vector<MTextLine> lines =
        WrapMText(ParseMText(Decode(raw), height), height, boxWidth);
    const auto column =
        static_cast<std::uint8_t>((std::clamp<std::int64_t>(attachment, 1, 9) - 1) % 3);
    const std::int64_t row = (std::clamp<std::int64_t>(attachment, 1, 9) - 1) / 3;
    // Baselines from the top: the first one a line height down, the next ones spacing apart.
    std::vector<double> below;
    double y = 0.0;
    for (std::size_t i = 0; i < lines.size(); ++i) {
        const double lineHeight = height * lines[i].height;
        y += i == 0 ? lineHeight : kLineSpacing * spacing * lineHeight;
        below.push_back(y);
    }
    const double total = lines.empty() ? 0.0 : below.back();
    const double shift = row == 0 ? 0.0 : row == 1 ? 0.5 * total : total;
    for (std::size_t i = 0; i < lines.size(); ++i) {
        if (lines[i].text.empty()) continue;
        UnderlayText text;
        text.utf8 = lines[i].text;
        text.hAlign = column;
        const double lineHeight = height * lines[i].height;
        Resolved lineStyle = r;
        if (lines[i].colour > 0 && lines[i].colour < 256) {
            lineStyle.colour = AciToRgb(lines[i].colour);
        }
        const Vec2 origin = p10 + (shift - below[i]) * up;
        AddText(std::move(text), map, origin, lineHeight * lines[i].width * along, lineHeight * up,
                lineStyle);
    }
}

}  // namespace underlay

}  // namespace pelimator::board
