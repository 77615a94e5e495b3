// The snap search: candidate entities from the drawing's index, their points, crossings and
// nearest points, the choice among them, and the grid.
#include "board/model/snap.h"

#include <algorithm>
#include <cmath>
#include <vector>

#include "board/model/document.h"
#include "board/model/snap_geometry.h"
#include "host/errors.h"

namespace pelimator::board {

namespace {

// The plain square root of the sum of squares: std::hypot guards against overflow at several
// times the cost, and a snap query computes hundreds of distances.
double FastDistance(Vec2 a, Vec2 b) noexcept {
    const Vec2 d = a - b;
    return std::sqrt(Dot(d, d));
}

// A lower bound of the distance from p to the entity's line or arc (0 when unknown): an arc
// lies on its circle, so p is at least | |p - centre| - radius | from it.
double DistanceBound(const EntityData& e, Vec2 p) noexcept {
    switch (e.kind) {
        case EntityKind::Line:
            return 0.0;
        case EntityKind::Arc:
            return std::abs(FastDistance(p, e.center) - std::abs(e.radius));
    }
    BadEntityKind(e.kind);
}

bool BoxesMeet(const Box& a, const Box& b) noexcept {
    return a.min.x <= b.max.x && b.min.x <= a.max.x && a.min.y <= b.max.y && b.min.y <= a.max.y;
}

}  // namespace

// The best target so far: nearest wins; within tie of each other, the lower rank.
class BoardSnap::Choice {
public:
    Choice(Vec2 p, double radius, double tie) : m_p(p), m_radius(radius), m_tie(tie) {}
    void Offer(Vec2 q, SnapKind kind, std::size_t entity) {
        const double d = FastDistance(m_p, q);
        if (!(d <= m_radius)) return;
        if (m_best) {
            const bool nearer = d < m_distance - m_tie;
            const bool aboutEqual = std::abs(d - m_distance) <= m_tie;
            if (!nearer && !(aboutEqual && SnapRank(kind) < SnapRank(m_best->kind))) return;
        }
        m_best = SnapTarget{q, kind, entity};
        m_distance = d;
    }
    [[nodiscard]] const std::optional<SnapTarget>& Best() const noexcept { return m_best; }

private:
    Vec2 m_p;
    double m_radius;
    double m_tie;
    std::optional<SnapTarget> m_best;
    double m_distance = 0.0;
};

bool BoardSnap::SnapPoint(host::HostPoint& point, const host::HostView& view) {
    const Vec2 p{point.X(), point.Y()};
    if (!IsFinite(p)) return false;
    const auto* boardView = dynamic_cast<const BoardView*>(&view);
    const ViewTransform transform = boardView != nullptr ? boardView->Transform() : ViewTransform{};
    if (const auto target = FindTarget(p, transform)) {
        point.SetX(target->point.x);
        point.SetY(target->point.y);
    }
    return true;
}

std::optional<SnapTarget> BoardSnap::FindTarget(Vec2 p, const ViewTransform& transform) const {
    if (!IsFinite(p)) return std::nullopt;
    const double radius = m_settings.captureRadiusPixels / transform.pixelsPerUnit;
    if (std::isfinite(radius)) {
        if (auto target = FindOnEntities(p, radius)) return target;
    }
    if (m_settings.kinds.Has(SnapKind::Grid)) {
        const double s = m_settings.gridSpacing;
        const Vec2 node{std::round(p.x / s) * s, std::round(p.y / s) * s};
        if (IsFinite(node)) return SnapTarget{node, SnapKind::Grid, 0};
    }
    return std::nullopt;
}

std::optional<SnapTarget> BoardSnap::FindOnEntities(Vec2 p, double radius) const {
    const SnapKinds kinds = m_settings.kinds;
    const bool points = kinds.Has(SnapKind::EndPoint) || kinds.Has(SnapKind::MidPoint) ||
                        kinds.Has(SnapKind::Center) || kinds.Has(SnapKind::Insertion);
    if (!points && !kinds.Has(SnapKind::Intersection) && !kinds.Has(SnapKind::Nearest)) {
        return std::nullopt;
    }
    const double pixel =
        m_settings.captureRadiusPixels > 0.0 ? radius / m_settings.captureRadiusPixels : 0.0;
    Choice choice(p, radius, 0.5 * pixel);
    OfferEntityPoints(p, radius, choice);
    if (m_underlay) OfferUnderlayPoints(p, radius, choice);
    if (kinds.Has(SnapKind::Intersection)) OfferCrossings(choice);
    if (choice.Best() || !kinds.Has(SnapKind::Nearest)) return choice.Best();
    return NearestOnCurve(p, radius);
}

void BoardSnap::OfferUnderlayPoints(Vec2 p, double radius, Choice& choice) const {
    const SnapKinds kinds = m_settings.kinds;
    const BoardLayers& layers = *m_layers;
    m_underlay->QuerySnapPoints({{p.x - radius, p.y - radius}, {p.x + radius, p.y + radius}},
                                [&](std::size_t i) {
                                    const UnderlayPoint& point = m_underlay->snapPoints[i];
                                    SnapKind kind = SnapKind::EndPoint;
                                    switch (point.kind) {
                                        case UnderlayPointKind::End:
                                            kind = SnapKind::EndPoint;
                                            break;
                                        case UnderlayPointKind::Mid:
                                            kind = SnapKind::MidPoint;
                                            break;
                                        case UnderlayPointKind::Centre:
                                            kind = SnapKind::Center;
                                            break;
                                        case UnderlayPointKind::Insertion:
                                            kind = SnapKind::Insertion;
                                            break;
                                    }
                                    if (kinds.Has(kind) && layers.IsShown(point.layer)) {
                                        choice.Offer(point.point, kind, kUnderlaySnap);
                                    }
                                });
}

void BoardSnap::OfferEntityPoints(Vec2 p, double radius, Choice& choice) const {
    const SnapKinds kinds = m_settings.kinds;
    const bool onCurveNeeded = kinds.Has(SnapKind::Intersection) || kinds.Has(SnapKind::Nearest);
    std::vector<std::size_t>& found = m_scratch.found;
    found.clear();
    m_drawing->EntitiesNear({{p.x - radius, p.y - radius}, {p.x + radius, p.y + radius}}, found);
    const auto entities = m_drawing->Entities();
    const BoardLayers& layers = *m_layers;
    std::vector<Near>& onCurve = m_scratch.onCurve;
    onCurve.clear();
    for (const std::size_t i : found) {
        const EntityData& e = entities[i];
        if (!e.visible || !layers.IsShown(e.layer)) continue;
        if (kinds.Has(SnapKind::EndPoint)) {
            choice.Offer(e.start, SnapKind::EndPoint, i);
            choice.Offer(e.end, SnapKind::EndPoint, i);
        }
        if (kinds.Has(SnapKind::Center) && e.kind == EntityKind::Arc) {
            choice.Offer(e.center, SnapKind::Center, i);
        }
        // What lies on the line or arc needs it to pass within the radius.
        if (DistanceBound(e, p) > radius) continue;
        if (kinds.Has(SnapKind::MidPoint)) choice.Offer(MidPointOf(e), SnapKind::MidPoint, i);
        if (onCurveNeeded) {
            const double d = FastDistance(p, NearestPointOn(e, p));
            if (d <= radius) onCurve.push_back({i, d, ConservativeBox(e)});
        }
    }
}

void BoardSnap::OfferCrossings(Choice& choice) const {
    std::vector<Near>& onCurve = m_scratch.onCurve;
    if (onCurve.size() < 2) return;
    if (onCurve.size() > kMaxCrossingEntities) {
        std::nth_element(
            onCurve.begin(), onCurve.begin() + static_cast<std::ptrdiff_t>(kMaxCrossingEntities),
            onCurve.end(), [](const Near& a, const Near& b) { return a.distance < b.distance; });
        onCurve.resize(kMaxCrossingEntities);
    }
    const auto entities = m_drawing->Entities();
    std::vector<Vec2>& crossing = m_scratch.crossing;
    for (std::size_t a = 0; a < onCurve.size(); ++a) {
        for (std::size_t b = a + 1; b < onCurve.size(); ++b) {
            if (!BoxesMeet(onCurve[a].box, onCurve[b].box)) continue;
            crossing.clear();
            AppendIntersections(entities[onCurve[a].index], entities[onCurve[b].index], crossing);
            for (const Vec2 q : crossing) choice.Offer(q, SnapKind::Intersection, onCurve[a].index);
        }
    }
}

std::optional<SnapTarget> BoardSnap::NearestOnCurve(Vec2 p, double radius) const {
    std::optional<SnapTarget> best;
    double bestDistance = radius;
    const std::vector<Near>& onCurve = m_scratch.onCurve;
    if (!onCurve.empty()) {
        const auto closest =
            std::min_element(onCurve.begin(), onCurve.end(),
                             [](const Near& a, const Near& b) { return a.distance < b.distance; });
        best = SnapTarget{NearestPointOn(m_drawing->Entities()[closest->index], p),
                          SnapKind::Nearest, closest->index};
        bestDistance = closest->distance;
    }
    if (m_underlay) {
        const BoardLayers& layers = *m_layers;
        const auto under = m_underlay->NearestOnOutline(
            p, bestDistance, [&layers](std::int32_t layer) { return layers.IsShown(layer); });
        if (under && (!best || FastDistance(p, *under) < bestDistance)) {
            best = SnapTarget{*under, SnapKind::Nearest, kUnderlaySnap};
        }
    }
    return best;
}

void BoardSnap::SetSettings(const SnapSettings& settings) {
    if (!(settings.gridSpacing > 0.0) || !std::isfinite(settings.gridSpacing)) {
        throw HostError("グリッドの間隔は正の数にして下さい");
    }
    if (!(settings.captureRadiusPixels >= 0.0) || !std::isfinite(settings.captureRadiusPixels)) {
        throw HostError("スナップの範囲は 0 以上の数にして下さい");
    }
    m_settings = settings;
}

}  // namespace pelimator::board
