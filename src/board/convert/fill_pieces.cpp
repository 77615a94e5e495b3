// Even-odd areas cut into trapezoids: a sweep up through the corners' heights; in each slab the
// edges that span it, ordered by x, bound the filled spans pairwise. Where two edges cross inside
// a slab it is cut again at the crossing, so every piece has straight, non-crossing sides.
#include "board/convert/fill_pieces.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <utility>

namespace pelimator::board {

namespace {

struct Edge {
    Vec2 low;  // the end with the lower y
    Vec2 high;
    [[nodiscard]] double XAt(double y) const {
        return low.x + (high.x - low.x) * (y - low.y) / (high.y - low.y);
    }
};

// Slabs cut at crossings at most this deep (each cut halves nothing in particular, so a bound
// keeps a degenerate pile of crossings finite).
constexpr int kMaxCuts = 48;

// A piece smaller than this share of the rings' box is a sliver between heights that differ
// by rounding alone (or a cut at a crossing on a slab's edge): left out, it covers nothing.
constexpr double kLeastPieceShare = 1e-9;

class Sweep {
public:
    Sweep(std::size_t limit, double size, double leastArea)
        : m_limit(limit), m_size(size), m_leastArea(leastArea) {}

    // The pieces of slab [y0, y1] bounded by edges (each spans it); false past the limit.
    bool Slab(const std::vector<const Edge*>& edges, double y0, double y1, int cuts) {
        std::vector<std::pair<double, double>> xs;  // at y0, at y1
        xs.reserve(edges.size());
        for (const Edge* e : edges) xs.emplace_back(e->XAt(y0), e->XAt(y1));
        std::sort(xs.begin(), xs.end(), [](const auto& a, const auto& b) {
            return a.first + a.second < b.first + b.second;
        });
        const double tolerance = 1e-12 * m_size;
        for (std::size_t i = 0; i + 1 < xs.size() && cuts < kMaxCuts; ++i) {
            const double d0 = xs[i + 1].first - xs[i].first;
            const double d1 = xs[i + 1].second - xs[i].second;
            if (d0 >= -tolerance && d1 >= -tolerance) continue;
            // These two cross inside the slab: cut it there.
            const double y = y0 + (y1 - y0) * d0 / (d0 - d1);
            if (!(y > y0 && y < y1)) continue;
            return Slab(edges, y0, y, cuts + 1) && Slab(edges, y, y1, cuts + 1);
        }
        for (std::size_t i = 0; i + 1 < xs.size(); i += 2) {
            const auto [a0, a1] = xs[i];
            const auto [b0, b1] = xs[i + 1];
            if (b0 - a0 <= tolerance && b1 - a1 <= tolerance) continue;
            if (0.5 * ((b0 - a0) + (b1 - a1)) * (y1 - y0) <= m_leastArea) continue;
            if (m_pieces.size() >= m_limit) return false;
            m_pieces.push_back({Vec2{a0, y0}, Vec2{b0, y0}, Vec2{b1, y1}, Vec2{a1, y1}});
        }
        return true;
    }

    std::vector<FillPiece> Take() { return std::move(m_pieces); }

private:
    std::size_t m_limit;
    double m_size;
    double m_leastArea;
    std::vector<FillPiece> m_pieces;
};

}  // namespace

std::vector<FillPiece> EvenOddPieces(std::span<const std::vector<Vec2>> rings, std::size_t limit) {
    std::vector<Edge> edges;
    std::vector<double> heights;
    double size = 0.0;
    double minX = std::numeric_limits<double>::max();
    double maxX = -minX;
    for (const std::vector<Vec2>& ring : rings) {
        if (ring.size() < 3) continue;
        for (std::size_t i = 0; i < ring.size(); ++i) {
            const Vec2 a = ring[i];
            const Vec2 b = ring[(i + 1) % ring.size()];
            if (!std::isfinite(a.x) || !std::isfinite(a.y)) return {};
            size = std::max({size, std::abs(a.x), std::abs(a.y)});
            minX = std::min(minX, a.x);
            maxX = std::max(maxX, a.x);
            heights.push_back(a.y);
            if (a.y != b.y) edges.push_back(a.y < b.y ? Edge{a, b} : Edge{b, a});
        }
    }
    std::sort(heights.begin(), heights.end());
    heights.erase(std::unique(heights.begin(), heights.end()), heights.end());
    std::sort(edges.begin(), edges.end(),
              [](const Edge& a, const Edge& b) { return a.low.y < b.low.y; });
    const double boxArea = heights.empty() ? 0.0 : (maxX - minX) * (heights.back() - heights[0]);
    Sweep sweep(limit, std::max(size, 1e-300), kLeastPieceShare * boxArea);
    std::vector<const Edge*> active;
    std::size_t next = 0;
    for (std::size_t h = 0; h + 1 < heights.size(); ++h) {
        const double y0 = heights[h];
        const double y1 = heights[h + 1];
        std::erase_if(active, [&](const Edge* e) { return e->high.y <= y0; });
        for (; next < edges.size() && edges[next].low.y <= y0; ++next) {
            if (edges[next].high.y > y0) active.push_back(&edges[next]);
        }
        if (!sweep.Slab(active, y0, y1, 0)) return {};
    }
    return sweep.Take();
}

bool ConvexRing(std::span<const Vec2> ring) {
    const std::size_t n = ring.size();
    int sign = 0;
    for (std::size_t i = 0; i < n; ++i) {
        const Vec2 a = ring[i];
        const Vec2 b = ring[(i + 1) % n];
        const Vec2 c = ring[(i + 2) % n];
        const double cross = (b.x - a.x) * (c.y - b.y) - (b.y - a.y) * (c.x - b.x);
        if (cross == 0.0) continue;
        const int s = cross > 0.0 ? 1 : -1;
        if (sign != 0 && s != sign) return false;
        sign = s;
    }
    return true;
}

}  // namespace pelimator::board
