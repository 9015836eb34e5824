#pragma once
// A data-bound grid over a DbfTable: one row per visible row of the table in its current order,
// a title row with sort marks, a footer row, columns that together fill the grid's width
// (AutoColumnFit), whole-row multi-selection with a snapshot of chosen fields per selected row,
// and in-place editing of the columns that allow it.
//
// The table stays the only copy of the data: the model asks it for the rows that are painted,
// and the grid's current row is the table's current row.
//
// DbGrid is the face of the component and wires its pieces together: the model with the columns
// (dbgridmodel.h), the view with its editor delegate and style (dbgridview.h), the title and
// footer rows (dbgridtitle.h) and the record selection (dbgridselection.h).
#include "components/dbgridselection.h"
#include "components/gridtypes.h"
#include "dbgridmodel.h"
#include "dbgridview.h"

#include <QFrame>
#include <QHeaderView>
#include <QList>
#include <QStringList>
#include <memory>

class DbfTable;
class DbGridFooter;
class DbGridTitle;
class QProxyStyle;

class DbGrid : public QFrame
{
    Q_OBJECT
public:
    explicit DbGrid(QWidget *parent = nullptr);
    ~DbGrid() override;

    // The data source; the grid follows its signals.
    void setTable(DbfTable *table);
    DbfTable *table() const { return m_model->table(); }

    // The column set (fixed once configured).
    void setColumns(const QList<DbGridColumn> &columns);
    int columnCount() const { return int(m_model->columns().size()); }
    const DbGridColumn &column(int index) const { return m_model->column(index); }
    // The column showing the field (letter case ignored); -1 when none.
    int columnIndex(const QString &fieldName) const { return m_model->columnIndex(fieldName); }

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
    int titleLines() const;
    void setShowFooters(bool on);
    bool showFooters() const { return m_showFooters; }
    // "T_1;T_2;DATE;TIME": the fields whose values each selected row keeps.
    void setBookmarkFields(const QString &fields);
    QString bookmarkFields() const { return m_selection.bookmarkFields(); }

    // Title click on a column: every other column goes to no sort mark, the clicked one steps
    // through the cycle (Ctrl: no sort mark); then titleStateChange(column).
    void titleClick(int column, Qt::KeyboardModifiers modifiers);

    // The rows the operator selected, by physical record number, in the order they were added.
    QList<int> selectedRecords() const;
    int selectedCount() const { return m_selection.count(); }
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
    void onRowsReset();
    void onRecordChanged(int recNo);
    void onTableCurrentChanged();
    void onViewCurrentChanged(const QModelIndex &current, const QModelIndex &previous);
    void onSelectionChanged(const QItemSelection &selected, const QItemSelection &deselected);
    void onSectionResized(int section, int oldSize, int newSize);
    void onViewGeometriesUpdated();
    void syncCurrentFromTable();
    void reapplySelection();
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
    // From a mouse press to its release the selection change is raised once, at the end: Qt moves
    // the current row at the press and applies the new selection after it (for a click on a row
    // that is already selected, only at the release).
    void beginPress();
    void endPress();

    DbGridModel *m_model = nullptr; // the table and the columns
    DbGridView *m_view = nullptr;
    DbGridTitle *m_title = nullptr;
    DbGridFooter *m_footer = nullptr;
    std::unique_ptr<QProxyStyle> m_style;
    DbGridSelection m_selection;
    bool m_autoColumnFit = true;
    bool m_showFooters = true;
    int m_updateLock = 0;
    bool m_syncing = false;
    bool m_applyingSelection = false;
    bool m_applyingWidths = false;
    bool m_pressActive = false;
    bool m_raiseDeferred = false;
    bool m_scrollPending = false;
    int m_fittedWidth = -1;
    SelectionKey m_lastKey; // as the last selection change saw it
    SelectionKey m_keyBeforeUpdate;
};
