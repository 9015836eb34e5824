// The table commands of the grid's controller over a real table file: sorting by title clicks,
// footers of the selection, colours, the saved layout, deleting and renumbering rows.
#include "base/settingsstore.h"
#include "components/widgets/dbgrid.h"
#include "view/gridlayout.h"
#include "view/selectionstats.h"
#include "view/widgets/tablecontroller.h"
#include "viewtesting.h"

#include <QFile>
#include <QSignalSpy>
#include <numeric>

namespace {

class TableControllerTest : public ViewFixture
{
protected:
    std::unique_ptr<TableController> view;
    DbGrid *grid = nullptr;

    void makeView()
    {
        view = std::make_unique<TableController>(&table, &window);
        grid = view->dbGrid();
        place(view->grid());
    }
    int col(const QString &field) const { return grid->columnIndex(field); }
    QString footer(const QString &field) const { return grid->column(col(field)).footerText; }
    QString storedLayout() const
    {
        return SettingsStore::open()->value(QStringLiteral("Table_1")).toString();
    }
    void storeLayout(const QString &text)
    {
        SettingsStore::open()->setValue(QStringLiteral("Table_1"), text);
    }
    QList<int> recordsOfRows(std::initializer_list<int> rows) const
    {
        QList<int> records;
        for (int row : rows)
            records.append(table.recordAt(row));
        return records;
    }
};

TEST_F(TableControllerTest, TitleClicksCycleThroughTheSortIndex)
{
    addReadings({{1, "12,5", "1"}, {2, "9", "2"}, {3, "100", "3"}, {4, "-3", "4"}});
    makeView();
    const int mass = col(Measurement::T_1);

    grid->titleClick(mass, Qt::NoModifier); // up: descending text order
    EXPECT_EQ(grid->column(mass).layout.titleState, TitleState::SortedUp);
    EXPECT_EQ(column(Measurement::T_1), strings({"9", "12,5", "100", "-3"}));
    EXPECT_EQ(table.selectedIndex().toLower(), QStringLiteral("tab1"));
    EXPECT_TRUE(QFile::exists(table.indexFileName()));

    grid->titleClick(mass, Qt::ShiftModifier); // down: ascending, text compared, not numbers
    EXPECT_EQ(grid->column(mass).layout.titleState, TitleState::SortedDown);
    EXPECT_EQ(column(Measurement::T_1), strings({"-3", "100", "12,5", "9"}));
    grid->titleClick(mass, Qt::NoModifier);
    EXPECT_EQ(grid->column(mass).layout.titleState, TitleState::SortedUp);

    // Another title: only that one keeps a mark, descending; N sorts as a number.
    addReadings({{10, "1", "1"}});
    grid->titleClick(col(Measurement::N), Qt::NoModifier);
    EXPECT_EQ(grid->column(mass).layout.titleState, TitleState::SortedNone);
    EXPECT_EQ(grid->column(mass).layout.sortOrder, -1);
    EXPECT_EQ(grid->column(col(Measurement::N)).layout.sortOrder, 0);
    EXPECT_EQ(column(Measurement::N), strings({"10", "4", "3", "2", "1"}));

    // Ctrl with a click: file order, no index file, no marks.
    grid->titleClick(col(Measurement::N), Qt::ControlModifier);
    EXPECT_EQ(grid->column(col(Measurement::N)).layout.titleState, TitleState::SortedNone);
    EXPECT_EQ(column(Measurement::N), strings({"1", "2", "3", "4", "10"}));
    EXPECT_TRUE(table.selectedIndex().isEmpty());
    EXPECT_FALSE(QFile::exists(table.indexFileName()));
    EXPECT_TRUE(prompts.messages.isEmpty());
}

TEST_F(TableControllerTest, SortKeepsTheCurrentRecordAndTheSelection)
{
    addReadings({{1, "12,5", "1"}, {2, "9", "2"}, {3, "100", "3"}});
    makeView();
    table.gotoRecord(2);
    grid->selectRecords({1, 3});
    grid->titleClick(col(Measurement::T_1), Qt::NoModifier);
    EXPECT_EQ(table.recNo(), 2);
    EXPECT_EQ(grid->currentRow(), table.rowOf(2));
    EXPECT_EQ(grid->selectedRecords(), (QList<int>{1, 3}));
    EXPECT_EQ(grid->view()->selectionModel()->selectedRows().size(), 2);

    view->sortReset(QStringLiteral("tab1"));
    EXPECT_EQ(grid->column(col(Measurement::T_1)).layout.titleState, TitleState::SortedNone);
    EXPECT_EQ(column(Measurement::N), strings({"1", "2", "3"}));
    EXPECT_EQ(table.recNo(), 2);
}

TEST_F(TableControllerTest, FootersShowTheStatisticsOfTheSelection)
{
    addReadings({{1, "12,3", "3"}, {2, "12,4", "5"}, {3, "15", ""}, {4, "2,5", "1"}});
    makeView();
    EXPECT_EQ(footer(Measurement::T_1), QStringLiteral("0/0/0"));

    grid->selectRecords({1, 2});
    EXPECT_EQ(footer(Measurement::T_1), QStringLiteral("12,3/12,4/12,4"));
    EXPECT_EQ(footer(Measurement::T_2), QStringLiteral("3/4/5"));
    EXPECT_TRUE(grid->column(col(Measurement::N)).footerText.isEmpty());

    // An operative row has no series number: an error message, the footers stay.
    grid->selectRecords({1, 2, 3});
    ASSERT_EQ(prompts.messages.size(), 1);
    EXPECT_EQ(prompts.messages[0].text, SelectionStats::noNumberText(1, QString()) + QLatin1Char('.'));
    EXPECT_EQ(prompts.messages[0].icon, MessageIcon::Error);
    EXPECT_EQ(footer(Measurement::T_1), QStringLiteral("12,3/12,4/12,4"));
    EXPECT_EQ(footer(Measurement::T_2), QStringLiteral("3/4/5"));
    // Sorting re-reads the rows but changes neither the selection nor the current record: no
    // new selection change, so no second message.
    grid->titleClick(col(Measurement::T_1), Qt::NoModifier);
    EXPECT_EQ(prompts.messages.size(), 1);

    grid->selectRecords({4});
    EXPECT_EQ(footer(Measurement::T_1), QStringLiteral("0/0/0"));
    EXPECT_EQ(footer(Measurement::T_2), QStringLiteral("0/0/0"));
}

TEST_F(TableControllerTest, DoubleClickWalksToTheEndAndBackToTheFirstRow)
{
    addSeries(200);
    makeView();
    grid->selectRecords({5, 6, 7});
    EXPECT_NE(footer(Measurement::T_1), QStringLiteral("0/0/0"));
    table.gotoRecord(50);
    view->walkRows();
    EXPECT_EQ(table.recNo(), 1);
    EXPECT_EQ(grid->currentRow(), 0);
    EXPECT_EQ(grid->selectionCount(), 1);
    EXPECT_EQ(footer(Measurement::T_1), QStringLiteral("0/0/0"));
    EXPECT_EQ(table.rowCount(), 200); // nothing appended at the end
}

TEST_F(TableControllerTest, ColourCommandsActOnTheCurrentColumn)
{
    addSeries(3);
    makeView();
    const int mass = col(Measurement::T_1);
    grid->setCurrentCell(1, mass);

    prompts.colorAnswers = {QColor(Qt::red), QColor(), QColor(1, 2, 3)};
    view->setColumnColour();
    EXPECT_EQ(grid->column(mass).layout.color, 0x000000FFu);
    view->setColumnColour(); // cancelled: nothing changes
    EXPECT_EQ(grid->column(mass).layout.color, 0x000000FFu);
    grid->setCurrentCell(1, 0);
    view->setColumnColour();
    EXPECT_EQ(grid->column(0).layout.color, GridColor::rgb(1, 2, 3));
    // The dialog starts black, then from the last colour confirmed.
    EXPECT_EQ(prompts.colorStarts, (QList<QColor>{Qt::black, Qt::red, Qt::red}));

    view->clearColumnColour();
    EXPECT_EQ(grid->column(0).layout.color, GridColor::None);
    EXPECT_EQ(grid->column(mass).layout.color, 0x000000FFu);
    view->clearAllColours();
    EXPECT_EQ(grid->column(mass).layout.color, GridColor::None);

    // With no table open the commands do nothing.
    table.close();
    prompts.colorAnswers = {QColor(Qt::blue)};
    view->setColumnColour();
    EXPECT_EQ(prompts.colorStarts.size(), 3);
}

TEST_F(TableControllerTest, FirstRestoreFitsTheColumnsAndSavesAtOnce)
{
    makeView();
    grid->setColumnWidths({300, 50, 50, 50, 50, 50, 50});
    view->layoutRestore(QStringLiteral("Table_1"));
    const QList<int> widths = grid->shownWidths();
    EXPECT_EQ(std::accumulate(widths.begin(), widths.end(), 0), grid->view()->viewport()->width());
    EXPECT_LE(
        *std::max_element(widths.begin(), widths.end()) - *std::min_element(widths.begin(), widths.end()), 1);

    const QList<GridColumnLayout> saved = parseGridLayout(storedLayout());
    ASSERT_EQ(saved.size(), 7);
    EXPECT_EQ(saved[0].fieldName, QStringLiteral("N"));
    EXPECT_EQ(saved[0].alignment, ColumnAlignment::Center);
    EXPECT_EQ(saved[2].layoutIndex, 1);
    EXPECT_EQ(saved[3].fieldName, QStringLiteral("T_2"));
    EXPECT_EQ(saved[3].alignment, ColumnAlignment::RightJustify);
    EXPECT_EQ(saved[6].fieldName, QStringLiteral("COMMENT"));
    for (int c = 0; c < 7; ++c)
        EXPECT_EQ(saved[c].width, grid->width() / 7);
}

TEST_F(TableControllerTest, LayoutCarriesColoursAndSortMarksToTheNextTable)
{
    addReadings({{1, "12,5", "1"}, {2, "9", "2"}});
    makeView();
    const int mass = col(Measurement::T_1);
    grid->setCurrentCell(0, mass);
    prompts.colorAnswers = {QColor(Qt::red)};
    view->setColumnColour();
    grid->titleClick(mass, Qt::NoModifier);
    view->layoutSave(QStringLiteral("Table_1"));
    EXPECT_TRUE(storedLayout().contains(QStringLiteral("      Color = clRed\r\n")));
    EXPECT_TRUE(storedLayout().contains(QStringLiteral("      TitleState = tsSortedUp\r\n")));

    // A second view over a table in file order: the mark comes back, the rows are not sorted.
    view->sortReset(QStringLiteral("tab1"));
    TableController other(&table, &window);
    other.layoutRestore(QStringLiteral("Table_1"));
    EXPECT_EQ(other.dbGrid()->column(mass).layout.color, 0x000000FFu);
    EXPECT_EQ(other.dbGrid()->column(mass).layout.titleState, TitleState::SortedUp);
    EXPECT_EQ(column(Measurement::N), strings({"1", "2"}));

    // All colours removed: the saved text has no colour line.
    view->clearAllColours();
    view->layoutSave(QStringLiteral("Table_1"));
    EXPECT_FALSE(storedLayout().contains(QStringLiteral("Color")));
}

TEST_F(TableControllerTest, RestoreIgnoresUnknownFieldsAndRejectsBrokenTexts)
{
    makeView();
    storeLayout(
        QStringLiteral("object TUniDataStorage\r\n  Data = <\r\n    item\r\n      FieldName = 'WEIGHT'\r\n"
                       "      Color = clLime\r\n    end\r\n    item\r\n      FieldName = 'mode'\r\n"
                       "      Color = 65535\r\n    end>\r\nend\r\n"));
    view->layoutRestore(QStringLiteral("Table_1"));
    const GridColumnLayout &mode = grid->column(col(Measurement::MODE)).layout;
    EXPECT_EQ(mode.color, 0x0000FFFFu);
    EXPECT_EQ(mode.alignment, ColumnAlignment::Default); // copied as read
    EXPECT_EQ(mode.fieldName, Measurement::MODE);        // the column keeps its own name
    for (int c = 0; c < grid->columnCount(); ++c) {
        if (c != col(Measurement::MODE)) {
            EXPECT_EQ(grid->column(c).layout.color, GridColor::None);
        }
    }

    const QList<int> widths = grid->columnWidths();
    storeLayout(QStringLiteral("object TUniDataStorage\r\n  Data = <\r\n    item\r\n      FieldName = 'N'\r\n"
                               "      Color = clRed\r\n    end\r\n    item\r\n      Width = \r\n"));
    EXPECT_THROW(view->layoutRestore(QStringLiteral("Table_1")), LayoutParseError);
    EXPECT_EQ(grid->column(0).layout.color, GridColor::None);
    EXPECT_EQ(grid->columnWidths(), widths);
}

TEST_F(TableControllerTest, RestoredWidthsAreWhatAGridCanShow)
{
    makeView();
    view->layoutRestore(QStringLiteral("Table_1")); // the first restore fits the columns
    const int dateWidth = grid->column(col(Measurement::DATE)).layout.width;
    storeLayout(
        QStringLiteral("object TUniDataStorage\r\n  Data = <\r\n    item\r\n      FieldName = 'N'\r\n"
                       "      Width = 2147483647\r\n    end\r\n    item\r\n      FieldName = 'MODE'\r\n"
                       "      Width = -5\r\n    end>\r\nend\r\n"));
    view->layoutRestore(QStringLiteral("Table_1"));
    EXPECT_EQ(grid->column(col(Measurement::N)).layout.width, GridColumnLayout::MaxWidth);
    EXPECT_EQ(grid->column(col(Measurement::MODE)).layout.width, GridColumnLayout::MinWidth);
    EXPECT_EQ(grid->column(col(Measurement::DATE)).layout.width, dateWidth);
}

TEST_F(TableControllerTest, DeletingASelectionWhileSortedLeavesFileOrder)
{
    addSeries(10);
    makeView();
    QSignalSpy deleted(view.get(), &TableController::rowsDeleted);
    grid->titleClick(col(Measurement::T_1), Qt::NoModifier); // "9,5"... text order, descending
    grid->selectRecords(recordsOfRows({0, 4, 9}));
    const QList<int> doomed = grid->selectedRecords();

    view->deleteSelectedRows();
    EXPECT_EQ(deleted.size(), 1);
    EXPECT_EQ(table.rowCount(), 7);
    EXPECT_EQ(grid->column(col(Measurement::T_1)).layout.titleState, TitleState::SortedNone);
    EXPECT_TRUE(table.selectedIndex().isEmpty());
    EXPECT_EQ(table.physicalRecordCount(), 7); // packed
    EXPECT_EQ(grid->selectedCount(), 0);
    EXPECT_EQ(table.recNo(), table.recordAt(0));
    QStringList expected;
    for (int n = 1; n <= 10; ++n) {
        if (!doomed.contains(n))
            expected.append(QString::number(n));
    }
    EXPECT_EQ(column(Measurement::N), expected); // file order, gaps in N

    view->renumberRows();
    EXPECT_EQ(column(Measurement::N), strings({"1", "2", "3", "4", "5", "6", "7"}));
}

TEST_F(TableControllerTest, DeletingWithoutSelectionTakesTheCurrentRowAndAllRowsCanGo)
{
    addSeries(4);
    makeView();
    table.gotoRecord(3);
    grid->clearSelection();
    view->deleteSelectedRows();
    EXPECT_EQ(column(Measurement::N), strings({"1", "2", "4"}));

    grid->selectAllRows();
    EXPECT_EQ(grid->selectedCount(), 3);
    view->deleteSelectedRows();
    EXPECT_EQ(table.rowCount(), 0);
    EXPECT_EQ(grid->model()->rowCount(), 0);
    EXPECT_EQ(footer(Measurement::T_1), QStringLiteral("0/0/0"));
    view->renumberRows(); // an empty table stays as it is
    EXPECT_EQ(table.rowCount(), 0);
}

TEST_F(TableControllerTest, PlainMovesAreNoExplicitSelection)
{
    addSeries(5);
    makeView();
    // A plain move highlights the current row only: after the walk the current row is the first
    // one, and that is the row a deletion takes.
    grid->setCurrentCell(3, 1);
    grid->moveDown();
    EXPECT_EQ(grid->selectedCount(), 0);
    EXPECT_EQ(table.recNo(), 5);
    view->walkRows();
    EXPECT_EQ(table.recNo(), 1);
    EXPECT_EQ(grid->view()->selectionModel()->selectedRows().size(), 1);
    EXPECT_EQ(grid->view()->selectionModel()->selectedRows().constFirst().row(), 0);
    view->deleteSelectedRows();
    EXPECT_EQ(column(Measurement::N), strings({"2", "3", "4", "5"}));
}

TEST_F(TableControllerTest, RenumberingFollowsTheSortedOrderAndStaysInTheFile)
{
    addReadings({{7, "12,5", "1"}, {8, "9", "2"}, {9, "100", "3"}, {20, "-3", "4"}});
    makeView();
    grid->titleClick(col(Measurement::T_1), Qt::ShiftModifier); // descending: 9, 12,5, 100, -3
    view->renumberRows();
    EXPECT_EQ(column(Measurement::T_1), strings({"9", "12,5", "100", "-3"})); // still sorted after reopening
    EXPECT_EQ(column(Measurement::N), strings({"1", "2", "3", "4"}));
    EXPECT_EQ(table.recNo(), table.recordAt(0));

    table.close();
    table.open();
    table.selectIndex(QString());
    EXPECT_EQ(column(Measurement::N), strings({"2", "1", "3", "4"}));
}

TEST_F(TableControllerTest, RenumberingSortedByNumberUsesTheOrderShownAtTheStart)
{
    addReadings({{5, "1", "1"}, {3, "2", "1"}, {9, "3", "1"}, {1, "4", "1"}});
    makeView();
    grid->titleClick(col(Measurement::N), Qt::NoModifier); // descending: 9, 5, 3, 1
    const QStringList masses = column(Measurement::T_1);
    EXPECT_EQ(masses, strings({"3", "1", "2", "4"}));
    view->renumberRows();
    // Every row numbered exactly once, in the order shown when the command started.
    table.selectIndex(QString());
    QStringList numbers = column(Measurement::N);
    EXPECT_EQ(numbers, strings({"2", "3", "1", "4"}));
}

TEST_F(TableControllerTest, RenumberingMoreRowsThanTheFieldHoldsChangesNothing)
{
    addSeries(10000);
    makeView();
    const QStringList before = column(Measurement::N);
    EXPECT_THROW(view->renumberRows(), QpxError); // raised to the caller's guard
    EXPECT_EQ(column(Measurement::N), before);
    EXPECT_EQ(before.last(), QStringLiteral("1"));
}

} // namespace
