// The measurement report of a full instrument memory (5461 readings, about 390 pages) and of a
// table of 100 000 readings from several downloads (about 7140 pages): page building alone, time
// to the first preview page (prepare + draw page 1 at screen size) and to the finished PDF file.
// "peak_MiB" is the process's peak resident memory so far: run one benchmark at a time
// (--benchmark_filter) to read it for that one.
#include "base/regional.h"
#include "components/draw/reportrender.h"
#include "components/widgets/reportpreview.h"
#include "data/measurementtable.h"
#include "dbase/dbftable.h"
#include "output/reportlayout.h"
#include "output/widgets/measurementreport.h"
#include "support/peakmemory.h"

#include <QApplication>
#include <QFileInfo>
#include <QImage>
#include <QPainter>
#include <QPixmap>
#include <QTemporaryDir>
#include <benchmark/benchmark.h>
#include <map>
#include <memory>

using namespace Report;

namespace {

constexpr int FullMemory = 5461;
constexpr int ManyDownloads = 100000;

class Rows : public RowSource
{
public:
    explicit Rows(int count)
    {
        for (int i = 1; i <= count; ++i) {
            const bool series = i % 3 != 0;
            // Numbered from 1 in each download.
            m_rows.append({QString::number((i - 1) % FullMemory + 1),
                           series ? QStringLiteral("Наблюдение") : QStringLiteral("Оперативный"),
                           QStringLiteral("%1.11.2005").arg(1 + i % 28, 2, 10, QLatin1Char('0')),
                           QStringLiteral("09:%1:30").arg(i % 60, 2, 10, QLatin1Char('0')),
                           QStringLiteral("%1,%2").arg(100 + i % 900).arg(i % 100),
                           series ? QString::number(1 + i % 255) : QString(),
                           i % 10 == 0
                               ? QStringLiteral("Контрольное взвешивание после перерыва, партия %1").arg(i)
                               : QString()});
        }
    }
    void first() override { m_pos = 0; }
    void next() override { ++m_pos; }
    bool eof() const override { return m_pos >= m_rows.size(); }
    QString value(const QString &field) const override
    {
        static const std::map<QString, int> index{{QStringLiteral("N"), 0},      {QStringLiteral("MODE"), 1},
                                                  {QStringLiteral("DATE"), 2},   {QStringLiteral("TIME"), 3},
                                                  {QStringLiteral("T_1"), 4},    {QStringLiteral("T_2"), 5},
                                                  {QStringLiteral("COMMENT"), 6}};
        return m_rows.at(m_pos).at(index.at(field));
    }

private:
    QList<QStringList> m_rows;
    qsizetype m_pos = 0;
};

PreparedReport prepareFull(Rows &rows)
{
    return *prepare(MeasurementReportLayout::create(), rows, std::make_shared<FontMeasurer>());
}

void BM_PrepareReport(benchmark::State &state)
{
    Rows rows(int(state.range(0)));
    int pages = 0;
    for (auto _ : state) {
        const PreparedReport report = prepareFull(rows);
        pages = report.pageCount();
        benchmark::DoNotOptimize(pages);
    }
    state.counters["pages"] = pages;
    state.counters["peak_MiB"] = peakResidentMiB();
}
BENCHMARK(BM_PrepareReport)->Arg(FullMemory)->Arg(ManyDownloads)->Unit(benchmark::kMillisecond);

// Prepare, then draw page 1 as the preview window shows it "page width" on a 1600 px screen.
void BM_FirstPreviewPage(benchmark::State &state)
{
    Rows rows(int(state.range(0)));
    QImage screen(1600, 1140, QImage::Format_ARGB32_Premultiplied);
    for (auto _ : state) {
        const PreparedReport report = prepareFull(rows);
        QPainter painter(&screen);
        drawPage(painter, report, 0, QRectF(0, 0, 1580, 1580 * 210.0 / 297.0));
        painter.end();
    }
}
BENCHMARK(BM_FirstPreviewPage)->Arg(FullMemory)->Arg(ManyDownloads)->Unit(benchmark::kMillisecond);

void BM_FinishedPdf(benchmark::State &state)
{
    Rows rows(int(state.range(0)));
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("report.pdf"));
    for (auto _ : state) {
        const PreparedReport report = prepareFull(rows);
        writePdf(report, path, QStringLiteral("ЛКТ-ДН7"));
    }
    state.counters["bytes"] = double(QFileInfo(path).size());
    state.counters["peak_MiB"] = peakResidentMiB();
}
BENCHMARK(BM_FinishedPdf)->Arg(FullMemory)->Arg(ManyDownloads)->Unit(benchmark::kMillisecond);

// Drawing one page again (paging through the preview).
void BM_DrawPreviewPage(benchmark::State &state)
{
    Rows rows(FullMemory);
    const PreparedReport report = prepareFull(rows);
    QImage screen(1600, 1140, QImage::Format_ARGB32_Premultiplied);
    int page = 0;
    for (auto _ : state) {
        QPainter painter(&screen);
        drawPage(painter, report, page++ % report.pageCount(), QRectF(0, 0, 1580, 1580 * 210.0 / 297.0));
        painter.end();
    }
}
BENCHMARK(BM_DrawPreviewPage)->Unit(benchmark::kMillisecond);

// The same readings in a table file, through the report as the program runs it.
DbfTable &tableOf(int count)
{
    static QTemporaryDir dir;
    static std::map<int, std::unique_ptr<DbfTable>> tables;
    std::unique_ptr<DbfTable> &slot = tables[count];
    if (!slot) {
        slot = std::make_unique<DbfTable>(Measurement::schema());
        DbfTable &table = *slot;
        table.setFileName(dir.filePath(QStringLiteral("rows%1.db").arg(count)));
        table.create();
        table.open();
        Rows rows(count);
        for (rows.first(); !rows.eof(); rows.next()) {
            table.append();
            table.setInteger(Measurement::N, rows.value(Measurement::N).toInt());
            for (const QString &f : {Measurement::MODE, Measurement::DATE, Measurement::TIME,
                                     Measurement::T_1, Measurement::T_2, Measurement::COMMENT})
                table.setText(f, rows.value(f));
            table.post();
        }
    }
    return *slot;
}

DbfTable &fullTable()
{
    return tableOf(FullMemory);
}

void BM_TableFirstPreviewPage(benchmark::State &state)
{
    MeasurementReport report(&fullTable());
    QImage screen(1600, 1140, QImage::Format_ARGB32_Premultiplied);
    for (auto _ : state) {
        report.prepare();
        QPainter painter(&screen);
        drawPage(painter, report.pages(), 0, QRectF(0, 0, 1580, 1580 * 210.0 / 297.0));
        painter.end();
    }
    state.counters["pages"] = report.pages().pageCount();
}
BENCHMARK(BM_TableFirstPreviewPage)->Unit(benchmark::kMillisecond);

// As the operator sees it: prepare from the table, open the preview window, paint its first page.
void BM_TablePreviewWindow(benchmark::State &state)
{
    MeasurementReport report(&fullTable());
    for (auto _ : state) {
        report.prepare();
        PreviewWindow window(report.pages());
        window.resize(1280, 900);
        const QPixmap shot = window.grab();
        benchmark::DoNotOptimize(shot.width());
    }
}
BENCHMARK(BM_TablePreviewWindow)->Unit(benchmark::kMillisecond);

void BM_TableFinishedPdf(benchmark::State &state)
{
    MeasurementReport report(&tableOf(int(state.range(0))));
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("report.pdf"));
    for (auto _ : state)
        report.writePdf(path);
    state.counters["bytes"] = double(QFileInfo(path).size());
    state.counters["peak_MiB"] = peakResidentMiB();
}
BENCHMARK(BM_TableFinishedPdf)->Arg(FullMemory)->Arg(ManyDownloads)->Unit(benchmark::kMillisecond);

} // namespace
