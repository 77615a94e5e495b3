// A plain in-memory point list.
#include "host/point_list.h"

#include <limits>
#include <string>

#include "host/errors.h"

namespace pelimator::host {

namespace {
void CheckIndex(std::int32_t index, std::size_t size) {
    if (index < 0 || static_cast<std::size_t>(index) >= size) {
        throw HostError("点リストの番号が範囲外です: " + std::to_string(index) + " (点の数 " +
                        std::to_string(size) + ")");
    }
}
}  // namespace

HostPointPtr PlainPointList::Item(std::int32_t index) const {
    CheckIndex(index, m_points.size());
    return m_points[static_cast<std::size_t>(index)];
}

std::int32_t PlainPointList::Count() const { return static_cast<std::int32_t>(m_points.size()); }

void PlainPointList::Add(double x, double y) {
    if (m_points.size() >= static_cast<std::size_t>(std::numeric_limits<std::int32_t>::max())) {
        throw HostError("点リストがいっぱいです");
    }
    m_points.push_back(std::make_shared<PlainPoint>(x, y));
}

void PlainPointList::Remove(std::int32_t index) {
    CheckIndex(index, m_points.size());
    m_points.erase(m_points.begin() + index);
}

}  // namespace pelimator::host
