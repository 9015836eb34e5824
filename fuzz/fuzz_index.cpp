// A good table with an arbitrary production index file beside it: opening, sorting and the
// index commands must cope with any text there. The table's own bytes are always the same good
// five rows, so the checks look at the rows' order, not again at their values.
#include "data/measurementtable.h"
#include "dbase/dbftable.h"
#include "fuzzing.h"

#include <cstdint>

namespace {
const QString Path = QStringLiteral("/fuzz/t.db");
const QString IndexPath = QStringLiteral("/fuzz/t.mdx");

// A table of five rows whose header says an index file exists.
const QByteArray &tableBytes()
{
    static const QByteArray bytes = [] {
        fuzzing::MemoryFiles files;
        DbfTable table(Measurement::schema());
        table.setFileName(Path);
        table.create();
        table.open();
        for (int i = 0; i < 5; ++i) {
            table.append();
            table.setInteger(Measurement::N, i + 1);
            table.setText(Measurement::T_1, QString::number(5 - i));
            table.setText(Measurement::COMMENT, QStringLiteral("строка %1").arg(i));
            table.post();
        }
        table.addIndex(QStringLiteral("tab1"), Measurement::T_1, false);
        table.close();
        return files.fs().contents(Path);
    }();
    return bytes;
}
} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QByteArray table0 = tableBytes();
    fuzzing::MemoryFiles files;
    files.fs().setContents(Path, table0);
    files.fs().setContents(IndexPath, QByteArray(reinterpret_cast<const char *>(data), qsizetype(size)));
    DbfTable table(Measurement::schema());
    table.setFileName(Path);
    try {
        table.open();
        fuzzing::checkOpenTable(table, 0);
        if (table.rowCount() != 5)
            std::abort(); // the index file never hides rows
        // Each selection rewrites the index file: a few tags show every path, thousands only time.
        const QStringList names = table.indexNames().mid(0, 8);
        for (const QString &name : names) {
            table.selectIndex(name);
            fuzzing::checkOpenTable(table, 0);
        }
        table.addIndex(QStringLiteral("tab1"), Measurement::COMMENT, true);
        table.selectIndex(QStringLiteral("tab1"));
        fuzzing::checkOpenTable(table, 0);
        table.deleteIndex(QStringLiteral("tab1"));
        table.close();
        table.open();
        fuzzing::checkOpenTable(table, 0);
    } catch (const QpxError &) {
    }
    return 0;
}
