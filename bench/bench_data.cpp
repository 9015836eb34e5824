// Figures of the table file layer: a full memory image imported row by row against the same
// bytes written at once, the operations of the views on a table of 100 000 rows, and row edits
// and deletions one by one as the table commands make them.
#include "base/regional.h"
#include "data/measurementtable.h"
#include "data/memoryimport.h"
#include "dbase/dbftable.h"
#include "support/imagetesting.h"
#include "support/tablebuilder.h"

#include <QCoreApplication>
#include <QFile>
#include <QTemporaryDir>
#include <benchmark/benchmark.h>
#include <map>

using namespace Measurement;

namespace {

QTemporaryDir &scratch()
{
    static QTemporaryDir dir;
    return dir;
}

const MemoryImage &fullImage()
{
    static const MemoryImage image = [] {
        MemoryImage i;
        fillImage(i, fullImageRecords());
        return i;
    }();
    return image;
}

// The system's files with sync() doing nothing: the import as it was before it ended in a sync.
class NoSyncFileSystem : public DbfIo::FileSystem
{
public:
    class NoSyncFile : public DbfIo::File
    {
    public:
        explicit NoSyncFile(std::unique_ptr<DbfIo::File> file) : m_file(std::move(file)) {}
        qint64 size() override { return m_file->size(); }
        bool read(char *data, qint64 size, qint64 offset) override
        {
            return m_file->read(data, size, offset);
        }
        qint64 write(const char *data, qint64 size, qint64 offset) override
        {
            return m_file->write(data, size, offset);
        }
        bool truncate(qint64 size) override { return m_file->truncate(size); }
        bool sync() override { return true; }
        DbfIo::Entry info() override { return m_file->info(); }
        bool copyAttributes(const DbfIo::Entry &from) override { return m_file->copyAttributes(from); }

    private:
        std::unique_ptr<DbfIo::File> m_file;
    };
    DbfIo::OpenResult open(const QString &path, DbfIo::OpenMode mode, bool lock,
                           std::unique_ptr<DbfIo::File> *file, QString *error) override
    {
        std::unique_ptr<DbfIo::File> real;
        const DbfIo::OpenResult result = m_system.open(path, mode, lock, &real, error);
        if (result == DbfIo::OpenResult::Ok)
            *file = std::make_unique<NoSyncFile>(std::move(real));
        return result;
    }
    DbfIo::Entry lookup(const QString &path, bool followLinks) override
    {
        return m_system.lookup(path, followLinks);
    }
    QString resolve(const QString &path) override { return m_system.resolve(path); }
    bool rename(const QString &from, const QString &to) override { return m_system.rename(from, to); }
    bool link(const QString &from, const QString &to) override { return m_system.link(from, to); }
    bool remove(const QString &path) override { return m_system.remove(path); }
    bool syncDirectory(const QString &) override { return true; }

private:
    DbfIo::FileSystem &m_system = DbfIo::systemFileSystem();
};

// Import of a full image (5461 rows) into a new table, timed up to the end of importImage: with
// its final sync (argument 1) and with every sync skipped (argument 0), side by side in one run.
// Counts the write calls per posted row.
void BM_ImportFullImage(benchmark::State &state)
{
    const bool sync = state.range(0) != 0;
    NoSyncFileSystem noSync;
    DbfIo::ScopedFileSystem scope(sync ? nullptr : &noSync);
    const QString path = scratch().filePath(QStringLiteral("import.db"));
    DeviceInfo device;
    device.ModelIndex = 5;
    quint64 writes = 0;
    qint64 rows = 0;
    for (auto _ : state) {
        state.PauseTiming();
        DbfTable table(Measurement::schema());
        table.setFileName(path);
        table.create();
        table.open();
        const quint64 before = DbfIo::writeCalls();
        state.ResumeTiming();
        importImage(table, fullImage(), device, false, nullptr);
        state.PauseTiming();
        writes += DbfIo::writeCalls() - before;
        rows += table.physicalRecordCount();
        table.close();
        state.ResumeTiming();
    }
    state.counters["rows"] = benchmark::Counter(double(rows) / double(state.iterations()));
    state.counters["writes_per_row"] = benchmark::Counter(double(writes) / double(rows));
    state.SetLabel(sync ? "final sync" : "no sync");
}
BENCHMARK(BM_ImportFullImage)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);

// The same file bytes as the import leaves, written in one go.
void BM_WriteImportBytesAtOnce(benchmark::State &state)
{
    const QString source = scratch().filePath(QStringLiteral("once-source.db"));
    {
        DbfTable table(Measurement::schema());
        table.setFileName(source);
        table.create();
        table.open();
        DeviceInfo device;
        device.ModelIndex = 5;
        importImage(table, fullImage(), device, false, nullptr);
    }
    QFile in(source);
    in.open(QIODevice::ReadOnly);
    const QByteArray bytes = in.readAll();
    const QString path = scratch().filePath(QStringLiteral("once.db"));
    for (auto _ : state) {
        QFile out(path);
        out.open(QIODevice::WriteOnly | QIODevice::Truncate);
        out.write(bytes);
        out.close();
    }
    state.counters["bytes"] = double(bytes.size());
}
BENCHMARK(BM_WriteImportBytesAtOnce)->Unit(benchmark::kMillisecond);

// A table of 100 000 rows: masses and series numbers vary, every tenth row is marked deleted.
const QString &bigTable()
{
    static const QString path = [] {
        const QString p = scratch().filePath(QStringLiteral("big.db"));
        RegionalScope pin(Regional::russian());
        DbfTable table(Measurement::schema());
        table.setFileName(p);
        table.create();
        table.open();
        appendRows(table, 100000, [](int i) {
            MeasurementRow row;
            row.n = i % 9999 + 1;
            row.observation = i % 3 == 0;
            row.date = QStringLiteral("07.11.2005");
            row.time = QStringLiteral("10:00:00");
            row.mass = ((i * 7919) % 100000) / 100.0;
            row.series = i % 255 + 1;
            return row;
        });
        return p;
    }();
    return path;
}

void openBig(DbfTable &table)
{
    table.setFileName(bigTable());
    table.open();
}

void BM_Open100k(benchmark::State &state)
{
    bigTable();
    for (auto _ : state) {
        DbfTable table(Measurement::schema());
        openBig(table);
        benchmark::DoNotOptimize(table.rowCount());
    }
}
BENCHMARK(BM_Open100k)->Unit(benchmark::kMillisecond);

void BM_IndexBuildT1_100k(benchmark::State &state)
{
    DbfTable table(Measurement::schema());
    openBig(table);
    for (auto _ : state) {
        table.addIndex(QStringLiteral("tab1"), T_1, true);
        table.selectIndex(QStringLiteral("tab1"));
        table.rebuildIndexes();
        benchmark::DoNotOptimize(table.recordAt(0));
        state.PauseTiming();
        table.selectIndex(QString());
        table.deleteIndex(QStringLiteral("tab1"));
        state.ResumeTiming();
    }
}
BENCHMARK(BM_IndexBuildT1_100k)->Unit(benchmark::kMillisecond);

void BM_Filter100k(benchmark::State &state)
{
    DbfTable table(Measurement::schema());
    openBig(table);
    for (auto _ : state) {
        table.setFilter(QStringLiteral("T_2 ='5*'"));
        table.setFiltered(true);
        benchmark::DoNotOptimize(table.rowCount());
        table.setFiltered(false);
    }
}
BENCHMARK(BM_Filter100k)->Unit(benchmark::kMillisecond);

void BM_ExactCount100k(benchmark::State &state)
{
    DbfTable table(Measurement::schema());
    openBig(table);
    for (auto _ : state)
        benchmark::DoNotOptimize(table.exactRecordCount());
}
BENCHMARK(BM_ExactCount100k)->Unit(benchmark::kMicrosecond);

// What a painted grid asks for: row -> record -> row for every visible cell, sorted by T_1.
void BM_RowAccessSorted100k(benchmark::State &state)
{
    DbfTable table(Measurement::schema());
    openBig(table);
    table.addIndex(QStringLiteral("tab1"), T_1, false);
    table.selectIndex(QStringLiteral("tab1"));
    int row = 0;
    for (auto _ : state) {
        const int r = table.recordAt(row);
        benchmark::DoNotOptimize(table.rowOf(r));
        benchmark::DoNotOptimize(table.text(r, 5));
        row = (row + 7919) % table.rowCount();
    }
    table.selectIndex(QString());
    table.deleteIndex(QStringLiteral("tab1"));
}
BENCHMARK(BM_RowAccessSorted100k);

void BM_Pack100k(benchmark::State &state)
{
    const QString path = scratch().filePath(QStringLiteral("pack.db"));
    for (auto _ : state) {
        state.PauseTiming();
        QFile::remove(path);
        QFile::copy(bigTable(), path);
        DbfTable table(Measurement::schema());
        table.setFileName(path);
        table.open();
        for (int r = 1; r <= table.physicalRecordCount(); r += 10) {
            table.gotoRecord(r);
            table.deleteRecord();
        }
        state.ResumeTiming();
        table.pack();
        benchmark::DoNotOptimize(table.physicalRecordCount());
    }
}
BENCHMARK(BM_Pack100k)->Unit(benchmark::kMillisecond);

// A measurement table of `rows` rows (N = 1.., masses and comments varied), made once and copied
// fresh for every iteration of the edit benchmarks.
QString editTemplate(int rows)
{
    static std::map<int, QString> made;
    if (const auto it = made.find(rows); it != made.end())
        return it->second;
    const QString path = scratch().filePath(QStringLiteral("edit%1.db").arg(rows));
    RegionalScope pin(Regional::russian());
    DbfTable table(Measurement::schema());
    table.setFileName(path);
    table.create();
    table.open();
    for (int i = 0; i < rows; ++i) {
        table.append();
        table.setInteger(N, i % 9999 + 1);
        table.setText(MODE, Observation);
        table.setNumber(T_1, ((i * 7919) % 100000) / 100.0);
        table.setInteger(T_2, 1 + i % 255);
        table.setText(COMMENT, QStringLiteral("row %1").arg(i));
        table.post();
    }
    table.close();
    made[rows] = path;
    return path;
}

// The order an edit benchmark runs in: file order, by a field the edits leave alone (T_1), or by
// N descending (renumbering then moves every row it posts).
enum EditOrder { FileOrder = 0, ByMass = 1, ByNumberDown = 2 };

void openEditCopy(DbfTable &table, int rows, int order)
{
    const QString path = scratch().filePath(QStringLiteral("edit.db"));
    QFile::remove(path);
    QFile::remove(scratch().filePath(QStringLiteral("edit.mdx")));
    QFile::copy(editTemplate(rows), path);
    table.setFileName(path);
    table.open();
    if (order == ByMass)
        table.addIndex(QStringLiteral("tab1"), T_1, false);
    else if (order == ByNumberDown)
        table.addIndex(QStringLiteral("tab1"), N, true);
    if (order != FileOrder)
        table.selectIndex(QStringLiteral("tab1"));
}

const char *orderLabel(int order)
{
    return order == FileOrder ? "file order" : order == ByMass ? "by T_1" : "by N descending";
}

// Renumbering: every row in the order shown gets N = 1, 2, ... by a posted edit, as the
// renumber command does it.
void BM_RenumberRows(benchmark::State &state)
{
    const int rows = int(state.range(0));
    const int order = int(state.range(1));
    for (auto _ : state) {
        state.PauseTiming();
        DbfTable table(Measurement::schema());
        openEditCopy(table, rows, order);
        QList<int> shown;
        for (int row = 0; row < table.rowCount(); ++row)
            shown.append(table.recordAt(row));
        state.ResumeTiming();
        for (qsizetype i = 0; i < shown.size(); ++i) {
            table.gotoRecord(shown[i]);
            table.edit();
            table.setInteger(N, i + 1);
            table.post();
        }
        state.PauseTiming();
        table.close();
        state.ResumeTiming();
    }
    state.SetLabel(orderLabel(order));
}
BENCHMARK(BM_RenumberRows)
    ->Args({1000, FileOrder})
    ->Args({9999, FileOrder})
    ->Args({9999, ByMass})
    ->Args({1000, ByNumberDown})
    ->Args({9999, ByNumberDown})
    ->Unit(benchmark::kMillisecond);

// A comment typed into every row, one posted edit each.
void BM_CommentEditAllRows(benchmark::State &state)
{
    const int rows = int(state.range(0));
    const int order = int(state.range(1));
    for (auto _ : state) {
        state.PauseTiming();
        DbfTable table(Measurement::schema());
        openEditCopy(table, rows, order);
        state.ResumeTiming();
        for (table.first(); !table.eof(); table.next()) {
            table.edit();
            table.setText(COMMENT, QStringLiteral("checked"));
            table.post();
        }
        state.PauseTiming();
        table.close();
        state.ResumeTiming();
    }
    state.SetLabel(orderLabel(order));
}
BENCHMARK(BM_CommentEditAllRows)
    ->Args({9999, FileOrder})
    ->Args({9999, ByMass})
    ->Unit(benchmark::kMillisecond);

// k rows spread over the table deleted one by one (before a pack), as the delete command does.
void BM_DeleteRows(benchmark::State &state)
{
    const int rows = int(state.range(0));
    const int k = int(state.range(1));
    const int order = int(state.range(2));
    for (auto _ : state) {
        state.PauseTiming();
        DbfTable table(Measurement::schema());
        openEditCopy(table, rows, order);
        QList<int> doomed;
        for (int i = 0; i < k; ++i)
            doomed.append(table.recordAt(int(qint64(i) * table.rowCount() / k)));
        state.ResumeTiming();
        for (const int r : doomed) {
            if (table.gotoRecord(r))
                table.deleteRecord();
        }
        state.PauseTiming();
        if (table.rowCount() != rows - k)
            state.SkipWithError("wrong row count");
        table.close();
        state.ResumeTiming();
    }
    state.SetLabel(orderLabel(order));
}
BENCHMARK(BM_DeleteRows)
    ->Args({9999, 100, FileOrder})
    ->Args({9999, 1000, FileOrder})
    ->Args({9999, 1000, ByMass})
    ->Unit(benchmark::kMillisecond);

} // namespace
