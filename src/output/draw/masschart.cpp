#include "masschart.h"

#include "base/errors.h"
#include "base/regional.h"
#include "data/measurementtable.h"
#include "dbase/dbftable.h"

#include <QPageLayout>
#include <QPainter>
#include <QPdfWriter>
#include <QSaveFile>
#include <algorithm>

namespace {
// The smallest label step of the time axis: one second, in days.
constexpr double OneSecond = 1.1574074074074e-05;
constexpr double MassWindow = 10.0;

// Switches the table's filter off when the chart has been read, also when reading failed.
class FilterOff
{
public:
    explicit FilterOff(DbfTable &table) : m_table(table) {}
    ~FilterOff()
    {
        try {
            m_table.setFiltered(false);
        } catch (...) {
            // The reading error is the one the operator sees.
        }
    }
    FilterOff(const FilterOff &) = delete;
    FilterOff &operator=(const FilterOff &) = delete;

private:
    DbfTable &m_table;
};
} // namespace

QString seriesFilter(const QString &entry)
{
    QString quoted = entry;
    quoted.replace(QLatin1Char('\''), QStringLiteral("''"));
    return QStringLiteral("T_2 ='") + quoted + QLatin1Char('\'');
}

bool selectSeries(DbfTable &table, const QString &entry)
{
    if (!table.isOpen())
        return false;
    table.setFiltered(false);
    table.setFilter(seriesFilter(entry));
    table.setFiltered(true);
    table.first();
    if (table.exactRecordCount() >= 2)
        return true;
    table.setFiltered(false);
    return false;
}

void configureMassChart(Chart &chart)
{
    chart.title = QStringLiteral("Изменение массы образца во времени");
    chart.legendVisible = false;
    chart.view3D = false;
    chart.backWallColor = Qt::white;
    chart.backWallTransparent = true;
    chart.marginTopPercent = 5;

    chart.series.color = Qt::red;
    chart.series.pointerVisible = false;
    chart.series.marksVisible = false;

    ChartAxis &x = chart.bottomAxis;
    x.title = QStringLiteral("t, c.");
    x.dateTime = true;
    x.labelFormat = QStringLiteral("hh:mm:ssdd.MM.yy");
    x.minimumStep = OneSecond;
    x.labelAngle = 90;
    x.labelsSize = 101;
    x.minorTickCount = 5;
    x.grid = true;
    x.gridCentered = true;
    x.setAutomatic(true);

    ChartAxis &y = chart.leftAxis;
    y.title = QStringLiteral("m, г.");
    y.dateTime = false;
    y.minimumStep = 1.0;
    y.grid = true;
    y.gridCentered = true;
    y.setAutomatic(true);
}

MassRange massAxisRange(const QList<ChartPoint> &points)
{
    MassRange range;
    if (points.isEmpty())
        return range;
    const auto [lo, hi] = std::minmax_element(
        points.begin(), points.end(), [](const ChartPoint &a, const ChartPoint &b) { return a.y < b.y; });
    const double min = lo->y, max = hi->y;
    if (max - min >= MassWindow)
        return range;
    const double d = (MassWindow - (max - min)) / 2;
    range.automatic = false;
    range.minimum = min - d;
    range.maximum = max + d;
    return range;
}

void buildMassChart(Chart &chart, DbfTable &table)
{
    FilterOff filterOff(table);
    chart.series.clear();
    chart.bottomAxis.labelFormat = QStringLiteral("hh:mm:ssdd.MM.yy");
    const Regional &regional = Regional::current();
    for (table.first(); !table.eof(); table.next()) {
        const QString when = table.text(Measurement::DATE) + QLatin1Char(' ') + table.text(Measurement::TIME);
        const double x = toChartDays(regional.parseDateTime(when));
        const double y = table.number(Measurement::T_1);
        chart.series.addXY(x, y);
    }
    const MassRange range = massAxisRange(chart.series.points());
    if (range.automatic)
        chart.leftAxis.setAutomatic(true);
    else
        chart.leftAxis.setMinMax(range.minimum, range.maximum);
}

void drawChartPage(const Chart &chart, QPainter &painter, const QPageLayout &layout, int resolution)
{
    const QSizeF page = layout.paintRectPixels(resolution).size();
    const double scale = resolution / 96.0;
    const double mx = page.width() * 0.04, my = page.height() * 0.04;
    painter.scale(scale, scale);
    chart.draw(painter, QRectF(mx / scale, my / scale, (page.width() - 2 * mx) / scale,
                               (page.height() - 2 * my) / scale));
}

void writeChartPdf(const Chart &chart, const QString &path)
{
    const auto failed = [&] { return QpxError(QStringLiteral("Не удалось записать файл \"%1\"").arg(path)); };
    // Written beside the target and put in its place only when complete.
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        throw failed();
    {
        // The page a PDF printer gives the chart print.
        QPdfWriter writer(&file);
        writer.setTitle(QStringLiteral("Chart1"));
        writer.setCreator(QString());
        writer.setResolution(1200);
        writer.setPageLayout(QPageLayout(QPageSize(QPageSize::A4), QPageLayout::Landscape,
                                         QMarginsF(10, 10, 10, 10), QPageLayout::Point));
        QPainter painter;
        if (!painter.begin(&writer))
            throw failed();
        drawChartPage(chart, painter, writer.pageLayout(), writer.resolution());
        if (!painter.end())
            throw failed();
    }
    if (!file.commit())
        throw failed();
}
