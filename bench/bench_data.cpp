// Figures of the table file layer: a full memory image imported row by row against the same
// bytes written at once, and the operations of the views on a table of 100 000 rows.
#include "../tests/data/imagetesting.h"
#include "data/dbftable.h"
#include "data/measurementtable.h"
#include "data/memoryimport.h"
#include "data/regional.h"

#include <QCoreApplication>
#include <QFile>
#include <QTemporaryDir>
#include <benchmark/benchmark.h>

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

// Import of a full image (5461 rows) into a new table, timed up to the end of flash2qpx01: with
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
        DbfTable table;
        table.setFileName(path);
        table.create();
        table.open();
        const quint64 before = DbfIo::writeCalls();
        state.ResumeTiming();
        flash2qpx01(table, fullImage(), device, false, nullptr);
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
        DbfTable table;
        table.setFileName(source);
        table.create();
        table.open();
        DeviceInfo device;
        device.ModelIndex = 5;
        flash2qpx01(table, fullImage(), device, false, nullptr);
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
        DbfTable table;
        table.setFileName(p);
        table.create();
        table.open();
        for (int i = 0; i < 100000; ++i) {
            table.append();
            table.setInteger(N, i % 9999 + 1);
            table.setText(MODE, i % 3 ? Operative : Observation);
            table.setText(DATE, QStringLiteral("07.11.2005"));
            table.setText(TIME, QStringLiteral("10:00:00"));
            table.setNumber(T_1, ((i * 7919) % 100000) / 100.0);
            if (i % 3 == 0)
                table.setNumber(T_2, i % 255 + 1);
            table.post();
        }
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
        DbfTable table;
        openBig(table);
        benchmark::DoNotOptimize(table.rowCount());
    }
}
BENCHMARK(BM_Open100k)->Unit(benchmark::kMillisecond);

void BM_IndexBuildT1_100k(benchmark::State &state)
{
    DbfTable table;
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
    DbfTable table;
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
    DbfTable table;
    openBig(table);
    for (auto _ : state)
        benchmark::DoNotOptimize(table.exactRecordCount());
}
BENCHMARK(BM_ExactCount100k)->Unit(benchmark::kMicrosecond);

// What a painted grid asks for: row -> record -> row for every visible cell, sorted by T_1.
void BM_RowAccessSorted100k(benchmark::State &state)
{
    DbfTable table;
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
        DbfTable table;
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

} // namespace
