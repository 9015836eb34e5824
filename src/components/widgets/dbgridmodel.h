#pragma once
// The grid's model: the rows of a DbfTable in its current order and the grid's columns.
//
// The table stays the only copy of the data: rowCount and data go straight to it, and the model
// keeps no more than the field index of each column and the row count the views were last told.
#include "components/gridtypes.h"

#include <QAbstractTableModel>
#include <QColor>
#include <QList>
#include <QString>
#include <functional>

class DbfTable;

struct DbGridColumn
{
    // The properties a grid layout saves: field, sort mark, width, band place, colour, the cells'
    // alignment and the sort order number.
    GridColumnLayout layout;
    QString caption;
    ColumnAlignment titleAlignment = ColumnAlignment::Default;
    bool readOnly = true;
    int maxLength = 0; // of the in-place editor; 0: the field width
    QString footerText;
};

// The alignment a column alignment paints with (Default is left).
Qt::Alignment toQtAlignment(ColumnAlignment alignment);

class DbGridModel : public QAbstractTableModel
{
    Q_OBJECT
public:
    explicit DbGridModel(QObject *parent = nullptr);

    // The data source; the rows are read anew at the next reset.
    void setTable(DbfTable *table) { m_table = table; }
    DbfTable *table() const { return m_table; }

    // The column set, replaced as a whole (a model reset).
    void setColumns(const QList<DbGridColumn> &columns);
    const QList<DbGridColumn> &columns() const { return m_columns; }
    const DbGridColumn &column(int index) const { return m_columns.at(index); }
    // The column showing the field (letter case ignored); -1 when none.
    int columnIndex(const QString &fieldName) const;

    // One property of a column. These raise no model signal: the grid repaints what shows them.
    void setColumnWidth(int column, int width);
    void setColumnColor(int column, ColorValue color);
    void setColumnAlignment(int column, ColumnAlignment alignment);
    // The sort mark; a marked column is the first (and only) in the sort order.
    void setTitleState(int column, TitleState state);
    void setFooterText(int column, const QString &text);
    // Saved layout properties: the column keeps its own field name (the layout's matched it in
    // any letter case) and takes the nearest width it can show.
    void applyLayout(int column, const GridColumnLayout &layout);

    // The screen colour of a colour value for the cells' background (invalid: none). Without it
    // the cells have no background of their own.
    void setColorResolver(std::function<QColor(ColorValue)> resolver)
    {
        m_colorResolver = std::move(resolver);
    }
    QColor background(int column) const;
    // The longest text the in-place editor of the column takes: its own limit, else the width of
    // its field; 0 for no limit.
    int editorMaxLength(int column) const;

    int rowCount(const QModelIndex &parent = {}) const override;
    int columnCount(const QModelIndex &parent = {}) const override;
    QVariant data(const QModelIndex &index, int role) const override;
    bool setData(const QModelIndex &index, const QVariant &value, int role) override;
    Qt::ItemFlags flags(const QModelIndex &index) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;

    // Physical record number of a model row; 0 when none.
    int recordAt(int row) const;

    // The table's visible rows now; rowCount() is what the views were last told.
    int tableRows() const;
    // Shows a row appended at the end in file order without re-reading the others; false when the
    // change is anything else.
    bool rowAppended();
    void beginReset() { beginResetModel(); }
    void endReset();
    void columnChanged(int column);
    void recordChanged(int recNo);

private:
    bool isColumn(int column) const { return column >= 0 && column < m_columns.size(); }

    DbfTable *m_table = nullptr;
    QList<DbGridColumn> m_columns;
    std::function<QColor(ColorValue)> m_colorResolver;
    QList<int> m_fieldIndex; // per column, the table's field index (-1: not in the table)
    int m_rows = 0;          // rows as the views know them
    int m_lastRecord = 0;    // record of the last row
};
