// Opens arbitrary bytes as a table file and walks it: no input may crash or hang the reader.
#include "data/dbftable.h"
#include "data/measurementtable.h"
#include "fuzzing.h"

#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    fuzzing::MemoryFiles files;
    const QString path = QStringLiteral("/fuzz/fuzz.db");
    files.fs().setContents(path, QByteArray(reinterpret_cast<const char *>(data), qsizetype(size)));
    // Both with the measurement schema and with none, so that foreign field lists get walked too.
    for (const bool measurement : {true, false}) {
        DbfTable table(Measurement::schema());
        if (!measurement)
            table.setSchema({});
        table.setFileName(path);
        try {
            table.open();
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
