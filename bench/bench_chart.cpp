// The mass-over-time chart of a 5461-reading series: building the series from the table, drawing
// it on screen-sized image, and printing it to a PDF page.
#include "base/regional.h"
#include "data/measurementtable.h"
#include "dbase/dbftable.h"
#include "output/widgets/graf.h"
#include "output/widgets/param_graf.h"
#include "support/tablebuilder.h"

#include <QApplication>
#include <QImage>
#include <QPainter>
#include <QPrinter>
#include <QTemporaryDir>
#include <benchmark/benchmark.h>
#include <cmath>

namespace {
constexpr int Rows = 5461;

struct Fixture
{
    QTemporaryDir dir;
    DbfTable table{Measurement::schema()};
    Chart chart;
    Fixture()
    {
        Regional::setCurrent(Regional::russian());
        table.setFileName(dir.filePath(QStringLiteral("bench.db")));
        table.create();
        table.open();
        const QDateTime start(QDate(2003, 10, 5), QTime(18, 0), Qt::UTC);
        appendRows(table, Rows, [&](int i) {
            const QDateTime when = start.addSecs(11 * i);
            MeasurementRow row;
            row.n = i + 1;
            row.observation = true;
            row.date = when.toString(QStringLiteral("dd.MM.yyyy"));
            row.time = when.toString(QStringLiteral("hh:mm:ss"));
            row.mass = 100 + 3 * std::sin(i / 300.0) + (i % 7) * 0.01;
            row.series = 5;
            return row;
        });
        configureMassChart(chart);
        selectSeries(table, QStringLiteral("5"));
        buildMassChart(chart, table);
    }
};

Fixture &fixture()
{
    static Fixture f;
    return f;
}

void BM_BuildSeriesFromTable(benchmark::State &state)
{
    Fixture &f = fixture();
    Chart chart;
    configureMassChart(chart);
    for (auto _ : state) {
        selectSeries(f.table, QStringLiteral("5"));
        buildMassChart(chart, f.table);
    }
    state.SetItemsProcessed(state.iterations() * Rows);
}
BENCHMARK(BM_BuildSeriesFromTable)->Unit(benchmark::kMillisecond);

void BM_DrawChart698x482(benchmark::State &state)
{
    Fixture &f = fixture();
    QImage image(698, 482, QImage::Format_ARGB32_Premultiplied);
    for (auto _ : state) {
        QPainter painter(&image);
        f.chart.draw(painter, QRectF(image.rect()));
    }
    state.SetItemsProcessed(state.iterations() * Rows);
}
BENCHMARK(BM_DrawChart698x482)->Unit(benchmark::kMillisecond);

void BM_PrintChartToPdf(benchmark::State &state)
{
    Fixture &f = fixture();
    const QString out = f.dir.filePath(QStringLiteral("chart.pdf"));
    for (auto _ : state) {
        QPrinter printer(QPrinter::HighResolution);
        printer.setOutputFormat(QPrinter::PdfFormat);
        printer.setOutputFileName(out);
        printChart(f.chart, printer);
    }
}
BENCHMARK(BM_PrintChartToPdf)->Unit(benchmark::kMillisecond);
} // namespace
