// The tests' own reading of a JWW file's records, by the documented layout and independent of
// the reader under test: every text and arc of the entity list (dimension texts too).
#pragma once

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <map>
#include <string>
#include <vector>

#include <gtest/gtest.h>
#include <iconv.h>

namespace pelimator::board::rawjww {

// The test's own conversion to UTF-8 (glibc's iconv), whole strings at a time.
std::string Iconv(const std::string& bytes, const char* from, const char* to = "UTF-8") {
    iconv_t cd = ::iconv_open(to, from);
    std::string in = bytes;
    std::string out(bytes.size() * 4 + 8, '\0');
    char* inPtr = in.data();
    char* outPtr = out.data();
    std::size_t inLeft = in.size();
    std::size_t outLeft = out.size();
    const std::size_t done = ::iconv(cd, &inPtr, &inLeft, &outPtr, &outLeft);
    ::iconv_close(cd);
    if (done == static_cast<std::size_t>(-1)) return "(not convertible)";
    out.resize(out.size() - outLeft);
    return out;
}

// A circle or arc record as the test reads it.
struct RawArc {
    std::uint16_t layer = 0;
    std::uint16_t group = 0;
    double cx = 0, cy = 0, radius = 0, start = 0, sweep = 0, tilt = 0, flatness = 0;
};

// A line or a circular arc of the entity list (outside dimensions): what the board takes as its
// own entities, in file order.
struct RawEntity {
    bool arc = false;
    std::uint8_t penStyle = 0;
    std::uint16_t penColour = 0;
    std::uint16_t layer = 0;
    std::uint16_t group = 0;
    double length = 0;  // a line's; an arc's along its sweep (a full circle's: its circumference)
    double radius = 0;
};

// The box around every line (dimension lines too), whole circle, text run and block insert point
// of the entity list: what a picture of the drawing holds at least.
struct RawBox {
    double minX = 1e300, minY = 1e300, maxX = -1e300, maxY = -1e300;
    void Add(double x, double y) {
        minX = std::min(minX, x);
        minY = std::min(minY, y);
        maxX = std::max(maxX, x);
        maxY = std::max(maxY, y);
    }
};

// A text record as the test reads it from the bytes, by the documented layout.
struct RawText {
    double x1, y1, x2, y2, sizeX, sizeY, spacing, angle;
    std::string utf8;
    double cells = 0.0;  // its width in half cells: Shift-JIS bytes, each character's own
    std::size_t lastBytes = 1;
    std::vector<std::size_t> bytes;  // each character's Shift-JIS bytes
    std::uint32_t kind = 0;          // +10000 italic, +20000 bold
    std::string font;                // UTF-8
};

// Walks the entity list and the block definitions of a JWW file with the smallest reading that
// finds every text record: the list starts at the first class tag (0xFFFF, schema, length,
// "CData..."), objects are read by their kind's field sizes.
class RawWalker {
public:
    explicit RawWalker(const std::string& bytes) : m_b(bytes) {
        std::memcpy(&m_version, m_b.data() + 8, 4);
    }
    // Reads the entity list (the block definitions are left alone).
    void Walk() {
        const std::size_t first = FirstClassTag();
        if (first == std::string::npos) return;
        m_at = first - 2;
        const std::uint32_t count = Count();
        for (std::uint32_t i = 0; i < count; ++i) Object(0);
    }
    const std::vector<RawText>& Texts() const { return m_texts; }
    const std::vector<RawArc>& Arcs() const { return m_arcs; }
    const std::vector<RawEntity>& Entities() const { return m_entities; }
    const RawBox& Box() const { return m_box; }
    // Line types 2-9 from the header: pattern, bits used, print pitch; by the documented layout
    // (fixed fields, the 272 layer and group names, fixed fields again).
    struct LineType {
        std::uint32_t pattern, bits, printPitch;
    };
    std::vector<LineType> LineTypes() {
        m_at = 12;
        Str();
        m_at += 8 + 16 * 148 + 21 * 4 + 3 * 8 + 2 * 4 + 5 * 8;
        for (int i = 0; i < 256 + 16; ++i) Str();
        m_at += 2 * 8 + 4 + 8 + (m_version >= 300 ? 16 : 0) + 4 + 6 * 8;
        m_at += m_version >= 300 ? 8 * (3 * 8 + 4) + 2 * (3 * 8 + 4) : 12 * 8;
        m_at += 11 * 8 + 10 * 8 + 10 * 16;
        std::vector<LineType> types;
        for (int n = 2; n <= 9; ++n) {
            LineType t{};
            t.pattern = Get<std::uint32_t>();
            t.bits = Get<std::uint32_t>();
            m_at += 4;
            t.printPitch = Get<std::uint32_t>();
            types.push_back(t);
        }
        return types;
    }
    // Layer group g's scale (1:N), from the header: after the signature, the version, the memo,
    // the paper and the write group, 16 groups of 148 bytes with the scale 8 bytes in.
    double GroupScale(int g) {
        m_at = 12;
        Str();
        m_at += 8 + static_cast<std::size_t>(g) * 148 + 8;
        return Get<double>();
    }

private:
    std::size_t FirstClassTag() const {
        for (std::size_t at = 12; at + 11 < m_b.size(); ++at) {
            if (m_b.compare(at, 2, "\xFF\xFF") == 0 && m_b.compare(at + 6, 5, "CData") == 0) {
                return at;
            }
        }
        return std::string::npos;
    }
    template <typename T>
    T Get() {
        T value{};
        std::memcpy(&value, m_b.data() + m_at, sizeof value);
        m_at += sizeof value;
        return value;
    }
    std::uint32_t Count() {
        const auto n = Get<std::uint16_t>();
        return n == 0xFFFF ? Get<std::uint32_t>() : n;
    }
    std::pair<std::string, bool> Str() {
        std::size_t n = Get<std::uint8_t>();
        bool wide = false;
        if (n == 0xFF) {
            n = Get<std::uint16_t>();
            if (n == 0xFFFE) {
                wide = true;
                n = Get<std::uint8_t>();
                if (n == 0xFF) n = Get<std::uint16_t>();
            }
            if (n == 0xFFFF) n = Get<std::uint32_t>();
        }
        const std::size_t size = wide ? 2 * n : n;
        std::string s = m_b.substr(m_at, size);
        m_at += size;
        return {s, wide};
    }
    // The common part: returns pen style and pen colour (layer and group in m_layer, m_group).
    std::pair<std::uint8_t, std::uint16_t> Common() {
        m_at += 4;
        const auto style = Get<std::uint8_t>();
        const auto colour = Get<std::uint16_t>();
        m_style = style;
        m_colour = colour;
        m_at += m_version >= 351 ? 2 : 0;
        m_layer = Get<std::uint16_t>();
        m_group = Get<std::uint16_t>();
        m_at += 2;
        return {style, colour};
    }
    void Text(int depth) {
        Common();
        RawText t{};
        t.x1 = Get<double>();
        t.y1 = Get<double>();
        t.x2 = Get<double>();
        t.y2 = Get<double>();
        t.kind = Get<std::uint32_t>();
        t.sizeX = Get<double>();
        t.sizeY = Get<double>();
        t.spacing = Get<double>();
        t.angle = Get<double>();
        const auto [font, wideFont] = Str();
        t.font = wideFont ? Iconv(font, "UTF-16LE") : Iconv(font, "CP932");
        const auto [text, wide] = Str();
        t.utf8 = wide ? Iconv(text, "UTF-16LE") : Iconv(text, "CP932");
        const std::string sjis = wide ? Iconv(text, "UTF-16LE", "CP932") : text;
        for (std::size_t i = 0; i < sjis.size();) {
            const auto c = static_cast<unsigned char>(sjis[i]);
            t.lastBytes = ((c >= 0x81 && c <= 0x9F) || c >= 0xE0) ? 2 : 1;
            t.cells += static_cast<double>(t.lastBytes);
            t.bytes.push_back(t.lastBytes);
            i += t.lastBytes;
        }
        if (depth == 0) {
            m_texts.push_back(t);
            m_box.Add(t.x1, t.y1);
            m_box.Add(t.x2, t.y2);
        }
    }
    void Fields(const std::string& name, int depth) {
        if (name == "CDataSen") {
            Common();
            RawEntity e{false, m_style, m_colour, m_layer, m_group};
            const double x1 = Get<double>();
            const double y1 = Get<double>();
            const double x2 = Get<double>();
            const double y2 = Get<double>();
            e.length = std::hypot(x2 - x1, y2 - y1);
            if (depth == 0) {
                m_box.Add(x1, y1);
                m_box.Add(x2, y2);
            }
            if (depth == 0 && !m_inDimension) m_entities.push_back(e);
        } else if (name == "CDataEnko") {
            Common();
            RawArc a;
            a.layer = m_layer;
            a.group = m_group;
            for (double* field :
                 {&a.cx, &a.cy, &a.radius, &a.start, &a.sweep, &a.tilt, &a.flatness}) {
                *field = Get<double>();
            }
            const bool full = Get<std::uint32_t>() != 0;
            if (depth == 0 && full && a.flatness == 1.0) {
                m_box.Add(a.cx - a.radius, a.cy - a.radius);
                m_box.Add(a.cx + a.radius, a.cy + a.radius);
            }
            if (depth == 0) m_arcs.push_back(a);
            if (depth == 0 && a.flatness == 1.0) {
                RawEntity e{true, m_style, m_colour, m_layer, m_group};
                e.radius = a.radius;
                e.length = a.radius * (full ? 2.0 * 3.141592653589793 : std::abs(a.sweep));
                m_entities.push_back(e);
            }
        } else if (name == "CDataTen") {
            const auto [style, colour] = Common();
            m_at += 20 + (style == 100 ? 20 : 0);
        } else if (name == "CDataMoji") {
            Text(depth);
        } else if (name == "CDataSolid") {
            const auto [style, colour] = Common();
            m_at += 64 + (colour == 10 ? 4 : 0);
        } else if (name == "CDataSunpou") {
            Common();
            m_inDimension = true;
            Fields("CDataSen", depth);
            Fields("CDataMoji", depth);
            if (m_version >= 420) {
                m_at += 2;
                Fields("CDataSen", depth);
                Fields("CDataSen", depth);
                for (int i = 0; i < 4; ++i) Fields("CDataTen", depth);
            }
            m_inDimension = false;
        } else if (name == "CDataBlock") {
            Common();
            const double x = Get<double>();
            const double y = Get<double>();
            if (depth == 0) m_box.Add(x, y);
            m_at += 28;
        } else if (name == "CDataList") {
            Common();
            m_at += 12;
            Str();
            const std::uint32_t count = Count();
            for (std::uint32_t i = 0; i < count; ++i) Object(depth + 1);
        } else {
            FAIL() << "class " << name;
        }
    }
    void Object(int depth) {
        const auto tag = Get<std::uint16_t>();
        std::string name;
        if (tag == 0xFFFF) {
            m_at += 2;
            const auto length = Get<std::uint16_t>();
            name = m_b.substr(m_at, length);
            m_at += length;
            m_classes[m_next++] = name;
        } else {
            const std::uint32_t index =
                tag == 0x7FFF ? Get<std::uint32_t>() & 0x7FFFFFFFU : std::uint32_t{tag} & 0x7FFFU;
            name = m_classes.at(index);
        }
        ++m_next;
        Fields(name, depth);
    }

    const std::string& m_b;
    std::uint32_t m_version = 0;
    std::size_t m_at = 0;
    std::uint32_t m_next = 1;
    std::map<std::uint32_t, std::string> m_classes;
    std::uint8_t m_style = 0;
    std::uint16_t m_colour = 0;
    bool m_inDimension = false;
    std::uint16_t m_layer = 0;
    std::uint16_t m_group = 0;
    std::vector<RawText> m_texts;
    std::vector<RawArc> m_arcs;
    std::vector<RawEntity> m_entities;
    RawBox m_box;
};

}  // namespace pelimator::board::rawjww
