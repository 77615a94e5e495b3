// Snapping of picks in one document: the kinds of snap point, their switches, and the search
// that finds the point a pick goes to.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <initializer_list>
#include <optional>
#include <vector>

#include "board/model/drawing.h"
#include "board/model/layers.h"
#include "board/model/types.h"
#include "board/model/underlay.h"
#include "host/host.h"

namespace pelimator::board {

// What a pick can snap to. A new kind (insertion points of blocks) is one more enumerator here,
// a rank in SnapRank and an entry in the window's menu.
enum class SnapKind : std::uint8_t {
    EndPoint,      // either end of a line or arc
    MidPoint,      // the middle of a line, or half way along an arc
    Center,        // an arc's centre
    Intersection,  // where two lines or arcs cross or touch
    Nearest,       // the point of a line or arc nearest to the cursor
    Grid,          // a grid node
    Insertion,     // where a block or a text of the underlay is placed
};
inline constexpr std::array<SnapKind, 7> kAllSnapKinds = {
    SnapKind::EndPoint, SnapKind::MidPoint, SnapKind::Center,   SnapKind::Intersection,
    SnapKind::Nearest,  SnapKind::Grid,     SnapKind::Insertion};

// Among points at about the same distance from the cursor (within half a pixel), the kind with
// the lower rank wins: an end that is also a crossing shows as an end.
[[nodiscard]] constexpr int SnapRank(SnapKind kind) noexcept {
    switch (kind) {
        case SnapKind::EndPoint:
            return 0;
        case SnapKind::Insertion:
            return 1;
        case SnapKind::Intersection:
            return 2;
        case SnapKind::Center:
            return 3;
        case SnapKind::MidPoint:
            return 4;
        case SnapKind::Nearest:
            return 5;
        case SnapKind::Grid:
            return 6;
    }
    return 7;
}

// A set of snap kinds.
class SnapKinds {
public:
    constexpr SnapKinds() noexcept = default;
    constexpr SnapKinds(std::initializer_list<SnapKind> kinds) noexcept {
        for (const SnapKind kind : kinds) Set(kind, true);
    }
    [[nodiscard]] constexpr bool Has(SnapKind kind) const noexcept {
        return (m_bits & Bit(kind)) != 0;
    }
    constexpr void Set(SnapKind kind, bool on) noexcept {
        m_bits = on ? (m_bits | Bit(kind)) : (m_bits & ~Bit(kind));
    }
    friend constexpr bool operator==(SnapKinds, SnapKinds) noexcept = default;

private:
    static constexpr std::uint32_t Bit(SnapKind kind) noexcept {
        return std::uint32_t{1} << static_cast<unsigned>(kind);
    }
    std::uint32_t m_bits = 0;
};

// Every kind that lies on what is drawn; nearest (it catches everywhere along a line, so a pick
// near a line could no longer be placed freely) and the grid (a drawing from another program
// has its own units) are switched on by the user.
inline constexpr SnapKinds kDefaultSnapKinds = {SnapKind::EndPoint, SnapKind::MidPoint,
                                                SnapKind::Center, SnapKind::Intersection,
                                                SnapKind::Insertion};

// Grid and snap settings of a document. Spacing is in drawing units.
struct SnapSettings {
    SnapKinds kinds = kDefaultSnapKinds;
    bool gridVisible = true;
    double gridSpacing = 10.0;          // > 0
    double captureRadiusPixels = 10.0;  // >= 0
};

// Where a pick would snap to.
struct SnapTarget {
    Vec2 point;
    SnapKind kind = SnapKind::EndPoint;
    std::size_t entity = 0;  // an entity caught (kUnderlaySnap: the underlay's; not for Grid)
};

// SnapTarget::entity of a point of the underlay (no entity of the board).
inline constexpr std::size_t kUnderlaySnap = static_cast<std::size_t>(-1);

// The search, among shown entities on shown layers within the capture radius (pixels, through
// the view's zoom): the nearest end, middle, centre or crossing of the switched-on kinds (about
// equal distances go by SnapRank); else the nearest point on a line or arc when Nearest is on;
// else the nearest grid node when Grid is on; else nothing. Crossings are looked for among the
// kMaxCrossingEntities entities nearest to the cursor, which keeps a query instant where a
// zoomed-out view puts thousands of entities under the cursor.
class BoardSnap final : public host::HostSnap {
public:
    static constexpr std::size_t kMaxCrossingEntities = 32;

    BoardSnap(BoardDrawingPtr drawing, BoardLayersPtr layers)
        : m_drawing(std::move(drawing)), m_layers(std::move(layers)) {}
    // Moves point to its snap target; false (point untouched) only when point is not finite.
    // A view that is not a board view counts as 1 pixel per drawing unit.
    bool SnapPoint(host::HostPoint& point, const host::HostView& view) override;

    // The target for p seen through transform, without moving anything (for highlighting);
    // none when nothing catches or p is not finite.
    [[nodiscard]] std::optional<SnapTarget> FindTarget(Vec2 p,
                                                       const ViewTransform& transform) const;

    [[nodiscard]] const SnapSettings& Settings() const noexcept { return m_settings; }
    // HostError for a grid spacing that is not positive and finite or a negative radius.
    void SetSettings(const SnapSettings& settings);
    // What the document shows beneath its entities: its ends, middles, centres and insertion
    // points are caught like the entities' ones, and its lines by Nearest (null: nothing).
    void SetUnderlay(UnderlayPtr underlay) { m_underlay = std::move(underlay); }

private:
    class Choice;
    [[nodiscard]] std::optional<SnapTarget> FindOnEntities(Vec2 p, double radius) const;
    // Offers the ends, middles and centres of the shown entities near p, and keeps in
    // m_scratch.onCurve those whose line or arc passes within the radius.
    void OfferEntityPoints(Vec2 p, double radius, Choice& choice) const;
    // Offers the crossings among the onCurve entities nearest to the cursor.
    void OfferCrossings(Choice& choice) const;
    // Offers the underlay's points near p.
    void OfferUnderlayPoints(Vec2 p, double radius, Choice& choice) const;
    // The nearest point on the nearest onCurve entity or underlay line within radius.
    [[nodiscard]] std::optional<SnapTarget> NearestOnCurve(Vec2 p, double radius) const;

    // An entity whose line or arc passes near the cursor.
    struct Near {
        std::size_t index = 0;
        double distance = 0.0;
        Box box;
    };
    // Buffers kept between queries, so that a query allocates nothing.
    struct Scratch {
        std::vector<std::size_t> found;
        std::vector<Near> onCurve;
        std::vector<Vec2> crossing;
    };

    BoardDrawingPtr m_drawing;
    BoardLayersPtr m_layers;
    UnderlayPtr m_underlay;
    SnapSettings m_settings;
    mutable Scratch m_scratch;
};
using BoardSnapPtr = std::shared_ptr<BoardSnap>;

}  // namespace pelimator::board
