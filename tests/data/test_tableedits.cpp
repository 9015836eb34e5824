// The commands over many rows, without a grid: deleting a set of records then packing, and
// renumbering in the order shown.
#include "data/tableedits.h"
#include "dbftesting.h"

using namespace Measurement;

using TableEditsTest = TableFixture;

TEST_F(TableEditsTest, DeletingSkipsRecordsNotShownAndPacksDamagedOnesAway)
{
    DbfTable table(Measurement::schema());
    createTable(table);
    table.open();
    addRows(table, {1, 2, 3, 4, 5, 6});
    table.close();
    QByteArray b = readAll(path());
    b[289 + 100 * 5 + 40] = '\0'; // record 6 torn by a power cut
    writeAll(path(), b);
    table.open();
    table.setFilter(QStringLiteral("COMMENT ='*3'"));
    table.setFiltered(true); // only record 3 ("row 3") shown

    TableEdits::deleteRecordsAndPack(table, {3, 4, 99, 0});
    table.setFiltered(false);
    // Record 3 went, record 4 was not shown, 99 and 0 are none; the damaged record went too.
    EXPECT_EQ(table.physicalRecordCount(), 4);
    EXPECT_EQ(column(table, T_1), strings({"1", "2", "4", "5"}));
    EXPECT_EQ(table.damagedRecordCount(), 0);
    table.close();
    EXPECT_EQ(le32(readAll(path()), 4), 4u);
}

TEST_F(TableEditsTest, RenumberingTakesTheOrderShownAtTheStart)
{
    DbfTable table(Measurement::schema());
    createTable(table);
    table.open();
    addRows(table, {30, 10, 20});
    table.addIndex(QStringLiteral("tab1"), N, true); // N descending: records 3, 2, 1
    table.selectIndex(QStringLiteral("tab1"));
    table.gotoRecord(2);

    TableEdits::renumberRows(table);
    EXPECT_EQ(table.recNo(), table.recordAt(0));
    table.selectIndex(QString());
    EXPECT_EQ(column(table, N), strings({"3", "2", "1"}));
}

TEST_F(TableEditsTest, RenumberingMoreRowsThanNCanHoldWritesNothing)
{
    DbfTable table(Measurement::schema());
    createTable(table);
    table.open();
    for (int i = 0; i < TableEdits::MaxRowNumber + 1; ++i) {
        table.append();
        table.post();
    }
    table.sync();
    table.close(); // the bytes of the file as the table left them
    const QByteArray before = readAll(path());
    table.open();
    try {
        TableEdits::renumberRows(table);
        FAIL();
    } catch (const QpxError &e) {
        EXPECT_TRUE(e.text().contains(QStringLiteral("10000"))) << e.text().toStdString();
    }
    table.close();
    EXPECT_EQ(readAll(path()), before);
    // One row fewer is numbered.
    table.open();
    table.last();
    table.deleteRecord();
    TableEdits::renumberRows(table);
    table.last();
    EXPECT_EQ(table.integer(N), TableEdits::MaxRowNumber);
}
