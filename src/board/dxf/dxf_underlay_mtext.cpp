// MTEXT's inline codes read into lines and runs (stacked fractions among them), and the lines
// wrapped to a width.
#include <algorithm>
#include <array>
#include <string>
#include <vector>

#include "board/dxf/dxf_underlay_builder.h"

namespace pelimator::board {

using underlay::kRuleMarkers;
using underlay::kStrikeMarkers;

namespace {

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

double underlay::MTextRunAdvance(const MTextLine& line, const MTextRun& run) {
    const std::string_view text = std::string_view(line.text).substr(run.from, run.to - run.from);
    const double unit = run.height * run.width;
    if (run.stack == 0) return EstimatedAdvance(std::string(text)) * unit;
    const std::size_t split = run.split - run.from;
    const double over = EstimatedAdvance(std::string(text.substr(0, split > 0 ? split - 1 : 0)));
    const double under = EstimatedAdvance(std::string(text.substr(split)));
    return (run.stack == '#' ? over + under : std::max(over, under)) * unit;
}

underlay::MTextLineLayout underlay::LayOutMTextLine(const MTextLine& line, double height) {
    MTextLineLayout out;
    const auto piece = [&](std::size_t from, std::size_t to, Vec2 at, double size, double width) {
        MTextPiece p;
        p.text = line.text.substr(from, to - from);
        p.at = at;
        p.size = size;
        p.width = width;
        p.advance = EstimatedAdvance(p.text) * size * width;
        p.rules = RulesWithin(line.rules, from, to);
        p.strikes = RulesWithin(line.strikes, from, to);
        p.faces = FacesWithin(line.faces, from, to);
        out.pieces.push_back(std::move(p));
    };
    if (line.runs.empty()) {
        out.height = out.top = height * line.height;
        piece(0, line.text.size(), {0.0, 0.0}, out.height, line.width);
        out.advance = out.pieces.back().advance;
        return out;
    }
    // The line is as high as its tallest plain run (else stack); stacks stand on its middle.
    double plain = 0.0;
    double stacked = 0.0;
    for (const MTextRun& run : line.runs) {
        double& tallest = run.stack == 0 ? plain : stacked;
        tallest = std::max(tallest, run.height);
    }
    out.height = height * (plain > 0.0 ? plain : stacked);
    out.top = out.height;
    const double middle = 0.5 * out.height;
    double x = 0.0;
    for (const MTextRun& run : line.runs) {
        const double s = height * run.height;
        if (run.stack == 0) {
            piece(run.from, run.to, {x, 0.0}, s, run.width);
            x += out.pieces.back().advance;
            continue;
        }
        const std::size_t over = std::max<std::size_t>(run.split, run.from + 1) - 1;
        const double wn =
            EstimatedAdvance(line.text.substr(run.from, over - run.from)) * s * run.width;
        const double wd =
            EstimatedAdvance(line.text.substr(run.split, run.to - run.split)) * s * run.width;
        if (run.stack == '#') {
            piece(run.from, over, {x, middle + kDiagonalNumerator * s}, s, run.width);
            piece(run.split, run.to, {x + wn, middle + kDiagonalDenominator * s}, s, run.width);
            const Vec2 centre{x + wn, middle};
            const Vec2 half{kDiagonalHalfWidth * s, kDiagonalHalfHeight * s};
            out.bars.push_back({centre - half, centre + half});
            out.top = std::max(out.top, middle + (kDiagonalNumerator + 1.0) * s);
            x += wn + wd;
        } else {
            const double w = std::max(wn, wd);
            piece(run.from, over, {x + 0.5 * (w - wn), middle + kStackNumerator * s}, s, run.width);
            piece(run.split, run.to, {x + 0.5 * (w - wd), middle + kStackDenominator * s}, s,
                  run.width);
            if (run.stack == '/') out.bars.push_back({Vec2{x, middle}, Vec2{x + w, middle}});
            out.top = std::max(out.top, middle + (kStackNumerator + 1.0) * s);
            x += w;
        }
    }
    std::erase_if(out.pieces, [](const MTextPiece& p) { return p.text.empty(); });
    out.advance = x;
    return out;
}

namespace {

// The runs of bytes [from, to) of a line, from its byte from (a stack is never cut).
std::vector<MTextRun> RunsWithin(const std::vector<MTextRun>& runs, std::size_t from,
                                 std::size_t to) {
    std::vector<MTextRun> out;
    for (MTextRun run : runs) {
        const std::size_t a = std::max<std::size_t>(run.from, from);
        const std::size_t b = std::min<std::size_t>(run.to, to);
        if (a >= b) continue;
        run.split = static_cast<std::uint32_t>(std::max<std::size_t>(run.split, a) - from);
        run.from = static_cast<std::uint32_t>(a - from);
        run.to = static_cast<std::uint32_t>(b - from);
        out.push_back(run);
    }
    return out;
}

}  // namespace

std::vector<MTextLine> WrapMText(std::vector<MTextLine> lines, double height, double width) {
    if (!(width > 0.0) || !(height > 0.0)) return lines;
    std::vector<MTextLine> out;
    for (MTextLine& line : lines) {
        const std::string& text = line.text;
        const std::vector<MTextRun>& runs = line.runs;
        // The run byte i is in (runs are in order; none: the line's own factors).
        std::size_t r = 0;
        const auto runAt = [&](std::size_t i) -> const MTextRun* {
            while (r < runs.size() && runs[r].to <= i) ++r;
            while (r > 0 && runs[r].from > i) --r;
            return r < runs.size() && runs[r].from <= i ? &runs[r] : nullptr;
        };
        // One pass: each piece is the longest run from `start` that fits, cut at the last space
        // in it when there is one; a line that fits whole is kept as it is. A stack goes whole.
        std::size_t start = 0;
        while (start < text.size()) {
            std::size_t cut = start;
            std::size_t space = std::string::npos;
            double advance = 0.0;  // drawing units
            bool fits = true;
            for (std::size_t i = start; i < text.size();) {
                const auto c = static_cast<unsigned char>(text[i]);
                const MTextRun* run = runAt(i);
                std::size_t next = i + EstimateCharacter(c).bytes;
                if (run != nullptr && run->stack != 0) {
                    advance += underlay::MTextRunAdvance(line, *run) * height;
                    next = run->to;
                } else {
                    const double unit =
                        run != nullptr ? run->height * run->width : line.height * line.width;
                    advance += EstimateCharacter(c).advance * unit * height;
                }
                if (advance > width) {
                    fits = false;
                    break;
                }
                if (c == ' ' && (run == nullptr || run->stack == 0)) space = i;
                i = next;
                cut = i;
            }
            if (fits) break;
            if (space != std::string::npos && space > start) cut = space;
            // Not even one character (or stack) fits: one a line.
            if (cut == start) {
                const MTextRun* run = runAt(start);
                cut =
                    run != nullptr && run->stack != 0
                        ? run->to
                        : start + EstimateCharacter(static_cast<unsigned char>(text[start])).bytes;
            }
            cut = std::min(cut, text.size());
            MTextLine head;  // not a copy of line: its text may be long
            head.text = text.substr(start, cut - start);
            head.runs = RunsWithin(runs, start, cut);
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
            line.runs = RunsWithin(line.runs, start, text.size());
            line.faces = FacesWithin(line.faces, start, text.size());
        }
        line.text.erase(0, start);
        out.push_back(std::move(line));
    }
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
            // A face run's start in the decoded text: where the text before it decodes to.
            for (MTextFaceRun& run : line.faces) {
                if (run.from > 0) run.from = TextSpecials(line.text.substr(0, run.from)).size();
            }
            line.text = TextSpecials(line.text, &line.rules, &line.strikes);
            TakeRuns(line);
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
                RunChange();
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
        RunChange();
    }

    // A new run where the height or width in force is no longer the line's last run's.
    void RunChange() {
        MTextLine& line = Last();
        if (line.text.empty()) {
            line.height = m_state.height;
            line.width = m_state.width;
            return;
        }
        const double height = line.runs.empty() ? line.height : line.runs.back().height;
        const double width = line.runs.empty() ? line.width : line.runs.back().width;
        if (line.runs.empty() || line.runs.back().stack == 0) {
            if (height == m_state.height && width == m_state.width) return;
        }
        StartRun(0);
    }

    // Marks where a run starts in the line's text, with what it is (TakeRuns places it).
    void StartRun(char stack) {
        MTextRun run;
        run.height = m_state.height;
        run.width = m_state.width;
        run.stack = stack;
        Last().text += underlay::kRunMarker;
        Last().runs.push_back(run);
    }

    // The runs the markers of a line's text start, taken out of it (its rules moved with the
    // bytes); a line of one plain run keeps none.
    static void TakeRuns(MTextLine& line) {
        if (line.runs.empty()) return;
        const std::vector<MTextRun> marked = std::move(line.runs);
        line.runs.clear();
        std::string text;
        std::vector<std::size_t> markers;  // where each run marker was, in the marked text
        MTextRun run;
        run.height = line.height;
        run.width = line.width;
        std::size_t next = 0;
        const auto close = [&] {
            run.to = static_cast<std::uint32_t>(text.size());
            if (run.to > run.from) line.runs.push_back(run);
        };
        for (std::size_t i = 0; i < line.text.size(); ++i) {
            const char c = line.text[i];
            if (c == underlay::kRunMarker) {
                close();
                markers.push_back(i);
                if (next < marked.size()) run = marked[next++];
                run.from = static_cast<std::uint32_t>(text.size());
                run.split = run.from;
            } else if (c == underlay::kStackMarker) {
                text += '/';
                run.split = static_cast<std::uint32_t>(text.size());
            } else {
                text += c;
            }
        }
        close();
        const auto moved = [&markers](std::uint32_t at) {
            const auto before = std::lower_bound(markers.begin(), markers.end(), at);
            return static_cast<std::uint32_t>(at - (before - markers.begin()));
        };
        for (std::vector<TextRule>* rules : {&line.rules, &line.strikes}) {
            for (TextRule& rule : *rules) {
                rule.from = moved(rule.from);
                rule.to = moved(rule.to);
            }
        }
        for (MTextFaceRun& face : line.faces) {
            face.from = moved(static_cast<std::uint32_t>(face.from));
        }
        line.text = std::move(text);
        const bool plain = std::ranges::all_of(line.runs, [&](const MTextRun& r) {
            return r.stack == 0 && r.height == line.runs.front().height &&
                   r.width == line.runs.front().width;
        });
        if (plain && !line.runs.empty()) {
            line.height = line.runs.front().height;
            line.width = line.runs.front().width;
        }
        if (plain) line.runs.clear();
    }

    void Colour() {
        std::size_t used = 0;
        m_state.colour = static_cast<int>(LeadingNumber(Parameter(), used));
        if (Last().text.empty() || Last().colour < 0) Last().colour = m_state.colour;
    }

    // Stacked text (a fraction, or a tolerance's limits): numerator, the first '/', '#' or '^'
    // not escaped by a backslash, denominator (after '^' without its leading space); a run of
    // its own. Without any of the three it is plain text.
    void Stacked() {
        const std::string_view value = Parameter();
        std::string numerator;
        std::string denominator;
        char stack = 0;
        for (std::size_t i = 0; i < value.size(); ++i) {
            const bool escaped = value[i] == '\\' && i + 1 < value.size();
            if (escaped) ++i;
            const char c = value[i];
            if (!escaped && stack == 0 && (c == '/' || c == '#' || c == '^')) {
                stack = c;
            } else {
                (stack == 0 ? numerator : denominator) += c;
            }
        }
        if (stack == '^' && denominator.starts_with(' ')) denominator.erase(0, 1);
        if (stack == 0) {
            for (const char c : numerator) Put(c);
            return;
        }
        StartRun(stack);
        for (const char c : numerator) Put(c);
        Last().text += underlay::kStackMarker;
        for (const char c : denominator) Put(c);
        StartRun(0);
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

}  // namespace pelimator::board
