#pragma once
// The controller of the measurement grid: configures the grid component over the table file and
// runs every table command of the main window on it (sorting, selection statistics, column
// colours, the saved grid layout, deleting and renumbering rows, the latter two through the
// widget-free TableEdits).
//
// The commands that the main window's menu handlers call (colours, column fit, delete, renumber)
// raise errors to the caller's guard; the grid's own events (title click, selection change,
// editor opening, double click) run inside the general error handler here because they come
// from the event loop.
#include <QColor>
#include <QObject>
#include <QString>

class DbfTable;
class DbGrid;
class QWidget;

class TableController : public QObject
{
    Q_OBJECT
public:
    TableController(DbfTable *table, QWidget *parent);
    ~TableController() override;

    QWidget *grid() const; // the measurement grid, placed in the main window
    DbGrid *dbGrid() const;
    DbfTable *table() const { return m_table; }

    // Clears every sort mark and, with the table open, returns it to file order by dropping the
    // index tag. Never fails.
    void sortReset(const QString &tag);
    // Seven columns of equal width, then scaled to fill the grid.
    void columnFit();
    // Writes the grid layout text to the settings value `name` ("Table_1").
    void layoutSave(const QString &name);
    // Applies the saved layout; with no saved value runs the column fit and saves at once.
    // A text that cannot be parsed raises an error and leaves the grid as it was.
    void layoutRestore(const QString &name);
    // Posts a cell edit in progress.
    void commitEdit();

    // The table commands; each does nothing while the table is closed.
    // The current column takes the colour the operator chooses ("Задать цвет").
    void setColumnColour();
    // The current column loses its colour ("Убрать цвет").
    void clearColumnColour();
    // Every column loses its colour ("Убрать все цвета").
    void clearAllColours();
    // Deletes the selected rows, or the current row without a selection, and packs the file
    // ("Удалить строки" / "Удалить").
    void deleteSelectedRows();
    // The column fit ("Выровнять столбцы").
    void fitColumns();
    // Numbers the rows 1, 2, ... in the order shown ("Перенумеровать строки").
    void renumberRows();
    // The double-click walk: down to the last row, then back to the first.
    void walkRows();

    // The grid's events (also callable directly): a column's sort mark changed, the selection
    // changed (the footers show its statistics), the cell editor opened.
    void applySortState(int column);
    void updateSelectionFooters();
    void announceEditStarted();

    // The colour the colour dialog starts from (the last one chosen; black at first).
    QColor lastColor() const { return m_lastColor; }

signals:
    void editStarted(); // the cell editor opened: the document sets TableModified true
    void rowsDeleted(); // after deleteSelectedRows: the document sets TableModified false

private:
    void reopen();

    DbfTable *m_table;
    DbGrid *m_grid;
    QColor m_lastColor = Qt::black;
};
