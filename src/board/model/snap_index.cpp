// The snap R-tree: entity boxes filed by index, bulk-loaded when many arrive at once.
#include "board/model/snap_index.h"

#include <algorithm>
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
    using RTree = bgi::rtree<Value, bgi::quadratic<16>>;
    RTree rtree;
    RTree moved;  // the marked entities' boxes as stored now
};

SnapIndex::SnapIndex() : m_tree(std::make_unique<Tree>()) {}
SnapIndex::~SnapIndex() = default;

void SnapIndex::CatchUp(std::span<const EntityData> stored) {
    const std::size_t pending = stored.size() > m_indexed ? stored.size() - m_indexed : 0;
    // Many new entries or many marked: packing the whole tree afresh is faster than inserting
    // one by one, and sheds the old boxes.
    const bool repack = (pending > 4096 && pending * 4 > m_indexed) ||
                        (m_markedList.size() * 4 > m_indexed && m_markedList.size() > 4096);
    std::vector<Value> values;
    if (repack) {
        values.reserve(stored.size());
        for (std::size_t i = 0; i < stored.size(); ++i) Append(values, i, stored[i]);
        m_tree->rtree = Tree::RTree(values.begin(), values.end());
        m_tree->moved.clear();
        m_marked.assign(stored.size(), 0);
        m_markedList.clear();
        m_movedOutOfDate = false;
        m_indexed = stored.size();
        return;
    }
    if (pending > 0) {
        for (std::size_t i = m_indexed; i < stored.size(); ++i) Append(values, i, stored[i]);
        m_tree->rtree.insert(values.begin(), values.end());
        m_indexed = stored.size();
        m_marked.resize(m_indexed, 0);
    }
    if (m_movedOutOfDate) {
        values.clear();
        values.reserve(m_markedList.size());
        for (const std::size_t i : m_markedList) Append(values, i, stored[i]);
        m_tree->moved = Tree::RTree(values.begin(), values.end());
        m_movedOutOfDate = false;
    }
}

void SnapIndex::Truncate(std::span<const EntityData> stored, std::size_t size) {
    if (size >= m_indexed) return;
    const std::size_t dropped = m_indexed - size;
    // A marked entity's box in the main tree is no longer known: it cannot be taken out alone.
    const bool marked = std::any_of(m_marked.begin() + static_cast<std::ptrdiff_t>(size),
                                    m_marked.end(), [](std::uint8_t m) { return m != 0; });
    if (marked || dropped * 4 > m_indexed) {
        Reset();  // rebuilt lazily from what is left
        return;
    }
    std::vector<Value> values;
    for (std::size_t i = size; i < m_indexed; ++i) Append(values, i, stored[i]);
    m_tree->rtree.remove(values.begin(), values.end());
    m_indexed = size;
    m_marked.resize(size);
}

void SnapIndex::Replace(std::size_t index, const EntityData& before, const EntityData& after) {
    if (index >= m_indexed) return;
    Tree::RTree* tree = &m_tree->rtree;
    if (m_marked[index] != 0) {
        // Refiled in the second tree; when that is to be packed anew, it takes the new box then.
        if (m_movedOutOfDate) return;
        tree = &m_tree->moved;
    }
    std::vector<Value> values;
    Append(values, index, before);
    tree->remove(values.begin(), values.end());
    values.clear();
    Append(values, index, after);
    tree->insert(values.begin(), values.end());
}

void SnapIndex::MarkChanged(std::size_t index) {
    if (index >= m_indexed) return;
    if (m_marked[index] == 0) {
        m_marked[index] = 1;
        m_markedList.push_back(index);
    }
    m_movedOutOfDate = true;
}

void SnapIndex::Reset() {
    m_tree->rtree.clear();
    m_tree->moved.clear();
    m_indexed = 0;
    m_marked.clear();
    m_markedList.clear();
    m_movedOutOfDate = false;
}

void SnapIndex::Query(const Box& window, std::size_t live, std::vector<std::size_t>& out) const {
    const BoxValue box(Point(window.min.x, window.min.y), Point(window.max.x, window.max.y));
    m_tree->rtree.query(bgi::intersects(box),
                        boost::make_function_output_iterator([&](const Value& value) {
                            if (value.second < live && m_marked[value.second] == 0) {
                                out.push_back(value.second);
                            }
                        }));
    if (m_markedList.empty()) return;
    m_tree->moved.query(bgi::intersects(box),
                        boost::make_function_output_iterator([&](const Value& value) {
                            if (value.second < live) out.push_back(value.second);
                        }));
}

}  // namespace pelimator::board
