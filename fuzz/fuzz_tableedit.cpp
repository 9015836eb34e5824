// A hostile table file edited as the operator edits: appends, cell edits, deletes, pack and
// reopen, driven by the input. After every step the rows at both ends, the row the step's
// argument names and the current row must be whole, and a record the step wrote readable; after
// a reopen the table must hold what it showed before; at the end it must pass the open checks,
// hold the order a rebuild gives and match its file byte for byte.
//
// Input: two bytes of file length L (little-endian), L bytes of table file, then steps of two
// bytes each (up to MaxSteps): an operation and an argument.
#include "data/measurementtable.h"
#include "dbase/dbftable.h"
#include "fuzzing.h"

#include <cstdint>

namespace {

// Appends stop at this size: every pack, reopen and sort goes over the whole table, and larger
// tables (a hostile record length of 64 KB fills any size in a few appends) made those steps
// dominate every run without reaching anything a table of a few hundred rows does not.
constexpr qint64 MaxTableBytes = 16384;
// Rows one renumbering step numbers: a stretch of the order, enough for posts that move rows
// past each other under an index on N; the whole of a long table repeats the same posts.
constexpr int MaxRenumbered = 64;
// Steps one input takes. The faults these runs look for show within a few steps of the state that
// causes them, and the fuzzer reaches a state sooner through many short inputs than through a few
// long ones, and inputs of hundreds of steps made every run many times slower.
constexpr int MaxSteps = 48;

// The bytes of the visible records in their order, one after the other.
QByteArray visibleRecords(const DbfTable &table)
{
    QByteArray records;
    records.reserve(qsizetype(table.rowCount()) * table.recordLength());
    for (int row = 0; row < table.rowCount(); ++row)
        records.append(table.recordBytes(table.recordAt(row)));
    return records;
}

// Whatever the steps left broken that shows only in the whole: the open checks, the order a
// rebuild gives, the file. (Checked once, at the end: a fault that a later pack, reopen or sort
// would mend shows in the inputs the fuzzer makes without that step.)
void checkWhole(DbfTable &table, const QByteArray &file)
{
    fuzzing::checkOpenTable(table, 4);
    fuzzing::checkOrderAsRebuilt(table);
    fuzzing::checkFileMatches(table, file);
}

// The rows one step can have touched, in O(log n) lookups each, and the values of the record
// it wrote (an append, an edit, the last renumbered row).
void checkStep(const DbfTable &table, int arg, int written)
{
    const int rows = table.rowCount();
    if (rows < 0 || rows > table.physicalRecordCount())
        std::abort();
    if (rows > 0) {
        fuzzing::checkRow(table, 0);
        fuzzing::checkRow(table, rows - 1);
        fuzzing::checkRow(table, arg % rows);
    }
    const int current = table.recNo();
    if (!table.eof() && current >= 1 && current <= table.physicalRecordCount())
        fuzzing::checkRow(table, table.rowOf(current));
    if (written >= 1 && written <= table.physicalRecordCount())
        fuzzing::readRecord(table, written);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    if (size < 2)
        return 0;
    const size_t length = std::min<size_t>(size - 2, size_t(data[0] | (data[1] << 8)));
    fuzzing::MemoryFiles files;
    const QString path = QStringLiteral("/fuzz/t.db");
    files.fs().setContents(path, QByteArray(reinterpret_cast<const char *>(data + 2), qsizetype(length)));
    DbfTable table(Measurement::schema());
    table.setFileName(path);
    try {
        table.open();
    } catch (const QpxError &) {
        return 0;
    }
    fuzzing::checkOpenTable(table);
    int steps = 0;
    for (size_t at = 2 + length; at + 1 < size && steps < MaxSteps; at += 2, ++steps) {
        const int op = data[at] % 8;
        const int arg = data[at + 1];
        int written = 0; // the record the step posted last
        try {
            switch (op) {
            case 0: // append a row (up to a table of MaxTableBytes, as the instrument fills)
                if (qint64(table.physicalRecordCount() + 1) * table.recordLength() > MaxTableBytes)
                    break;
                table.append();
                table.setInteger(Measurement::N, arg);
                table.setText(Measurement::COMMENT, QStringLiteral("новая %1").arg(arg));
                table.post();
                written = table.physicalRecordCount();
                break;
            case 1: // edit a cell of a row
                if (table.rowCount() > 0 && table.gotoRecord(table.recordAt(arg % table.rowCount()))) {
                    table.edit();
                    table.setText(arg & 1 ? Measurement::COMMENT : Measurement::T_1, QString::number(arg));
                    written = table.recNo();
                    table.post();
                }
                break;
            case 2: // delete a row
                if (table.rowCount() > 0 && table.gotoRecord(table.recordAt(arg % table.rowCount())))
                    table.deleteRecord();
                break;
            case 3:
                table.pack();
                break;
            case 4: { // reopen: the rows stay as they were shown
                const QByteArray before = visibleRecords(table);
                table.close();
                table.open();
                if (visibleRecords(table) != before)
                    std::abort();
                break;
            }
            case 5:
                table.addIndex(QStringLiteral("tab1"), arg & 1 ? Measurement::N : Measurement::COMMENT,
                               arg & 2);
                table.selectIndex(QStringLiteral("tab1"));
                break;
            case 6:
                table.selectIndex(QString());
                break;
            case 7: { // renumber in the order shown, from the row the argument names
                const int from = table.rowCount() > 0 ? arg % table.rowCount() : 0;
                for (int row = from; row < table.rowCount() && row < from + MaxRenumbered; ++row) {
                    if (!table.gotoRecord(table.recordAt(row)))
                        continue;
                    table.edit();
                    table.setInteger(Measurement::N, row + 1);
                    written = table.recNo();
                    table.post();
                }
                break;
            }
            }
        } catch (const QpxError &) {
            table.cancel();
        }
        if (!table.isOpen())
            return 0;
        checkStep(table, arg, written);
    }
    checkWhole(table, files.fs().contents(path));
    return 0;
}
