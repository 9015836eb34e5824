#include "dbgrid.h"

#include "app/errorguard.h"
#include "columnfit.h"
#include "data/dbftable.h"

#include <QGuiApplication>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLineEdit>
#include <QPainter>
#include <QProxyStyle>
#include <QStyledItemDelegate>
#include <QTimer>
#include <QVBoxLayout>

namespace {

constexpr int minimumColumnWidth = 8;

Qt::Alignment toQt(ColumnAlignment alignment)
{
    switch (alignment) {
    case ColumnAlignment::RightJustify:
        return Qt::AlignRight;
    case ColumnAlignment::Center:
        return Qt::AlignHCenter;
    case ColumnAlignment::LeftJustify:
    case ColumnAlignment::Default:
        break;
    }
    return Qt::AlignLeft;
}

// Grid lines in silver whatever the platform style says.
class GridStyle : public QProxyStyle
{
public:
    int styleHint(StyleHint hint, const QStyleOption *option, const QWidget *widget,
                  QStyleHintReturn *returnData) const override
    {
        if (hint == SH_Table_GridLineColor)
            return int(qRgb(192, 192, 192));
        return QProxyStyle::styleHint(hint, option, widget, returnData);
    }
};

class DbGridDelegate : public QStyledItemDelegate
{
public:
    explicit DbGridDelegate(DbGrid *grid) : QStyledItemDelegate(grid), m_grid(grid) {}

    QWidget *createEditor(QWidget *parent, const QStyleOptionViewItem &option,
                          const QModelIndex &index) const override
    {
        auto *editor = new QLineEdit(parent);
        editor->setFrame(false);
        int length = m_grid->column(index.column()).maxLength;
        if (length <= 0 && m_grid->table()) {
            const int field = m_grid->table()->fieldIndex(m_grid->column(index.column()).layout.fieldName);
            if (field >= 0)
                length = m_grid->table()->field(field).width;
        }
        if (length > 0)
            editor->setMaxLength(length);
        editor->setAlignment(option.displayAlignment);
        return editor;
    }

private:
    DbGrid *m_grid;
};

} // namespace

// ---------------------------------------------------------------- title and footer

class DbGridTitle : public QHeaderView
{
public:
    explicit DbGridTitle(DbGrid *grid) : QHeaderView(Qt::Horizontal, grid), m_grid(grid)
    {
        setSectionsMovable(false);
        setSectionsClickable(true);
        setHighlightSections(false);
        setSectionResizeMode(QHeaderView::Interactive);
        setMinimumSectionSize(minimumColumnWidth);
        setStretchLastSection(false);
        connect(this, &QHeaderView::sectionClicked, this,
                [this](int section) { m_grid->titleClick(section, m_pressModifiers); });
    }

    QSize sizeHint() const override
    {
        const QSize base = QHeaderView::sizeHint();
        return {base.width(), fontMetrics().lineSpacing() * std::max(1, m_grid->titleLines()) + 8};
    }

protected:
    void mousePressEvent(QMouseEvent *event) override
    {
        m_pressModifiers = event->modifiers();
        QHeaderView::mousePressEvent(event);
    }

    void paintSection(QPainter *painter, const QRect &rect, int logicalIndex) const override
    {
        if (!rect.isValid() || logicalIndex < 0 || logicalIndex >= m_grid->columnCount())
            return;
        QStyleOptionHeader option;
        initStyleOption(&option);
        option.rect = rect;
        option.section = logicalIndex;
        option.position = QStyleOptionHeader::Middle;
        style()->drawControl(QStyle::CE_HeaderSection, &option, painter, this);

        const DbGridColumn &column = m_grid->column(logicalIndex);
        QRect textRect = rect.adjusted(3, 2, -3, -2);
        if (column.layout.titleState != TitleState::SortedNone) {
            // The sort mark: a triangle pointing up (descending) or down (ascending).
            const int size = 4;
            const int cx = rect.right() - 8;
            const int cy = rect.center().y();
            QPolygon mark;
            if (column.layout.titleState == TitleState::SortedUp)
                mark << QPoint(cx - size, cy + size / 2) << QPoint(cx + size, cy + size / 2)
                     << QPoint(cx, cy - size);
            else
                mark << QPoint(cx - size, cy - size / 2) << QPoint(cx + size, cy - size / 2)
                     << QPoint(cx, cy + size);
            painter->save();
            painter->setRenderHint(QPainter::Antialiasing);
            painter->setPen(Qt::NoPen);
            painter->setBrush(palette().color(QPalette::ButtonText));
            painter->drawPolygon(mark);
            painter->restore();
            textRect.setRight(textRect.right() - 2 * size - 6);
        }
        painter->save();
        painter->setPen(palette().color(QPalette::ButtonText));
        painter->drawText(textRect, int(toQt(column.titleAlignment) | Qt::AlignVCenter) | Qt::TextWordWrap,
                          column.caption);
        painter->restore();
    }

private:
    DbGrid *m_grid;
    Qt::KeyboardModifiers m_pressModifiers;
};

class DbGridFooter : public QWidget
{
public:
    explicit DbGridFooter(DbGrid *grid) : QWidget(grid), m_grid(grid)
    {
        setFixedHeight(fontMetrics().height() + 8);
    }

protected:
    void paintEvent(QPaintEvent *) override
    {
        QPainter painter(this);
        painter.fillRect(rect(), palette().color(QPalette::Button));
        const QPen line(QColor(192, 192, 192));
        painter.setPen(line);
        painter.drawLine(0, 0, width(), 0);
        const DbGridView *view = m_grid->view();
        const QHeaderView *title = view->horizontalHeader();
        const int offset = view->geometry().x() + view->viewport()->geometry().x() - geometry().x();
        for (int c = 0; c < m_grid->columnCount(); ++c) {
            const int x = offset + title->sectionViewportPosition(c);
            const int w = title->sectionSize(c);
            if (w <= 0)
                continue;
            const QRect cell(x, 1, w, height() - 1);
            painter.setPen(line);
            painter.drawLine(cell.right(), 0, cell.right(), height());
            const QString &text = m_grid->column(c).footerText;
            if (text.isEmpty())
                continue;
            painter.setPen(palette().color(QPalette::ButtonText));
            const QRect textRect = cell.adjusted(3, 0, -4, 0);
            painter.drawText(textRect, int(toQt(m_grid->column(c).layout.alignment) | Qt::AlignVCenter),
                             fontMetrics().elidedText(text, Qt::ElideRight, textRect.width()));
        }
    }

private:
    DbGrid *m_grid;
};

// ---------------------------------------------------------------- model

DbGridModel::DbGridModel(DbGrid *grid) : QAbstractTableModel(grid), m_grid(grid) {}

int DbGridModel::rowCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : m_rows;
}

int DbGridModel::tableRows() const
{
    const DbfTable *table = m_grid->table();
    return table && table->isOpen() ? table->rowCount() : 0;
}

bool DbGridModel::rowAppended()
{
    // One row more than shown, in file order, and it is the newest record after the same last
    // row as before: the rows shown so far are unchanged.
    const DbfTable *table = m_grid->table();
    const int rows = tableRows();
    if (rows != m_rows + 1 || !table->selectedIndex().isEmpty() ||
        m_fieldIndex.size() != m_grid->columnCount())
        return false;
    if (table->recordAt(rows - 1) != table->physicalRecordCount())
        return false;
    if (rows > 1 && table->recordAt(rows - 2) != m_lastRecord)
        return false;
    beginInsertRows(QModelIndex(), m_rows, m_rows);
    m_rows = rows;
    m_lastRecord = table->recordAt(rows - 1);
    endInsertRows();
    return true;
}

int DbGridModel::columnCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : m_grid->columnCount();
}

int DbGridModel::recordAt(int row) const
{
    const DbfTable *table = m_grid->table();
    if (!table || !table->isOpen() || row < 0 || row >= table->rowCount())
        return 0;
    try {
        return table->recordAt(row);
    } catch (const std::exception &) {
        return 0;
    }
}

QVariant DbGridModel::data(const QModelIndex &index, int role) const
{
    if (!index.isValid() || index.column() >= m_grid->columnCount())
        return {};
    const int column = index.column();
    switch (role) {
    case Qt::DisplayRole:
    case Qt::EditRole: {
        const int field = column < m_fieldIndex.size() ? m_fieldIndex.at(column) : -1;
        const int recNo = recordAt(index.row());
        if (field < 0 || recNo <= 0)
            return {};
        try {
            return m_grid->table()->text(recNo, field);
        } catch (const std::exception &) {
            return {};
        }
    }
    case Qt::TextAlignmentRole:
        return QVariant::fromValue(toQt(m_grid->column(column).layout.alignment) | Qt::AlignVCenter);
    case Qt::BackgroundRole: {
        const QColor color = m_grid->columnBackground(column);
        if (color.isValid())
            return QBrush(color);
        return {};
    }
    default:
        return {};
    }
}

bool DbGridModel::setData(const QModelIndex &index, const QVariant &value, int role)
{
    if (role != Qt::EditRole || !index.isValid() || m_grid->column(index.column()).readOnly)
        return false;
    DbfTable *table = m_grid->table();
    const int recNo = recordAt(index.row());
    if (!table || recNo <= 0)
        return false;
    bool posted = false;
    runGuarded([&] {
        const QString field = m_grid->column(index.column()).layout.fieldName;
        if (table->recNo() != recNo && !table->gotoRecord(recNo))
            return;
        table->edit();
        try {
            table->setText(field, value.toString());
            table->post();
        } catch (...) {
            table->cancel();
            throw;
        }
        posted = true;
    });
    if (posted)
        emit dataChanged(index.siblingAtColumn(0), index.siblingAtColumn(columnCount() - 1));
    return posted;
}

Qt::ItemFlags DbGridModel::flags(const QModelIndex &index) const
{
    if (!index.isValid())
        return Qt::NoItemFlags;
    Qt::ItemFlags flags = Qt::ItemIsEnabled | Qt::ItemIsSelectable | Qt::ItemNeverHasChildren;
    if (!m_grid->column(index.column()).readOnly)
        flags |= Qt::ItemIsEditable;
    return flags;
}

QVariant DbGridModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (orientation == Qt::Horizontal && role == Qt::DisplayRole && section >= 0 &&
        section < m_grid->columnCount())
        return m_grid->column(section).caption;
    return QAbstractTableModel::headerData(section, orientation, role);
}

void DbGridModel::endReset()
{
    m_fieldIndex.clear();
    const DbfTable *table = m_grid->table();
    for (int c = 0; c < m_grid->columnCount(); ++c)
        m_fieldIndex.append(table && table->isOpen() ? table->fieldIndex(m_grid->column(c).layout.fieldName)
                                                     : -1);
    m_rows = tableRows();
    m_lastRecord = m_rows > 0 ? table->recordAt(m_rows - 1) : 0;
    endResetModel();
}

void DbGridModel::columnChanged(int column)
{
    const int rows = rowCount();
    if (rows > 0)
        emit dataChanged(index(0, column), index(rows - 1, column));
}

void DbGridModel::recordChanged(int recNo)
{
    const DbfTable *table = m_grid->table();
    if (!table || !table->isOpen())
        return;
    const int row = table->rowOf(recNo);
    if (row >= 0 && row < m_rows)
        emit dataChanged(index(row, 0), index(row, columnCount() - 1));
}

// ---------------------------------------------------------------- view

DbGridView::DbGridView(DbGrid *grid) : QTableView(grid), m_grid(grid)
{
    setFrameShape(QFrame::NoFrame);
    setSelectionBehavior(QAbstractItemView::SelectRows);
    setSelectionMode(QAbstractItemView::ExtendedSelection);
    setEditTriggers(QAbstractItemView::EditKeyPressed | QAbstractItemView::AnyKeyPressed |
                    QAbstractItemView::SelectedClicked);
    setTabKeyNavigation(true);
    setWordWrap(false);
    setCornerButtonEnabled(false);
    setDragDropMode(QAbstractItemView::NoDragDrop);
    setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    setVerticalScrollMode(QAbstractItemView::ScrollPerItem);
    setShowGrid(true);
    setGridStyle(Qt::SolidLine);
    verticalHeader()->hide();
    verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    verticalHeader()->setMinimumSectionSize(4);
    verticalHeader()->setDefaultSectionSize(fontMetrics().height() + 5);
}

void DbGridView::commitEdit()
{
    if (state() != EditingState)
        return;
    if (QWidget *editor = indexWidget(currentIndex())) {
        commitData(editor);
        closeEditor(editor, QAbstractItemDelegate::NoHint);
    }
}

bool DbGridView::edit(const QModelIndex &index, EditTrigger trigger, QEvent *event)
{
    const bool wasEditing = state() == EditingState;
    const bool result = QTableView::edit(index, trigger, event);
    if (result && !wasEditing && state() == EditingState)
        emit editorOpened();
    return result;
}

QItemSelectionModel::SelectionFlags DbGridView::selectionCommand(const QModelIndex &index,
                                                                 const QEvent *event) const
{
    const QItemSelectionModel::SelectionFlags flags = QTableView::selectionCommand(index, event);
    Qt::KeyboardModifiers modifiers = QGuiApplication::keyboardModifiers();
    bool drag = false;
    if (event) {
        switch (event->type()) {
        case QEvent::MouseMove:
            drag = true;
            [[fallthrough]];
        case QEvent::MouseButtonPress:
        case QEvent::MouseButtonRelease:
        case QEvent::MouseButtonDblClick:
        case QEvent::KeyPress:
            modifiers = static_cast<const QInputEvent *>(event)->modifiers();
            break;
        default:
            break;
        }
    }
    m_grid->m_plainMove = (flags & QItemSelectionModel::Clear) && !drag &&
                          !(modifiers & (Qt::ControlModifier | Qt::ShiftModifier));
    return flags;
}

void DbGridView::selectAll()
{
    m_grid->m_plainMove = false;
    QTableView::selectAll();
}

void DbGridView::closeEditor(QWidget *editor, QAbstractItemDelegate::EndEditHint hint)
{
    // Tab in the editor moves on without opening an editor in the next cell.
    if (hint == QAbstractItemDelegate::EditNextItem || hint == QAbstractItemDelegate::EditPreviousItem) {
        QTableView::closeEditor(editor, QAbstractItemDelegate::NoHint);
        const QModelIndex next =
            moveCursor(hint == QAbstractItemDelegate::EditNextItem ? MoveNext : MovePrevious, Qt::NoModifier);
        if (next.isValid())
            setCurrentIndex(next);
        return;
    }
    QTableView::closeEditor(editor, hint);
}

void DbGridView::keyPressEvent(QKeyEvent *event)
{
    // The grid's own delete command is off, and rows are never inserted from the grid.
    if ((event->key() == Qt::Key_Delete && (event->modifiers() & Qt::ControlModifier)) ||
        event->key() == Qt::Key_Insert) {
        event->accept();
        return;
    }
    QTableView::keyPressEvent(event);
}

void DbGridView::mousePressEvent(QMouseEvent *event)
{
    m_grid->beginPress();
    QTableView::mousePressEvent(event);
    if (!(event->buttons() & Qt::LeftButton))
        m_grid->endPress(); // only the left button starts a selection that ends at its release
}

void DbGridView::mouseReleaseEvent(QMouseEvent *event)
{
    QTableView::mouseReleaseEvent(event);
    m_grid->endPress();
}

void DbGridView::mouseDoubleClickEvent(QMouseEvent *event)
{
    QTableView::mouseDoubleClickEvent(event);
    emit gridDoubleClicked();
}

void DbGridView::resizeEvent(QResizeEvent *event)
{
    QTableView::resizeEvent(event);
    m_grid->fitColumns();
}

void DbGridView::updateGeometries()
{
    QTableView::updateGeometries();
    if (m_grid->m_autoColumnFit && viewport()->width() != m_grid->m_fittedWidth)
        m_grid->fitColumns();
    if (m_grid->m_footer)
        m_grid->m_footer->update();
}

// ---------------------------------------------------------------- grid

DbGrid::DbGrid(QWidget *parent) : QFrame(parent), m_style(std::make_unique<GridStyle>())
{
    setFrameShape(QFrame::StyledPanel);
    m_model = new DbGridModel(this);
    m_view = new DbGridView(this);
    m_title = new DbGridTitle(this);
    m_view->setHorizontalHeader(m_title);
    m_view->setModel(m_model);
    m_view->setItemDelegate(new DbGridDelegate(this));
    m_view->setStyle(m_style.get());
    m_footer = new DbGridFooter(this);
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
    connect(m_view, &DbGridView::editorOpened, this, &DbGrid::initEdit);
    connect(m_view, &DbGridView::gridDoubleClicked, this, &DbGrid::dblClick);
}

DbGrid::~DbGrid()
{
    // The view uses the style object: it goes first.
    delete m_view;
    m_view = nullptr;
}

void DbGrid::setTable(DbfTable *table)
{
    if (m_table)
        disconnect(m_table, nullptr, this, nullptr);
    m_table = table;
    if (m_table) {
        connect(m_table, &DbfTable::rowsReset, this, &DbGrid::onRowsReset);
        connect(m_table, &DbfTable::recordChanged, this, &DbGrid::onRecordChanged);
        connect(m_table, &DbfTable::currentChanged, this, &DbGrid::onTableCurrentChanged);
        connect(m_table, &QObject::destroyed, this, [this] {
            m_table = nullptr;
            onRowsReset();
        });
    }
    onRowsReset();
}

void DbGrid::setColumns(const QList<DbGridColumn> &columns)
{
    const bool applying = m_applyingSelection;
    m_applyingSelection = true;
    m_model->beginReset();
    m_columns = columns;
    m_model->endReset();
    m_applyingSelection = applying;
    QList<int> widths;
    for (const DbGridColumn &c : m_columns)
        widths.append(c.layout.width);
    setColumnWidths(widths);
    dropSelection();
    syncCurrentFromTable();
}

int DbGrid::columnIndex(const QString &fieldName) const
{
    for (int c = 0; c < columnCount(); ++c) {
        if (m_columns.at(c).layout.fieldName.compare(fieldName, Qt::CaseInsensitive) == 0)
            return c;
    }
    return -1;
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
    for (const DbGridColumn &c : m_columns)
        widths.append(c.layout.width);
    return widths;
}

void DbGrid::setColumnWidths(const QList<int> &widths)
{
    for (int c = 0; c < columnCount() && c < widths.size(); ++c)
        m_columns[c].layout.width = widths.at(c);
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
    m_columns[column].layout.color = color;
    m_view->viewport()->update();
}

void DbGrid::setColumnAlignment(int column, ColumnAlignment alignment)
{
    if (column < 0 || column >= columnCount())
        return;
    m_columns[column].layout.alignment = alignment;
    m_view->viewport()->update();
    m_footer->update();
}

void DbGrid::setTitleState(int column, TitleState state)
{
    if (column < 0 || column >= columnCount())
        return;
    DbGridColumn &c = m_columns[column];
    if (state == TitleState::SortedNone)
        c.layout.sortOrder = -1;
    else if (c.layout.titleState == TitleState::SortedNone)
        c.layout.sortOrder = 0; // one sorted column at a time: it is always the first
    c.layout.titleState = state;
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
    m_columns[column].footerText = text;
    m_footer->update();
}

GridColumnLayout DbGrid::columnLayout(int column) const
{
    return m_columns.at(column).layout;
}

void DbGrid::setColumnLayouts(const QList<GridColumnLayout> &layouts)
{
    for (const GridColumnLayout &layout : layouts) {
        const int column = columnIndex(layout.fieldName);
        if (column < 0)
            continue;
        // The column keeps its own field name (the layout's matched it in any letter case) and
        // takes the nearest width it can show.
        GridColumnLayout &kept = m_columns[column].layout;
        const QString fieldName = kept.fieldName;
        kept = layout;
        kept.fieldName = fieldName;
        kept.width = layout.shownWidth();
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
    m_titleLines = std::max(1, lines);
    m_title->updateGeometry();
    m_view->updateGeometry();
    m_title->resize(m_title->width(), m_title->sizeHint().height());
}

void DbGrid::setShowFooters(bool on)
{
    m_showFooters = on;
    m_footer->setVisible(on);
}

void DbGrid::setBookmarkFields(const QString &fields)
{
    m_bookmarkFields = fields.split(QLatin1Char(';'), Qt::SkipEmptyParts);
    for (QString &f : m_bookmarkFields)
        f = f.trimmed();
}

void DbGrid::titleClick(int column, Qt::KeyboardModifiers modifiers)
{
    if (column < 0 || column >= columnCount())
        return;
    const TitleState next =
        nextTitleState(m_columns.at(column).layout.titleState, modifiers & Qt::ControlModifier);
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
    QList<int> records;
    records.reserve(m_index.size());
    for (const Entry &e : m_entries) {
        if (e.recNo > 0)
            records.append(e.recNo);
    }
    return records;
}

int DbGrid::selectionCount() const
{
    if (!m_index.isEmpty())
        return int(m_index.size());
    return m_model->rowCount() > 0 ? 1 : 0;
}

QList<QStringList> DbGrid::selectionValues() const
{
    QList<QStringList> values;
    if (!m_index.isEmpty()) {
        values.reserve(m_index.size());
        for (const Entry &e : m_entries) {
            if (e.recNo > 0)
                values.append(e.values);
        }
        return values;
    }
    if (m_model->rowCount() > 0) {
        const int row = std::max(0, currentRow());
        const int recNo = m_model->recordAt(row);
        QStringList current;
        for (const QString &field : m_bookmarkFields) {
            const int index = m_table->fieldIndex(field);
            current.append(index >= 0 && recNo > 0 ? m_table->text(recNo, index) : QString());
        }
        values.append(current);
    }
    return values;
}

void DbGrid::selectRecords(const QList<int> &recNos)
{
    m_plainMove = false;
    dropSelection();
    for (int recNo : recNos) {
        if (m_table && m_table->isOpen() && m_table->rowOf(recNo) >= 0)
            addSelected(recNo);
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
    dropSelection();
}

void DbGrid::addSelected(int recNo)
{
    if (recNo <= 0 || m_index.contains(recNo))
        return;
    Entry entry;
    entry.recNo = recNo;
    entry.values.reserve(m_bookmarkFields.size());
    for (const QString &field : m_bookmarkFields) {
        QString value;
        try {
            const int index = m_table->fieldIndex(field);
            if (index >= 0)
                value = m_table->text(recNo, index);
        } catch (const std::exception &) {
        }
        entry.values.append(value);
    }
    m_index.insert(recNo, m_entries.size());
    m_entries.append(std::move(entry));
    ++m_selectionVersion;
}

void DbGrid::removeSelected(int recNo)
{
    const auto it = m_index.constFind(recNo);
    if (it == m_index.cend())
        return;
    ++m_selectionVersion;
    Entry &entry = m_entries[*it];
    entry.recNo = 0;
    entry.values.clear();
    m_index.erase(it);
    if (m_entries.size() > 2 * m_index.size() + 64) {
        QList<Entry> kept;
        kept.reserve(m_index.size());
        for (Entry &e : m_entries) {
            if (e.recNo > 0) {
                m_index[e.recNo] = kept.size();
                kept.append(std::move(e));
            }
        }
        m_entries = std::move(kept);
    }
}

void DbGrid::dropSelection()
{
    if (!m_index.isEmpty())
        ++m_selectionVersion;
    m_entries.clear();
    m_index.clear();
}

void DbGrid::onSelectionChanged(const QItemSelection &selected, const QItemSelection &deselected)
{
    const bool plainMove = m_plainMove;
    m_plainMove = false;
    if (m_applyingSelection || m_updateLock)
        return;
    QItemSelectionModel *model = m_view->selectionModel();
    if (!model->hasSelection() || plainMove) {
        // Nothing selected, or only the highlight of the current row after a plain move.
        dropSelection();
    } else if (m_index.isEmpty()) {
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
            addSelected(m_model->recordAt(row));
    } else {
        for (const QItemSelectionRange &range : deselected) {
            for (int row = range.top(); row <= range.bottom(); ++row)
                removeSelected(m_model->recordAt(row));
        }
        for (const QItemSelectionRange &range : selected) {
            for (int row = range.top(); row <= range.bottom(); ++row)
                addSelected(m_model->recordAt(row));
        }
    }
    raiseSelectionChange();
}

void DbGrid::reapplySelection()
{
    QList<int> rows;
    rows.reserve(m_index.size());
    if (m_table && m_table->isOpen()) {
        for (Entry &e : m_entries) {
            if (e.recNo <= 0)
                continue;
            const int row = m_table->rowOf(e.recNo);
            if (row >= 0) {
                rows.append(row);
            } else {
                ++m_selectionVersion;
                m_index.remove(e.recNo);
                e.recNo = 0;
                e.values.clear();
            }
        }
    } else {
        dropSelection();
    }
    std::sort(rows.begin(), rows.end());
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
        m_plainMove = true;
        m_view->selectionModel()->setCurrentIndex(next, QItemSelectionModel::ClearAndSelect |
                                                            QItemSelectionModel::Rows);
        m_view->scrollTo(next);
    } else if (m_table && m_table->isOpen()) {
        m_table->next(); // past the last row: the table reports its end, nothing is appended
    }
}

void DbGrid::syncCurrentFromTable()
{
    if (!m_table || !m_table->isOpen() || m_model->rowCount() == 0)
        return;
    const int recNo = m_table->recNo();
    const int row = recNo > 0 ? m_table->rowOf(recNo) : -1;
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
    m_view->selectionModel()->setCurrentIndex(index, m_index.isEmpty() ? QItemSelectionModel::ClearAndSelect |
                                                                             QItemSelectionModel::Rows
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
    if (current.isValid() && m_table && m_table->isOpen()) {
        const int recNo = m_model->recordAt(current.row());
        m_syncing = true;
        try {
            if (recNo > 0 && m_table->recNo() != recNo)
                m_table->gotoRecord(recNo);
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
    const bool open = m_table && m_table->isOpen();
    return {m_selectionVersion, open ? m_table->recNo() : 0, open ? m_table->rowCount() : -1};
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

void DbGrid::fitColumns()
{
    if (!m_autoColumnFit || m_applyingWidths || columnCount() == 0 || !m_view || !m_title)
        return;
    const int available = availableWidth();
    m_fittedWidth = available;
    applyWidths(ColumnFit::scale(columnWidths(), available, minimumColumnWidth));
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
        m_columns[section].layout.width = newSize;
        m_footer->update();
        return;
    }
    // The dragged column keeps its new width; the others share the rest in proportion. What the
    // operator sees becomes the columns' widths.
    const QList<int> shown =
        ColumnFit::afterResize(shownWidths(), section, newSize, availableWidth(), minimumColumnWidth);
    for (int c = 0; c < columnCount() && c < shown.size(); ++c)
        m_columns[c].layout.width = shown.at(c);
    applyWidths(shown);
}

QColor DbGrid::columnBackground(int column) const
{
    if (column < 0 || column >= columnCount())
        return {};
    return toQColor(m_columns.at(column).layout.color);
}

QColor DbGrid::toQColor(ColorValue value) const
{
    if (GridColor::isRgb(value))
        return QColor(GridColor::red(value), GridColor::green(value), GridColor::blue(value));
    if (!GridColor::isSystem(value))
        return {}; // no colour, or the control's default
    const QPalette &p = palette();
    switch (value & 0xFF) {
    case 0:  // scroll bar
    case 4:  // menu
    case 10: // active border
    case 11: // inactive border
    case 15: // button face
    case 30: // menu bar
        return p.color(QPalette::Button);
    case 1:  // desktop
    case 12: // application workspace
    case 16: // button shadow
        return p.color(QPalette::Dark);
    case 2:  // active caption
    case 13: // highlight
    case 27:
    case 29:
        return p.color(QPalette::Highlight);
    case 3: // inactive caption
    case 28:
        return p.color(QPalette::Mid);
    case 5: // window
        return p.color(QPalette::Base);
    case 6:  // window frame
    case 21: // 3D dark shadow
        return p.color(QPalette::Shadow);
    case 7:  // menu text
    case 8:  // window text
    case 18: // button text
    case 19: // inactive caption text
        return p.color(QPalette::Text);
    case 9:  // caption text
    case 14: // highlight text
        return p.color(QPalette::HighlightedText);
    case 17: // grey text
        return p.color(QPalette::Disabled, QPalette::Text);
    case 20: // button highlight
        return p.color(QPalette::Light);
    case 22: // 3D light
        return p.color(QPalette::Midlight);
    case 23: // tooltip text
        return p.color(QPalette::ToolTipText);
    case 24: // tooltip background
        return p.color(QPalette::ToolTipBase);
    case 26: // hot light
        return p.color(QPalette::Link);
    default:
        return {};
    }
}
