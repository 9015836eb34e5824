// The row order under changes: the order kept up to date edit by edit must be the one a
// rebuild from scratch gives, row for row, however the changes and lookups interleave.
#include "dbase/dbforder.h"
#include "dbftesting.h"

#include <algorithm>
#include <random>

using namespace Measurement;

namespace {

// A model of the order: records sorted by (key, record number), looked up by linear search.
struct Model
{
    std::vector<int> keys; // by record number
    std::vector<int> records;

    bool less(int a, int b) const
    {
        return keys[size_t(a)] != keys[size_t(b)] ? keys[size_t(a)] < keys[size_t(b)] : a < b;
    }
    void insert(int r)
    {
        records.insert(
            std::lower_bound(records.begin(), records.end(), r, [&](int a, int b) { return less(a, b); }), r);
    }
    void erase(int r) { records.erase(std::find(records.begin(), records.end(), r)); }
    int rowOf(int r) const
    {
        const auto it = std::find(records.begin(), records.end(), r);
        return it == records.end() ? -1 : int(it - records.begin());
    }
};

void expectSame(const DbfOrder::RowOrder &order, const Model &model, int count, int step)
{
    ASSERT_EQ(order.size(), int(model.records.size())) << step;
    for (int row = 0; row < order.size(); ++row)
        ASSERT_EQ(order.recordAt(row), model.records[size_t(row)]) << step << " row " << row;
    for (int r = 0; r <= count + 1; ++r)
        ASSERT_EQ(order.rowOf(r), model.rowOf(r)) << step << " record " << r;
    EXPECT_EQ(order.recordAt(-1), 0);
    EXPECT_EQ(order.recordAt(order.size()), 0);
}

} // namespace

TEST(RowOrder, ChangesAndLookupsInAnyMixAgreeWithAModel)
{
    for (const unsigned seed : {1u, 2u, 3u, 4u}) {
        std::mt19937 random(seed);
        auto pick = [&](int n) { return int(std::uniform_int_distribution<int>(0, n - 1)(random)); };
        Model model;
        int count = 40 + pick(200);
        model.keys.resize(size_t(count) + 1);
        std::vector<int> start;
        for (int r = 1; r <= count; ++r) {
            model.keys[size_t(r)] = pick(20); // many equal keys: file order breaks the ties
            if (pick(4) != 0)
                start.push_back(r);
        }
        std::sort(start.begin(), start.end(), [&](int a, int b) { return model.less(a, b); });
        model.records = start;
        DbfOrder::RowOrder order;
        order.assign(start, count);
        const auto less = [&](int a, int b) { return model.less(a, b); };
        for (int step = 0; step < 3000; ++step) {
            const int r = 1 + pick(count);
            switch (pick(6)) {
            case 0: // shown again, or edited into the order
                if (model.rowOf(r) < 0) {
                    order.insert(r, less);
                    model.insert(r);
                }
                break;
            case 1: // deleted, or filtered out
                order.erase(r);
                if (model.rowOf(r) >= 0)
                    model.erase(r);
                break;
            case 2: // its key changed: out and back in at its new place
                if (model.rowOf(r) >= 0) {
                    order.erase(r);
                    model.erase(r);
                    model.keys[size_t(r)] = pick(20);
                    order.insert(r, less);
                    model.insert(r);
                }
                break;
            case 3: { // appended, with a key that goes to the end or anywhere
                ++count;
                model.keys.push_back(pick(3) == 0 ? 20 + step : pick(20));
                order.grow(count);
                order.insert(count, less);
                model.insert(count);
                break;
            }
            case 4: // a lookup or a burst of them (the grid painting rows)
                for (int i = pick(3) == 0 ? 200 : 1; i > 0; --i) {
                    const int row = pick(int(model.records.size()) + 1);
                    ASSERT_EQ(order.recordAt(row),
                              row < int(model.records.size()) ? model.records[size_t(row)] : 0);
                    const int any = 1 + pick(count);
                    ASSERT_EQ(order.rowOf(any), model.rowOf(any));
                }
                break;
            case 5:
                if (pick(50) == 0)
                    expectSame(order, model, count, step);
                if (pick(20) == 0)
                    order.assign(model.records, count); // rebuilt (refresh, a new sort): no tree yet
                break;
            }
        }
        expectSame(order, model, count, -1);
        EXPECT_EQ(order.records(), model.records);
    }
}

using DbfOrderKept = TableFixture;

TEST_F(DbfOrderKept, EditsAndDeletesLeaveTheOrderARebuildGives)
{
    DbfTable table(Measurement::schema());
    createTable(table);
    table.open();
    for (int i = 0; i < 300; ++i) {
        table.append();
        table.setInteger(N, (i * 37) % 101);
        table.setText(COMMENT, QStringLiteral("%1").arg((i * 53) % 17));
        table.post();
    }
    auto shown = [&] {
        QList<int> records;
        for (int row = 0; row < table.rowCount(); ++row) {
            records.append(table.recordAt(row));
            EXPECT_EQ(table.rowOf(records.last()), row);
        }
        return records;
    };
    auto expectRebuildAgrees = [&](const char *what) {
        const QList<int> kept = shown();
        const int current = table.recNo();
        table.refresh();
        EXPECT_EQ(shown(), kept) << what;
        EXPECT_EQ(table.recNo(), current) << what;
    };
    table.addIndex(QStringLiteral("tab1"), N, true);
    table.selectIndex(QStringLiteral("tab1"));

    // Renumbering in the order shown moves every row it posts; the current row follows it.
    int resets = 0;
    QObject::connect(&table, &DbfTable::rowsReset, [&] { ++resets; });
    const QList<int> before = shown();
    for (qsizetype i = 0; i < before.size(); ++i) {
        ASSERT_TRUE(table.gotoRecord(before[i]));
        table.edit();
        table.setInteger(N, i + 1);
        table.post();
        ASSERT_EQ(table.recNo(), before[i]);
    }
    QList<int> reversed(before.crbegin(), before.crend());
    EXPECT_EQ(shown(), reversed);
    expectRebuildAgrees("renumbered by N descending");
    EXPECT_GT(resets, 0);

    // An edit that leaves the key alone keeps the row and raises no reset.
    resets = 0;
    for (table.first(); !table.eof(); table.next()) {
        table.edit();
        table.setText(COMMENT, QStringLiteral("checked"));
        table.post();
    }
    EXPECT_EQ(resets, 0);
    expectRebuildAgrees("comments");

    // Sorted by COMMENT, whose keys are now all equal: file order breaks the ties; edits that
    // change the key move rows among equal ones.
    table.addIndex(QStringLiteral("tab1"), COMMENT, false);
    table.rebuildIndexes();
    for (int r = 3; r <= 300; r += 7) {
        ASSERT_TRUE(table.gotoRecord(r));
        table.edit();
        table.setText(COMMENT, QStringLiteral("%1").arg(r % 5));
        table.post();
    }
    expectRebuildAgrees("comments by COMMENT");

    // Deleting many rows, from the middle and both ends.
    for (const int r : {1, 300, 150, 2, 299, 151, 77, 78, 79, 80}) {
        if (table.gotoRecord(r))
            table.deleteRecord();
    }
    EXPECT_EQ(table.rowCount(), 290);
    expectRebuildAgrees("deleted");
    table.selectIndex(QString());
    expectRebuildAgrees("file order");
}

TEST_F(DbfOrderKept, NotANumberSortsAsZero)
{
    DbfTable table(Measurement::schema());
    createTable(table);
    table.open();
    addRows(table, {1, 2, 3, 4});
    table.close();
    // N of the four records: 5, nan, 1, -2 (written by another program).
    QByteArray b = readAll(path());
    const QList<QByteArray> numbers = {"   5", " nan", "   1", "  -2"};
    for (int i = 0; i < 4; ++i)
        b.replace(289 + 100 * i + 1, 4, numbers[i]);
    writeAll(path(), b);
    table.open();
    table.addIndex(QStringLiteral("tab1"), N, false);
    table.selectIndex(QStringLiteral("tab1"));
    EXPECT_EQ(column(table, T_1), strings({"4", "2", "3", "1"}));
}
