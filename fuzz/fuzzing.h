#pragma once
// What the fuzz targets share: the table layer runs over files in memory (no system calls, so
// many thousands of executions a second), and the checks that every open of a table must pass.
#include "dbase/dbfio.h"
#include "dbase/dbftable.h"

#include <QByteArrayView>
#include <cstdlib>
#include <vector>

namespace fuzzing {

// One in-memory file system per input, installed for the table layer.
class MemoryFiles
{
public:
    MemoryFiles() : m_scope(&m_fs) { m_fs.setKeepChanges(false); }
    DbfIo::MemoryFileSystem &fs() { return m_fs; }

private:
    DbfIo::MemoryFileSystem m_fs;
    DbfIo::ScopedFileSystem m_scope;
};

// One row: its record is in range, leads back to it and is live.
inline void checkRow(const DbfTable &table, int row)
{
    const int r = table.recordAt(row);
    if (r < 1 || r > table.physicalRecordCount() || table.rowOf(r) != row || !table.isLiveRecord(r))
        std::abort();
}

// The values of one record can be read.
inline void readRecord(const DbfTable &table, int recNo)
{
    for (int f = 0; f < table.fieldCount(); ++f) {
        (void)table.text(recNo, f);
        (void)table.isNull(recNo, f);
    }
}

// What an open table guarantees whatever the file held: the order and the row lookups agree
// both ways, counts fit, every visible record is live, the values of the first and last `endRows` rows can
// be read (the rows between are more of the same: what decoding does depends on a record's
// bytes, which the fuzzer puts in the first rows as readily as anywhere, not on its place).
inline void checkOpenTable(const DbfTable &table, int endRows = 8)
{
    if (!table.isOpen())
        return;
    const int rows = table.rowCount();
    if (rows < 0 || rows > table.physicalRecordCount() || table.exactRecordCount() != rows)
        std::abort();
    if (table.damagedRecordCount() > table.physicalRecordCount() - rows)
        std::abort();
    for (int row = 0; row < rows; ++row) {
        checkRow(table, row);
        if (row < endRows || row >= rows - endRows)
            readRecord(table, table.recordAt(row));
    }
    // And the other way round: a record with a row is the record of that row.
    int placed = 0;
    for (int r = 1; r <= table.physicalRecordCount(); ++r) {
        const int row = table.rowOf(r);
        if (row < 0)
            continue;
        if (row >= rows || table.recordAt(row) != r)
            std::abort();
        ++placed;
    }
    if (placed != rows)
        std::abort();
}

// What the table holds is what its file holds: the header's record count, the records byte for
// byte, nothing after them but the end-of-file byte.
inline void checkFileMatches(const DbfTable &table, const QByteArray &file)
{
    if (!table.isOpen())
        return;
    const qint64 hl = table.headerLength();
    const qint64 rl = table.recordLength();
    const qint64 count = table.physicalRecordCount();
    const qint64 end = hl + count * rl;
    if (count == 0 && file.size() < end)
        return; // a file that ends before its header length says, opened as it is
    // A partial record found at the end stays in place (copied aside) until a row is appended.
    const qint64 tail = table.keptAsideFile().isEmpty() ? 1 : rl - 1;
    if (file.size() < end || file.size() > end + tail ||
        (table.keptAsideFile().isEmpty() && file.size() == end + 1 && file.back() != 0x1A))
        std::abort();
    const auto byte = [&](int i) { return quint32(quint8(file[i])); };
    if ((byte(4) | byte(5) << 8 | byte(6) << 16 | byte(7) << 24) != quint32(count))
        std::abort();
    for (int r = 1; r <= count; ++r) {
        if (table.recordBytes(r) != QByteArrayView(file).sliced(hl + (r - 1) * rl, rl))
            std::abort();
    }
}

// What an open may change in a file: the header's date (bytes 1 to 3), record count (4 to 7) and
// index flag (28), and an end-of-file byte added behind the last record. Every other byte, the
// records above all, stays; nothing is cut off.
inline void checkOpenKeptBytes(const QByteArray &before, const QByteArray &after)
{
    if (after.size() < before.size() || after.size() > before.size() + 1)
        std::abort();
    for (qsizetype i = 0; i < before.size(); ++i) {
        if (after[i] != before[i] && !(i >= 1 && i <= 7) && i != 28)
            std::abort();
    }
    if (after.size() == before.size() + 1 && after.back() != 0x1A)
        std::abort();
}

// The order kept up to date change by change is the one a rebuild gives: the rows as they are,
// then sorted afresh from the records (refresh), row for row, and the current record kept.
inline void checkOrderAsRebuilt(DbfTable &table)
{
    if (!table.isOpen() || table.state() != DbfTable::State::Browse)
        return;
    std::vector<int> kept(size_t(table.rowCount()));
    for (int row = 0; row < table.rowCount(); ++row)
        kept[size_t(row)] = table.recordAt(row);
    const int current = table.recNo();
    table.refresh();
    if (table.rowCount() != int(kept.size()) || (current != 0 && table.recNo() != current))
        std::abort();
    for (int row = 0; row < table.rowCount(); ++row) {
        if (table.recordAt(row) != kept[size_t(row)])
            std::abort();
    }
}

} // namespace fuzzing
