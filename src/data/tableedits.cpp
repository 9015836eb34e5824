#include "tableedits.h"

#include "dbase/dbftable.h"
#include "measurementtable.h"

void TableEdits::deleteRecordsAndPack(DbfTable &table, const QList<int> &records)
{
    for (qsizetype i = records.size() - 1; i >= 0; --i) {
        if (table.gotoRecord(records.at(i)))
            table.deleteRecord();
    }
    table.pack();
}

void TableEdits::requireRenumberable(const DbfTable &table)
{
    const int count = table.exactRecordCount();
    if (count > MaxRowNumber)
        throw QpxError(QStringLiteral("Перенумеровать строки нельзя: в таблице %1 строк, а номер строки "
                                      "не может быть больше %2. Таблица не изменена")
                           .arg(count)
                           .arg(MaxRowNumber));
}

void TableEdits::renumberRows(DbfTable &table)
{
    requireRenumberable(table);
    QList<int> order;
    order.reserve(table.rowCount());
    for (int row = 0; row < table.rowCount(); ++row)
        order.append(table.recordAt(row));
    for (qsizetype i = 0; i < order.size(); ++i) {
        if (!table.gotoRecord(order.at(i)))
            continue;
        table.edit();
        table.setInteger(Measurement::N, i + 1);
        table.post();
    }
    table.first();
}
