// The chart component and the chart windows without a table: the vertical range rule, the time
// axis labels, point order, the drawing and the print.
#include "base/regional.h"
#include "components/draw/chart.h"
#include "output/widgets/graf.h"
#include "support/needtool.h"
#include "ui/prompts.h"

#include <QDir>
#include <QImage>
#include <QPainter>
#include <QPrinter>
#include <QProcess>
#include <QPushButton>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <cmath>
#include <gtest/gtest.h>
#include <limits>

namespace {
QList<ChartPoint> masses(std::initializer_list<double> ys)
{
    QList<ChartPoint> pts;
    double x = 37899.75;
    for (double y : ys)
        pts << ChartPoint{x += 1.0 / 1440, y};
    return pts;
}

void applyRange(Chart &chart, const QList<ChartPoint> &pts)
{
    chart.series.clear();
    for (const ChartPoint &p : pts)
        chart.series.addXY(p.x, p.y);
    const MassRange r = massAxisRange(pts);
    if (r.automatic)
        chart.leftAxis.setAutomatic(true);
    else
        chart.leftAxis.setMinMax(r.minimum, r.maximum);
}

int redPixels(const QImage &image, const QRect &area)
{
    int n = 0;
    for (int y = area.top(); y <= area.bottom(); ++y)
        for (int x = area.left(); x <= area.right(); ++x) {
            const QColor c = image.pixelColor(x, y);
            if (c.red() > 200 && c.green() < 120 && c.blue() < 120)
                ++n;
        }
    return n;
}
} // namespace

TEST(MassRange, WindowOfTenGramsCentredOnTheData)
{
    const MassRange r = massAxisRange(masses({100.2, 100.5, 100.9}));
    EXPECT_FALSE(r.automatic);
    EXPECT_NEAR(r.minimum, 95.55, 1e-9);
    EXPECT_NEAR(r.maximum, 105.55, 1e-9);

    const MassRange flat = massAxisRange(masses({42, 42, 42}));
    EXPECT_FALSE(flat.automatic);
    EXPECT_DOUBLE_EQ(flat.minimum, 37);
    EXPECT_DOUBLE_EQ(flat.maximum, 47);

    const MassRange almost = massAxisRange(masses({100, 109.9}));
    EXPECT_FALSE(almost.automatic);
    EXPECT_NEAR(almost.maximum - almost.minimum, 10, 1e-9);
    EXPECT_NEAR(almost.minimum, 99.95, 1e-9);

    EXPECT_TRUE(massAxisRange(masses({100, 110})).automatic);
    EXPECT_TRUE(massAxisRange(masses({-3, 250})).automatic);
    EXPECT_TRUE(massAxisRange({}).automatic);
}

TEST(MassRange, EachChartGetsItsOwnRangeWhateverCameBefore)
{
    Chart chart;
    configureMassChart(chart);
    double from = 0, to = 0;
    applyRange(chart, masses({200.1, 200.4}));
    chart.verticalRange(&from, &to);
    EXPECT_NEAR(from, 195.25, 1e-9);
    EXPECT_NEAR(to, 205.25, 1e-9);

    // Both bounds below the previous minimum: must not be refused or half applied.
    applyRange(chart, masses({100.2, 100.9}));
    chart.verticalRange(&from, &to);
    EXPECT_NEAR(from, 95.55, 1e-9);
    EXPECT_NEAR(to, 105.55, 1e-9);

    // A wide series afterwards takes its range from the data again.
    applyRange(chart, masses({10, 50, 30}));
    chart.verticalRange(&from, &to);
    EXPECT_DOUBLE_EQ(from, 10);
    EXPECT_DOUBLE_EQ(to, 50);
}

TEST(LineSeries, KeepsPointsInTimeOrderWhateverTheOrderAdded)
{
    LineSeries s;
    s.addXY(3, 30);
    s.addXY(1, 10);
    s.addXY(2, 20);
    s.addXY(2, 21); // same second: both kept, in the order read
    s.addXY(0.5, 5);
    QList<double> xs, ys;
    for (const ChartPoint &p : s.points()) {
        xs << p.x;
        ys << p.y;
    }
    EXPECT_EQ(xs, (QList<double>{0.5, 1, 2, 2, 3}));
    EXPECT_EQ(ys, (QList<double>{5, 10, 20, 21, 30}));
}

TEST(TimeAxis, LabelsReadTimeThenDateWithoutBlank)
{
    const QDateTime when(QDate(2003, 10, 5), QTime(18, 7, 59), Qt::UTC);
    const double days = toChartDays(when);
    EXPECT_NEAR(days, 37899 + (18 * 3600 + 7 * 60 + 59) / 86400.0, 1e-9);
    EXPECT_EQ(fromChartDays(days), when);
    Chart chart;
    configureMassChart(chart);
    EXPECT_EQ(fromChartDays(days).toString(chart.bottomAxis.labelFormat), QStringLiteral("18:07:5905.10.03"));
}

TEST(TimeAxis, StepNeverBelowOneSecondAndLabelsOnRoundTimes)
{
    Chart chart;
    configureMassChart(chart);
    const double minStep = chart.bottomAxis.minimumStep;
    const double second = 1.0 / 86400;
    const double start = toChartDays(QDateTime(QDate(2003, 10, 5), QTime(18, 7, 59), Qt::UTC)) + 0.3 * second;

    // Three seconds of data and room for 100 labels: still one label per second, on whole seconds.
    AxisTicks t = dateTimeTicks(start, start + 3 * second, minStep, 100, 5);
    EXPECT_NEAR(t.step, second, 1e-12);
    ASSERT_EQ(t.major.size(), 3);
    for (double x : t.major)
        EXPECT_EQ(fromChartDays(x).time().msec(), 0);
    // Five minor ticks between two labels.
    int between = 0;
    for (double m : t.minor)
        between += m > t.major[0] && m < t.major[1];
    EXPECT_EQ(between, 5);

    // Two hours of data and room for 10 labels: a round step of at least 12 minutes.
    t = dateTimeTicks(start, start + 2.0 / 24, minStep, 10, 5);
    EXPECT_NEAR(t.step * 86400, 900, 1e-6);
    EXPECT_LE(t.major.size(), 10);
    for (double x : t.major) {
        const QTime time = fromChartDays(x).time();
        EXPECT_EQ(time.minute() % 15, 0);
        EXPECT_EQ(time.second(), 0);
    }

    // Months of data still give whole-day labels.
    t = dateTimeTicks(start, start + 90, minStep, 8, 5);
    EXPECT_LE(t.major.size(), 8);
    EXPECT_EQ(fromChartDays(t.major[0]).time(), QTime(0, 0));
}

TEST(ValueAxis, StepOfAtLeastOneGram)
{
    AxisTicks t = valueTicks(95.55, 105.55, 1.0, 100, 0);
    EXPECT_DOUBLE_EQ(t.step, 1.0);
    EXPECT_EQ(t.major.constFirst(), 96);
    EXPECT_EQ(t.major.constLast(), 105);
    t = valueTicks(0, 1000, 1.0, 8, 0);
    EXPECT_DOUBLE_EQ(t.step, 200);
}

TEST(ChartDrawing, RedLineInsideThePlotOnly)
{
    Chart chart;
    configureMassChart(chart);
    applyRange(chart, masses({100.2, 100.9, 100.5, 100.7}));
    QImage image(698, 482, QImage::Format_ARGB32);
    image.fill(Qt::black);
    QPainter painter(&image);
    chart.draw(painter, QRectF(image.rect()));
    painter.end();
    EXPECT_GT(redPixels(image, image.rect()), 100);
    // The bottom strip holds the 101 pixels of labels and the axis title: no part of the line.
    EXPECT_EQ(redPixels(image, QRect(0, 482 - 110, 698, 110)), 0);
    EXPECT_EQ(image.pixelColor(2, 2), QColor(Qt::white));
}

TEST(ChartDrawing, ExtremeValuesDrawWithoutHanging)
{
    Chart chart;
    configureMassChart(chart);
    chart.series.addXY(1, -1e300);
    chart.series.addXY(2e6, 1e300);
    chart.series.addXY(3e6, 0);
    QImage image(300, 200, QImage::Format_ARGB32);
    QPainter painter(&image);
    chart.draw(painter, QRectF(image.rect()));
    chart.draw(painter, QRectF(0, 0, 5, 5)); // too small for a plot
    painter.end();
    EXPECT_TRUE(valueTicks(0, std::numeric_limits<double>::infinity(), 1, 10, 5).major.isEmpty());
    EXPECT_TRUE(dateTimeTicks(0, std::nan(""), 1, 10, 5).major.isEmpty());
}

TEST(ChartWindows, PrintButtonFollowsTheBottomRightCorner)
{
    TForm3 form(nullptr);
    EXPECT_EQ(form.windowTitle(), QStringLiteral("Графики"));
    EXPECT_EQ(form.size(), QSize(698, 482));
    form.resize(900, 600);
    form.show();
    EXPECT_EQ(form.Chart1->geometry(), QRect(0, 0, 900, 600));
    EXPECT_EQ(form.Button1->size(), QSize(75, 25));
    EXPECT_EQ(form.Button1->geometry().bottomRight(), QPoint(900 - 7, 600 - 7));
    form.hide();
}

TEST(ChartPrint, OneLandscapePageJobChart1)
{
    QTemporaryDir dir;
    Chart chart;
    configureMassChart(chart);
    applyRange(chart, masses({100.2, 100.9, 100.5}));
    QPrinter printer(QPrinter::HighResolution);
    printer.setOutputFormat(QPrinter::PdfFormat);
    printer.setOutputFileName(dir.filePath(QStringLiteral("chart.pdf")));
    printer.setPageOrientation(QPageLayout::Portrait);
    printChart(chart, printer);
    EXPECT_EQ(printer.pageLayout().orientation(), QPageLayout::Landscape);

    QPX_SKIP_WITHOUT(QStandardPaths::findExecutable(QStringLiteral("pdfinfo")).isEmpty(),
                     "pdfinfo (poppler-utils) is not installed");
    QProcess info;
    info.start(QStringLiteral("pdfinfo"), {dir.filePath(QStringLiteral("chart.pdf"))});
    ASSERT_TRUE(info.waitForFinished(30000));
    const QString text = QString::fromUtf8(info.readAllStandardOutput());
    EXPECT_TRUE(text.contains(QRegularExpression(QStringLiteral("Pages:\\s+1\n")))) << text.toStdString();
    EXPECT_TRUE(text.contains(QStringLiteral("Chart1"))) << text.toStdString();
    EXPECT_TRUE(text.contains(QStringLiteral("(A4)")) || text.contains(QStringLiteral("letter")))
        << text.toStdString();
    const QRegularExpression size(QStringLiteral("Page size:\\s+([0-9.]+) x ([0-9.]+)"));
    const auto m = size.match(text);
    ASSERT_TRUE(m.hasMatch());
    EXPECT_GT(m.captured(1).toDouble(), m.captured(2).toDouble());

    QProcess words;
    words.start(QStringLiteral("pdftotext"),
                {dir.filePath(QStringLiteral("chart.pdf")), QStringLiteral("-")});
    ASSERT_TRUE(words.waitForFinished(30000));
    const QString printed = QString::fromUtf8(words.readAllStandardOutput());
    EXPECT_TRUE(printed.contains(QStringLiteral("Изменение массы образца во времени")));
    EXPECT_TRUE(printed.contains(QStringLiteral("m, г.")));
}
