#include "dbgrid.h"

#include "components/columnfit.h"
#include "dbase/dbftable.h"
#include "dbgridtitle.h"

#include <QTimer>
#include <QVBoxLayout>
#include <algorithm>

DbGrid::DbGrid(QWidget *parent) : QFrame(parent), m_style(std::make_unique<DbGridStyle>())
{
    setFrameShape(QFrame::StyledPanel);
    m_model = new DbGridModel(this);
    m_model->setColorResolver([this](ColorValue value) { return toQColor(value); });
    m_view = new DbGridView(this);
    m_title = new DbGridTitle(m_model, this);
    m_view->setHorizontalHeader(m_title);
    m_view->setModel(m_model);
    m_view->setItemDelegate(new DbGridDelegate(m_model, this));
    m_view->setStyle(m_style.get());
    m_footer = new DbGridFooter(m_model, m_view, this);
    m_title->setAccessibleName(QStringLiteral("Заголовки столбцов"));
    m_footer->setAccessibleName(QStringLiteral("Итоги выделенных строк"));

    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    layout->addWidget(m_view);
    layout->addWidget(m_footer);
    setFocusProxy(m_view);

    // Selected rows keep the selection colour when the grid does not have the focus.
    QPalette palette = m_view->palette();
    palette.setColor(QPalette::Inactive, QPalette::Highlight,
                     palette.color(QPalette::Active, QPalette::Highlight));
    palette.setColor(QPalette::Inactive, QPalette::HighlightedText,
                     palette.color(QPalette::Active, QPalette::HighlightedText));
    m_view->setPalette(palette);

    connect(m_view->selectionModel(), &QItemSelectionModel::currentChanged, this,
            &DbGrid::onViewCurrentChanged);
    connect(m_view->selectionModel(), &QItemSelectionModel::selectionChanged, this,
            &DbGrid::onSelectionChanged);
    connect(m_title, &QHeaderView::sectionResized, this, &DbGrid::onSectionResized);
    connect(m_title, &DbGridTitle::titleClicked, this, &DbGrid::titleClick);
    connect(m_view, &DbGridView::editorOpened, this, &DbGrid::initEdit);
    connect(m_view, &DbGridView::gridDoubleClicked, this, &DbGrid::dblClick);
    connect(m_view, &DbGridView::pressStarted, this, &DbGrid::beginPress);
    connect(m_view, &DbGridView::pressEnded, this, &DbGrid::endPress);
    connect(m_view, &DbGridView::resized, this, &DbGrid::fitColumns);
    connect(m_view, &DbGridView::geometriesUpdated, this, &DbGrid::onViewGeometriesUpdated);
}

DbGrid::~DbGrid()
{
    // The view uses the style object: it goes first.
    delete m_view;
    m_view = nullptr;
}

void DbGrid::setTable(DbfTable *table)
{
    if (DbfTable *previous = m_model->table())
        disconnect(previous, nullptr, this, nullptr);
    m_model->setTable(table);
    if (table) {
        connect(table, &DbfTable::rowsReset, this, &DbGrid::onRowsReset);
        connect(table, &DbfTable::recordChanged, this, &DbGrid::onRecordChanged);
        connect(table, &DbfTable::currentChanged, this, &DbGrid::onTableCurrentChanged);
        connect(table, &QObject::destroyed, this, [this] {
            m_model->setTable(nullptr);
            onRowsReset();
        });
    }
    onRowsReset();
}

// ---------------------------------------------------------------- columns

void DbGrid::setColumns(const QList<DbGridColumn> &columns)
{
    const bool applying = m_applyingSelection;
    m_applyingSelection = true;
    m_model->setColumns(columns);
    m_applyingSelection = applying;
    setColumnWidths(columnWidths());
    m_selection.clear();
    syncCurrentFromTable();
}

QList<int> DbGrid::shownWidths() const
{
    QList<int> widths;
    for (int c = 0; c < columnCount(); ++c)
        widths.append(m_title->sectionSize(c));
    return widths;
}

QList<int> DbGrid::columnWidths() const
{
    QList<int> widths;
    for (const DbGridColumn &c : m_model->columns())
        widths.append(c.layout.width);
    return widths;
}

void DbGrid::setColumnWidths(const QList<int> &widths)
{
    for (int c = 0; c < columnCount() && c < widths.size(); ++c)
        m_model->setColumnWidth(c, widths.at(c));
    if (m_autoColumnFit)
        fitColumns();
    else
        applyWidths(columnWidths());
}

void DbGrid::setColumnWidth(int column, int width)
{
    if (column < 0 || column >= columnCount())
        return;
    QList<int> widths = columnWidths();
    widths[column] = width;
    setColumnWidths(widths);
}

void DbGrid::setColumnColor(int column, ColorValue color)
{
    if (column < 0 || column >= columnCount())
        return;
    m_model->setColumnColor(column, color);
    m_view->viewport()->update();
}

void DbGrid::setColumnAlignment(int column, ColumnAlignment alignment)
{
    if (column < 0 || column >= columnCount())
        return;
    m_model->setColumnAlignment(column, alignment);
    m_view->viewport()->update();
    m_footer->update();
}

void DbGrid::setTitleState(int column, TitleState state)
{
    if (column < 0 || column >= columnCount())
        return;
    m_model->setTitleState(column, state);
    m_title->viewport()->update();
}

void DbGrid::clearTitleStates()
{
    for (int c = 0; c < columnCount(); ++c)
        setTitleState(c, TitleState::SortedNone);
}

void DbGrid::setFooterText(int column, const QString &text)
{
    if (column < 0 || column >= columnCount())
        return;
    m_model->setFooterText(column, text);
    m_footer->update();
}

GridColumnLayout DbGrid::columnLayout(int column) const
{
    return m_model->column(column).layout;
}

void DbGrid::setColumnLayouts(const QList<GridColumnLayout> &layouts)
{
    for (const GridColumnLayout &layout : layouts) {
        const int column = columnIndex(layout.fieldName);
        if (column >= 0)
            m_model->applyLayout(column, layout);
    }
    setColumnWidths(columnWidths());
    m_title->viewport()->update();
    m_view->viewport()->update();
    m_footer->update();
}

void DbGrid::setAutoColumnFit(bool on)
{
    m_autoColumnFit = on;
    if (on)
        fitColumns();
}

void DbGrid::setTitleLines(int lines)
{
    m_title->setLines(lines);
    m_title->updateGeometry();
    m_view->updateGeometry();
    m_title->resize(m_title->width(), m_title->sizeHint().height());
}

int DbGrid::titleLines() const
{
    return m_title->lines();
}

void DbGrid::setShowFooters(bool on)
{
    m_showFooters = on;
    m_footer->setVisible(on);
}

void DbGrid::setBookmarkFields(const QString &fields)
{
    m_selection.setBookmarkFields(fields);
}

void DbGrid::titleClick(int column, Qt::KeyboardModifiers modifiers)
{
    if (column < 0 || column >= columnCount())
        return;
    const TitleState next =
        nextTitleState(m_model->column(column).layout.titleState, modifiers & Qt::ControlModifier);
    for (int c = 0; c < columnCount(); ++c) {
        if (c != column)
            setTitleState(c, TitleState::SortedNone);
    }
    setTitleState(column, next);
    emit titleStateChange(column);
}

// ---------------------------------------------------------------- selection

QList<int> DbGrid::selectedRecords() const
{
    return m_selection.records();
}

int DbGrid::selectionCount() const
{
    if (!m_selection.isEmpty())
        return m_selection.count();
    return m_model->rowCount() > 0 ? 1 : 0;
}

QList<QStringList> DbGrid::selectionValues() const
{
    if (!m_selection.isEmpty())
        return m_selection.values();
    QList<QStringList> values;
    if (m_model->rowCount() > 0)
        values.append(m_selection.currentValues(*table(), m_model->recordAt(std::max(0, currentRow()))));
    return values;
}

void DbGrid::selectRecords(const QList<int> &recNos)
{
    m_view->setPlainMove(false);
    m_selection.clear();
    const DbfTable *table = this->table();
    for (int recNo : recNos) {
        if (table && table->isOpen() && table->rowOf(recNo) >= 0)
            m_selection.add(table, recNo);
    }
    reapplySelection();
    raiseSelectionChange();
}

void DbGrid::selectAllRows()
{
    m_view->selectAll();
}

void DbGrid::clearSelection()
{
    m_view->selectionModel()->clearSelection();
    m_selection.clear();
}

void DbGrid::onSelectionChanged(const QItemSelection &selected, const QItemSelection &deselected)
{
    const bool plainMove = m_view->takePlainMove();
    if (m_applyingSelection || m_updateLock)
        return;
    const DbfTable *table = this->table();
    QItemSelectionModel *model = m_view->selectionModel();
    if (!model->hasSelection() || plainMove) {
        // Nothing selected, or only the highlight of the current row after a plain move.
        m_selection.clear();
    } else if (m_selection.isEmpty()) {
        // The first explicit selection takes the highlighted current row along (Ctrl with a
        // click after a plain click selects both rows): the rows selected before come first.
        QList<int> rows;
        for (const QItemSelectionRange &range : model->selection()) {
            for (int row = range.top(); row <= range.bottom(); ++row)
                rows.append(row);
        }
        std::sort(rows.begin(), rows.end());
        rows.erase(std::unique(rows.begin(), rows.end()), rows.end());
        std::stable_partition(rows.begin(), rows.end(),
                              [&](int row) { return !selected.contains(m_model->index(row, 0)); });
        for (int row : rows)
            m_selection.add(table, m_model->recordAt(row));
    } else {
        for (const QItemSelectionRange &range : deselected) {
            for (int row = range.top(); row <= range.bottom(); ++row)
                m_selection.remove(m_model->recordAt(row));
        }
        for (const QItemSelectionRange &range : selected) {
            for (int row = range.top(); row <= range.bottom(); ++row)
                m_selection.add(table, m_model->recordAt(row));
        }
    }
    raiseSelectionChange();
}

void DbGrid::reapplySelection()
{
    QList<int> rows;
    const DbfTable *table = this->table();
    if (table && table->isOpen())
        rows = m_selection.rowsIn(*table);
    else
        m_selection.clear();
    QItemSelection selection;
    const int lastColumn = columnCount() - 1;
    for (qsizetype i = 0; i < rows.size() && lastColumn >= 0;) {
        qsizetype j = i;
        while (j + 1 < rows.size() && rows.at(j + 1) == rows.at(j) + 1)
            ++j;
        selection.append(
            QItemSelectionRange(m_model->index(rows.at(i), 0), m_model->index(rows.at(j), lastColumn)));
        i = j + 1;
    }
    m_applyingSelection = true;
    m_view->selectionModel()->select(selection, QItemSelectionModel::ClearAndSelect);
    m_applyingSelection = false;
}

// ---------------------------------------------------------------- current row

int DbGrid::currentRow() const
{
    const QModelIndex index = m_view->currentIndex();
    return index.isValid() ? index.row() : -1;
}

int DbGrid::currentColumn() const
{
    const QModelIndex index = m_view->currentIndex();
    return index.isValid() ? index.column() : -1;
}

void DbGrid::setCurrentCell(int row, int column)
{
    const QModelIndex index = m_model->index(row, column);
    if (index.isValid())
        m_view->setCurrentIndex(index);
}

void DbGrid::moveDown()
{
    const int row = currentRow();
    const int rows = m_model->rowCount();
    if (row + 1 < rows) {
        const QModelIndex next = m_model->index(row + 1, std::max(0, currentColumn()));
        m_view->setPlainMove(true);
        m_view->selectionModel()->setCurrentIndex(next, QItemSelectionModel::ClearAndSelect |
                                                            QItemSelectionModel::Rows);
        m_view->scrollTo(next);
    } else if (DbfTable *table = this->table(); table && table->isOpen()) {
        table->next(); // past the last row: the table reports its end, nothing is appended
    }
}

void DbGrid::syncCurrentFromTable()
{
    const DbfTable *table = this->table();
    if (!table || !table->isOpen() || m_model->rowCount() == 0)
        return;
    const int recNo = table->recNo();
    const int row = recNo > 0 ? table->rowOf(recNo) : -1;
    if (row < 0)
        return;
    const QModelIndex index = m_model->index(row, std::max(0, currentColumn()));
    const bool syncing = m_syncing;
    m_syncing = true;
    const bool applying = m_applyingSelection;
    m_applyingSelection = true;
    // Without an explicit selection the highlight follows the current row. The view scrolls to
    // it once the burst of moves is over (an import moves the table once per row).
    const bool autoScroll = m_view->hasAutoScroll();
    m_view->setAutoScroll(false);
    m_view->selectionModel()->setCurrentIndex(
        index, m_selection.isEmpty() ? QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows
                                     : QItemSelectionModel::NoUpdate);
    m_view->setAutoScroll(autoScroll);
    m_applyingSelection = applying;
    m_syncing = syncing;
    if (!m_scrollPending) {
        m_scrollPending = true;
        QTimer::singleShot(0, this, [this] {
            m_scrollPending = false;
            const QModelIndex current = m_view->currentIndex();
            if (current.isValid())
                m_view->scrollTo(current);
        });
    }
}

void DbGrid::onViewCurrentChanged(const QModelIndex &current, const QModelIndex &previous)
{
    if (m_syncing || m_updateLock || m_applyingSelection)
        return;
    if (current.row() == previous.row() && current.isValid() == previous.isValid())
        return;
    DbfTable *table = this->table();
    if (current.isValid() && table && table->isOpen()) {
        const int recNo = m_model->recordAt(current.row());
        m_syncing = true;
        try {
            if (recNo > 0 && table->recNo() != recNo)
                table->gotoRecord(recNo);
        } catch (const std::exception &) {
        }
        m_syncing = false;
    }
    raiseSelectionChange();
}

void DbGrid::onTableCurrentChanged()
{
    if (m_syncing || m_updateLock)
        return;
    syncCurrentFromTable();
    raiseSelectionChange();
}

// ---------------------------------------------------------------- table signals

DbGrid::SelectionKey DbGrid::selectionKey() const
{
    const DbfTable *table = this->table();
    const bool open = table && table->isOpen();
    return {m_selection.version(), open ? table->recNo() : 0, open ? table->rowCount() : -1};
}

void DbGrid::onRowsReset()
{
    if (m_updateLock)
        return; // endUpdate resets once
    const SelectionKey before = m_lastKey;
    m_applyingSelection = true;
    m_syncing = true;
    // A row appended at the end (an import) is inserted; any other change re-reads all rows.
    const bool appended = m_model->rowAppended();
    if (!appended) {
        m_model->beginReset();
        m_model->endReset();
    }
    m_syncing = false;
    m_applyingSelection = false;
    if (!appended)
        reapplySelection();
    syncCurrentFromTable();
    m_footer->update();
    emitIfSelectionMoved(before);
}

// Re-reading the rows (a new order, a reopened table) raises the selection change only when the
// selection, the current record or the rows really changed.
void DbGrid::emitIfSelectionMoved(const SelectionKey &before)
{
    if (!(selectionKey() == before))
        raiseSelectionChange();
}

void DbGrid::beginPress()
{
    endPress(); // a press whose release never arrived
    m_pressActive = true;
}

void DbGrid::endPress()
{
    if (!m_pressActive)
        return;
    m_pressActive = false;
    if (m_raiseDeferred) {
        m_raiseDeferred = false;
        raiseSelectionChange();
    }
}

void DbGrid::raiseSelectionChange()
{
    if (m_pressActive) {
        m_raiseDeferred = true;
        return;
    }
    m_lastKey = selectionKey();
    emit selectionChange();
}

void DbGrid::onRecordChanged(int recNo)
{
    if (m_updateLock)
        return;
    m_model->recordChanged(recNo);
}

void DbGrid::beginUpdate()
{
    if (m_updateLock++ > 0)
        return;
    m_keyBeforeUpdate = m_lastKey;
    m_applyingSelection = true;
    m_syncing = true;
    m_view->setUpdatesEnabled(false);
    m_model->beginReset();
}

void DbGrid::endUpdate()
{
    if (m_updateLock <= 0 || --m_updateLock > 0)
        return;
    m_model->endReset();
    m_syncing = false;
    m_applyingSelection = false;
    m_view->setUpdatesEnabled(true);
    reapplySelection();
    syncCurrentFromTable();
    m_footer->update();
    emitIfSelectionMoved(m_keyBeforeUpdate);
}

void DbGrid::commitEdit()
{
    m_view->commitEdit();
}

QHeaderView *DbGrid::title() const
{
    return m_title;
}
QWidget *DbGrid::footer() const
{
    return m_footer;
}

// ---------------------------------------------------------------- widths and colours

int DbGrid::availableWidth() const
{
    return m_view->viewport()->width();
}

// Rows added or removed can show or hide the scroll bar and so change the width to fill.
void DbGrid::onViewGeometriesUpdated()
{
    if (m_autoColumnFit && availableWidth() != m_fittedWidth)
        fitColumns();
    if (m_footer)
        m_footer->update();
}

void DbGrid::fitColumns()
{
    if (!m_autoColumnFit || m_applyingWidths || columnCount() == 0 || !m_view || !m_title)
        return;
    const int available = availableWidth();
    m_fittedWidth = available;
    applyWidths(ColumnFit::scale(columnWidths(), available, GridColumnLayout::MinWidth));
}

void DbGrid::applyWidths(const QList<int> &widths)
{
    if (!m_title)
        return;
    const bool applying = m_applyingWidths;
    m_applyingWidths = true;
    for (int c = 0; c < columnCount() && c < widths.size(); ++c) {
        if (m_title->sectionSize(c) != widths.at(c))
            m_title->resizeSection(c, widths.at(c));
    }
    m_applyingWidths = applying;
    if (m_footer)
        m_footer->update();
}

void DbGrid::onSectionResized(int section, int, int newSize)
{
    if (m_applyingWidths || section < 0 || section >= columnCount())
        return;
    if (!m_autoColumnFit) {
        m_model->setColumnWidth(section, newSize);
        m_footer->update();
        return;
    }
    // The dragged column keeps its new width; the others share the rest in proportion. What the
    // operator sees becomes the columns' widths.
    const QList<int> shown =
        ColumnFit::afterResize(shownWidths(), section, newSize, availableWidth(), GridColumnLayout::MinWidth);
    for (int c = 0; c < columnCount() && c < shown.size(); ++c)
        m_model->setColumnWidth(c, shown.at(c));
    applyWidths(shown);
}

QColor DbGrid::columnBackground(int column) const
{
    return m_model->background(column);
}

QColor DbGrid::toQColor(ColorValue value) const
{
    return gridScreenColor(value, palette());
}
