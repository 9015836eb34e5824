// Opens arbitrary bytes as a table file and walks it: no input may crash or hang the reader.
#include "data/measurementtable.h"
#include "dbase/dbftable.h"
#include "fuzzing.h"

#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    fuzzing::MemoryFiles files;
    const QString path = QStringLiteral("/fuzz/fuzz.db");
    const QByteArray input(reinterpret_cast<const char *>(data), qsizetype(size));
    files.fs().setContents(path, input);
    // Both with the measurement schema and with none, so that foreign field lists get walked too.
    for (const bool measurement : {true, false}) {
        DbfTable table(Measurement::schema());
        if (!measurement)
            table.setSchema({});
        table.setFileName(path);

        // A read-only open writes nothing, whatever the bytes, and sees the rows a writing one
        // sees.
        int readOnlyRows = -1;
        const quint64 changesBefore = files.fs().changes();
        const QByteArray before = files.fs().contents(path);
        try {
            table.open(DbfTable::Access::ReadOnly);
            fuzzing::checkOpenTable(table);
            readOnlyRows = table.rowCount();
        } catch (const QpxError &) {
        }
        table.close();
        if (files.fs().changes() != changesBefore || files.fs().contents(path) != before)
            std::abort();

        try {
            table.open();
        } catch (const QpxError &) {
            if (files.fs().contents(path) != before || readOnlyRows >= 0)
                std::abort(); // a refused open writes nothing, and refuses what a reader refused
            continue;
        }
        fuzzing::checkOpenKeptBytes(before, files.fs().contents(path));
        if (table.rowCount() != readOnlyRows)
            std::abort();
        try {
            fuzzing::checkOpenTable(table);
            int seen = 0;
            for (table.first(); !table.eof() && seen < 1000; table.next(), ++seen)
                (void)table.recNo();
            if (measurement && table.rowCount() > 0) {
                table.setFilter(QStringLiteral("T_2 ='*1*'"));
                table.setFiltered(true);
                table.addIndex(QStringLiteral("tab1"), QStringLiteral("COMMENT"), true);
                table.selectIndex(QStringLiteral("tab1"));
                fuzzing::checkOpenTable(table, 0); // values: read after the open above
                table.first();
                (void)table.number(QStringLiteral("N"));
                table.deleteIndex(QStringLiteral("tab1"));
            }
            table.close();
        } catch (const QpxError &) {
        }
    }
    return 0;
}
