#include "dbgridmodel.h"

#include "dbase/dbftable.h"
#include "ui/errorguard.h"

#include <QBrush>

Qt::Alignment toQtAlignment(ColumnAlignment alignment)
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

// ---------------------------------------------------------------- rows

DbGridModel::DbGridModel(QObject *parent) : QAbstractTableModel(parent) {}

int DbGridModel::rowCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : m_rows;
}

int DbGridModel::tableRows() const
{
    return m_table && m_table->isOpen() ? m_table->rowCount() : 0;
}

bool DbGridModel::rowAppended()
{
    // One row more than shown, in file order, and it is the newest record after the same last
    // row as before: the rows shown so far are unchanged.
    const int rows = tableRows();
    if (rows != m_rows + 1 || !m_table->selectedIndex().isEmpty() || m_fieldIndex.size() != m_columns.size())
        return false;
    if (m_table->recordAt(rows - 1) != m_table->physicalRecordCount())
        return false;
    if (rows > 1 && m_table->recordAt(rows - 2) != m_lastRecord)
        return false;
    beginInsertRows(QModelIndex(), m_rows, m_rows);
    m_rows = rows;
    m_lastRecord = m_table->recordAt(rows - 1);
    endInsertRows();
    return true;
}

int DbGridModel::columnCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : int(m_columns.size());
}

int DbGridModel::recordAt(int row) const
{
    if (!m_table || !m_table->isOpen() || row < 0 || row >= m_table->rowCount())
        return 0;
    try {
        return m_table->recordAt(row);
    } catch (const std::exception &) {
        return 0;
    }
}

QVariant DbGridModel::data(const QModelIndex &index, int role) const
{
    if (!index.isValid() || index.column() >= m_columns.size())
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
            return m_table->text(recNo, field);
        } catch (const std::exception &) {
            return {};
        }
    }
    case Qt::TextAlignmentRole:
        return QVariant::fromValue(toQtAlignment(m_columns.at(column).layout.alignment) | Qt::AlignVCenter);
    case Qt::BackgroundRole: {
        const QColor color = background(column);
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
    if (role != Qt::EditRole || !index.isValid() || m_columns.at(index.column()).readOnly)
        return false;
    const int recNo = recordAt(index.row());
    if (!m_table || recNo <= 0)
        return false;
    bool posted = false;
    runGuarded([&] {
        const QString field = m_columns.at(index.column()).layout.fieldName;
        if (m_table->recNo() != recNo && !m_table->gotoRecord(recNo))
            return;
        m_table->edit();
        try {
            m_table->setText(field, value.toString());
            m_table->post();
        } catch (...) {
            m_table->cancel();
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
    if (!m_columns.at(index.column()).readOnly)
        flags |= Qt::ItemIsEditable;
    return flags;
}

QVariant DbGridModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (orientation == Qt::Horizontal && role == Qt::DisplayRole && section >= 0 &&
        section < m_columns.size())
        return m_columns.at(section).caption;
    return QAbstractTableModel::headerData(section, orientation, role);
}

void DbGridModel::endReset()
{
    m_fieldIndex.clear();
    for (int c = 0; c < m_columns.size(); ++c)
        m_fieldIndex.append(
            m_table && m_table->isOpen() ? m_table->fieldIndex(m_columns.at(c).layout.fieldName) : -1);
    m_rows = tableRows();
    m_lastRecord = m_rows > 0 ? m_table->recordAt(m_rows - 1) : 0;
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
    if (!m_table || !m_table->isOpen())
        return;
    const int row = m_table->rowOf(recNo);
    if (row >= 0 && row < m_rows)
        emit dataChanged(index(row, 0), index(row, columnCount() - 1));
}

// ---------------------------------------------------------------- columns

void DbGridModel::setColumns(const QList<DbGridColumn> &columns)
{
    beginResetModel();
    m_columns = columns;
    endReset();
}

int DbGridModel::columnIndex(const QString &fieldName) const
{
    for (int c = 0; c < m_columns.size(); ++c) {
        if (m_columns.at(c).layout.fieldName.compare(fieldName, Qt::CaseInsensitive) == 0)
            return c;
    }
    return -1;
}

void DbGridModel::setColumnWidth(int column, int width)
{
    if (isColumn(column))
        m_columns[column].layout.width = width;
}

void DbGridModel::setColumnColor(int column, ColorValue color)
{
    if (isColumn(column))
        m_columns[column].layout.color = color;
}

void DbGridModel::setColumnAlignment(int column, ColumnAlignment alignment)
{
    if (isColumn(column))
        m_columns[column].layout.alignment = alignment;
}

void DbGridModel::setTitleState(int column, TitleState state)
{
    if (!isColumn(column))
        return;
    GridColumnLayout &c = m_columns[column].layout;
    if (state == TitleState::SortedNone)
        c.sortOrder = -1;
    else if (c.titleState == TitleState::SortedNone)
        c.sortOrder = 0; // one sorted column at a time: it is always the first
    c.titleState = state;
}

void DbGridModel::setFooterText(int column, const QString &text)
{
    if (isColumn(column))
        m_columns[column].footerText = text;
}

void DbGridModel::applyLayout(int column, const GridColumnLayout &layout)
{
    if (!isColumn(column))
        return;
    GridColumnLayout &kept = m_columns[column].layout;
    const QString fieldName = kept.fieldName;
    kept = layout;
    kept.fieldName = fieldName;
    kept.width = layout.shownWidth();
}

QColor DbGridModel::background(int column) const
{
    if (!isColumn(column) || !m_colorResolver)
        return {};
    return m_colorResolver(m_columns.at(column).layout.color);
}

int DbGridModel::editorMaxLength(int column) const
{
    if (!isColumn(column))
        return 0;
    int length = m_columns.at(column).maxLength;
    if (length <= 0 && m_table) {
        const int field = m_table->fieldIndex(m_columns.at(column).layout.fieldName);
        if (field >= 0)
            length = m_table->field(field).width;
    }
    return std::max(0, length);
}
