// Hatches: boundary paths as fills, pattern lines clipped to them and dashed.
#include "base/errors.h"
#include "board/dxf/dxf_colour.h"
#include "board/dxf/dxf_names.h"
#include "board/dxf/dxf_underlay_builder.h"
#include "board/model/entity.h"

namespace pelimator::board::underlay {

void Builder::Hatch(const std::vector<Tag>& tags, const Affine& m, const Resolved& r) {
    std::vector<std::vector<Vec2>> rings;
    bool solid = false;
    std::size_t i = 0;
    const std::size_t n = tags.size();
    // Up to the boundary count.
    for (; i < n && tags[i].code != 91; ++i) {
        if (tags[i].code == 70) solid = tags[i].integer != 0;
    }
    if (i == n) return;
    const std::int64_t paths = tags[i++].integer;
    for (std::int64_t path = 0; path < paths && i < n; ++path) {
        while (i < n && tags[i].code != 92) ++i;
        if (i == n) break;
        const std::int64_t type = tags[i++].integer;
        std::vector<Vec2> ring;
        if ((type & 2) != 0) {
            bool bulged = false;
            bool closed = true;
            std::vector<Vec2> local;
            std::vector<double> bulges;
            std::int64_t count = 0;
            for (; i < n && tags[i].code != 93; ++i) {
                if (tags[i].code == 72) bulged = tags[i].integer != 0;
                if (tags[i].code == 73) closed = tags[i].integer != 0;
            }
            if (i < n) count = tags[i++].integer;
            for (; i < n && static_cast<std::int64_t>(local.size()) <= count; ++i) {
                const Tag& t = tags[i];
                if (t.code == 10) {
                    if (static_cast<std::int64_t>(local.size()) == count) break;
                    local.push_back({t.real, 0.0});
                    bulges.push_back(0.0);
                } else if (t.code == 20 && !local.empty()) {
                    local.back().y = t.real;
                } else if (t.code == 42 && bulged && !bulges.empty()) {
                    bulges.back() = t.real;
                } else if (t.code == 97 || t.code == 92) {
                    break;
                }
            }
            (void)closed;
            if (!local.empty()) {
                ring.push_back(m(local.front()));
                for (std::size_t k = 0; k < local.size(); ++k) {
                    BulgePoints(m, local[k], local[(k + 1) % local.size()], bulges[k], ring);
                }
                ring.pop_back();
            }
        } else {
            while (i < n && tags[i].code != 93) ++i;
            if (i == n) break;
            const std::int64_t edges = tags[i++].integer;
            for (std::int64_t e = 0; e < edges && i < n; ++e) {
                while (i < n && tags[i].code != 72) ++i;
                if (i == n) break;
                const std::int64_t edge = tags[i++].integer;
                i = HatchEdge(tags, i, edge, m, ring);
            }
        }
        if (ring.size() >= 2) rings.push_back(std::move(ring));
    }
    if (rings.empty()) return;
    if (solid) {
        AddFill(rings, r);
        return;
    }
    for (const auto& ring : rings) AddPolyline(ring, true, r);
    HatchPattern(tags, i, m, rings, r);
}

std::vector<Builder::PatternLine> Builder::ReadPatternLines(const std::vector<Tag>& tags,
                                                            std::size_t i) {
    const std::size_t n = tags.size();
    while (i < n && tags[i].code != 78) ++i;
    if (i == n) return {};
    const std::int64_t families = tags[i++].integer;
    std::vector<PatternLine> lines;
    for (std::int64_t f = 0; f < families && i < n; ++f) {
        PatternLine line;
        double angle = 0.0;
        for (; i < n && tags[i].code != 79; ++i) {
            const Tag& t = tags[i];
            if (t.code == 53) angle = t.real * kDegree;
            if (t.code == 43) line.base.x = t.real;
            if (t.code == 44) line.base.y = t.real;
            if (t.code == 45) line.offset.x = t.real;
            if (t.code == 46) line.offset.y = t.real;
        }
        if (i == n) break;
        const std::int64_t count = tags[i++].integer;
        for (std::int64_t k = 0; k < count && i < n && tags[i].code == 49; ++k, ++i) {
            line.dashes.push_back(tags[i].real);
        }
        line.direction = {std::cos(angle), std::sin(angle)};
        lines.push_back(std::move(line));
    }
    return lines;
}

void Builder::HatchPattern(const std::vector<Tag>& tags, std::size_t i, const Affine& m,
                           const std::vector<std::vector<Vec2>>& rings, const Resolved& r) {
    constexpr double kMaxHatchLines = 2000.0;
    constexpr std::size_t kMaxHatchSegments = 50'000;
    const std::vector<PatternLine> lines = ReadPatternLines(tags, i);
    std::vector<Vec2> segments;
    std::vector<std::vector<double>> cuts;  // per line of the family
    for (const PatternLine& family : lines) {
        const Vec2 b = m(family.base);
        const Vec2 d = m.Vector(family.direction);
        const Vec2 o = m.Vector(family.offset);
        const double across = Cross(d, o);
        if (std::abs(across) < 1e-12 || Dot(d, d) <= 0.0) continue;
        // Line k runs through b + k o; a point p lies at k = Cross(d, p - b) / across.
        std::size_t edges = 0;
        double low = std::numeric_limits<double>::infinity();
        double high = -low;
        for (const auto& ring : rings) {
            edges += ring.size();
            for (const Vec2& p : ring) {
                const double k = Cross(d, p - b) / across;
                low = std::min(low, k);
                high = std::max(high, k);
            }
        }
        if (!(high - low < kMaxHatchLines) || !Spend(edges)) continue;
        const double first = std::ceil(low);
        const auto count = static_cast<std::size_t>(std::max(0.0, high - first + 1.0));
        if (!Spend(count)) return;
        cuts.assign(count, {});
        // Each edge is cut only with the lines its k range spans (one more each side, so
        // that the exact side test below decides the ends), not with every line.
        for (const auto& ring : rings) {
            for (std::size_t e = 0; e < ring.size(); ++e) {
                const Vec2 a = ring[e];
                const Vec2 c = ring[(e + 1) % ring.size()];
                const double ka = Cross(d, a - b) / across;
                const double kc = Cross(d, c - b) / across;
                const double from = std::max(std::floor(std::min(ka, kc)) - first, 0.0);
                const double to =
                    std::min(std::ceil(std::max(ka, kc)) - first, static_cast<double>(count) - 1.0);
                if (to >= from && !Spend(static_cast<std::size_t>(to - from) + 1)) return;
                for (double line = from; line <= to; line += 1.0) {
                    const Vec2 q = b + (first + line) * o;
                    const double sa = Cross(d, a - q);
                    const double sc = Cross(d, c - q);
                    if ((sa > 0.0) == (sc > 0.0)) continue;
                    const Vec2 at = a + (sa / (sa - sc)) * (c - a);
                    cuts[static_cast<std::size_t>(line)].push_back(Dot(at - q, d) / Dot(d, d));
                }
            }
        }
        double period = 0.0;
        for (const double v : family.dashes) period += std::abs(v);
        for (std::size_t line = 0; line < count; ++line) {
            std::vector<double>& at = cuts[line];
            std::sort(at.begin(), at.end());
            const Vec2 q = b + (first + static_cast<double>(line)) * o;
            for (std::size_t c = 0; c + 1 < at.size(); c += 2) {
                DashSegments(q, d, at[c], at[c + 1], family.dashes, period, segments);
            }
            if (segments.size() > 2 * kMaxHatchSegments) break;
        }
        if (segments.size() > 2 * kMaxHatchSegments) break;
    }
    if (segments.empty() || !std::all_of(segments.begin(), segments.end(), Usable) ||
        !Spend(segments.size() + kItemUnits)) {
        return;
    }
    UnderlayItem& item = AddItem(UnderlayKind::Segments, r);
    m_underlay.points.insert(m_underlay.points.end(), segments.begin(), segments.end());
    item.count = static_cast<std::uint32_t>(segments.size());
}

void Builder::DashSegments(Vec2 q, Vec2 d, double from, double to,
                           const std::vector<double>& dashes, double period,
                           std::vector<Vec2>& out) {
    // Dashes finer than the line is long a ten-thousandth are drawn solid.
    if (dashes.empty() || !(period > 0.0) || (to - from) / period > 1e4) {
        out.push_back(q + from * d);
        out.push_back(q + to * d);
        return;
    }
    double t = std::floor(from / period) * period;
    for (std::size_t k = 0; t < to; k = (k + 1) % dashes.size()) {
        const double length = std::abs(dashes[k]);
        const double end = t + length;
        if (dashes[k] >= 0.0 && end >= from) {
            const double a = std::max(t, from);
            const double b = std::min(end, to);
            // A dot is drawn as a short dash, a hundredth of the period.
            out.push_back(q + a * d);
            out.push_back(q + (dashes[k] == 0.0 ? std::min(a + 0.01 * period, to) : b) * d);
        }
        t = end;
    }
}

std::size_t Builder::HatchEdge(const std::vector<Tag>& tags, std::size_t i, std::int64_t edge,
                               const Affine& m, std::vector<Vec2>& ring) {
    const std::size_t n = tags.size();
    std::array<double, 12> v{};  // 10 20 11 21 40 50 51 73
    std::size_t k = i;
    const auto take = [&](std::initializer_list<int> codes) {
        std::size_t slot = 0;
        for (const int code : codes) {
            while (k < n && tags[k].code != code) {
                if (tags[k].code == 72 || tags[k].code == 92 || tags[k].code == 97) return false;
                ++k;
            }
            if (k == n) return false;
            v[slot++] = tags[k].code == 73 ? static_cast<double>(tags[k].integer) : tags[k].real;
            ++k;
        }
        return true;
    };
    std::vector<Vec2> pts;
    if (edge == 1) {
        if (!take({10, 20, 11, 21})) return k;
        pts = {m({v[0], v[1]}), m({v[2], v[3]})};
    } else if (edge == 2) {
        if (!take({10, 20, 40, 50, 51, 73})) return k;
        double sweep = v[4] - v[3];
        if (sweep <= 0.0) sweep += 360.0;
        const double start = v[5] != 0.0 ? v[3] : -v[3];
        ArcPoints(m, {v[0], v[1]}, v[2], v[2], 0.0, start * kDegree,
                  (v[5] != 0.0 ? sweep : -sweep) * kDegree, pts);
    } else if (edge == 3) {
        if (!take({10, 20, 11, 21, 40, 50, 51, 73})) return k;
        const double rx = std::hypot(v[2], v[3]);
        double sweep = v[6] - v[5];
        if (sweep <= 0.0) sweep += 360.0;
        const double start = v[7] != 0.0 ? v[5] : -v[5];
        ArcPoints(m, {v[0], v[1]}, rx, rx * v[4], std::atan2(v[3], v[2]), start * kDegree,
                  (v[7] != 0.0 ? sweep : -sweep) * kDegree, pts);
    } else {
        // Spline edges: their control points, as the boundary's outline.
        std::vector<Vec2> local;
        for (; k < n && tags[k].code != 72 && tags[k].code != 92 && tags[k].code != 97; ++k) {
            if (tags[k].code == 10) local.push_back({tags[k].real, 0.0});
            if (tags[k].code == 20 && !local.empty()) local.back().y = tags[k].real;
        }
        for (const Vec2& q : local) pts.push_back(m(q));
    }
    for (const Vec2& p : pts) {
        if (ring.empty() || ring.back() != p) ring.push_back(p);
    }
    return k;
}

}  // namespace pelimator::board::underlay
