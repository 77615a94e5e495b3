// Curve construction and adaptive flattening: B-spline spans and centripetal Catmull-Rom spans
// become Bezier pieces, subdivided until flat, then thinned where the result is straighter than
// needed.
#include "board/model/curve.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <string>

#include "tool/host/errors.h"

namespace pelimator::board {

namespace {

// Half the tolerance goes to flattening the pieces, half to thinning the flattened sequence:
// the two errors add up to at most the tolerance.
constexpr double kFlattenShare = 0.5;
constexpr int kMaxSubdivisionDepth = 40;

// A Bezier piece of degree 1 to 3 (unused control points stay zero).
struct Bezier {
    int degree = 3;
    std::array<Vec2, 4> p{};
};

void AppendDistinct(std::vector<Vec2>& out, Vec2 p) {
    if (out.empty() || out.back() != p) out.push_back(p);
}

// How far the piece can stray from its chord: every inner Bernstein weight sum stays below
// 1/2 (quadratic) or 3/4 (cubic), and distance to a segment is convex.
double Deviation(const Bezier& b) noexcept {
    const Vec2 a = b.p[0];
    const Vec2 z = b.p[static_cast<std::size_t>(b.degree)];
    double worst = 0.0;
    for (int i = 1; i < b.degree; ++i) {
        worst = std::max(worst, DistanceToSegment(b.p[static_cast<std::size_t>(i)], a, z));
    }
    return worst * (b.degree == 3 ? 0.75 : 0.5);
}

std::array<Bezier, 2> Split(const Bezier& b) noexcept {
    const auto n = static_cast<std::size_t>(b.degree);
    std::array<Vec2, 4> work = b.p;
    Bezier left{b.degree, {}};
    Bezier right{b.degree, {}};
    left.p[0] = work[0];
    right.p[n] = work[n];
    for (std::size_t level = 1; level <= n; ++level) {
        for (std::size_t i = 0; i + level <= n; ++i) work[i] = 0.5 * (work[i] + work[i + 1]);
        left.p[level] = work[0];
        right.p[n - level] = work[n - level];
    }
    return {left, right};
}

// Appends the piece's points after its start, with each chord within tolerance of the piece.
void FlattenBezier(const Bezier& piece, double tolerance, std::vector<Vec2>& out) {
    struct Item {
        Bezier b;
        int depth;
    };
    std::vector<Item> stack{{piece, 0}};
    while (!stack.empty()) {
        const Item item = stack.back();
        stack.pop_back();
        if (item.depth >= kMaxSubdivisionDepth || Deviation(item.b) <= tolerance) {
            AppendDistinct(out, item.b.p[static_cast<std::size_t>(item.b.degree)]);
            continue;
        }
        const auto halves = Split(item.b);
        stack.push_back({halves[1], item.depth + 1});  // right after left: left comes out first
        stack.push_back({halves[0], item.depth + 1});
    }
}

// Keeps the fewest points of a polyline such that the dropped ones (and so the whole polyline)
// stay within tolerance of the kept chords (Douglas-Peucker, without recursion).
std::vector<Vec2> Thin(const std::vector<Vec2>& points, double tolerance) {
    if (points.size() < 3) return points;
    std::vector<bool> keep(points.size(), false);
    keep.front() = keep.back() = true;
    std::vector<std::pair<std::size_t, std::size_t>> ranges{{0, points.size() - 1}};
    while (!ranges.empty()) {
        const auto [first, last] = ranges.back();
        ranges.pop_back();
        double worst = -1.0;
        std::size_t worstIndex = first;
        for (std::size_t i = first + 1; i < last; ++i) {
            const double d = DistanceToSegment(points[i], points[first], points[last]);
            if (d > worst) {
                worst = d;
                worstIndex = i;
            }
        }
        if (worst > tolerance) {
            keep[worstIndex] = true;
            ranges.emplace_back(first, worstIndex);
            ranges.emplace_back(worstIndex, last);
        }
    }
    std::vector<Vec2> out;
    for (std::size_t i = 0; i < points.size(); ++i) {
        if (keep[i]) out.push_back(points[i]);
    }
    return out;
}

// ---- clamped uniform B-spline

// Knot i of the clamped uniform knot vector of n control points and degree p.
double Knot(std::size_t i, std::size_t n, std::size_t p) noexcept {
    if (i <= p) return 0.0;
    if (i >= n) return 1.0;
    return static_cast<double>(i - p) / static_cast<double>(n - p);
}

// The blossom of span k (knots k..k+1) at arguments args[0..p-1]: de Boor's algorithm with
// one argument per level. Equal arguments give the curve point.
Vec2 Blossom(std::span<const Vec2> control, std::size_t p, std::size_t k,
             const std::array<double, 3>& args) {
    const std::size_t n = control.size();
    std::array<Vec2, 4> d{};
    for (std::size_t j = 0; j <= p; ++j) d[j] = control[k - p + j];
    for (std::size_t r = 1; r <= p; ++r) {
        for (std::size_t j = p; j >= r; --j) {
            const std::size_t i = j + k - p;
            const double low = Knot(i, n, p);
            const double high = Knot(i + p + 1 - r, n, p);
            const double alpha = (args[r - 1] - low) / (high - low);
            d[j] = (1.0 - alpha) * d[j - 1] + alpha * d[j];
        }
    }
    return d[p];
}

std::vector<Vec2> FlattenNearPoints(std::span<const Vec2> control, double tolerance) {
    const std::size_t n = control.size();
    const std::size_t p = std::min<std::size_t>(3, n - 1);
    std::vector<Vec2> out{control.front()};
    for (std::size_t k = p; k < n; ++k) {
        const double a = Knot(k, n, p);
        const double b = Knot(k + 1, n, p);
        Bezier piece{static_cast<int>(p), {}};
        for (std::size_t i = 0; i <= p; ++i) {
            std::array<double, 3> args{};
            for (std::size_t j = 0; j < p; ++j) args[j] = j < p - i ? a : b;
            piece.p[i] = Blossom(control, p, k, args);
        }
        // The clamped ends are exactly the first and last control points.
        if (k == p) piece.p[0] = control.front();
        if (k + 1 == n) piece.p[p] = control.back();
        FlattenBezier(piece, tolerance, out);
    }
    return out;
}

// ---- centripetal Catmull-Rom

// The span from points[i] to points[i + 1] as a cubic Bezier. Missing neighbours at the ends are
// the mirror images of the next point inwards.
Bezier ThroughPointsSpan(std::span<const Vec2> points, std::size_t i) {
    const std::size_t n = points.size();
    const Vec2 p1 = points[i];
    const Vec2 p2 = points[i + 1];
    const Vec2 p0 = i > 0 ? points[i - 1] : 2.0 * p1 - p2;
    const Vec2 p3 = i + 2 < n ? points[i + 2] : 2.0 * p2 - p1;
    // Centripetal: knot intervals are square roots of the chord lengths.
    const double t01 = std::sqrt(Distance(p0, p1));
    const double t12 = std::sqrt(Distance(p1, p2));
    const double t23 = std::sqrt(Distance(p2, p3));
    // Tangents of the span over [0, 1] (Barry-Goldman derivative times t12).
    Vec2 m1 = p2 - p1;
    Vec2 m2 = p2 - p1;
    if (t01 > 0.0) m1 = m1 + t12 * ((1.0 / t01) * (p1 - p0) - (1.0 / (t01 + t12)) * (p2 - p0));
    if (t23 > 0.0) m2 = m2 + t12 * ((1.0 / t23) * (p3 - p2) - (1.0 / (t12 + t23)) * (p3 - p1));
    return Bezier{3, {p1, p1 + (1.0 / 3.0) * m1, p2 - (1.0 / 3.0) * m2, p2}};
}

std::vector<Vec2> FlattenThroughPoints(std::span<const Vec2> points, double tolerance) {
    std::vector<Vec2> out{points.front()};
    for (std::size_t i = 0; i + 1 < points.size(); ++i) {
        FlattenBezier(ThroughPointsSpan(points, i), tolerance, out);
    }
    return out;
}

Vec2 EvaluateBezier(const Bezier& b, double t) noexcept {
    std::array<Vec2, 4> work = b.p;
    const auto n = static_cast<std::size_t>(b.degree);
    for (std::size_t level = 1; level <= n; ++level) {
        for (std::size_t i = 0; i + level <= n; ++i) {
            work[i] = (1.0 - t) * work[i] + t * work[i + 1];
        }
    }
    return work[0];
}

void CheckTolerance(double tolerance) {
    if (!(tolerance > 0.0) || !std::isfinite(tolerance)) {
        throw HostError("曲線の許容誤差が正しくありません");
    }
}

}  // namespace

std::vector<Vec2> DropRepeatedPoints(std::span<const Vec2> points) {
    std::vector<Vec2> out;
    out.reserve(points.size());
    for (const Vec2 p : points) AppendDistinct(out, p);
    return out;
}

std::vector<Vec2> FlattenCurve(host::CurveKind kind, std::span<const Vec2> points,
                               double tolerance) {
    CheckTolerance(tolerance);
    for (const Vec2 p : points) {
        if (!IsFinite(p)) throw HostError("曲線の点の座標が数値ではありません");
    }
    std::vector<Vec2> distinct = DropRepeatedPoints(points);
    if (distinct.size() < 2 || kind == host::CurveKind::Polyline) return distinct;
    const double flatten = tolerance * kFlattenShare;
    std::vector<Vec2> flat = kind == host::CurveKind::NearPoints
                                 ? FlattenNearPoints(distinct, flatten)
                                 : FlattenThroughPoints(distinct, flatten);
    return Thin(flat, tolerance - flatten);
}

Vec2 EvaluateNearPointsCurve(std::span<const Vec2> controlPoints, double u) {
    const std::size_t n = controlPoints.size();
    if (n == 0) throw HostError("曲線の点がありません");
    if (n == 1) return controlPoints.front();
    const std::size_t p = std::min<std::size_t>(3, n - 1);
    u = std::clamp(u, 0.0, 1.0);
    std::size_t k = p;
    while (k + 1 < n && Knot(k + 1, n, p) <= u) ++k;
    return Blossom(controlPoints, p, k, {u, u, u});
}

Vec2 EvaluateThroughPointsCurve(std::span<const Vec2> points, std::size_t span, double t) {
    if (span + 1 >= points.size()) throw HostError("曲線の区間の番号が範囲外です");
    return EvaluateBezier(ThroughPointsSpan(points, span), t);
}

void BoardCurve::SetPoints(std::int16_t kind, const host::HostPointList& points) {
    if (kind < 0 || kind > 2) {
        throw HostError("曲線の種類が正しくありません: " + std::to_string(kind));
    }
    std::vector<Vec2> input;
    const auto* plain = dynamic_cast<const host::PlainPointList*>(&points);
    if (plain != nullptr) {
        input.reserve(plain->Size());
        for (std::size_t i = 0; i < plain->Size(); ++i) {
            input.push_back({plain->At(i).X(), plain->At(i).Y()});
        }
    } else {
        const std::int32_t count = points.Count();
        input.reserve(static_cast<std::size_t>(std::max(count, 0)));
        for (std::int32_t i = 0; i < count; ++i) {
            const auto point = points.Item(i);
            input.push_back({point->X(), point->Y()});
        }
    }
    const auto curveKind = static_cast<host::CurveKind>(kind);
    std::vector<Vec2> polyline = FlattenCurve(curveKind, input, Tolerance());
    auto list = std::make_shared<host::PlainPointList>();
    list->Reserve(polyline.size());
    for (const Vec2 p : polyline) list->Add(p.x, p.y);
    m_kind = curveKind;
    m_polyline = std::move(polyline);
    m_points = std::move(list);
}

void BoardCurve::SetTolerance(double tolerance) {
    CheckTolerance(tolerance);
    m_fixedTolerance = tolerance;
}

double BoardCurve::Tolerance() const {
    if (m_fixedTolerance > 0.0) return m_fixedTolerance;
    if (m_provider) {
        const double provided = m_provider();
        if (provided > 0.0 && std::isfinite(provided)) return provided;
    }
    return kDefaultCurveTolerance;
}

}  // namespace pelimator::board
