// Chaining lines and arcs end to end.
#include "board/model/chains.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <limits>
#include <numbers>
#include <numeric>
#include <unordered_map>

namespace pelimator::board {

namespace {

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
                    if (Distance(p, endPoint(other)) <= joinTolerance) {
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
        std::vector<Vec2> part = FlattenEntity(entities[piece.entity], flattenTolerance);
        if (piece.reversed) std::reverse(part.begin(), part.end());
        // The joint is the previous piece's last point; a close one of this piece is dropped.
        points.insert(points.end(), part.begin() + (points.empty() ? 0 : 1), part.end());
    }
    if (chain.closed && points.size() > 1) points.back() = points.front();
    return points;
}

namespace {

// One end of an entity: its start (atStart) or its end.
struct EntityEnd {
    std::size_t entity = 0;
    bool atStart = true;
    friend bool operator==(const EntityEnd&, const EntityEnd&) = default;
};

// Length of the entity's curve: a line's chord, an arc's radius times its sweep.
double CurveLength(const EntityData& entity) noexcept {
    switch (entity.kind) {
        case EntityKind::Line:
            return Distance(entity.start, entity.end);
        case EntityKind::Arc:
            return entity.radius * AnglesOf(entity).sweep;
    }
    BadEntityKind(entity.kind);
}

// How far along the entity (from its start) the point of it nearest to p lies.
double PositionAlong(const EntityData& entity, Vec2 p) {
    const double length = CurveLength(entity);
    const std::vector<Vec2> points = FlattenEntity(entity, std::max(length * 1e-4, 1e-12));
    double walked = 0.0;
    double best = 0.0;
    double bestDistance = std::numeric_limits<double>::infinity();
    for (std::size_t i = 1; i < points.size(); ++i) {
        const Vec2 a = points[i - 1];
        const Vec2 d = points[i] - a;
        const double span = std::hypot(d.x, d.y);
        const double t =
            span > 0.0
                ? std::clamp(((p.x - a.x) * d.x + (p.y - a.y) * d.y) / (span * span), 0.0, 1.0)
                : 0.0;
        const double distance = Distance(p, a + t * d);
        if (distance < bestDistance) {
            bestDistance = distance;
            best = walked + t * span;
        }
        walked += span;
    }
    // The flattened length differs a little from the true one: scale to it.
    return walked > 0.0 ? best * (length / walked) : 0.0;
}

class RunWalker {
public:
    RunWalker(std::span<const EntityData> entities,
              const std::function<bool(const EntityData&)>& take, double tolerance,
              const EndsNear& endsNear, const RecordOf& recordOf)
        : m_entities(entities),
          m_take(take),
          m_tolerance(tolerance),
          m_endsNear(endsNear),
          m_recordOf(recordOf) {}

    // The accepted entity ends within the tolerance of p.
    std::vector<EntityEnd> EndsAt(Vec2 p) const {
        std::vector<std::size_t> near;
        m_endsNear(p, m_tolerance, [&](std::size_t index) { near.push_back(index); });
        std::sort(near.begin(), near.end());
        near.erase(std::unique(near.begin(), near.end()), near.end());
        std::vector<EntityEnd> ends;
        for (const std::size_t index : near) {
            const EntityData& entity = m_entities[index];
            if (!m_take(entity)) continue;
            if (Distance(entity.start, p) <= m_tolerance) ends.push_back({index, true});
            if (Distance(entity.end, p) <= m_tolerance) ends.push_back({index, false});
        }
        return ends;
    }

    // The end through which the run goes on from `arrival`: the other one where exactly two
    // meet. None at a free end or a branch.
    std::optional<EntityEnd> Next(const EntityEnd& arrival) const {
        const EntityData& entity = m_entities[arrival.entity];
        const std::vector<EntityEnd> ends = EndsAt(arrival.atStart ? entity.start : entity.end);
        if (ends.size() == 2) {
            if (ends[0] == arrival) return ends[1];
            if (ends[1] == arrival) return ends[0];
            return std::nullopt;
        }
        // A branch: on along the arriving entity's own polyline, when that is one way only.
        if (!m_recordOf || ends.size() < 2) return std::nullopt;
        const std::optional<std::size_t> record = m_recordOf(arrival.entity);
        if (!record) return std::nullopt;
        std::optional<EntityEnd> own;
        for (const EntityEnd& end : ends) {
            if (end == arrival || end.entity == arrival.entity) continue;
            if (m_recordOf(end.entity) != record) continue;
            if (own) return std::nullopt;
            own = end;
        }
        return own;
    }

private:
    std::span<const EntityData> m_entities;
    const std::function<bool(const EntityData&)>& m_take;
    double m_tolerance;
    const EndsNear& m_endsNear;
    const RecordOf& m_recordOf;
};

void Reverse(Chain& chain) {
    std::reverse(chain.pieces.begin(), chain.pieces.end());
    for (ChainPiece& piece : chain.pieces) piece.reversed = !piece.reversed;
}

}  // namespace

Chain ChainThrough(std::span<const EntityData> entities, std::size_t index,
                   const std::function<bool(const EntityData&)>& take, double joinTolerance,
                   const EndsNear& endsNear, Vec2 from, const RecordOf& recordOf) {
    const RunWalker walker(entities, take, joinTolerance, endsNear, recordOf);
    std::unordered_map<std::size_t, bool> used{{index, true}};
    Chain chain;
    std::vector<ChainPiece> forward{{index, false}};
    EntityEnd tip{index, false};  // the end the run has reached
    for (auto next = walker.Next(tip); next; next = walker.Next(tip)) {
        if (used.contains(next->entity)) {
            chain.closed = *next == EntityEnd{index, true};
            break;
        }
        used[next->entity] = true;
        const bool reversed = !next->atStart;  // entered at its end: run backwards
        forward.push_back({next->entity, reversed});
        tip = {next->entity, reversed};
    }
    std::vector<ChainPiece> backward;
    if (!chain.closed) {
        EntityEnd tail{index, true};
        for (auto next = walker.Next(tail); next && !used.contains(next->entity);
             next = walker.Next(tail)) {
            used[next->entity] = true;
            const bool reversed = next->atStart;  // entered at its start: run backwards
            backward.push_back({next->entity, reversed});
            tail = {next->entity, !reversed};
        }
    }
    chain.pieces.assign(backward.rbegin(), backward.rend());
    chain.pieces.insert(chain.pieces.end(), forward.begin(), forward.end());

    // Where along the run the click lies: before the clicked piece, plus into it.
    const std::size_t clicked = backward.size();
    double before = 0.0;
    double total = 0.0;
    for (std::size_t i = 0; i < chain.pieces.size(); ++i) {
        const double length = CurveLength(entities[chain.pieces[i].entity]);
        if (i < clicked) before += length;
        total += length;
    }
    const EntityData& entity = entities[index];
    const double into = PositionAlong(entity, from);  // from the entity's start
    if (chain.closed) {
        // Start at the clicked entity's nearer end and run through it first.
        std::rotate(chain.pieces.begin(),
                    chain.pieces.begin() + static_cast<std::ptrdiff_t>(clicked),
                    chain.pieces.end());
        if (into > CurveLength(entity) - into) {
            Reverse(chain);
            std::rotate(chain.pieces.begin(), chain.pieces.end() - 1, chain.pieces.end());
        }
        return chain;
    }
    const double along = before + into;
    if (total - along < along) Reverse(chain);
    return chain;
}

std::optional<RunAlong> RunAlongEntity(const BoardDrawing& drawing, Vec2 click, double radius,
                                       double flattenTolerance,
                                       const std::function<bool(const EntityData&)>& accept,
                                       const RecordOf& recordOf) {
    const std::span<const EntityData> entities = drawing.Entities();
    std::vector<std::size_t> near;
    const auto around = [](Vec2 p, double r) {
        return Box{{p.x - r, p.y - r}, {p.x + r, p.y + r}};
    };
    // The entity under the click: the nearest of those whose box meets the click's square.
    drawing.EntitiesNear(around(click, radius), near);
    std::sort(near.begin(), near.end());
    std::optional<std::size_t> index;
    double best = radius;
    for (const std::size_t i : near) {
        const double distance = DistanceToEntity(entities[i], click);
        if (distance <= best && (!index || distance < best) && accept(entities[i])) {
            index = i;
            best = distance;
        }
    }
    if (!index) return std::nullopt;
    const std::int32_t layer = entities[*index].layer;
    const auto take = [&](const EntityData& e) { return e.layer == layer && accept(e); };
    // The batch's tolerance from the largest coordinate of the drawing: one scan of the layer.
    const double tolerance = JoinToleranceFor(entities, take);
    const EndsNear endsNear = [&](Vec2 p, double r, const std::function<void(std::size_t)>& found) {
        near.clear();
        drawing.EntitiesNear(around(p, r), near);
        for (const std::size_t i : near) found(i);
    };
    RunAlong run;
    run.chain = ChainThrough(entities, *index, take, tolerance, endsNear, click, recordOf);
    run.points = ChainPoints(run.chain, entities, flattenTolerance);
    return run;
}

double DistanceToEntity(const EntityData& entity, Vec2 p) noexcept {
    switch (entity.kind) {
        case EntityKind::Line: {
            const Vec2 d = entity.end - entity.start;
            const double span2 = d.x * d.x + d.y * d.y;
            const double t =
                span2 > 0.0
                    ? std::clamp(
                          ((p.x - entity.start.x) * d.x + (p.y - entity.start.y) * d.y) / span2,
                          0.0, 1.0)
                    : 0.0;
            return Distance(p, entity.start + t * d);
        }
        case EntityKind::Arc:
            break;
    }
    const ArcAngles angles = AnglesOf(entity);
    double angle = std::atan2(p.y - entity.center.y, p.x - entity.center.x) - angles.start;
    angle = std::fmod(angle, 2.0 * std::numbers::pi);
    if (angle < 0.0) angle += 2.0 * std::numbers::pi;
    if (angle <= angles.sweep) return std::abs(Distance(p, entity.center) - entity.radius);
    return std::min(Distance(p, entity.start), Distance(p, entity.end));
}

std::optional<std::size_t> EntityNear(std::span<const EntityData> entities, Vec2 p, double radius,
                                      const std::function<bool(const EntityData&)>& take) {
    std::optional<std::size_t> best;
    double bestDistance = radius;
    for (std::size_t i = 0; i < entities.size(); ++i) {
        const EntityData& e = entities[i];
        // Whose box (a line's) or circle (an arc's), widened by the best distance so far,
        // misses p cannot be nearer.
        bool farOff = false;
        switch (e.kind) {
            case EntityKind::Line:
                farOff = p.x < std::min(e.start.x, e.end.x) - bestDistance ||
                         p.x > std::max(e.start.x, e.end.x) + bestDistance ||
                         p.y < std::min(e.start.y, e.end.y) - bestDistance ||
                         p.y > std::max(e.start.y, e.end.y) + bestDistance;
                break;
            case EntityKind::Arc:
                farOff = std::abs(Distance(p, e.center) - e.radius) > bestDistance;
                break;
        }
        if (farOff) continue;
        const double distance = DistanceToEntity(e, p);
        if (distance > bestDistance || (best && distance == bestDistance)) continue;
        if (!take(e)) continue;
        best = i;
        bestDistance = distance;
    }
    return best;
}

}  // namespace pelimator::board
