#pragma once
// A data-bound grid over a DbfTable: one row per visible row of the table in its current order,
// a title row with sort marks, a footer row, columns that together fill the grid's width
// (AutoColumnFit), whole-row multi-selection with a snapshot of chosen fields per selected row,
// and in-place editing of the columns that allow it.
//
// The table stays the only copy of the data: the model asks it for the rows that are painted,
// and the grid's current row is the table's current row.
#include "gridtypes.h"

#include <QAbstractTableModel>
#include <QFrame>
#include <QHash>
#include <QHeaderView>
#include <QList>
#include <QStringList>
#include <QTableView>
#include <memory>

class DbfTable;
class DbGrid;
class DbGridFooter;
class DbGridTitle;
class QProxyStyle;

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

// The rows of the table as a model: rowCount and data go straight to the table.
class DbGridModel : public QAbstractTableModel
{
    Q_OBJECT
public:
    explicit DbGridModel(DbGrid *grid);

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
    DbGrid *m_grid;
    QList<int> m_fieldIndex; // per column, the table's field index (-1: not in the table)
    int m_rows = 0;          // rows as the views know them
    int m_lastRecord = 0;    // record of the last row
};

// The grid's own view: keyboard and editing rules of the grid.
class DbGridView : public QTableView
{
    Q_OBJECT
public:
    explicit DbGridView(DbGrid *grid);

    // Posts the edit in progress, if any.
    void commitEdit();
    bool isEditing() const { return state() == EditingState; }
    void selectAll() override;
    using QTableView::moveCursor;

signals:
    void editorOpened();
    void gridDoubleClicked();

protected:
    bool edit(const QModelIndex &index, EditTrigger trigger, QEvent *event) override;
    QItemSelectionModel::SelectionFlags selectionCommand(const QModelIndex &index,
                                                         const QEvent *event = nullptr) const override;
    void closeEditor(QWidget *editor, QAbstractItemDelegate::EndEditHint hint) override;
    void keyPressEvent(QKeyEvent *event) override;
    void mousePressEvent(QMouseEvent *event) override;
    void mouseReleaseEvent(QMouseEvent *event) override;
    void mouseDoubleClickEvent(QMouseEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;
    void updateGeometries() override;

private:
    DbGrid *m_grid;
};

class DbGrid : public QFrame
{
    Q_OBJECT
public:
    explicit DbGrid(QWidget *parent = nullptr);
    ~DbGrid() override;

    // The data source; the grid follows its signals.
    void setTable(DbfTable *table);
    DbfTable *table() const { return m_table; }

    // The column set (fixed once configured).
    void setColumns(const QList<DbGridColumn> &columns);
    int columnCount() const { return int(m_columns.size()); }
    const DbGridColumn &column(int index) const { return m_columns.at(index); }
    // The column showing the field (letter case ignored); -1 when none.
    int columnIndex(const QString &fieldName) const;

    // The columns' widths (the Width of the layout). With AutoColumnFit on the grid shows them
    // scaled to fill its width; scaling never changes them, so nothing is lost while the grid is
    // small or hidden. A drag on a title border makes the widths shown the columns' widths.
    QList<int> columnWidths() const;
    // Widths in pixels as shown.
    QList<int> shownWidths() const;
    void setColumnWidths(const QList<int> &widths);
    void setColumnWidth(int column, int width);
    void setColumnColor(int column, ColorValue color);
    void setColumnAlignment(int column, ColumnAlignment alignment);
    // Sets the sort mark without raising titleStateChange.
    void setTitleState(int column, TitleState state);
    void clearTitleStates();
    void setFooterText(int column, const QString &text);

    // The saved layout properties of a column, and applying them (without titleStateChange).
    GridColumnLayout columnLayout(int column) const;
    void setColumnLayouts(const QList<GridColumnLayout> &layouts);

    void setAutoColumnFit(bool on);
    bool autoColumnFit() const { return m_autoColumnFit; }
    void setTitleLines(int lines);
    int titleLines() const { return m_titleLines; }
    void setShowFooters(bool on);
    bool showFooters() const { return m_showFooters; }
    // "T_1;T_2;DATE;TIME": the fields whose values each selected row keeps.
    void setBookmarkFields(const QString &fields);
    QString bookmarkFields() const { return m_bookmarkFields.join(QLatin1Char(';')); }

    // Title click on a column: every other column goes to no sort mark, the clicked one steps
    // through the cycle (Ctrl: no sort mark); then titleStateChange(column).
    void titleClick(int column, Qt::KeyboardModifiers modifiers);

    // The rows the operator selected, by physical record number, in the order they were added.
    QList<int> selectedRecords() const;
    int selectedCount() const { return int(m_index.size()); }
    // Selection count: the selected rows, or the current row alone, or 0 for an empty table.
    int selectionCount() const;
    // The bookmark field values of each row counted by selectionCount().
    QList<QStringList> selectionValues() const;
    void selectRecords(const QList<int> &recNos);
    void selectAllRows();
    void clearSelection();

    int currentRow() const;
    int currentColumn() const;
    void setCurrentCell(int row, int column);
    // One row down as the Down key does (the explicit selection is cleared); at the last row the
    // table moves past its end instead.
    void moveDown();

    // Suspends the grid's following of the table (bulk changes); endUpdate shows the result.
    void beginUpdate();
    void endUpdate();
    void commitEdit();

    DbGridView *view() const { return m_view; }
    DbGridModel *model() const { return m_model; }
    QHeaderView *title() const;
    QWidget *footer() const;
    QColor columnBackground(int column) const;
    // The screen colour of a colour value (system colours from the palette); invalid for none.
    QColor toQColor(ColorValue value) const;

signals:
    void titleStateChange(int column);
    void selectionChange();
    void initEdit();
    void dblClick();

private:
    friend class DbGridModel;
    friend class DbGridView;

    void onRowsReset();
    void onRecordChanged(int recNo);
    void onTableCurrentChanged();
    void onViewCurrentChanged(const QModelIndex &current, const QModelIndex &previous);
    void onSelectionChanged(const QItemSelection &selected, const QItemSelection &deselected);
    void onSectionResized(int section, int oldSize, int newSize);
    void syncCurrentFromTable();
    void reapplySelection();
    void addSelected(int recNo);
    void removeSelected(int recNo);
    void dropSelection();
    void fitColumns();
    void applyWidths(const QList<int> &widths);
    int availableWidth() const;

    struct SelectionKey
    {
        quint64 version = 0;
        int currentRecord = 0;
        int rows = -1;
        bool operator==(const SelectionKey &) const = default;
    };
    SelectionKey selectionKey() const;
    void emitIfSelectionMoved(const SelectionKey &before);
    void raiseSelectionChange();

    struct Entry
    {
        int recNo = 0; // 0: removed
        QStringList values;
    };

    DbfTable *m_table = nullptr;
    QList<DbGridColumn> m_columns;
    DbGridModel *m_model = nullptr;
    DbGridView *m_view = nullptr;
    DbGridTitle *m_title = nullptr;
    DbGridFooter *m_footer = nullptr;
    std::unique_ptr<QProxyStyle> m_style;
    QStringList m_bookmarkFields;
    bool m_autoColumnFit = true;
    int m_titleLines = 2;
    bool m_showFooters = true;
    int m_updateLock = 0;
    bool m_syncing = false;
    bool m_applyingSelection = false;
    bool m_applyingWidths = false;
    // The selection command being applied came from a move without Ctrl or Shift: it selects the
    // current row only as its highlight, not as an explicit selection.
    bool m_plainMove = false;
    // From a mouse press to its release the selection change is raised once, at the end: Qt moves
    // the current row at the press and applies the new selection after it (for a click on a row
    // that is already selected, only at the release).
    bool m_pressActive = false;
    bool m_raiseDeferred = false;
    void beginPress();
    void endPress();
    bool m_scrollPending = false;
    int m_fittedWidth = -1;
    QList<Entry> m_entries;         // selection in order of adding, with holes
    QHash<int, qsizetype> m_index;  // recNo -> position in m_entries
    quint64 m_selectionVersion = 0; // counts changes of the selection
    SelectionKey m_lastKey;         // as the last selection change saw it
    SelectionKey m_keyBeforeUpdate;
};
