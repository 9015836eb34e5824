#pragma once
// The mass-over-time chart of one observation series, without windows: choosing the series in the
// measurement table, the chart's fixed settings, its points and range from the table, and the
// chart on a printed page or in a PDF file. The chart window, its parameters dialog and the print
// on the program's printer (graf.h, param_graf.h) are built on these.
#include "components/draw/chart.h"

class DbfTable;
class QPageLayout;

// The filter expression for a series entry: T_2 ='<entry>', single quotes doubled, no trimming.
QString seriesFilter(const QString &entry);

// Filters the table to the readings of the series. With two readings or more the table stays
// filtered, on its first row, and the result is true; otherwise the filter is switched off again
// and the result is false. A closed table has no series.
bool selectSeries(DbfTable &table, const QString &entry);

// Every fixed setting of the mass-over-time chart (title, axes, series).
void configureMassChart(Chart &chart);

// The vertical range for the masses: automatic when they span 10 g or more, otherwise a window
// exactly 10 g high centred on the middle of the data.
struct MassRange
{
    bool automatic = true;
    double minimum = 0;
    double maximum = 0;
};
MassRange massAxisRange(const QList<ChartPoint> &points);

// Rebuilds the series from the rows of the (filtered) table, first to last, and applies the range
// rule; the table's filter is switched off afterwards, also when a row cannot be converted (the
// error then leaves with the points read so far).
void buildMassChart(Chart &chart, DbfTable &table);

// Draws the chart on a page of a printer or a PDF writer whose painter draws in its printable
// area: stretched to that area less 4 % on each side, in screen pixels (96 per inch) scaled to the
// device's resolution, so the on-screen proportions are not kept.
void drawChartPage(const Chart &chart, QPainter &painter, const QPageLayout &layout, int resolution);

// The chart as it prints, as a one-page PDF file: A4 landscape with margins of 10 pt, 1200 dots
// per inch, the title "Chart1". Throws QpxError "Не удалось записать файл ..." when it cannot be
// written.
void writeChartPdf(const Chart &chart, const QString &path);
