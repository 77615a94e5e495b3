// Curve construction and adaptive flattening: B-spline spans and centripetal Catmull-Rom spans
// become Bezier pieces, subdivided until flat, then thinned where the result is straighter than
// needed.
#include "board/model/curve.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <string>

#include "host/errors.h"

namespace pelimator::board {

namespace {

// Most of the tolerance goes to flattening the pieces, the rest to merging straight stretches: the
// two errors add up to at most the tolerance.
constexpr double kFlattenShare = 0.8;
// Bounds the work on absurd input (a huge curve with a tiny tolerance).
constexpr double kMaxStepsPerPiece = 1e6;

// A Bezier piece of degree 1 to 3 (unused control points stay zero).
struct Bezier {
    int degree = 3;
    std::array<Vec2, 4> p{};
};

void AppendDistinct(std::vector<Vec2>& out, Vec2 p) {
    if (out.empty() || out.back() != p) out.push_back(p);
}

// Squared distance from p to the closed segment a-b; cheaper than the distance itself.
double SquaredDistanceToSegment(Vec2 p, Vec2 a, Vec2 b) noexcept {
    const Vec2 ab = b - a;
    const Vec2 ap = p - a;
    const double lengthSquared = Dot(ab, ab);
    double t = lengthSquared > 0.0 ? Dot(ap, ab) / lengthSquared : 0.0;
    t = std::clamp(t, 0.0, 1.0);
    const Vec2 d = ap - t * ab;
    return Dot(d, d);
}

// Collects the flattened sequence piece by piece. Curved pieces become chords at equal
// parameter steps; straight pieces (one chord) are merged with their straight neighbours while
// every point so merged stays within the thinning tolerance of the merged chord, so collinear
// picks cost no points.
class Flattener {
public:
    Flattener(Vec2 start, double pieceTolerance, double thinTolerance, std::size_t expected)
        : m_pieceTolerance(pieceTolerance), m_thinLimit(thinTolerance * thinTolerance) {
        m_out.reserve(expected);
        m_out.push_back(start);
    }

    // A chord over a parameter step h strays at most h^2 / 8 * max|B''| from the piece (both
    // ways), and max|B''| <= d (d - 1) * max |second difference of the control points| (Wang).
    void Add(const Bezier& piece) {
        const auto& p = piece.p;
        const auto last = static_cast<std::size_t>(piece.degree);
        // Control points all near the chord: the piece lies in their hull, so near the chord.
        bool straight = true;
        for (std::size_t k = 1; k < last && straight; ++k) {
            straight = SquaredDistanceToSegment(p[k], p[0], p[last]) <=
                       m_pieceTolerance * m_pieceTolerance;
        }
        if (straight) {
            AddStraight(p[last]);
            return;
        }
        double second = 0.0;
        for (std::size_t k = 0; k + 2 <= last; ++k) {
            const Vec2 difference = p[k] - 2.0 * p[k + 1] + p[k + 2];
            second = std::max(second, Dot(difference, difference));
        }
        const double d = piece.degree;
        const double steps =
            std::ceil(std::sqrt(d * (d - 1.0) * std::sqrt(second) / (8.0 * m_pieceTolerance)));
        const auto n = static_cast<std::size_t>(std::clamp(steps, 1.0, kMaxStepsPerPiece));
        if (n == 1) {
            AddStraight(p[last]);
            return;
        }
        m_run.clear();  // a curved piece ends any straight run
        // Power basis for cheap evaluation: B(t) = a + t (b + t (c + t e)).
        const Vec2 a = p[0];
        Vec2 b;
        Vec2 c;
        Vec2 e;
        if (piece.degree == 2) {
            b = 2.0 * (p[1] - p[0]);
            c = p[0] - 2.0 * p[1] + p[2];
        } else {
            b = 3.0 * (p[1] - p[0]);
            c = 3.0 * (p[0] - 2.0 * p[1] + p[2]);
            e = (p[3] - p[0]) + 3.0 * (p[1] - p[2]);
        }
        const double h = 1.0 / static_cast<double>(n);
        for (std::size_t i = 1; i < n; ++i) {
            const double t = static_cast<double>(i) * h;
            AppendDistinct(m_out, a + t * (b + t * (c + t * e)));
        }
        AppendDistinct(m_out, p[last]);  // the exact end
    }

    [[nodiscard]] std::vector<Vec2> Take() { return std::move(m_out); }

private:
    // Longest straight run checked at once: keeps the merging linear in the worst case.
    static constexpr std::size_t kMaxRun = 64;

    void AddStraight(Vec2 q) {
        if (q == m_out.back()) return;
        if (!m_run.empty() && m_run.size() < kMaxRun) {
            bool fits = true;
            for (const Vec2 r : m_run) {
                if (SquaredDistanceToSegment(r, m_anchor, q) > m_thinLimit) {
                    fits = false;
                    break;
                }
            }
            if (fits) {
                m_run.push_back(q);
                m_out.back() = q;  // the merged chord now ends at q
                return;
            }
        }
        m_anchor = m_out.back();
        m_run.assign(1, q);
        m_out.push_back(q);
    }

    double m_pieceTolerance;
    double m_thinLimit;
    std::vector<Vec2> m_out;
    Vec2 m_anchor;
    std::vector<Vec2> m_run;  // every point merged into the chord from m_anchor
};

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

std::vector<Vec2> FlattenNearPoints(std::span<const Vec2> control, double tolerance,
                                    double thinTolerance) {
    const std::size_t n = control.size();
    const std::size_t p = std::min<std::size_t>(3, n - 1);
    Flattener out(control.front(), tolerance, thinTolerance, n * 8);
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
        out.Add(piece);
    }
    return out.Take();
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
    const auto root = [](Vec2 a, Vec2 b) { return std::sqrt(std::sqrt(Dot(a - b, a - b))); };
    const double t01 = root(p0, p1);
    const double t12 = root(p1, p2);
    const double t23 = root(p2, p3);
    // Tangents of the span over [0, 1] (Barry-Goldman derivative times t12).
    Vec2 m1 = p2 - p1;
    Vec2 m2 = p2 - p1;
    if (t01 > 0.0) m1 = m1 + t12 * ((1.0 / t01) * (p1 - p0) - (1.0 / (t01 + t12)) * (p2 - p0));
    if (t23 > 0.0) m2 = m2 + t12 * ((1.0 / t23) * (p3 - p2) - (1.0 / (t12 + t23)) * (p3 - p1));
    return Bezier{3, {p1, p1 + (1.0 / 3.0) * m1, p2 - (1.0 / 3.0) * m2, p2}};
}

std::vector<Vec2> FlattenThroughPoints(std::span<const Vec2> points, double tolerance,
                                       double thinTolerance) {
    Flattener out(points.front(), tolerance, thinTolerance, points.size() * 8);
    for (std::size_t i = 0; i + 1 < points.size(); ++i) out.Add(ThroughPointsSpan(points, i));
    return out.Take();
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
    return kind == host::CurveKind::NearPoints
               ? FlattenNearPoints(distinct, flatten, tolerance - flatten)
               : FlattenThroughPoints(distinct, flatten, tolerance - flatten);
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
    m_polyline = FlattenCurve(curveKind, input, Tolerance());
    m_kind = curveKind;
    m_points.reset();
}

host::HostPointListPtr BoardCurve::Points() const {
    // Built on first request: a rubber band is drawn from Polyline() and never needs it.
    if (!m_points) {
        auto list = std::make_shared<host::PlainPointList>();
        list->Reserve(m_polyline.size());
        for (const Vec2 p : m_polyline) list->Add(p.x, p.y);
        m_points = std::move(list);
    }
    return m_points;
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
