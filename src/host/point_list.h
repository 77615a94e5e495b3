// A plain in-memory point and point list, for hosts and tests that need nothing more.
#pragma once

#include <cstdint>
#include <memory>
#include <vector>

#include "host/host.h"

namespace pelimator::host {

class PlainPoint final : public HostPoint {
public:
    PlainPoint() = default;
    PlainPoint(double x, double y) noexcept : m_x(x), m_y(y) {}
    [[nodiscard]] double X() const override { return m_x; }
    void SetX(double x) override { m_x = x; }
    [[nodiscard]] double Y() const override { return m_y; }
    void SetY(double y) override { m_y = y; }

private:
    double m_x = 0.0;
    double m_y = 0.0;
};

// Each entry is its own point object, so Item() hands out a live point without allocating.
class PlainPointList final : public HostPointList {
public:
    PlainPointList() = default;
    [[nodiscard]] HostPointPtr Item(std::int32_t index) const override;
    [[nodiscard]] std::int32_t Count() const override;
    void Add(double x, double y) override;
    void Remove(std::int32_t index) override;

    void Reserve(std::size_t count) { m_points.reserve(count); }
    // Direct read without a host call, for hosts that draw or transform the list.
    [[nodiscard]] const PlainPoint& At(std::size_t index) const { return *m_points[index]; }
    [[nodiscard]] std::size_t Size() const noexcept { return m_points.size(); }

private:
    std::vector<std::shared_ptr<PlainPoint>> m_points;
};

}  // namespace pelimator::host
