// Placing a JWW record's fields: each point and angle found by walking the class's layout and
// rewritten where it lies, so strings, flags and the rest stay as they were.
#include "board/jww/jww_record.h"

#include <array>
#include <cmath>
#include <cstring>
#include <numbers>

#include "base/errors.h"
#include "board/jww/jww_archive.h"

namespace pelimator::board::jww {

namespace {

constexpr double kDegreesToRadians = std::numbers::pi / 180.0;
// A text marking an embedded picture: where the picture lies is written in the text itself.
constexpr std::string_view kPictureText = "^@BM";

// Walks a record's fields; with a placement, rewrites what it passes.
class Walker {
public:
    Walker(const RecordFields& record, std::string* out,
           std::span<const RecordPlacement> placements,
           std::optional<std::pair<std::uint16_t, std::uint16_t>> groupAndLayer)
        : m_in(record.bytes, "JWW"),
          m_version(record.version),
          m_out(out),
          m_placements(placements),
          m_groupAndLayer(std::move(groupAndLayer)) {}

    // The whole record of class name; false for a class that is not an entity of the list.
    bool Walk(std::string_view name) {
        if (name == "CDataSen") {
            Sen();
        } else if (name == "CDataEnko") {
            Enko();
        } else if (name == "CDataTen") {
            Ten();
        } else if (name == "CDataMoji") {
            Moji();
        } else if (name == "CDataSolid") {
            Solid();
        } else if (name == "CDataSunpou") {
            Sunpou();
        } else if (name == "CDataBlock") {
            Block();
        } else {
            return false;
        }
        if (m_in.Remaining() != 0) m_in.Fail("図形の終わりが合いません");
        return true;
    }

    // What the walk saw, for the kind's name and refusals.
    std::uint8_t penStyle = 0;
    bool full = false;
    double flatness = 1.0;
    std::string text;

private:
    // The common part: its group's factor is what the coordinates after it are drawn at.
    void Common() {
        m_in.Dword();  // curve group
        penStyle = m_in.Byte();
        m_penColour = m_in.Word();
        if (m_version >= 351) m_in.Word();  // width
        const std::size_t layerAt = m_in.Position();
        m_in.Word();
        m_in.Word();  // layer group
        m_in.Word();  // flags
        if (m_out != nullptr && m_groupAndLayer) {
            PutWordAt(layerAt, m_groupAndLayer->second);
            PutWordAt(layerAt + 2, m_groupAndLayer->first);
        }
    }

    void Point() {
        const std::size_t at = m_in.Position();
        Vec2 p{m_in.Double(), m_in.Double()};
        if (m_out == nullptr || m_placements.empty()) return;
        // The board shows every layer group at its paper size: its coordinates are the file's.
        for (const RecordPlacement& placement : m_placements) p = PlacePoint(placement, p);
        PutDoubleAt(at, p.x);
        PutDoubleAt(at + 8, p.y);
    }

    // An angle turned with the placements: in degrees, else radians.
    void Angle(bool degrees) {
        const std::size_t at = m_in.Position();
        TurnAt(at, m_in.Double(), degrees);
    }

    void TurnAt(std::size_t at, double angle, bool degrees) {
        if (m_out == nullptr) return;
        bool turned = false;
        const double unit = degrees ? 1.0 : kDegreesToRadians;
        for (const RecordPlacement& placement : m_placements) {
            if (placement.degrees == 0.0 && !placement.mirror) continue;
            angle = PlaceAngle(placement, angle / unit) * unit;
            turned = true;
        }
        if (turned) PutDoubleAt(at, angle);
    }

    // A length (a radius, a text's size): scaled with the placements.
    void Length() {
        const std::size_t at = m_in.Position();
        double length = m_in.Double();
        if (m_out == nullptr || Factor() == 1.0) return;
        PutDoubleAt(at, length * Factor());
    }

    [[nodiscard]] double Factor() const {
        double factor = 1.0;
        for (const RecordPlacement& placement : m_placements) factor *= std::abs(placement.factor);
        return factor;
    }

    [[nodiscard]] bool Mirrored() const {
        bool mirrored = false;
        for (const RecordPlacement& placement : m_placements)
            mirrored = mirrored != placement.mirror;
        return mirrored;
    }

    // An arc's start and sweep (radians) at startAt, with its tilt: a mirror runs it the other
    // way, so it starts where it ended; a circle's start is a direction of the drawing, an
    // ellipse's a parameter along its own (mirrored) axes.
    void PlaceArc(std::size_t startAt, double start, double sweep, std::size_t tiltAt, double tilt,
                  bool circle) {
        if (m_out == nullptr) return;
        if (!Mirrored()) {
            TurnAt(circle ? startAt : tiltAt, circle ? start : tilt, false);
            return;
        }
        if (circle) {
            TurnAt(startAt, start + sweep, false);
        } else {
            PutDoubleAt(startAt, -(start + sweep));
            TurnAt(tiltAt, tilt, false);
        }
    }

    void Sen() {
        Common();
        Point();
        Point();
    }

    void Enko() {
        Common();
        Point();
        Length();  // radius
        const std::size_t startAt = m_in.Position();
        const double start = m_in.Double();
        const double sweep = m_in.Double();
        const std::size_t tiltAt = m_in.Position();
        const double tilt = m_in.Double();
        flatness = m_in.Double();
        full = m_in.Dword() != 0;
        // A circle's start turns; an ellipse turns its axis, its start staying on the ellipse.
        PlaceArc(startAt, start, sweep, tiltAt, tilt, flatness == 1.0);
    }

    void Ten() {
        Common();
        Point();
        m_in.Dword();  // temporary
        if (penStyle == 100) {
            m_in.Dword();  // marker code
            Angle(false);
            Length();  // scale
        }
    }

    void Moji() {
        Common();
        const std::size_t startAt = m_in.Position();
        Point();
        Point();
        m_in.Dword();  // kind
        Length();      // width
        Length();      // height
        Length();      // spacing
        const std::size_t angleAt = m_in.Position();
        Angle(true);
        (void)m_in.String();  // font
        text = m_in.String();
        if (m_out != nullptr) ReadForwards(startAt, angleAt);
    }

    // A mirrored text keeps reading forwards: when its baseline now runs leftwards it is turned
    // half round and runs from its (placed) end to its start.
    void ReadForwards(std::size_t startAt, std::size_t angleAt) {
        if (!Mirrored()) return;
        double degrees = 0.0;
        std::memcpy(&degrees, m_out->data() + angleAt, 8);
        const double radians = degrees * kDegreesToRadians;
        const double c = std::cos(radians);
        if (c > 1e-12 || (std::abs(c) <= 1e-12 && std::sin(radians) > 0.0)) return;
        PutDoubleAt(angleAt, degrees + 180.0);
        std::array<char, 16> first{};
        std::memcpy(first.data(), m_out->data() + startAt, 16);
        std::memmove(m_out->data() + startAt, m_out->data() + startAt + 16, 16);
        std::memcpy(m_out->data() + startAt + 16, first.data(), 16);
    }

    void Solid() {
        Common();
        const std::uint8_t style = penStyle;
        if (style < 101) {
            for (int i = 0; i < 4; ++i) Point();
        } else {
            // A circle solid: centre, (radius, flatness), (tilt, start), (sweep, kind).
            Point();
            Length();
            m_in.Double();  // flatness: its start is along its own axes either way
            const std::size_t tiltAt = m_in.Position();
            const double tilt = m_in.Double();
            const std::size_t startAt = m_in.Position();
            const double start = m_in.Double();
            const double sweep = m_in.Double();
            m_in.Double();  // kind
            if (Mirrored()) {
                PlaceArc(startAt, start, sweep, tiltAt, tilt, false);
            } else {
                TurnAt(tiltAt, tilt, false);
            }
        }
        if (m_penColour == 10) m_in.Dword();
        penStyle = style;
    }

    void Sunpou() {
        Common();
        Sen();
        Moji();
        if (m_version >= 420) {
            m_in.Word();  // SXF mode
            Sen();
            Sen();
            for (int i = 0; i < 4; ++i) Ten();
        }
        penStyle = 0;
    }

    void Block() {
        Common();
        Point();
        Length();  // x scale
        const std::size_t yAt = m_in.Position();
        Length();  // y scale: a mirror turns it over
        if (m_out != nullptr && Mirrored()) {
            double y = 0.0;
            std::memcpy(&y, m_out->data() + yAt, 8);
            PutDoubleAt(yAt, -y);
        }
        Angle(false);
        m_in.Dword();  // block number
    }

    void PutDoubleAt(std::size_t at, double value) { std::memcpy(m_out->data() + at, &value, 8); }
    void PutWordAt(std::size_t at, std::uint16_t value) {
        std::memcpy(m_out->data() + at, &value, 2);
    }

    ArchiveReader m_in;
    std::uint32_t m_version;
    std::string* m_out;
    std::span<const RecordPlacement> m_placements;
    std::optional<std::pair<std::uint16_t, std::uint16_t>> m_groupAndLayer;
    std::uint16_t m_penColour = 0;
};

}  // namespace

std::string PlacedFields(const RecordFields& record, std::span<const RecordPlacement> placements,
                         std::optional<std::pair<std::uint16_t, std::uint16_t>> groupAndLayer) {
    std::string out(record.bytes);
    Walker walker(record, &out, placements, groupAndLayer);
    if (!walker.Walk(record.className)) {
        throw FileError("保存できません: 「" + std::string(record.className) +
                        "」の図形は書き換えられません");
    }
    return out;
}

std::string KindNameOf(const RecordFields& record) {
    Walker walker(record, nullptr, {}, std::nullopt);
    try {
        if (!walker.Walk(record.className)) return std::string(record.className);
    } catch (const FileError&) {
        return std::string(record.className);
    }
    const std::string_view name = record.className;
    if (name == "CDataSen") return "線";
    if (name == "CDataEnko") {
        if (walker.flatness != 1.0) return "楕円弧";
        return walker.full ? "円" : "円弧";
    }
    if (name == "CDataTen") return "点";
    if (name == "CDataMoji") return walker.text.starts_with(kPictureText) ? "画像" : "文字";
    if (name == "CDataSolid") return "ソリッド";
    if (name == "CDataSunpou") return "寸法";
    return "ブロック";
}

std::string PlacementRefusalOf(const RecordFields& record) {
    Walker walker(record, nullptr, {}, std::nullopt);
    try {
        if (!walker.Walk(record.className)) {
            return "この図形 (" + std::string(record.className) +
                   ") は形を正確に移す方法が分からないため、移動・回転・複写できません";
        }
    } catch (const FileError&) {
        return KindNameOf(record) + " は読めない部分があるため、移動・回転・複写できません";
    }
    if (walker.text.starts_with(kPictureText)) {
        return "画像 (文字「^@BM」で置かれたもの) は位置が文字の中に書かれているため、"
               "移動・回転・複写できません";
    }
    return {};
}

}  // namespace pelimator::board::jww
