// The snap R-tree: entity boxes filed by index, bulk-loaded when many arrive at once.
#include "board/model/snap_index.h"

#include <utility>

#include <boost/geometry.hpp>
#include <boost/geometry/index/rtree.hpp>
#include <boost/iterator/function_output_iterator.hpp>

namespace pelimator::board {

namespace bg = boost::geometry;
namespace bgi = boost::geometry::index;

namespace {

using Point = bg::model::point<double, 2, bg::cs::cartesian>;
using BoxValue = bg::model::box<Point>;
using Value = std::pair<BoxValue, std::size_t>;

void Append(std::vector<Value>& values, std::size_t index, const EntityData& entity) {
    const Box box = ConservativeBox(entity);
    // Boxes that are not finite cannot be found and would upset the tree's own boxes.
    if (!IsFiniteBox(box)) return;
    values.emplace_back(BoxValue(Point(box.min.x, box.min.y), Point(box.max.x, box.max.y)), index);
}

}  // namespace

struct SnapIndex::Tree {
    bgi::rtree<Value, bgi::quadratic<16>> rtree;
};

SnapIndex::SnapIndex() : m_tree(std::make_unique<Tree>()) {}
SnapIndex::~SnapIndex() = default;

void SnapIndex::CatchUp(std::span<const EntityData> entities) {
    if (m_indexed >= entities.size()) return;
    const std::size_t pending = entities.size() - m_indexed;
    std::vector<Value> values;
    // Many new entries: packing the whole tree afresh is faster than inserting one by one.
    if (pending > 4096 && pending * 4 > m_indexed) {
        values.reserve(entities.size());
        for (std::size_t i = 0; i < entities.size(); ++i) Append(values, i, entities[i]);
        m_tree->rtree = decltype(m_tree->rtree)(values.begin(), values.end());
    } else {
        for (std::size_t i = m_indexed; i < entities.size(); ++i) Append(values, i, entities[i]);
        m_tree->rtree.insert(values.begin(), values.end());
    }
    m_indexed = entities.size();
}

void SnapIndex::Truncate(std::span<const EntityData> entities, std::size_t size) {
    if (size >= m_indexed) return;
    const std::size_t dropped = m_indexed - size;
    if (dropped * 4 > m_indexed) {
        Reset();  // rebuilt lazily from what is left
        return;
    }
    std::vector<Value> values;
    for (std::size_t i = size; i < m_indexed; ++i) Append(values, i, entities[i]);
    m_tree->rtree.remove(values.begin(), values.end());
    m_indexed = size;
}

void SnapIndex::Replace(std::size_t index, const EntityData& before, const EntityData& after) {
    if (index >= m_indexed) return;
    std::vector<Value> values;
    Append(values, index, before);
    m_tree->rtree.remove(values.begin(), values.end());
    values.clear();
    Append(values, index, after);
    m_tree->rtree.insert(values.begin(), values.end());
}

void SnapIndex::Reset() {
    m_tree->rtree.clear();
    m_indexed = 0;
}

void SnapIndex::Query(const Box& window, std::size_t live, std::vector<std::size_t>& out) const {
    const BoxValue box(Point(window.min.x, window.min.y), Point(window.max.x, window.max.y));
    m_tree->rtree.query(bgi::intersects(box),
                        boost::make_function_output_iterator([&](const Value& value) {
                            if (value.second < live) out.push_back(value.second);
                        }));
}

}  // namespace pelimator::board
