// Paths taken from a drawing: lines and arcs whose ends meet, chained into maximal runs.
#include "batch/drawing_paths.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <numeric>
#include <unordered_map>

namespace pelimator::batch {

namespace {

using board::EntityData;
using board::EntityKind;
using board::Vec2;

// Union-find over entity ends (2 k: start of the k-th taken entity, 2 k + 1: its end).
class Nodes {
public:
    explicit Nodes(std::size_t count) : m_parent(count) {
        std::iota(m_parent.begin(), m_parent.end(), std::size_t{0});
    }
    std::size_t Find(std::size_t x) {
        while (m_parent[x] != x) {
            m_parent[x] = m_parent[m_parent[x]];
            x = m_parent[x];
        }
        return x;
    }
    void Join(std::size_t a, std::size_t b) { m_parent[Find(a)] = Find(b); }

private:
    std::vector<std::size_t> m_parent;
};

struct CellHash {
    std::size_t operator()(const std::pair<std::int64_t, std::int64_t>& cell) const noexcept {
        // Unsigned arithmetic: the products wrap by design, which signed integers may not.
        const auto x = static_cast<std::uint64_t>(cell.first);
        const auto y = static_cast<std::uint64_t>(cell.second);
        return static_cast<std::size_t>(x * 73856093ULL ^ y * 19349663ULL);
    }
};

}  // namespace

double JoinToleranceFor(std::span<const EntityData> entities,
                        const std::function<bool(const EntityData&)>& take) {
    double largest = 1.0;
    for (const EntityData& entity : entities) {
        if (!take(entity)) continue;
        for (const Vec2 p : {entity.start, entity.end}) {
            largest = std::max({largest, std::abs(p.x), std::abs(p.y)});
        }
    }
    return 1e-9 * largest;
}

namespace {

// Which entity ends meet: end 2 k is the start of the k-th taken entity, 2 k + 1 its end.
struct EndGraph {
    Nodes nodes;
    std::unordered_map<std::size_t, std::vector<std::size_t>> endsAt;  // node -> ends there
};

// Joins the ends within the tolerance into nodes: a grid of cells one tolerance wide, so that
// only the 3 x 3 cells around an end need looking at.
EndGraph JoinEnds(std::span<const EntityData> entities, const std::vector<std::size_t>& taken,
                  double joinTolerance) {
    const std::size_t endCount = 2 * taken.size();
    const auto endPoint = [&](std::size_t end) {
        const EntityData& entity = entities[taken[end / 2]];
        return end % 2 == 0 ? entity.start : entity.end;
    };
    EndGraph graph{Nodes(endCount), {}};
    std::unordered_map<std::pair<std::int64_t, std::int64_t>, std::vector<std::size_t>, CellHash>
        grid;
    grid.reserve(endCount);
    for (std::size_t end = 0; end < endCount; ++end) {
        const Vec2 p = endPoint(end);
        const auto cx = static_cast<std::int64_t>(std::floor(p.x / joinTolerance));
        const auto cy = static_cast<std::int64_t>(std::floor(p.y / joinTolerance));
        for (std::int64_t dx = -1; dx <= 1; ++dx) {
            for (std::int64_t dy = -1; dy <= 1; ++dy) {
                const auto found = grid.find({cx + dx, cy + dy});
                if (found == grid.end()) continue;
                for (const std::size_t other : found->second) {
                    if (board::Distance(p, endPoint(other)) <= joinTolerance) {
                        graph.nodes.Join(end, other);
                    }
                }
            }
        }
        grid[{cx, cy}].push_back(end);
    }
    graph.endsAt.reserve(endCount);
    for (std::size_t end = 0; end < endCount; ++end) {
        graph.endsAt[graph.nodes.Find(end)].push_back(end);
    }
    return graph;
}

// The maximal run through taken entity k, in taken indices: forward from its end, then (unless
// it closed) backward from its start. Marks the entities it takes as used.
Chain WalkChain(std::size_t k, EndGraph& graph, std::vector<bool>& used) {
    const std::size_t none = 2 * used.size();
    // The end of the next entity through the node of `arrival`, when exactly two ends meet there
    // and that entity is still free; none otherwise.
    const auto nextEnd = [&](std::size_t arrival) -> std::size_t {
        const auto& here = graph.endsAt[graph.nodes.Find(arrival)];
        if (here.size() != 2) return none;
        const std::size_t other = here[0] == arrival ? here[1] : here[0];
        return used[other / 2] ? none : other;
    };
    used[k] = true;
    std::vector<ChainPiece> forward{{k, false}};
    std::size_t tip = 2 * k + 1;  // the end the chain has reached
    for (std::size_t next = nextEnd(tip); next != none; next = nextEnd(tip)) {
        used[next / 2] = true;
        const bool reversed = next % 2 == 1;  // entered at its end: run backwards
        forward.push_back({next / 2, reversed});
        tip = reversed ? next - 1 : next + 1;
    }
    Chain chain;
    chain.closed = graph.nodes.Find(tip) == graph.nodes.Find(2 * k) &&
                   graph.endsAt[graph.nodes.Find(tip)].size() == 2;
    std::vector<ChainPiece> backward;
    if (!chain.closed) {
        std::size_t tail = 2 * k;
        for (std::size_t next = nextEnd(tail); next != none; next = nextEnd(tail)) {
            used[next / 2] = true;
            const bool reversed = next % 2 == 0;  // entered at its start: run backwards
            backward.push_back({next / 2, reversed});
            tail = reversed ? next + 1 : next - 1;
        }
    }
    chain.pieces.assign(backward.rbegin(), backward.rend());
    chain.pieces.insert(chain.pieces.end(), forward.begin(), forward.end());
    return chain;
}

// Runs the chain the way its earliest line runs (else its earliest arc, counter-clockwise) and
// starts a closed chain with its earliest entity. Pieces hold taken indices.
void Orient(Chain& chain, std::span<const EntityData> entities,
            const std::vector<std::size_t>& taken) {
    std::size_t reference = 0;
    bool haveLine = false;
    for (std::size_t i = 0; i < chain.pieces.size(); ++i) {
        const bool line = entities[taken[chain.pieces[i].entity]].kind == EntityKind::Line;
        const bool earlier = chain.pieces[i].entity < chain.pieces[reference].entity;
        if ((line && !haveLine) || (line == haveLine && earlier)) reference = i;
        haveLine = haveLine || line;
    }
    if (chain.pieces[reference].reversed) {
        std::reverse(chain.pieces.begin(), chain.pieces.end());
        for (ChainPiece& piece : chain.pieces) piece.reversed = !piece.reversed;
    }
    if (chain.closed) {
        const auto earliest = std::min_element(
            chain.pieces.begin(), chain.pieces.end(),
            [](const ChainPiece& a, const ChainPiece& b) { return a.entity < b.entity; });
        std::rotate(chain.pieces.begin(), earliest, chain.pieces.end());
    }
}

}  // namespace

std::vector<Chain> ChainEntities(std::span<const EntityData> entities,
                                 const std::function<bool(const EntityData&)>& take,
                                 double joinTolerance) {
    std::vector<std::size_t> taken;  // indices into entities, in file order
    for (std::size_t i = 0; i < entities.size(); ++i) {
        if (take(entities[i])) taken.push_back(i);
    }
    EndGraph graph = JoinEnds(entities, taken, joinTolerance);
    std::vector<bool> used(taken.size(), false);
    std::vector<Chain> chains;
    for (std::size_t k = 0; k < taken.size(); ++k) {
        if (used[k]) continue;
        Chain chain = WalkChain(k, graph, used);
        Orient(chain, entities, taken);
        for (ChainPiece& piece : chain.pieces) piece.entity = taken[piece.entity];
        chains.push_back(std::move(chain));
    }
    return chains;
}

std::vector<Vec2> ChainPoints(const Chain& chain, std::span<const EntityData> entities,
                              double flattenTolerance) {
    std::vector<Vec2> points;
    for (const ChainPiece& piece : chain.pieces) {
        std::vector<Vec2> part = board::FlattenEntity(entities[piece.entity], flattenTolerance);
        if (piece.reversed) std::reverse(part.begin(), part.end());
        // The joint is the previous piece's last point; a close one of this piece is dropped.
        points.insert(points.end(), part.begin() + (points.empty() ? 0 : 1), part.end());
    }
    if (chain.closed && points.size() > 1) points.back() = points.front();
    return points;
}

}  // namespace pelimator::batch
