#pragma once
// The controller of the measurement grid: configures the grid component over the table file and
// runs every table command of the main window on it (sorting, selection statistics, column
// colours, the saved grid layout, deleting and renumbering rows, the latter two through the
// widget-free TableEdits).
//
// Handlers that the main window calls directly (N..Click, DBGridPro1DblClick) raise errors to
// the caller's guard; the grid's own events (title click, selection change, editor opening) run
// inside the general error handler here because they come from the event loop.
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

    QWidget *grid() const; // DBGridPro1, placed in the main window
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

    void N17Click(); // "Задать цвет"
    void N18Click(); // "Убрать цвет"
    void N19Click(); // "Убрать все цвета"
    void N21Click(); // "Удалить строки" / "Удалить"
    void N23Click(); // "Выровнять столбцы"
    void N37Click(); // "Перенумеровать строки"
    void DBGridPro1DblClick();

    // The grid's events (also callable directly).
    void DBGridPro1TitleStateChange(int column);
    void DBGridPro1SelectionChange();
    void DBGridPro1InitEdit();

    // The colour the colour dialog starts from (the last one chosen; black at first).
    QColor lastColor() const { return m_lastColor; }

signals:
    void editStarted(); // DBGridPro1InitEdit: the document sets TableModified true
    void rowsDeleted(); // after N21Click: the document sets TableModified false

private:
    void reopen();

    DbfTable *m_table;
    DbGrid *m_grid;
    QColor m_lastColor = Qt::black;
};
