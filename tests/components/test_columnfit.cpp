// The arithmetic of a grid whose columns fill its width: proportional scaling, equal widths and a
// dragged title border.
#include "components/columnfit.h"

#include <algorithm>
#include <gtest/gtest.h>
#include <numeric>

namespace {

TEST(ColumnFit, ScalesInProportionToFillTheWidthExactly)
{
    const QList<int> designed{100, 99, 97, 97, 98, 97, 97}; // 685
    for (int available : {685, 1000, 700, 350, 7 * 8, 1}) {
        const QList<int> scaled = ColumnFit::scale(designed, available, 1);
        EXPECT_EQ(std::accumulate(scaled.begin(), scaled.end(), 0), std::max(available, 7)) << available;
    }
    EXPECT_EQ(ColumnFit::scale(designed, 685), designed);
    EXPECT_EQ(ColumnFit::scale({100, 100, 200}, 800), (QList<int>{200, 200, 400}));
    EXPECT_EQ(ColumnFit::scale({1, 1, 1}, 10), (QList<int>{4, 3, 3}));
    EXPECT_EQ(ColumnFit::scale({0, 0}, 9), (QList<int>{5, 4}));
    // A column below the minimum takes pixels from the widest.
    EXPECT_EQ(ColumnFit::scale({1, 1000}, 100, 8), (QList<int>{8, 92}));
}

TEST(ColumnFit, EqualWidthsThenScaledAndDraggedBorder)
{
    EXPECT_EQ(ColumnFit::equalWidth(1000, 7), 142);
    EXPECT_EQ(ColumnFit::equalWidth(6, 7), 0);
    // Seven equal widths scaled to a client width of 996 differ by at most one pixel.
    const QList<int> fitted = ColumnFit::scale(QList<int>(7, 142), 996);
    EXPECT_EQ(std::accumulate(fitted.begin(), fitted.end(), 0), 996);
    EXPECT_LE(
        *std::max_element(fitted.begin(), fitted.end()) - *std::min_element(fitted.begin(), fitted.end()), 1);

    // Dragging column 1 to 300: it keeps 300, the others share the rest in proportion.
    const QList<int> after = ColumnFit::afterResize({100, 100, 200, 100}, 1, 300, 500);
    EXPECT_EQ(after, (QList<int>{50, 300, 100, 50}));
    // Dragged wider than the grid: the others keep the minimum.
    const QList<int> wide = ColumnFit::afterResize({100, 100, 100}, 0, 5000, 300, 10);
    EXPECT_EQ(wide, (QList<int>{280, 10, 10}));
}

} // namespace
