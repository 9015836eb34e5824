// The spreadsheet export of a full instrument memory (5461 readings) and of a table of 100 000
// readings (several downloads appended): the whole workbook written with the default back end, and
// the call sequence alone with the recording back end. "peak_MiB" is the process's peak resident
// memory so far: run one benchmark at a time (--benchmark_filter) to read it for that one.
#include "base/regional.h"
#include "data/measurementtable.h"
#include "dbase/dbftable.h"
#include "output/excelexport.h"
#include "output/excelrecorder.h"
#include "output/excelxlsx.h"
#include "support/peakmemory.h"
#include "support/tablebuilder.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QTemporaryDir>
#include <benchmark/benchmark.h>
#include <map>
#include <memory>

namespace {
constexpr int FullMemory = 5461;
constexpr int ManyDownloads = 100000;

struct Fixture
{
    QTemporaryDir dir;
    DbfTable table{Measurement::schema()};
    explicit Fixture(int rows)
    {
        Regional::setCurrent(Regional::russian());
        table.setFileName(dir.filePath(QStringLiteral("bench.db")));
        table.create();
        table.open();
        const QDateTime start(QDate(2003, 10, 5), QTime(18, 0), Qt::UTC);
        appendRows(table, rows, [&](int i) {
            const QDateTime when = start.addSecs(37 * i);
            MeasurementRow row;
            row.n = i % FullMemory + 1; // numbered from 1 in each download
            row.observation = i % 3 != 0;
            row.date = when.toString(QStringLiteral("dd.MM.yyyy"));
            row.time = when.toString(QStringLiteral("hh:mm:ss"));
            row.mass = 100 + (i % 997) * 0.37;
            row.series = 1 + i % 255;
            return row;
        });
    }
};

Fixture &fixture(int rows)
{
    static std::map<int, std::unique_ptr<Fixture>> tables;
    std::unique_ptr<Fixture> &f = tables[rows];
    if (!f)
        f = std::make_unique<Fixture>(rows);
    return *f;
}

void BM_ExportWorkbook(benchmark::State &state)
{
    const int rows = int(state.range(0));
    Fixture &f = fixture(rows);
    const QString out = f.dir.filePath(QStringLiteral("bench.xlsx"));
    for (auto _ : state) {
        XlsxAutomation excel(f.dir.path());
        excel.setTargetFile(out);
        exp2excel(f.table, excel);
    }
    state.SetItemsProcessed(state.iterations() * rows);
    state.counters["peak_MiB"] = peakResidentMiB();
}
BENCHMARK(BM_ExportWorkbook)->Arg(FullMemory)->Arg(ManyDownloads)->Unit(benchmark::kMillisecond);

void BM_ExportCallSequenceOnly(benchmark::State &state)
{
    Fixture &f = fixture(FullMemory);
    for (auto _ : state) {
        ExcelRecorder excel;
        exp2excel(f.table, excel);
        benchmark::DoNotOptimize(excel.calls.size());
    }
    state.SetItemsProcessed(state.iterations() * FullMemory);
}
BENCHMARK(BM_ExportCallSequenceOnly)->Unit(benchmark::kMillisecond);
} // namespace
