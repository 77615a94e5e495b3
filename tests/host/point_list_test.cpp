// The plain point list: live items, 0-based indices, and range errors.
#include "host/point_list.h"

#include <ostream>

#include <gtest/gtest.h>

#include "host/errors.h"

namespace pelimator::host {
namespace {

PlainPointList MakeList(std::initializer_list<std::pair<double, double>> points) {
    PlainPointList list;
    for (auto [x, y] : points) list.Add(x, y);
    return list;
}

TEST(PlainPointList, ItemsAreLiveAndStayWithTheirPointAfterRemove) {
    auto list = MakeList({{0, 0}, {1, 2}, {3, 4}});
    auto p = list.Item(1);
    p->SetX(7);
    EXPECT_EQ(list.Item(1)->X(), 7);
    list.Remove(0);
    ASSERT_EQ(list.Count(), 2);
    EXPECT_EQ(list.Item(0)->X(), 7);
    EXPECT_EQ(list.Item(0)->Y(), 2);
    EXPECT_EQ(list.Item(1)->Y(), 4);
    list.Remove(1);  // p's list entry survives; a removed entry's point object stays valid
    EXPECT_EQ(p->Y(), 2);
}

struct BadIndex {
    const char* name;
    std::int32_t index;
};

// Failures name the row instead of dumping its bytes.
void PrintTo(const BadIndex& row, std::ostream* out) { *out << row.name; }

class PlainPointListBadIndex : public ::testing::TestWithParam<BadIndex> {};

TEST_P(PlainPointListBadIndex, ItemAndRemoveRaiseHostError) {
    auto list = MakeList({{0, 0}, {1, 1}});
    EXPECT_THROW((void)list.Item(GetParam().index), HostError);
    EXPECT_THROW(list.Remove(GetParam().index), HostError);
    EXPECT_EQ(list.Count(), 2);
}

INSTANTIATE_TEST_SUITE_P(Rows, PlainPointListBadIndex,
                         ::testing::Values(BadIndex{"Negative", -1}, BadIndex{"PastEnd", 2},
                                           BadIndex{"Huge", 2147483647}),
                         [](const auto& row) { return std::string(row.param.name); });

}  // namespace
}  // namespace pelimator::host
