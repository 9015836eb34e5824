#pragma once
// The footer texts of the mass and series columns for a selection of grid rows: minimum, mean
// and maximum joined by "/", or the stored table statistics (always 0/0/0) when fewer than two
// rows are selected.
#include <QList>
#include <QString>
#include <QStringList>

struct SelectionFooters
{
    QString t1;
    QString t2;
};

namespace SelectionStats {

// The mean rounded to one decimal place the way the footers show it: with f the double nearest
// to 0.1, x = |m| / f + 0.5 in extended precision, truncated, times f, stored as a double; the
// sign is put back afterwards.
double roundMean(double mean);

// A footer number: up to 15 significant digits, regional decimal separator, no trailing zeros.
QString formatNumber(double value);

// The footers for `count` selected rows. `snapshots` holds the stored values of each selected
// row in selection order (T_1, T_2, DATE, TIME); with count < 2 it is not read.
// Throws ConvertError with noNumberText() at the first value that is not a number.
// The operator's message for a selected row whose mass (field 0) or series number (field 1) is
// empty or no number; the box adds the full stop.
QString noNumberText(int field, const QString &text);

SelectionFooters footers(qsizetype count, const QList<QStringList> &snapshots);

} // namespace SelectionStats
