// The underlay's boxes, indexes and text estimate.
#include "board/model/underlay.h"

#include <algorithm>
#include <cmath>

namespace pelimator::board {

namespace {

constexpr double kHuge = 1e300;

Box EmptyBox() noexcept { return {{kHuge, kHuge}, {-kHuge, -kHuge}}; }

void Grow(Box& box, Vec2 p) noexcept {
    box.min.x = std::min(box.min.x, p.x);
    box.min.y = std::min(box.min.y, p.y);
    box.max.x = std::max(box.max.x, p.x);
    box.max.y = std::max(box.max.y, p.y);
}

// The box of a text run by its estimated advance, through its frame and alignment.
Box TextBox(const UnderlayText& text) noexcept {
    const double advance = text.fitWidth > 0.0 ? text.fitWidth : EstimatedAdvance(text.utf8);
    const double x0 = -0.5 * text.hAlign * advance;
    const double y0 = text.vAlign == 0   ? -0.3
                      : text.vAlign == 1 ? 0.0
                      : text.vAlign == 2 ? -0.5
                                         : -1.0;
    Box box = EmptyBox();
    for (const double x : {x0 - 0.1, x0 + advance + 0.1}) {
        for (const double y : {y0 - 0.3, y0 + 1.3}) {
            Grow(box, text.origin + x * text.xAxis + y * text.yAxis);
        }
    }
    return box;
}

}  // namespace

double EstimatedAdvance(const std::string& utf8) noexcept {
    double advance = 0.0;
    for (std::size_t i = 0; i < utf8.size();) {
        const auto c = static_cast<unsigned char>(utf8[i]);
        const std::size_t n = c < 0x80 ? 1 : c < 0xE0 ? 2 : c < 0xF0 ? 3 : 4;
        // Two-byte sequences are Latin, Greek and the like; three and more are mostly CJK.
        advance += n >= 3 ? 1.0 : 0.6;
        i += n;
    }
    return advance;
}

std::optional<Box> UnionOf(const std::optional<Box>& a, const std::optional<Box>& b) noexcept {
    if (!a) return b;
    if (!b) return a;
    Box box = *a;
    Grow(box, b->min);
    Grow(box, b->max);
    return box;
}

Vec2 NearestOnSegment(Vec2 p, Vec2 a, Vec2 b) noexcept {
    const Vec2 d = b - a;
    const double length2 = Dot(d, d);
    if (length2 <= 0.0) return a;
    const double t = std::clamp(Dot(p - a, d) / length2, 0.0, 1.0);
    return a + t * d;
}

std::int64_t BoxGrid::Cell(double v, double origin, std::int64_t size) const noexcept {
    const double c = std::floor((v - origin) / m_cell);
    if (!(c > 0.0)) return 0;
    if (c >= static_cast<double>(size - 1)) return size - 1;
    return static_cast<std::int64_t>(c);
}

void BoxGrid::Build(const std::vector<Box>& boxes) {
    m_boxes = boxes;
    m_large.clear();
    m_items.clear();
    m_start.clear();
    m_columns = m_rows = 0;
    if (boxes.empty()) return;
    Box all = EmptyBox();
    std::vector<double> sizes;
    sizes.reserve(boxes.size());
    for (const Box& box : boxes) {
        Grow(all, box.min);
        Grow(all, box.max);
        sizes.push_back(std::max(box.max.x - box.min.x, box.max.y - box.min.y));
    }
    const double span = std::max(all.max.x - all.min.x, all.max.y - all.min.y);
    // Cells about as large as most boxes, at most 2048 a side and about one box per cell.
    const auto middle = sizes.begin() + static_cast<std::ptrdiff_t>(sizes.size() * 9 / 10);
    std::nth_element(sizes.begin(), middle, sizes.end());
    const double bySize = *middle;
    const double byCount = span / std::max(1.0, std::sqrt(static_cast<double>(boxes.size())));
    m_cell = std::max({bySize, byCount, span / 2048.0, 1e-9});
    m_min = all.min;
    m_columns = static_cast<std::int64_t>((all.max.x - all.min.x) / m_cell) + 1;
    m_rows = static_cast<std::int64_t>((all.max.y - all.min.y) / m_cell) + 1;
    std::vector<std::uint32_t> cellOf(boxes.size(), kNoUnderlayIndex);
    m_start.assign(static_cast<std::size_t>(m_columns * m_rows) + 1, 0);
    for (std::size_t i = 0; i < boxes.size(); ++i) {
        const Box& box = boxes[i];
        if (box.max.x - box.min.x > m_cell || box.max.y - box.min.y > m_cell) {
            m_large.push_back(static_cast<std::uint32_t>(i));
            continue;
        }
        const auto cell = static_cast<std::uint32_t>(Cell(box.min.y, m_min.y, m_rows) * m_columns +
                                                     Cell(box.min.x, m_min.x, m_columns));
        cellOf[i] = cell;
        ++m_start[cell + 1];
    }
    for (std::size_t c = 1; c < m_start.size(); ++c) m_start[c] += m_start[c - 1];
    m_items.resize(m_start.back());
    std::vector<std::uint32_t> fill(m_start.begin(), m_start.end() - 1);
    for (std::size_t i = 0; i < boxes.size(); ++i) {
        if (cellOf[i] != kNoUnderlayIndex)
            m_items[fill[cellOf[i]]++] = static_cast<std::uint32_t>(i);
    }
}

void Underlay::Finish() {
    std::vector<Box> boxes;
    boxes.reserve(items.size());
    Box all = EmptyBox();
    for (UnderlayItem& item : items) {
        Box box = EmptyBox();
        if (item.kind == UnderlayKind::Text) {
            box = TextBox(texts[item.text]);
        } else {
            for (std::uint32_t k = item.first; k < item.first + item.count; ++k)
                Grow(box, points[k]);
            const double half = 0.5 * item.width;
            box.min = box.min - Vec2{half, half};
            box.max = box.max + Vec2{half, half};
        }
        item.box = box;
        boxes.push_back(box);
        Grow(all, box.min);
        Grow(all, box.max);
    }
    m_itemGrid.Build(boxes);
    boxes.clear();
    for (const UnderlayPoint& p : snapPoints) {
        boxes.push_back({p.point, p.point});
        Grow(all, p.point);
    }
    m_pointGrid.Build(boxes);
    if (all.min.x <= all.max.x) {
        m_extents = all;
    } else {
        m_extents.reset();
    }
}

}  // namespace pelimator::board
