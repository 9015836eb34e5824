// The grid component over a table file: configuration as the table view sets it, keyboard and
// editing rules, title clicks, the selection with its snapshots, and the columns filling the
// grid's width.
#include "components/widgets/dbgrid.h"
#include "view/viewtesting.h"
#include "view/widgets/tablecontroller.h"

#include <QHeaderView>
#include <QLineEdit>
#include <QSignalSpy>
#include <QTest>
#include <numeric>

namespace {

class GridTest : public ViewFixture
{
protected:
    std::unique_ptr<TableController> view;
    DbGrid *grid = nullptr;
    DbGridView *tableView = nullptr;

    void makeView()
    {
        view = std::make_unique<TableController>(&table, &window);
        grid = view->dbGrid();
        tableView = grid->view();
        place(view->grid());
    }
    int sum(const QList<int> &widths) const { return std::accumulate(widths.begin(), widths.end(), 0); }
    QPoint cellCentre(int row, int column) const
    {
        return tableView->visualRect(grid->model()->index(row, column)).center();
    }
    void clickRow(int row, Qt::KeyboardModifiers modifiers = Qt::NoModifier)
    {
        QTest::mouseClick(tableView->viewport(), Qt::LeftButton, modifiers, cellCentre(row, 1));
    }
};

TEST_F(GridTest, ColumnsCaptionsAndSettings)
{
    addSeries(3);
    makeView();
    EXPECT_EQ(view->grid()->objectName(), QStringLiteral("DBGridPro1"));
    const char *fields[] = {"N", "DATE", "TIME", "T_2", "MODE", "T_1", "COMMENT"};
    const char *captions[] = {"N", "Дата", "Время", "№ Серии", "Режим", "Масса, г", "Примечание"};
    const ColumnAlignment cells[] = {ColumnAlignment::Center,     ColumnAlignment::Center,
                                     ColumnAlignment::Center,     ColumnAlignment::RightJustify,
                                     ColumnAlignment::Center,     ColumnAlignment::RightJustify,
                                     ColumnAlignment::LeftJustify};
    ASSERT_EQ(grid->columnCount(), 7);
    for (int c = 0; c < 7; ++c) {
        EXPECT_EQ(grid->column(c).layout.fieldName, QString::fromLatin1(fields[c]));
        EXPECT_EQ(grid->column(c).caption, QString::fromUtf8(captions[c]));
        EXPECT_EQ(grid->column(c).titleAlignment, ColumnAlignment::Center);
        EXPECT_EQ(grid->column(c).layout.alignment, cells[c]);
        EXPECT_EQ(grid->column(c).layout.color, GridColor::None);
        const bool editable = grid->model()->flags(grid->model()->index(0, c)) & Qt::ItemIsEditable;
        EXPECT_EQ(editable, c == 6);
    }
    EXPECT_EQ(grid->columnIndex(QStringLiteral("en_ch")), -1);
    EXPECT_EQ(grid->columnIndex(QStringLiteral("t_1")), 5);
    EXPECT_EQ(grid->bookmarkFields(), QStringLiteral("T_1;T_2;DATE;TIME"));
    EXPECT_TRUE(grid->autoColumnFit());
    EXPECT_EQ(grid->titleLines(), 2);
    EXPECT_GE(grid->title()->height(), 2 * grid->title()->fontMetrics().lineSpacing());
    EXPECT_TRUE(grid->footer()->isVisible());
    EXPECT_EQ(tableView->selectionBehavior(), QAbstractItemView::SelectRows);
    EXPECT_EQ(tableView->selectionMode(), QAbstractItemView::ExtendedSelection);
    EXPECT_FALSE(grid->title()->sectionsMovable());
    EXPECT_EQ(QRgb(tableView->style()->styleHint(QStyle::SH_Table_GridLineColor, nullptr, tableView)),
              qRgb(192, 192, 192));
    // The rows are the table's, in its order; the model keeps no copy.
    EXPECT_EQ(grid->model()->rowCount(), 3);
    EXPECT_EQ(grid->model()->data(grid->model()->index(2, 5), Qt::DisplayRole).toString(),
              QStringLiteral("12,5"));
    table.gotoRecord(3);
    table.edit();
    table.setText(Measurement::T_1, QStringLiteral("99"));
    table.post();
    EXPECT_EQ(grid->model()->data(grid->model()->index(2, 5), Qt::DisplayRole).toString(),
              QStringLiteral("99"));
}

TEST_F(GridTest, AppendedRowsAreShownAndTheSelectionStays)
{
    addSeries(3);
    makeView();
    grid->selectRecords({1, 2});
    addReadings({{4, "77", "2"}});
    EXPECT_EQ(grid->model()->rowCount(), 4);
    EXPECT_EQ(grid->model()->data(grid->model()->index(3, 5), Qt::DisplayRole).toString(),
              QStringLiteral("77"));
    EXPECT_EQ(grid->selectedRecords(), (QList<int>{1, 2}));
    EXPECT_EQ(grid->currentRow(), 3);

    // While sorted, an appended row lands in its place and the others move.
    grid->titleClick(5, Qt::NoModifier);
    addReadings({{5, "5", "1"}});
    EXPECT_EQ(grid->model()->rowCount(), 5);
    for (int row = 0; row < 5; ++row) {
        EXPECT_EQ(grid->model()->data(grid->model()->index(row, 5), Qt::DisplayRole).toString(),
                  table.text(table.recordAt(row), table.fieldIndex(Measurement::T_1)));
    }
    EXPECT_EQ(grid->selectedRecords(), (QList<int>{1, 2}));
    EXPECT_EQ(grid->view()->selectionModel()->selectedRows().size(), 2);
}

TEST_F(GridTest, EmptyTableShowsNoRows)
{
    makeView();
    EXPECT_EQ(grid->model()->rowCount(), 0);
    EXPECT_EQ(grid->selectionCount(), 0);
    EXPECT_EQ(grid->column(5).footerText, QStringLiteral("0/0/0"));
    table.close();
    EXPECT_EQ(grid->model()->rowCount(), 0);
}

TEST_F(GridTest, KeyboardNeverDeletesInsertsOrEditsOtherColumns)
{
    addSeries(3);
    makeView();
    QSignalSpy started(view.get(), &TableController::editStarted);
    tableView->setFocus();
    grid->setCurrentCell(2, 0);

    QTest::keyClick(tableView, Qt::Key_Delete, Qt::ControlModifier);
    QTest::keyClick(tableView, Qt::Key_Insert);
    QTest::keyClick(tableView, Qt::Key_Down); // at the last row: nothing is appended
    EXPECT_EQ(table.rowCount(), 3);
    EXPECT_EQ(grid->model()->rowCount(), 3);

    QTest::keyClick(tableView, Qt::Key_7); // N is not editable
    EXPECT_FALSE(tableView->isEditing());
    EXPECT_EQ(table.text(3, table.fieldIndex(Measurement::N)), QStringLiteral("3"));

    // Tab moves into the comment column without opening the editor.
    for (int i = 0; i < 6; ++i)
        QTest::keyClick(tableView, Qt::Key_Tab);
    EXPECT_EQ(grid->currentColumn(), 6);
    EXPECT_FALSE(tableView->isEditing());
    EXPECT_EQ(started.size(), 0);
}

TEST_F(GridTest, CommentEditRaisesInitEditAndPostsAtMostFiftyCharacters)
{
    addSeries(3);
    makeView();
    QSignalSpy started(view.get(), &TableController::editStarted);
    tableView->setFocus();
    grid->setCurrentCell(1, 6);

    // Opening the editor and leaving with Escape still counts as an edit start.
    QTest::keyClick(tableView, Qt::Key_F2);
    EXPECT_EQ(started.size(), 1);
    auto *editor = qobject_cast<QLineEdit *>(tableView->indexWidget(tableView->currentIndex()));
    ASSERT_NE(editor, nullptr);
    EXPECT_EQ(editor->maxLength(), 50);
    QTest::keyClick(editor, Qt::Key_Escape);
    EXPECT_FALSE(tableView->isEditing());
    EXPECT_TRUE(table.text(2, table.fieldIndex(Measurement::COMMENT)).isEmpty());

    // Typing opens the editor; the text is posted when the edit is committed.
    QTest::keyClick(tableView, Qt::Key_A);
    EXPECT_EQ(started.size(), 2);
    editor = qobject_cast<QLineEdit *>(tableView->indexWidget(tableView->currentIndex()));
    ASSERT_NE(editor, nullptr);
    QTest::keyClicks(editor, QString(60, QLatin1Char('b')));
    view->commitEdit();
    EXPECT_FALSE(tableView->isEditing());
    const QString stored = table.text(2, table.fieldIndex(Measurement::COMMENT));
    EXPECT_EQ(stored, QLatin1Char('a') + QString(49, QLatin1Char('b')));
    table.close();
    table.open();
    EXPECT_EQ(table.text(2, table.fieldIndex(Measurement::COMMENT)), stored);
}

TEST_F(GridTest, TitleClicksWithTheMouse)
{
    addSeries(3);
    makeView();
    QSignalSpy changed(grid, &DbGrid::titleStateChange);
    QHeaderView *title = grid->title();
    const QPoint mass(title->sectionViewportPosition(5) + title->sectionSize(5) / 2, title->height() / 2);
    QTest::mouseClick(title->viewport(), Qt::LeftButton, Qt::NoModifier, mass);
    ASSERT_EQ(changed.size(), 1);
    EXPECT_EQ(changed[0][0].toInt(), 5);
    EXPECT_EQ(grid->column(5).layout.titleState, TitleState::SortedUp);
    QTest::mouseClick(title->viewport(), Qt::LeftButton, Qt::NoModifier, mass);
    EXPECT_EQ(grid->column(5).layout.titleState, TitleState::SortedDown);
    QTest::mouseClick(title->viewport(), Qt::LeftButton, Qt::ControlModifier, mass);
    EXPECT_EQ(grid->column(5).layout.titleState, TitleState::SortedNone);
    EXPECT_EQ(changed.size(), 3);
    EXPECT_TRUE(table.selectedIndex().isEmpty());
}

TEST_F(GridTest, MouseSelectionKeepsSnapshotsInOrder)
{
    addReadings({{1, "12,3", "3", "01.01.2006", "10:00:00"},
                 {2, "15", ""},
                 {3, "12,4", "5", "02.01.2006", "11:00:00"},
                 {4, "1", "1"}});
    makeView();
    QSignalSpy changes(grid, &DbGrid::selectionChange);
    clickRow(2);
    EXPECT_EQ(table.recNo(), 3);
    EXPECT_EQ(grid->selectionCount(), 1);
    clickRow(0, Qt::ControlModifier);
    EXPECT_GE(changes.size(), 2);
    EXPECT_EQ(grid->selectedRecords(), (QList<int>{3, 1}));
    EXPECT_EQ(grid->selectionValues()[0], strings({"12,4", "5", "02.01.2006", "11:00:00"}));
    EXPECT_EQ(grid->column(5).footerText, QStringLiteral("12,3/12,4/12,4"));

    // The snapshot is what the row held when it was selected.
    table.gotoRecord(1);
    table.edit();
    table.setText(Measurement::T_1, QStringLiteral("50"));
    table.post();
    EXPECT_EQ(grid->selectionValues()[1][0], QStringLiteral("12,3"));

    clickRow(0, Qt::ControlModifier); // off again
    EXPECT_EQ(grid->selectedRecords(), (QList<int>{3}));
    clickRow(3, Qt::ShiftModifier); // from the current row 0 to row 3
    EXPECT_EQ(grid->selectedCount(), 4);
    EXPECT_TRUE(grid->selectedRecords().contains(4));

    grid->selectAllRows();
    EXPECT_EQ(grid->selectionCount(), 4);
    EXPECT_TRUE(prompts.messages.size() >= 1); // the operative row has no series number
    // A plain click moves the current row and replaces the selection in one step: the footers are
    // computed once, for the new selection, so the old one's error does not come back.
    const size_t messagesBefore = prompts.messages.size();
    changes.clear();
    clickRow(1);
    EXPECT_EQ(grid->selectionCount(), 1);
    EXPECT_EQ(grid->column(5).footerText, QStringLiteral("0/0/0"));
    EXPECT_EQ(prompts.messages.size(), messagesBefore);
    EXPECT_EQ(changes.size(), 1);
}

TEST_F(GridTest, DoubleClickRaisesTheWalk)
{
    addSeries(5);
    makeView();
    QSignalSpy clicks(grid, &DbGrid::dblClick);
    table.gotoRecord(4);
    QTest::mouseDClick(tableView->viewport(), Qt::LeftButton, Qt::NoModifier, cellCentre(3, 2));
    EXPECT_EQ(clicks.size(), 1);
    EXPECT_EQ(table.recNo(), 1);
    EXPECT_EQ(grid->currentRow(), 0);
}

TEST_F(GridTest, ColumnsFillTheWidthAfterFitResizeAndDrag)
{
    addSeries(3);
    makeView();
    auto *viewport = tableView->viewport();
    EXPECT_EQ(sum(grid->shownWidths()), viewport->width());
    EXPECT_EQ(grid->columnWidths(), (QList<int>{100, 99, 97, 97, 98, 97, 97})); // as designed

    view->fitColumns();
    QList<int> shown = grid->shownWidths();
    EXPECT_EQ(sum(shown), viewport->width());
    EXPECT_LE(*std::max_element(shown.begin(), shown.end()) - *std::min_element(shown.begin(), shown.end()),
              1);
    EXPECT_EQ(grid->columnWidths(), QList<int>(7, grid->width() / 7));

    // The operator drags a title border: that column keeps its width, the others share the rest.
    grid->title()->resizeSection(2, 300);
    shown = grid->shownWidths();
    EXPECT_EQ(shown[2], 300);
    EXPECT_EQ(sum(shown), viewport->width());
    EXPECT_EQ(grid->columnWidths(), shown);

    // A narrower window scales every column; a small one loses no proportion of the widths.
    window.resize(700, 400);
    QApplication::processEvents();
    shown = grid->shownWidths();
    EXPECT_EQ(sum(shown), viewport->width());
    EXPECT_LT(shown[2], 300);
    EXPECT_GT(shown[2], shown[0]);
    const QList<int> widths = grid->columnWidths();
    window.resize(60, 100);
    QApplication::processEvents();
    EXPECT_EQ(grid->columnWidths(), widths);
    window.resize(1000, 500);
    QApplication::processEvents();
    EXPECT_EQ(grid->shownWidths()[2], 300);
}

} // namespace
