// The spreadsheet export of a full instrument memory (5461 readings): the whole workbook written
// with the default back end, and the call sequence alone with the recording back end.
#include "data/dbftable.h"
#include "data/measurementtable.h"
#include "data/regional.h"
#include "output/excelexport.h"
#include "output/excelrecorder.h"
#include "output/excelxlsx.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QTemporaryDir>
#include <benchmark/benchmark.h>

namespace {
constexpr int Rows = 5461;

struct Fixture
{
    QTemporaryDir dir;
    DbfTable table{Measurement::schema()};
    Fixture()
    {
        Regional::setCurrent(Regional::russian());
        table.setFileName(dir.filePath(QStringLiteral("bench.db")));
        table.create();
        table.open();
        const QDateTime start(QDate(2003, 10, 5), QTime(18, 0), Qt::UTC);
        for (int i = 0; i < Rows; ++i) {
            const QDateTime when = start.addSecs(37 * i);
            table.append();
            table.setInteger(Measurement::N, i + 1);
            const bool series = i % 3 != 0;
            table.setText(Measurement::MODE, series ? Measurement::Observation : Measurement::Operative);
            table.setText(Measurement::DATE, when.toString(QStringLiteral("dd.MM.yyyy")));
            table.setText(Measurement::TIME, when.toString(QStringLiteral("hh:mm:ss")));
            table.setNumber(Measurement::T_1, 100 + (i % 997) * 0.37);
            if (series)
                table.setNumber(Measurement::T_2, 1 + i % 255);
            table.post();
        }
    }
};

Fixture &fixture()
{
    static Fixture f;
    return f;
}

void BM_ExportWorkbook(benchmark::State &state)
{
    Fixture &f = fixture();
    const QString out = f.dir.filePath(QStringLiteral("bench.xlsx"));
    for (auto _ : state) {
        XlsxAutomation excel(f.dir.path());
        excel.setTargetFile(out);
        exp2excel(f.table, excel);
    }
    state.SetItemsProcessed(state.iterations() * Rows);
}
BENCHMARK(BM_ExportWorkbook)->Unit(benchmark::kMillisecond);

void BM_ExportCallSequenceOnly(benchmark::State &state)
{
    Fixture &f = fixture();
    for (auto _ : state) {
        ExcelRecorder excel;
        exp2excel(f.table, excel);
        benchmark::DoNotOptimize(excel.calls.size());
    }
    state.SetItemsProcessed(state.iterations() * Rows);
}
BENCHMARK(BM_ExportCallSequenceOnly)->Unit(benchmark::kMillisecond);
} // namespace
