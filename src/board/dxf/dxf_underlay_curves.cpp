// Lines, points, circles and arcs, ellipses, polylines (light and 2-D/3-D, with bulges and
// widths), SOLID/TRACE/3DFACE corners, leaders and splines as polylines and fills.
#include "base/errors.h"
#include "board/dxf/dxf_colour.h"
#include "board/dxf/dxf_names.h"
#include "board/dxf/dxf_underlay_builder.h"
#include "board/model/entity.h"

namespace pelimator::board::underlay {

void Builder::Line(const std::vector<Tag>& tags, const Affine& m, const Resolved& r) {
    Vec2 a;
    Vec2 b;
    for (const Tag& t : tags) {
        if (t.code == 10) a.x = t.real;
        if (t.code == 20) a.y = t.real;
        if (t.code == 11) b.x = t.real;
        if (t.code == 21) b.y = t.real;
    }
    AddPolyline({m(a), m(b)}, false, r);
    Snap(m(a), UnderlayPointKind::End, r);
    Snap(m(b), UnderlayPointKind::End, r);
    Snap(m(0.5 * (a + b)), UnderlayPointKind::Mid, r);
}

void Builder::PointEntity(const std::vector<Tag>& tags, const Affine& m, const Resolved& r) {
    Vec2 p;
    for (const Tag& t : tags) {
        if (t.code == 10) p.x = t.real;
        if (t.code == 20) p.y = t.real;
    }
    if (!Usable(m(p)) || !Spend(1 + kItemUnits)) return;
    UnderlayItem& item = AddItem(UnderlayKind::Point, r);
    m_underlay.points.push_back(m(p));
    item.count = 1;
    Snap(m(p), UnderlayPointKind::End, r);
}

void Builder::Circle(const std::vector<Tag>& tags, const Affine& m, const Resolved& r, bool full) {
    Vec2 centre;
    double radius = 0.0;
    double a1 = 0.0;
    double a2 = 360.0;
    for (const Tag& t : tags) {
        if (t.code == 10) centre.x = t.real;
        if (t.code == 20) centre.y = t.real;
        if (t.code == 40) radius = t.real;
        if (t.code == 50) a1 = t.real;
        if (t.code == 51) a2 = t.real;
    }
    if (!(radius > 0.0) || !std::isfinite(radius)) return;
    double sweep = full ? 360.0 : std::fmod(a2 - a1, 360.0);
    if (sweep <= 0.0) sweep += 360.0;
    std::vector<Vec2> pts;
    ArcPoints(m, centre, radius, radius, 0.0, full ? 0.0 : a1 * kDegree, sweep * kDegree, pts);
    AddPolyline(pts, full, r);
    Snap(m(centre), UnderlayPointKind::Centre, r);
    if (!full) {
        Snap(pts.front(), UnderlayPointKind::End, r);
        Snap(pts.back(), UnderlayPointKind::End, r);
        const double mid = (a1 + 0.5 * sweep) * kDegree;
        Snap(m(centre + radius * Vec2{std::cos(mid), std::sin(mid)}), UnderlayPointKind::Mid, r);
    }
}

void Builder::Ellipse(const std::vector<Tag>& tags, const Affine& m, const Resolved& r) {
    Vec2 centre;
    Vec2 major;
    double ratio = 1.0;
    double p1 = 0.0;
    double p2 = kTwoPi;
    for (const Tag& t : tags) {
        if (t.code == 10) centre.x = t.real;
        if (t.code == 20) centre.y = t.real;
        if (t.code == 11) major.x = t.real;
        if (t.code == 21) major.y = t.real;
        if (t.code == 40) ratio = t.real;
        if (t.code == 41) p1 = t.real;
        if (t.code == 42) p2 = t.real;
        if (t.code == 230 && t.real < 0.0) {
            // Seen from below: the parameters run the other way.
            std::swap(p1, p2);
            p1 = -p1;
            p2 = -p2;
        }
    }
    const double rx = Length(major);
    if (!(rx > 0.0) || !(ratio > 0.0) || !std::isfinite(rx)) return;
    double sweep = std::fmod(p2 - p1, kTwoPi);
    if (sweep <= 1e-12) sweep += kTwoPi;
    const bool full = std::abs(sweep - kTwoPi) < 1e-9;
    std::vector<Vec2> pts;
    ArcPoints(m, centre, rx, rx * ratio, std::atan2(major.y, major.x), p1, sweep, pts);
    AddPolyline(pts, full, r);
    Snap(m(centre), UnderlayPointKind::Centre, r);
    if (!full) {
        Snap(pts.front(), UnderlayPointKind::End, r);
        Snap(pts.back(), UnderlayPointKind::End, r);
    }
}

void Builder::LwPolyline(const std::vector<Tag>& tags, const Affine& m, const Resolved& r,
                         bool top) {
    std::vector<Vec2> local;
    std::vector<double> bulges;
    Widths widths;
    double constant = 0.0;
    bool closed = false;
    for (const Tag& t : tags) {
        switch (t.code) {
            case 10:
                local.push_back({t.real, 0.0});
                bulges.push_back(0.0);
                widths.emplace_back(-1.0, -1.0);
                break;
            case 20:
                if (!local.empty()) local.back().y = t.real;
                break;
            case 42:
                if (!bulges.empty()) bulges.back() = t.real;
                break;
            case 40:
                if (!widths.empty()) widths.back().first = t.real;
                break;
            case 41:
                if (!widths.empty()) widths.back().second = t.real;
                break;
            case 43:
                constant = t.real;
                break;
            case 70:
                closed = (t.integer & 1) != 0;
                break;
            default:
                break;
        }
    }
    // The constant width stands for vertices that give none.
    for (auto& [start, end] : widths) {
        if (start < 0.0) start = constant;
        if (end < 0.0) end = constant;
    }
    PolylineOf(local, bulges, closed, m, r, widths, top);
}

void Builder::PolylineOf(const std::vector<Vec2>& local, const std::vector<double>& bulges,
                         bool closed, const Affine& m, const Resolved& r, const Widths& widths,
                         bool top) {
    if (local.size() < 2) return;
    const std::size_t n = local.size();
    const std::size_t segments = closed ? n : n - 1;
    bool even = true;
    double wide = 0.0;
    for (std::size_t i = 0; i < segments; ++i) {
        even = even && widths[i].first == widths[0].first && widths[i].second == widths[0].first;
        wide = std::max({wide, widths[i].first, widths[i].second});
    }
    if (top && !(wide > 0.0)) return;
    std::vector<Vec2> pts{m(local.front())};
    for (std::size_t i = 0; i < segments; ++i) {
        BulgePoints(m, local[i], local[(i + 1) % n], bulges[i], pts);
        if (!top) {
            Snap(m(local[i]), UnderlayPointKind::End, r);
            if (std::abs(bulges[i]) < 1e-12) {
                Snap(m(0.5 * (local[i] + local[(i + 1) % n])), UnderlayPointKind::Mid, r);
            }
        }
    }
    if (!top) Snap(m(local.back()), UnderlayPointKind::End, r);
    if (closed) pts.pop_back();
    const double scale = m.Scale();
    if (even) {
        AddPolyline(pts, closed, r, widths[0].first * scale);
        return;
    }
    if (!top) AddPolyline(pts, closed, r);
    for (std::size_t i = 0; i < segments; ++i) {
        const auto [w0, w1] = widths[i];
        if (!(std::max(w0, w1) > 0.0)) continue;
        const Vec2 a = local[i];
        const Vec2 b = local[(i + 1) % n];
        if (w0 != w1 && std::abs(bulges[i]) < 1e-12 && a != b) {
            const Vec2 d = (1.0 / Distance(a, b)) * (b - a);
            const Vec2 side{-d.y, d.x};
            AddFill({{m(a + 0.5 * w0 * side), m(b + 0.5 * w1 * side), m(b - 0.5 * w1 * side),
                      m(a - 0.5 * w0 * side)}},
                    r);
            continue;
        }
        std::vector<Vec2> piece{m(a)};
        BulgePoints(m, a, b, bulges[i], piece);
        AddPolyline(piece, false, r, std::max(w0, w1) * scale);
    }
}

void Builder::Polyline(std::size_t r, const std::vector<Tag>& tags, const Affine& plane,
                       const Affine& flat, const Resolved& res, bool top) {
    std::int64_t flags = 0;
    double start = 0.0;
    double end = 0.0;
    for (const Tag& t : tags) {
        if (t.code == 70) flags = t.integer;
        if (t.code == 40) start = t.real;
        if (t.code == 41) end = t.real;
    }
    if ((flags & (16 | 64)) != 0) return;  // meshes
    std::vector<Vec2> local;
    std::vector<double> bulges;
    Widths widths;
    std::vector<Tag> vertex;
    for (std::size_t v = r + 1; v + 1 < m_source.records.size(); ++v) {
        if (TypeOf(v) != "VERTEX" || !Read(v, vertex)) break;
        Vec2 p;
        double bulge = 0.0;
        std::pair<double, double> width{start, end};
        for (const Tag& t : vertex) {
            if (t.code == 10) p.x = t.real;
            if (t.code == 20) p.y = t.real;
            if (t.code == 42) bulge = t.real;
            if (t.code == 40) width.first = t.real;
            if (t.code == 41) width.second = t.real;
        }
        local.push_back(p);
        bulges.push_back(bulge);
        widths.push_back(width);
    }
    const bool flat3d = (flags & 8) != 0;
    // A 3-D polyline is not the board's: it is drawn here whole, without widths.
    if (flat3d) widths.assign(local.size(), {0.0, 0.0});
    PolylineOf(local, bulges, (flags & 1) != 0, flat3d ? flat : plane, res, widths, top && !flat3d);
}

void Builder::Corners(const std::vector<Tag>& tags, const Affine& m, const Resolved& r,
                      bool filled) {
    std::array<Vec2, 4> p{};
    for (const Tag& t : tags) {
        if (t.code >= 10 && t.code <= 13) p[static_cast<std::size_t>(t.code - 10)].x = t.real;
        if (t.code >= 20 && t.code <= 23) p[static_cast<std::size_t>(t.code - 20)].y = t.real;
    }
    // SOLID and TRACE give their corners in the order 1 2 4 3.
    std::vector<Vec2> ring = filled ? std::vector<Vec2>{m(p[0]), m(p[1]), m(p[3]), m(p[2])}
                                    : std::vector<Vec2>{m(p[0]), m(p[1]), m(p[2]), m(p[3])};
    if (filled) {
        AddFill({ring}, r);
    } else {
        AddPolyline(ring, true, r);
    }
    for (const Vec2& q : ring) Snap(q, UnderlayPointKind::End, r);
}

void Builder::Leader(const std::vector<Tag>& tags, const Affine& m, const Resolved& r) {
    std::vector<Vec2> local;
    bool arrow = true;
    std::string_view style = "STANDARD";
    ArrowStyle own;
    // The entity's own style overrides: 1070 <variable's group code>, then its value.
    int overriding = 0;
    for (const Tag& t : tags) {
        if (t.code == 10) local.push_back({t.real, 0.0});
        if (t.code == 20 && !local.empty()) local.back().y = t.real;
        if (t.code == 71) arrow = t.integer != 0;
        if (t.code == 3) style = t.text;
        if (t.code == 1040 && overriding == 41) own.size = t.real;
        if (t.code == 1040 && overriding == 40) own.scale = t.real;
        overriding = t.code == 1070 ? static_cast<int>(t.integer) : 0;
    }
    std::vector<Vec2> pts;
    pts.reserve(local.size());
    for (const Vec2& q : local) pts.push_back(m(q));
    AddPolyline(pts, false, r);
    for (const Vec2& q : pts) Snap(q, UnderlayPointKind::End, r);
    if (arrow && pts.size() >= 2 && pts[0] != pts[1]) {
        // A closed filled arrow, as long as the style says and a third as wide, at the first
        // vertex; never longer than half the first segment.
        const Vec2 d = (pts[1] - pts[0]) * (1.0 / Distance(pts[0], pts[1]));
        const double size =
            std::min(ArrowLength(style, own) * m.Scale(), 0.5 * Distance(pts[0], pts[1]));
        if (size <= 0.0) return;
        const Vec2 side{-d.y, d.x};
        const Vec2 back = pts[0] + size * d;
        AddFill({{pts[0], back + (size / 6.0) * side, back - (size / 6.0) * side}}, r);
    }
}

void Builder::Spline(const std::vector<Tag>& tags, const Affine& m, const Resolved& r) {
    int degree = 3;
    std::vector<double> knots;
    std::vector<double> weights;
    std::vector<Vec2> control;
    std::vector<Vec2> fit;
    bool closed = false;
    for (const Tag& t : tags) {
        switch (t.code) {
            case 70:
                closed = (t.integer & 1) != 0;
                break;
            case 71:
                degree = static_cast<int>(t.integer);
                break;
            case 40:
                knots.push_back(t.real);
                break;
            case 41:
                weights.push_back(t.real);
                break;
            case 10:
                control.push_back({t.real, 0.0});
                break;
            case 20:
                if (!control.empty()) control.back().y = t.real;
                break;
            case 11:
                fit.push_back({t.real, 0.0});
                break;
            case 21:
                if (!fit.empty()) fit.back().y = t.real;
                break;
            default:
                break;
        }
    }
    std::vector<Vec2> pts;
    const std::size_t n = control.size();
    const auto p = static_cast<std::size_t>(std::max(1, degree));
    if (n > p && knots.size() == n + p + 1) {
        if (weights.size() != n) weights.assign(n, 1.0);
        double length = 0.0;
        for (std::size_t i = 0; i + 1 < n; ++i) length += Distance(control[i], control[i + 1]);
        for (std::size_t span = p; span < n; ++span) {
            if (!(knots[span + 1] > knots[span])) continue;
            double spanLength = 0.0;
            for (std::size_t i = span - p; i < span; ++i) {
                spanLength += Distance(control[i], control[i + 1]);
            }
            // Finer where the span is long against the whole.
            const int steps = std::clamp(
                static_cast<int>(8.0 + 64.0 * spanLength / std::max(length, 1e-300)), 8, 128);
            for (int k = pts.empty() ? 0 : 1; k <= steps; ++k) {
                const double u = knots[span] + (knots[span + 1] - knots[span]) * k / steps;
                pts.push_back(m(DeBoor(span, u, p, knots, control, weights)));
            }
        }
        if (!pts.empty()) {
            Snap(pts.front(), UnderlayPointKind::End, r);
            Snap(pts.back(), UnderlayPointKind::End, r);
        }
    } else if (fit.size() >= 2) {
        for (const Vec2& q : ThroughFitPoints(fit)) pts.push_back(m(q));
        Snap(pts.front(), UnderlayPointKind::End, r);
        Snap(pts.back(), UnderlayPointKind::End, r);
    }
    AddPolyline(pts, closed && !pts.empty() && pts.front() == pts.back() ? false : closed, r);
}

std::vector<Vec2> Builder::ThroughFitPoints(const std::vector<Vec2>& fit) {
    const std::size_t n = fit.size();
    if (n < 3) return fit;
    std::vector<double> h(n - 1);
    for (std::size_t i = 0; i + 1 < n; ++i) h[i] = std::max(Distance(fit[i], fit[i + 1]), 1e-12);
    // Second derivatives by the tridiagonal system (Thomas algorithm), zero at both ends.
    std::vector<Vec2> second(n);
    std::vector<double> diagonal(n, 1.0);
    std::vector<double> upper(n, 0.0);
    std::vector<Vec2> rhs(n);
    for (std::size_t i = 1; i + 1 < n; ++i) {
        diagonal[i] = 2.0 * (h[i - 1] + h[i]);
        upper[i] = h[i];
        rhs[i] =
            6.0 * ((1.0 / h[i]) * (fit[i + 1] - fit[i]) - (1.0 / h[i - 1]) * (fit[i] - fit[i - 1]));
    }
    for (std::size_t i = 2; i + 1 < n; ++i) {
        const double w = h[i - 1] / diagonal[i - 1];
        diagonal[i] -= w * upper[i - 1];
        rhs[i] = rhs[i] - w * rhs[i - 1];
    }
    for (std::size_t i = n - 1; i-- > 1;) {
        second[i] = (1.0 / diagonal[i]) * (rhs[i] - upper[i] * second[i + 1]);
    }
    std::vector<Vec2> out{fit.front()};
    constexpr int kSteps = 16;
    for (std::size_t i = 0; i + 1 < n; ++i) {
        for (int k = 1; k <= kSteps; ++k) {
            const double t = h[i] * k / kSteps;
            const double a = (h[i] - t) / h[i];
            const double b = t / h[i];
            out.push_back(a * fit[i] + b * fit[i + 1] +
                          ((a * a * a - a) * h[i] * h[i] / 6.0) * second[i] +
                          ((b * b * b - b) * h[i] * h[i] / 6.0) * second[i + 1]);
        }
    }
    return out;
}

Vec2 Builder::DeBoor(std::size_t span, double u, std::size_t p, const std::vector<double>& t,
                     const std::vector<Vec2>& c, const std::vector<double>& w) {
    std::array<std::array<double, 3>, 16> d{};
    const std::size_t q = std::min<std::size_t>(p, 15);
    for (std::size_t j = 0; j <= q; ++j) {
        const std::size_t i = span - q + j;
        d[j] = {c[i].x * w[i], c[i].y * w[i], w[i]};
    }
    for (std::size_t rr = 1; rr <= q; ++rr) {
        for (std::size_t j = q; j >= rr; --j) {
            const std::size_t i = span - q + j;
            const double denom = t[i + q + 1 - rr] - t[i];
            const double alpha = denom > 0.0 ? (u - t[i]) / denom : 0.0;
            for (std::size_t k = 0; k < 3; ++k) {
                d[j][k] = (1.0 - alpha) * d[j - 1][k] + alpha * d[j][k];
            }
        }
    }
    const double weight = d[q][2] != 0.0 ? d[q][2] : 1.0;
    return {d[q][0] / weight, d[q][1] / weight};
}

}  // namespace pelimator::board::underlay
