// A hostile table file edited as the operator edits: appends, cell edits, deletes, pack and
// reopen, driven by the input; after every step the table must still pass the open checks, and
// after a reopen it must hold what the table showed before.
//
// Input: two bytes of file length L (little-endian), L bytes of table file, then steps of two
// bytes each: an operation and an argument.
#include "data/dbftable.h"
#include "data/measurementtable.h"
#include "fuzzing.h"

#include <cstdint>

namespace {

// Appends and renumbering stop at this size: a hostile record length of 64 KB would otherwise
// make every step copy megabytes and the target time out without finding anything.
constexpr qint64 MaxTableBytes = 600000;

QList<QByteArray> visibleRecords(const DbfTable &table)
{
    QList<QByteArray> records;
    for (int row = 0; row < table.rowCount(); ++row)
        records.append(table.recordBytes(table.recordAt(row)));
    return records;
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
    for (size_t at = 2 + length; at + 1 < size; at += 2) {
        const int op = data[at] % 8;
        const int arg = data[at + 1];
        try {
            switch (op) {
            case 0: // append a row (up to a table of a few hundred KB, as the instrument fills)
                if (qint64(table.physicalRecordCount() + 1) * table.recordLength() > MaxTableBytes)
                    break;
                table.append();
                table.setInteger(Measurement::N, arg);
                table.setText(Measurement::COMMENT, QStringLiteral("новая %1").arg(arg));
                table.post();
                break;
            case 1: // edit a cell of a row
                if (table.rowCount() > 0 && table.gotoRecord(table.recordAt(arg % table.rowCount()))) {
                    table.edit();
                    table.setText(arg & 1 ? Measurement::COMMENT : Measurement::T_1, QString::number(arg));
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
                const QList<QByteArray> before = visibleRecords(table);
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
            case 7: // renumber in the order shown
                for (int row = 0;
                     row < table.rowCount() && qint64(row) * table.recordLength() < MaxTableBytes; ++row) {
                    if (!table.gotoRecord(table.recordAt(row)))
                        continue;
                    table.edit();
                    table.setInteger(Measurement::N, row + 1);
                    table.post();
                }
                break;
            }
        } catch (const QpxError &) {
            table.cancel();
        }
        if (!table.isOpen())
            return 0;
        // After each step the structure of every row, the values of a few rows at both ends and
        // of the row the step left current: reading every value of hundreds of rows after each of
        // hundreds of steps took half of every run.
        fuzzing::checkOpenTable(table, 4);
        if (!table.eof() && table.recNo() >= 1 && table.recNo() <= table.physicalRecordCount()) {
            for (int f = 0; f < table.fieldCount(); ++f)
                (void)table.text(table.recNo(), f);
        }
    }
    return 0;
}
