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

// What the MTEXT reader leaves in a line for \L \l \O \o (underline on, off, overline on, off),
// for TextSpecials to take out as rules: control characters no decoded text holds.
constexpr std::array<char, 4> kRuleMarkers{'\x0E', '\x0F', '\x10', '\x11'};
// The same for \K \k (strike-through on, off).
constexpr std::array<char, 2> kStrikeMarkers{'\x12', '\x13'};

// The rules of bytes [from, to) of a line, from its byte from.
std::vector<TextRule> RulesWithin(const std::vector<TextRule>& rules, std::size_t from,
                                  std::size_t to) {
    std::vector<TextRule> out;
    for (const TextRule& rule : rules) {
        const std::size_t a = std::max<std::size_t>(rule.from, from);
        const std::size_t b = std::min<std::size_t>(rule.to, to);
        if (a < b) {
            out.push_back({static_cast<std::uint32_t>(a - from),
                           static_cast<std::uint32_t>(b - from), rule.over});
        }
    }
    return out;
}

// The face runs of bytes [from, to) of a line, from its byte from: the one in force at from first.
std::vector<MTextFaceRun> FacesWithin(const std::vector<MTextFaceRun>& faces, std::size_t from,
                                      std::size_t to) {
    std::vector<MTextFaceRun> out;
    for (const MTextFaceRun& run : faces) {
        if (run.from <= from) {
            out.assign(1, run);
            out.back().from = 0;
        } else if (run.from < to) {
            out.push_back(run);
            out.back().from -= from;
        }
    }
    return out;
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
            head.rules = RulesWithin(line.rules, start, cut);
            head.strikes = RulesWithin(line.strikes, start, cut);
            head.faces = FacesWithin(line.faces, start, cut);
            head.faceCoded = line.faceCoded;
            head.family = line.family;
            head.bold = line.bold;
            head.italic = line.italic;
            out.push_back(std::move(head));
            start = cut;
            while (start < text.size() && text[start] == ' ') ++start;
        }
        if (start > 0) {
            line.rules = RulesWithin(line.rules, start, text.size());
            line.strikes = RulesWithin(line.strikes, start, text.size());
            line.faces = FacesWithin(line.faces, start, text.size());
        }
        line.text.erase(0, start);
        out.push_back(std::move(line));
    }
    return out;
}

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

namespace {

// Reads MTEXT with its inline codes into lines: a group ("{...}") undoes what it changed at its
// end; heights are factors of the entity's height, widths factors of the normal width.
class MTextReader {
public:
    MTextReader(std::string_view text, double height) : m_text(text), m_height(height) {}

    std::vector<MTextLine> Read() && {
        while (m_at < m_text.size()) {
            if (!Plain()) Code();
        }
        for (MTextLine& line : m_lines) {
            // A run's start in the decoded text: where the text before it decodes to.
            for (MTextFaceRun& run : line.faces) {
                if (run.from > 0) run.from = TextSpecials(line.text.substr(0, run.from)).size();
            }
            line.text = TextSpecials(line.text, &line.rules, &line.strikes);
        }
        return std::move(m_lines);
    }

private:
    [[nodiscard]] bool Follows(char c) const noexcept {
        return m_at + 1 < m_text.size() && m_text[m_at + 1] == c;
    }
    MTextLine& Last() { return m_lines.back(); }

    void StartLine() {
        m_faced = false;
        MTextLine line;
        line.height = m_state.height;
        line.width = m_state.width;
        line.colour = m_state.colour;
        m_lines.push_back(line);
        // Lines in force go on into the new line.
        if (m_state.underline) Last().text += kRuleMarkers[0];
        if (m_state.overline) Last().text += kRuleMarkers[2];
        if (m_state.strike) Last().text += kStrikeMarkers[0];
    }

    // Turns the under- or overline on or off where the text now is.
    void Rule(bool over, bool on) {
        bool& drawn = over ? m_state.overline : m_state.underline;
        if (drawn == on) return;
        drawn = on;
        Last().text += kRuleMarkers[(over ? 2 : 0) + (on ? 0 : 1)];
    }

    // The same for the strike-through.
    void Strike(bool on) {
        if (m_state.strike == on) return;
        m_state.strike = on;
        Last().text += kStrikeMarkers[on ? 0 : 1];
    }

    // A parameter up to ';' (or the end).
    std::string_view Parameter() {
        const std::size_t end = m_text.find(';', m_at);
        const std::string_view value = m_text.substr(
            m_at, end == std::string_view::npos ? std::string_view::npos : end - m_at);
        m_at = end == std::string_view::npos ? m_text.size() : end + 1;
        return value;
    }

    // Groups, line breaks, tabs and ordinary characters; false at a backslash code.
    bool Plain() {
        const char c = m_text[m_at];
        if (c == '{') {
            m_groups.push_back(m_state);
            ++m_at;
        } else if (c == '}') {
            if (!m_groups.empty()) {
                const MTextLine& outer = m_groups.back();
                Rule(false, outer.underline);
                Rule(true, outer.overline);
                Strike(outer.strike);
                m_state = outer;
                m_groups.pop_back();
            }
            ++m_at;
        } else if (c == '\n' || (c == '^' && Follows('J'))) {
            StartLine();
            m_at += c == '\n' ? 1 : 2;
        } else if (c == '^' && Follows('I')) {
            Last().text += ' ';
            m_at += 2;
        } else if (c != '\\' || m_at + 1 >= m_text.size()) {
            Put(c);
            ++m_at;
        } else {
            return false;
        }
        return true;
    }

    // The backslash code at m_at.
    void Code() {
        const char code = m_text[m_at + 1];
        m_at += 2;
        switch (code) {
            case 'P':
            case 'X':
            case 'N':  // a new column: shown as a new line
                StartLine();
                break;
            case '~':
                Last().text += ' ';
                break;
            case '\\':
            case '{':
            case '}':
                Put(code);
                break;
            case 'L':
            case 'l':
            case 'O':
            case 'o':
                Rule(code == 'O' || code == 'o', code == 'L' || code == 'O');
                break;
            case 'K':
            case 'k':
                Strike(code == 'K');
                break;
            case 'H':
            case 'W':
                Size(code);
                break;
            case 'C':
                Colour();
                break;
            case 'S':
                Stacked();
                break;
            case 'f':
            case 'F':
                Face(code == 'F');
                break;
            case 'c':
            case 'A':
            case 'Q':
            case 'T':
            case 'p':
                (void)Parameter();
                break;
            case 'U':
            case 'M':
                // Escapes the file layer left as they were: kept as written.
                Last().text += '\\';
                Last().text += code;
                break;
            default:
                Put(code);
                break;
        }
    }

    // \H (height) and \W (width): absolute, or relative with a trailing "x".
    void Size(char code) {
        const std::string_view value = Parameter();
        std::size_t used = 0;
        const double number = LeadingNumber(value, used);
        const bool relative = used < value.size() && (value[used] == 'x' || value[used] == 'X');
        double& factor = code == 'H' ? m_state.height : m_state.width;
        if (number > 0.0) {
            factor = relative ? factor * number : (code == 'H' ? number / m_height : number);
        }
        if (Last().text.empty()) {
            Last().height = m_state.height;
            Last().width = m_state.width;
        }
    }

    void Colour() {
        std::size_t used = 0;
        m_state.colour = static_cast<int>(LeadingNumber(Parameter(), used));
        if (Last().text.empty() || Last().colour < 0) Last().colour = m_state.colour;
    }

    // Stacked text (fractions) shown on one line with a slash.
    void Stacked() {
        for (const char s : Parameter()) Put(s == '^' || s == '#' ? '/' : s);
    }

    // A character of the line; its first other than a space takes the face in force, and any
    // later one where another face is in force begins a run of that face.
    void Put(char c) {
        MTextLine& line = Last();
        if (c != ' ' && !m_faced) {
            line.faceCoded = m_state.faceCoded;
            line.family = m_state.family;
            line.bold = m_state.bold;
            line.italic = m_state.italic;
            m_faced = true;
            line.faces.push_back(
                {0, m_state.faceCoded, m_state.family, m_state.bold, m_state.italic});
        } else if (c != ' ') {
            const MTextFaceRun& run = line.faces.back();
            if (run.faceCoded != m_state.faceCoded || run.family != m_state.family ||
                run.bold != m_state.bold || run.italic != m_state.italic) {
                line.faces.push_back({line.text.size(), m_state.faceCoded, m_state.family,
                                      m_state.bold, m_state.italic});
            }
        }
        line.text += c;
    }

    // \f family|b1|i0|c128|p49; (a TrueType family, bold and italic flags) or \F file; (a shape
    // font; shape: it names no family). An empty name changes nothing.
    void Face(bool shape) {
        const std::string_view value = Parameter();
        const std::size_t bar = value.find('|');
        const std::string_view name = value.substr(0, bar);
        if (name.empty()) return;
        m_state.faceCoded = true;
        m_state.family = shape ? std::string() : std::string(name);
        m_state.bold = false;
        m_state.italic = false;
        if (shape || bar == std::string_view::npos) return;
        for (std::size_t at = bar; at != std::string_view::npos;) {
            const std::size_t next = value.find('|', at + 1);
            const std::string_view part = value.substr(at + 1, next - at - 1);
            if (part.starts_with("b1")) m_state.bold = true;
            if (part.starts_with("i1")) m_state.italic = true;
            at = next;
        }
    }

    std::string_view m_text;
    double m_height;
    std::size_t m_at = 0;
    std::vector<MTextLine> m_lines = std::vector<MTextLine>(1);
    MTextLine m_state;                // what is in force
    std::vector<MTextLine> m_groups;  // the state at each open group's start
    bool m_faced = false;             // the last line has taken its face
};

}  // namespace

std::vector<MTextLine> ParseMText(std::string_view text, double height) {
    return MTextReader(text, height).Read();
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

void Builder::FaceRuns(const std::vector<Tag>& tags, const MTextLine& line, UnderlayText& text) {
    bool other = false;
    for (const MTextFaceRun& run : line.faces) {
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
    const Affine& map = m;
    const Vec2 up = mirror ? Vec2{along.y, -along.x} : Vec2{-along.y, along.x};
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
    box.at = p10;
    box.along = along;
    box.up = up;
    box.top = shift;
    box.bottom = shift - total;
    for (std::size_t i = 0; i < lines.size(); ++i) {
        if (lines[i].text.empty()) continue;
        const double advance =
            EstimatedAdvance(lines[i].text) * height * lines[i].height * lines[i].width;
        const double left = -0.5 * column * advance;
        box.left = box.drawn ? std::min(box.left, left) : left;
        box.right = box.drawn ? std::max(box.right, left + advance) : left + advance;
        box.drawn = true;
        UnderlayText text;
        text.utf8 = lines[i].text;
        text.rules = lines[i].rules;
        text.strikes = lines[i].strikes;
        text.hAlign = column;
        TakeFace(tags, text);
        if (lines[i].faceCoded) CodedFace(lines[i], text);
        FaceRuns(tags, lines[i], text);
        const double lineHeight = height * lines[i].height;
        Resolved lineStyle = r;
        if (lines[i].colour > 0 && lines[i].colour < 256) {
            lineStyle.colour = AciToRgb(lines[i].colour);
        }
        const Vec2 origin = p10 + (shift - below[i]) * up;
        AddText(std::move(text), map, origin, lineHeight * lines[i].width * along, lineHeight * up,
                lineStyle);
    }
    return box;
}

}  // namespace underlay

}  // namespace pelimator::board
