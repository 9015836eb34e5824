// Opens arbitrary bytes as a table file and walks it: no input may crash or hang the reader.
#include "data/dbftable.h"
#include "data/measurementtable.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    static QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("fuzz.db"));
    {
        QFile file(path);
        if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate))
            return 0;
        file.write(reinterpret_cast<const char *>(data), qint64(size));
    }
    QFile::remove(dir.filePath(QStringLiteral("fuzz.mdx")));
    // Both with the measurement schema and with none, so that foreign field lists get walked too.
    for (const bool measurement : {true, false}) {
        DbfTable table;
        if (!measurement)
            table.setSchema({});
        table.setFileName(path);
        try {
            table.open();
            int seen = 0;
            for (table.first(); !table.eof() && seen < 1000; table.next(), ++seen) {
                for (int f = 0; f < table.fieldCount(); ++f) {
                    (void)table.text(table.recNo(), f);
                    (void)table.isNull(table.recNo(), f);
                }
            }
            (void)table.exactRecordCount();
            if (measurement && table.rowCount() > 0) {
                table.setFilter(QStringLiteral("T_2 ='*1*'"));
                table.setFiltered(true);
                table.addIndex(QStringLiteral("tab1"), QStringLiteral("COMMENT"), true);
                table.selectIndex(QStringLiteral("tab1"));
                (void)table.exactRecordCount();
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
