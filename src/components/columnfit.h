#pragma once
// Arithmetic of a grid whose columns together fill its width.
#include <QList>

namespace ColumnFit {

// Scales the widths in proportion so that they add up to `available` exactly (each at least
// `minimum`; the pixels lost to rounding go to the columns with the largest remainders).
QList<int> scale(const QList<int> &widths, int available, int minimum = 1);

// The operator dragged column `index` to `newWidth`: it keeps that width (limited so that every
// other column keeps at least `minimum`) and the other columns are scaled to fill the rest.
QList<int> afterResize(const QList<int> &widths, int index, int newWidth, int available, int minimum = 1);

// The common width of the column fit: the outer width divided by the column count, remainder
// dropped.
int equalWidth(int outerWidth, int columnCount);

} // namespace ColumnFit
