// Midpoints, nearest points and intersections of lines and arcs.
#include "board/model/snap_geometry.h"

#include <algorithm>
#include <cmath>

namespace pelimator::board {

namespace {

// Relative slack of the "does it lie on the segment" tests, so that crossings at an end are not
// lost to rounding.
constexpr double kSlack = 1e-9;

Vec2 OnCircle(Vec2 centre, double radius, double angle) noexcept {
    return {centre.x + radius * std::cos(angle), centre.y + radius * std::sin(angle)};
}

bool HasCurve(const EntityData& e) noexcept {
    switch (e.kind) {
        case EntityKind::Line:
            return !(e.start == e.end);
        case EntityKind::Arc:
            return e.radius > 0.0;
    }
    BadEntityKind(e.kind);
}

// Whether the direction of point q from the arc's centre lies within its sweep, by cross
// products (no angles): the same arc AnglesOf describes, a full circle when start and end point
// the same way.
bool InSweep(const EntityData& arc, Vec2 q) noexcept {
    const Vec2 u = arc.start - arc.center;
    const Vec2 v = arc.end - arc.center;
    const Vec2 w = q - arc.center;
    // Square roots, not std::hypot: this runs for every crossing a snap query looks at.
    const double slackU = -1e-9 * std::sqrt(Dot(u, u) * Dot(w, w));
    const double slackV = -1e-9 * std::sqrt(Dot(v, v) * Dot(w, w));
    const double turn = Cross(u, v);
    if (turn == 0.0 && Dot(u, v) > 0.0) return true;  // full circle
    const bool afterStart = Cross(u, w) >= slackU;
    const bool beforeEnd = Cross(w, v) >= slackV;
    // Up to half a turn the point must be both; beyond it, either.
    return turn >= 0.0 ? (afterStart && beforeEnd) : (afterStart || beforeEnd);
}

void LineLine(const EntityData& a, const EntityData& b, std::vector<Vec2>& out) {
    const Vec2 r = a.end - a.start;
    const Vec2 s = b.end - b.start;
    const double denominator = Cross(r, s);
    // Parallel (or nearly): no single crossing point.
    if (std::abs(denominator) <= 1e-12 * std::sqrt(Dot(r, r) * Dot(s, s))) return;
    const Vec2 qp = b.start - a.start;
    const double t = Cross(qp, s) / denominator;
    const double u = Cross(qp, r) / denominator;
    if (t < -kSlack || t > 1.0 + kSlack || u < -kSlack || u > 1.0 + kSlack) return;
    out.push_back(a.start + t * r);
}

// Where the line of segment a-b meets the circle; keep reports which points count.
template <typename Keep>
void LineCircle(Vec2 a, Vec2 b, Vec2 centre, double radius, Keep keep, std::vector<Vec2>& out) {
    const Vec2 d = b - a;
    const Vec2 f = a - centre;
    const double qa = Dot(d, d);
    const double qb = 2.0 * Dot(f, d);
    const double qc = Dot(f, f) - radius * radius;
    double discriminant = qb * qb - 4.0 * qa * qc;
    // A tangent within rounding counts as touching once.
    const double scale = qb * qb + std::abs(4.0 * qa * qc);
    if (discriminant < 0.0 && discriminant > -1e-12 * scale) discriminant = 0.0;
    if (discriminant < 0.0) return;
    const double root = std::sqrt(discriminant);
    const double t1 = (-qb - root) / (2.0 * qa);
    const double t2 = (-qb + root) / (2.0 * qa);
    for (const double t : {t1, t2}) {
        if (t < -kSlack || t > 1.0 + kSlack) continue;
        const Vec2 q = a + t * d;
        if (keep(q)) out.push_back(q);
        if (root == 0.0) break;
    }
}

void CircleCircle(const EntityData& a, const EntityData& b, std::vector<Vec2>& out) {
    const Vec2 d = b.center - a.center;
    const double distance = std::sqrt(Dot(d, d));
    const double r0 = a.radius;
    const double r1 = b.radius;
    if (distance == 0.0) return;  // concentric
    const double tolerance = kSlack * (distance + r0 + r1);
    if (distance > r0 + r1 + tolerance || distance < std::abs(r0 - r1) - tolerance) return;
    // Along the line of centres to the chord, then across it.
    const double along = (distance * distance + r0 * r0 - r1 * r1) / (2.0 * distance);
    const double acrossSquared = r0 * r0 - along * along;
    const double across = acrossSquared > 0.0 ? std::sqrt(acrossSquared) : 0.0;
    const Vec2 unit = (1.0 / distance) * d;
    const Vec2 foot = a.center + along * unit;
    const Vec2 normal{-unit.y, unit.x};
    const auto keep = [&](Vec2 q) {
        if (InSweep(a, q) && InSweep(b, q)) out.push_back(q);
    };
    keep(foot + across * normal);
    if (across > 0.0) keep(foot - across * normal);
}

}  // namespace

Vec2 MidPointOf(const EntityData& entity) noexcept {
    switch (entity.kind) {
        case EntityKind::Line:
            return 0.5 * (entity.start + entity.end);
        case EntityKind::Arc: {
            const ArcAngles angles = AnglesOf(entity);
            return OnCircle(entity.center, entity.radius, angles.start + 0.5 * angles.sweep);
        }
    }
    BadEntityKind(entity.kind);
}

Vec2 NearestPointOn(const EntityData& entity, Vec2 p) noexcept {
    switch (entity.kind) {
        case EntityKind::Line: {
            const Vec2 ab = entity.end - entity.start;
            const double lengthSquared = Dot(ab, ab);
            if (lengthSquared == 0.0) return entity.start;
            const double t = std::clamp(Dot(p - entity.start, ab) / lengthSquared, 0.0, 1.0);
            return entity.start + t * ab;
        }
        case EntityKind::Arc:
            break;
    }
    const ArcAngles angles = AnglesOf(entity);
    const Vec2 first = OnCircle(entity.center, entity.radius, angles.start);
    const Vec2 last = OnCircle(entity.center, entity.radius, angles.start + angles.sweep);
    if (p == entity.center) return first;  // every point is as near: take the start
    const Vec2 onCircle = OnCircle(entity.center, entity.radius,
                                   std::atan2(p.y - entity.center.y, p.x - entity.center.x));
    if (InSweep(entity, onCircle)) return onCircle;
    return Distance(p, first) <= Distance(p, last) ? first : last;
}

void AppendIntersections(const EntityData& a, const EntityData& b, std::vector<Vec2>& out) {
    if (!HasCurve(a) || !HasCurve(b)) return;
    const auto lineArc = [&out](const EntityData& line, const EntityData& arc) {
        LineCircle(
            line.start, line.end, arc.center, arc.radius,
            [&arc](Vec2 q) { return InSweep(arc, q); }, out);
    };
    switch (a.kind) {
        case EntityKind::Line:
            switch (b.kind) {
                case EntityKind::Line:
                    return LineLine(a, b, out);
                case EntityKind::Arc:
                    return lineArc(a, b);
            }
            break;
        case EntityKind::Arc:
            switch (b.kind) {
                case EntityKind::Line:
                    return lineArc(b, a);
                case EntityKind::Arc:
                    return CircleCircle(a, b, out);
            }
            break;
    }
    BadEntityKind(a.kind == EntityKind::Line || a.kind == EntityKind::Arc ? b.kind : a.kind);
}

}  // namespace pelimator::board
