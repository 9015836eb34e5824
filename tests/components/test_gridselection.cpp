// The grid's record selection over a table file: the order of adding and the snapshots through
// removals that pack the list, and the rows of the records the table still shows.
#include "components/dbgridselection.h"
#include "data/measurementtable.h"
#include "dbase/dbftable.h"

#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace {

class GridSelectionTest : public ::testing::Test
{
protected:
    QTemporaryDir dir;
    DbfTable table{Measurement::schema()};
    DbGridSelection selection;

    // Records 1..count with N and T_1 both the record number.
    void makeTable(int count)
    {
        ASSERT_TRUE(dir.isValid());
        table.setFileName(dir.filePath(QStringLiteral("t.db")));
        table.create();
        table.open();
        for (int i = 1; i <= count; ++i) {
            table.append();
            table.setInteger(Measurement::N, i);
            table.setText(Measurement::T_1, QString::number(i));
            table.post();
        }
    }
    void setMass(int recNo, const QString &text)
    {
        ASSERT_TRUE(table.gotoRecord(recNo));
        table.edit();
        table.setText(Measurement::T_1, text);
        table.post();
    }
};

TEST_F(GridSelectionTest, OrderAndSnapshotsSurviveRemovalsThatPackTheList)
{
    makeTable(300);
    selection.setBookmarkFields(QStringLiteral(" T_1 ;;NOPE;N"));
    EXPECT_EQ(selection.bookmarkFields(), QStringLiteral("T_1;NOPE;N"));
    for (int recNo = 300; recNo >= 1; --recNo)
        selection.add(&table, recNo);
    selection.add(&table, 5); // already selected
    selection.add(&table, 0); // no record
    ASSERT_EQ(selection.count(), 300);
    const quint64 version = selection.version();

    // A row changed after it was selected keeps its snapshot; the table's values are read anew.
    setMass(9, QStringLiteral("y"));
    setMass(7, QStringLiteral("x"));
    EXPECT_EQ(selection.currentValues(table, 9),
              (QStringList{QStringLiteral("y"), QString(), QStringLiteral("9")}));

    // Two of every three go: the list is packed on the way, and what is left keeps its order.
    QList<int> expected;
    for (int recNo = 300; recNo >= 1; --recNo) {
        if (recNo % 3 != 0)
            selection.remove(recNo);
        else
            expected.append(recNo);
    }
    selection.remove(1000); // never selected
    EXPECT_EQ(selection.version(), version + 200);
    EXPECT_EQ(selection.records(), expected);
    // After packing every record is still found where it is.
    selection.remove(150);
    expected.removeOne(150);
    selection.add(&table, 7);
    expected.append(7);
    EXPECT_FALSE(selection.contains(150));
    EXPECT_TRUE(selection.contains(7));
    EXPECT_EQ(selection.records(), expected);

    const QList<QStringList> values = selection.values();
    ASSERT_EQ(values.size(), expected.size());
    for (qsizetype i = 0; i < expected.size(); ++i) {
        const QString number = QString::number(expected.at(i));
        const QString mass = expected.at(i) == 7 ? QStringLiteral("x") : number;
        EXPECT_EQ(values.at(i), (QStringList{mass, QString(), number})) << expected.at(i);
    }
}

TEST_F(GridSelectionTest, RowsAreThoseOfTheRecordsStillShownInAscendingOrder)
{
    makeTable(6);
    table.addIndex(QStringLiteral("tab1"), Measurement::N, true); // descending: 6 5 4 3 2 1
    table.selectIndex(QStringLiteral("tab1"));
    for (int recNo : {2, 5, 4})
        selection.add(&table, recNo);
    ASSERT_TRUE(table.gotoRecord(4));
    table.deleteRecord(); // now 6 5 3 2 1
    const quint64 version = selection.version();
    EXPECT_EQ(selection.rowsIn(table), (QList<int>{1, 3}));
    EXPECT_EQ(selection.records(), (QList<int>{2, 5}));
    EXPECT_EQ(selection.version(), version + 1);
    EXPECT_EQ(selection.rowsIn(table), (QList<int>{1, 3}));
    EXPECT_EQ(selection.version(), version + 1);

    selection.clear();
    EXPECT_TRUE(selection.isEmpty());
    EXPECT_EQ(selection.version(), version + 2);
    selection.clear(); // nothing to clear: no change
    EXPECT_EQ(selection.version(), version + 2);
}

} // namespace
