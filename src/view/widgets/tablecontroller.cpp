#include "tablecontroller.h"

#include "base/settingsstore.h"
#include "components/columnfit.h"
#include "components/widgets/dbgrid.h"
#include "data/measurementtable.h"
#include "data/tableedits.h"
#include "dbase/dbftable.h"
#include "ui/errorguard.h"
#include "ui/prompts.h"
#include "view/gridlayout.h"
#include "view/selectionstats.h"

namespace {

// Suspends the grid's following of the table for a bulk change; the grid catches up once at the
// end, also when the change fails half-way.
class GridUpdate
{
public:
    explicit GridUpdate(DbGrid *grid) : m_grid(grid) { m_grid->beginUpdate(); }
    ~GridUpdate() { m_grid->endUpdate(); }
    GridUpdate(const GridUpdate &) = delete;
    GridUpdate &operator=(const GridUpdate &) = delete;

private:
    DbGrid *m_grid;
};

QList<DbGridColumn> measurementColumns()
{
    auto column = [](const QString &field, const char *caption, int width, ColumnAlignment alignment,
                     int index) {
        DbGridColumn c;
        c.layout.fieldName = field;
        c.caption = QString::fromUtf8(caption);
        c.layout.width = width;
        c.titleAlignment = ColumnAlignment::Center;
        c.layout.alignment = alignment;
        c.layout.layoutIndex = index;
        return c;
    };
    using A = ColumnAlignment;
    QList<DbGridColumn> columns{
        column(Measurement::N, "N", 100, A::Center, 0),
        column(Measurement::DATE, "Дата", 99, A::Center, 0),
        column(Measurement::TIME, "Время", 97, A::Center, 1),
        column(Measurement::T_2, "№ Серии", 97, A::RightJustify, 2),
        column(Measurement::MODE, "Режим", 98, A::Center, 3),
        column(Measurement::T_1, "Масса, г", 97, A::RightJustify, 0),
        column(Measurement::COMMENT, "Примечание", 97, A::LeftJustify, 0),
    };
    columns.last().readOnly = false;
    columns.last().maxLength = 50;
    return columns;
}

} // namespace

TableController::TableController(DbfTable *table, QWidget *parent)
    : QObject(parent), m_table(table), m_grid(new DbGrid(parent))
{
    m_grid->setObjectName(QStringLiteral("DBGridPro1"));
    m_grid->setAutoColumnFit(true);
    m_grid->setTitleLines(2);
    m_grid->setShowFooters(true);
    m_grid->setColumns(measurementColumns());
    m_grid->setBookmarkFields(QStringLiteral("T_1;T_2;DATE;TIME"));
    m_grid->setAccessibleName(QStringLiteral("Таблица измерений"));
    m_grid->view()->setAccessibleName(QStringLiteral("Таблица измерений"));

    // The grid's events come from the event loop: each runs inside the general error handler.
    connect(m_grid, &DbGrid::titleStateChange, this,
            [this](int column) { runGuarded([&] { applySortState(column); }); });
    connect(m_grid, &DbGrid::selectionChange, this,
            [this] { runGuarded([&] { updateSelectionFooters(); }); });
    connect(m_grid, &DbGrid::initEdit, this, [this] { runGuarded([&] { announceEditStarted(); }); });
    connect(m_grid, &DbGrid::dblClick, this, [this] { runGuarded([&] { walkRows(); }); });
    m_grid->setTable(table);
}

TableController::~TableController() = default;

QWidget *TableController::grid() const
{
    return m_grid;
}
DbGrid *TableController::dbGrid() const
{
    return m_grid;
}

// ---------------------------------------------------------------- sorting

void TableController::applySortState(int column)
{
    if (column < 0 || column >= m_grid->columnCount())
        return;
    const QString &tag = Measurement::SortIndex;
    const TitleState state = m_grid->column(column).layout.titleState;
    if (!m_table->isOpen()) {
        if (state == TitleState::SortedNone)
            sortReset(tag);
        return;
    }
    GridUpdate update(m_grid);
    m_table->selectIndex(QString());
    try {
        m_table->deleteIndex(tag);
        m_table->refresh();
    } catch (const QpxError &) {
        // No index file or no such tag yet: nothing to drop.
    }
    if (state == TitleState::SortedNone) {
        sortReset(tag);
        return;
    }
    m_table->addIndex(tag, m_grid->column(column).layout.fieldName, state == TitleState::SortedUp);
    // Selecting the new tag orders the rows from the table as it is now; rebuilding the index
    // and re-reading the rows afterwards would only sort the same rows twice more.
    m_table->selectIndex(tag);
}

void TableController::sortReset(const QString &tag)
{
    m_grid->clearTitleStates();
    if (!m_table->isOpen())
        return;
    GridUpdate update(m_grid);
    try {
        m_table->selectIndex(QString());
        m_table->deleteIndex(tag);
        m_table->refresh();
    } catch (const QpxError &) {
    }
}

// ---------------------------------------------------------------- selection statistics

void TableController::updateSelectionFooters()
{
    const int count = m_grid->selectionCount();
    // The footers change only once every value has been read.
    const SelectionFooters footers =
        SelectionStats::footers(count, count >= 2 ? m_grid->selectionValues() : QList<QStringList>());
    m_grid->setFooterText(m_grid->columnIndex(Measurement::T_1), footers.t1);
    m_grid->setFooterText(m_grid->columnIndex(Measurement::T_2), footers.t2);
}

// ---------------------------------------------------------------- editing, column fit, walk

void TableController::announceEditStarted()
{
    emit editStarted();
}

void TableController::commitEdit()
{
    if (m_table->isOpen())
        m_grid->commitEdit();
}

void TableController::columnFit()
{
    m_grid->setAutoColumnFit(false);
    const int width = ColumnFit::equalWidth(m_grid->width(), m_grid->columnCount());
    m_grid->setColumnWidths(QList<int>(m_grid->columnCount(), width));
    m_grid->setAutoColumnFit(true);
    m_grid->update();
}

void TableController::fitColumns()
{
    if (m_table->isOpen())
        columnFit();
}

void TableController::walkRows()
{
    if (!m_table->isOpen())
        return;
    // The walk moves the current row down, one plain move at a time, to the end of the table and
    // then back to the first row. Each plain move clears the explicit selection and leaves a
    // selection of one row, whose footers read the same at every step; so the walk comes down
    // to its end state, reached here without stepping through every row of a long table.
    m_grid->clearSelection();
    m_table->last();
    m_table->first();
}

// ---------------------------------------------------------------- colours and layout

void TableController::setColumnColour()
{
    if (!m_table->isOpen())
        return;
    const int column = m_grid->currentColumn();
    if (column < 0)
        return;
    QColor color = m_lastColor;
    if (!Prompts::instance().chooseColor(&color) || !color.isValid())
        return;
    m_lastColor = color;
    m_grid->setColumnColor(column, GridColor::rgb(color.red(), color.green(), color.blue()));
}

void TableController::clearColumnColour()
{
    if (!m_table->isOpen())
        return;
    const int column = m_grid->currentColumn();
    if (column >= 0)
        m_grid->setColumnColor(column, GridColor::None);
}

void TableController::clearAllColours()
{
    if (!m_table->isOpen())
        return;
    for (int c = 0; c < m_grid->columnCount(); ++c)
        m_grid->setColumnColor(c, GridColor::None);
}

void TableController::layoutSave(const QString &name)
{
    QList<GridColumnLayout> columns;
    for (int c = 0; c < m_grid->columnCount(); ++c)
        columns.append(m_grid->columnLayout(c));
    const auto settings = SettingsStore::open();
    settings->setValue(name, writeGridLayout(columns));
    settings->sync();
}

void TableController::layoutRestore(const QString &name)
{
    const auto settings = SettingsStore::open();
    if (!settings->contains(name)) {
        columnFit();
        layoutSave(name);
        return;
    }
    // Parsed completely before anything is applied: a broken text leaves the grid as it was.
    const QList<GridColumnLayout> columns = parseGridLayout(settings->value(name).toString());
    m_grid->setColumnLayouts(columns);
}

// ---------------------------------------------------------------- deleting and renumbering

void TableController::reopen()
{
    m_table->close();
    m_table->open();
    m_table->first();
}

void TableController::deleteSelectedRows()
{
    if (!m_table->isOpen())
        return;
    // The edit in progress is posted first: the sort reset below re-reads the rows.
    commitEdit();
    QList<int> records = m_grid->selectedRecords();
    if (records.isEmpty() && m_table->recNo() > 0 && m_table->rowOf(m_table->recNo()) >= 0)
        records.append(m_table->recNo());
    sortReset(Measurement::SortIndex);
    {
        GridUpdate update(m_grid);
        m_grid->clearSelection();
        TableEdits::deleteRecordsAndPack(*m_table, records);
    }
    reopen();
    emit rowsDeleted();
}

void TableController::renumberRows()
{
    if (!m_table->isOpen())
        return;
    commitEdit();
    TableEdits::requireRenumberable(*m_table); // refused before the grid stops following the table
    {
        GridUpdate update(m_grid);
        TableEdits::renumberRows(*m_table);
    }
    reopen();
}
